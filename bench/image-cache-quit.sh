#!/usr/bin/env bash
# The image cache's part of the quit with posters still being written: the stop that drops the
# writes not yet begun against the wait for every write (the reference, as the quit was), in the
# same runs, alternating. Median [low-high] ms and the files written, with the load average at
# each run. Writes bench/results/image-cache-quit.txt.
#
#   bench/image-cache-quit.sh [posters] [runs]     (defaults 40 and 7)
set -euo pipefail
name=image-cache-quit
. "$(dirname "$0")/bench-lib.sh"
posters=${1:-40}
runs=${2:-7}

build_targets image-cache-quit-bench
make_work
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/image-cache-quit-bench" "$posters" "$runs" >"$work/runs"
{
  echo "The image cache at the quit, $posters posters just stored ($runs runs, $(nproc) cores)"
  echo "load average (1 min) at each run: $(awk '{ print $4 }' "$work/runs" | sort -g | tr '\n' ' ')"
  printf '%-40s %-24s %s\n' "side" "ms, median [low-high]" "files written, median [low-high]"
  for side in wait stop; do
    grep "^$side " "$work/runs" >"$work/$side.runs"
    case $side in
      wait) label="reference: wait for every write" ;;
      stop) label="stop: drop the writes not begun" ;;
    esac
    printf '%-40s %-24s %s\n' "$label" "$(column_stats "$work/$side.runs" 2)" "$(column_stats "$work/$side.runs" 3)"
  done
} | tee "$results/$name.txt"
