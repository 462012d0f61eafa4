#!/usr/bin/env bash
# The end of the program with long work under way, against the same end with none (exit-bench):
# Quit, and SIGTERM, while a personal-use import copies a large video (3 GB, sparse) and a preview
# player opens a stream that never ends (the sample catalogue's endless reply). Each figure is
# the time from the quit (or the signal) to the end of the process, median [low-high] of N runs,
# with the load average beside it; each run also checks that the own-videos folder holds nothing
# (the stopped import leaves no copy, and no video without its record). Then the program itself
# on its home page, every hero preview a stream that never ends, from SIGTERM to its end.
# Writes bench/results/exit-time.txt. Needs ffmpeg, curl, python3 and Xvfb.
#
#   bench/exit-time.sh [runs] [import GB]     (defaults 5, 3)
set -euo pipefail
name=exit-time
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-5}
gb=${2:-3}
require_tools ffmpeg curl truncate python3 Xvfb

build_targets exit-bench quorvelle sample-catalogue
bench="$build/bench/exit-bench"
make_work
start_catalogue "$work/catalogue.log"
endless="$base/wallpaper/1/previewhd.mp4"
curl -sf --cacert "$cert" -X POST "$base/__control/fault" \
  -d '{"path": "/wallpaper/1/previewhd.mp4", "endless": true}' >/dev/null
export QUORVELLE_CA_CERT=$cert

# A real video at the head, so the import probes it, then nothing up to the size (sparse).
video="$work/long take.mp4"
ffmpeg -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=2" -c:v libx264 -preset ultrafast \
  -pix_fmt yuv420p -movflags +faststart "$video"
truncate -s "${gb}G" "$video"

: >"$work/runs"
for run in $(seq "$runs"); do
  for mode in idle quit signal; do
    support="$work/support-$mode-$run"
    mkdir -p "$support"
    out="$work/$mode-$run.out"
    if [ "$mode" = signal ]; then
      "$bench" signal "$video" "$endless" "$support" >"$out" 2>&1 &
      pid=$!
      for _ in $(seq 600); do grep -qs '^ready' "$out" && break; sleep 0.05; done
      load=$(cut -d' ' -f1 /proc/loadavg)
      start=$(now_ms)
      kill -TERM "$pid"
      wait "$pid" || true
    else
      load=$(cut -d' ' -f1 /proc/loadavg)
      "$bench" "$mode" "$video" "$endless" "$support" >"$out" 2>&1 || true
      start=$(sed -n 's/^quit at //p' "$out")
    fi
    end=$(now_ms)
    left=$(find "$support" -type f | wc -l)
    echo "$mode $((end - start)) $load $left" >>"$work/runs"
    [ "$left" -eq 0 ] || { echo "$name: $mode left files behind:" >&2; find "$support" -type f >&2; cat "$out" >&2; }
  done
done

# The program on its home page, whose hero opens previews that never end.
start_xvfb 1920x1080x24
endless_hero_previews
for run in $(seq "$runs"); do
  sigterm_on_home "$build/src/quorvelle" "$work/program-$run"
  echo "program $quit_ms $quit_load $(grep -c 'still ending' "$work/program-$run/out" || true) $quit_code" >>"$work/runs"
done

{
  echo "Quit -> process end while a ${gb} GB import copies and a preview opens an endless stream ($runs runs)"
  echo "load average (1 min) at each run: $(awk '{ print $3 }' "$work/runs" | sort -g | tr '\n' ' ')"
  printf '%-44s %s\n' "case" "ms, median [low-high]; files left"
  for mode in idle quit signal; do
    grep "^$mode " "$work/runs" >"$work/$mode.runs"
    case $mode in
      idle) label="reference: quit with nothing under way" ;;
      quit) label="Quit, import + endless preview" ;;
      signal) label="SIGTERM, import + endless preview" ;;
    esac
    printf '%-44s %s; %s\n' "$label" "$(column_stats "$work/$mode.runs" 2)" "$(awk '{ s += $4 } END { print s }' "$work/$mode.runs")"
  done
  grep "^program " "$work/runs" >"$work/program.runs"
  printf '%-44s %s; quit without a player in %s of %s runs; exit codes %s\n' "program, SIGTERM, endless hero preview" \
    "$(column_stats "$work/program.runs" 2)" "$(awk '$4 > 0' "$work/program.runs" | wc -l)" "$runs" \
    "$(awk '{ print $5 }' "$work/program.runs" | sort -u | tr '\n' ' ')"
  echo "last run's own report: $(grep '^copied' "$work/quit-$runs.out" || true)"
} | tee "$results/$name.txt"
