#!/usr/bin/env bash
# A 200 MB file over loopback TLS from the sample catalogue into a file on disk, and the same
# file sent back with PUT, by the application's HTTP stack (engine-media-bench, one download or
# upload per process) against curl (-o FILE, and -T FILE), alternating in one run: throughput
# of the whole process (wall time from its start), CPU seconds per MB, and voluntary context
# switches. Medians of N with [ranges].
# Targets: download and upload at least 0.8x curl's throughput; CPU per MB at most 1.5x curl's.
# Needs curl and GNU time.
#
#   bench/transfer-cost.sh [runs] [MB]     (defaults 3 and 200)
#
# QUORVELLE_BASELINE_MEDIA_BENCH=<binary> adds an earlier build of engine-media-bench.
set -euo pipefail
name=transfer-cost
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-3}
megabytes=${2:-200}
require_tools curl /usr/bin/time

build_targets engine-media-bench sample-catalogue
bench="$build/bench/engine-media-bench"
baseline="${QUORVELLE_BASELINE_MEDIA_BENCH:-}"
# On the disk of the build, not in memory: a download lands in the user's cache folder.
work=$(mktemp -d -p "$build")
catalogue_pid=
trap remove_work EXIT

# The master made as large as a real one (see engine-media-bench.sh).
cp -r "$build/sample-catalogue-media" "$work/media" 2>/dev/null || mkdir -p "$work/media"
start_catalogue "$work/catalogue.out" "$work/media"
url="$base/wallpaper/1718000000174/master.mp4"
curl -sf --cacert "$cert" -o /dev/null "$url"
for master in "$work"/media/1718000000174/master-*.mp4; do
  { cat "$master"; head -c $((megabytes * 1048576 - $(stat -c %s "$master"))) /dev/urandom; } >"$master.part" \
    && mv "$master.part" "$master"
done
curl -sf --cacert "$cert" -o "$work/body.mp4" "$url"
size=$(stat -c %s "$work/body.mp4")
# An address of the storage host that takes the whole body and then answers 404.
token=00000000-0000-4000-8000-000000000000
put_url="$base/uploads/$token/1.mp4?signature=$token"

# measure <label> <command ...>: one run under GNU time; appends "MB/s cpu-s/MB switches".
measure() {
  local label=$1 start end
  shift
  start=$(date +%s%N)
  /usr/bin/time -v -o "$work/time" "$@" >/dev/null 2>&1 || true
  end=$(date +%s%N)
  awk -v b="$size" -v ns="$((end - start))" -F': ' '
    /User time|System time/ { cpu += $2 } /Voluntary context switches/ { sw = $2 }
    END { printf "%.1f %.4f %d\n", b / (ns / 1e9) / 1e6, cpu / (b / 1e6), sw }' "$work/time" >>"$work/$label"
}
sides=(ours curl)
[ -n "$baseline" ] && sides=(baseline ours curl)
for run in $(seq "$runs"); do
  echo "== run $run of $runs"
  for side in "${sides[@]}"; do
    case $side in
      curl)
        measure curl-down curl -sf --cacert "$cert" -o "$work/down.mp4" "$url"
        measure curl-up curl -s --cacert "$cert" -H 'Content-Type: video/mp4' -T "$work/body.mp4" -o /dev/null "$put_url" ;;
      *)
        binary=$bench
        [ "$side" = baseline ] && binary=$baseline
        measure "$side-down" env QUORVELLE_CA_CERT="$cert" "$binary" download "$url" 1
        measure "$side-up" env QUORVELLE_CA_CERT="$cert" "$binary" upload "$put_url" "$work/body.mp4" 1 ;;
    esac
  done
done

column_stats() { # <file> <column>: "median [low-high]"
  local values
  mapfile -t values < <(awk -v c="$2" '{ print $c }' "$1")
  printf '%s [%s-%s]' "$(median "${values[@]}")" "$(printf '%s\n' "${values[@]}" | sort -g | head -n1)" \
    "$(printf '%s\n' "${values[@]}" | sort -g | tail -n1)"
}
ratios() { # <file> <reference file> <column>: median [range] of the per-run ratios
  local values
  mapfile -t values < <(paste -d' ' "$1" "$2" | awk -v c="$3" -v n=3 '{ printf "%.2f\n", ($(c + n) > 0 ? $c / $(c + n) : 0) }')
  printf '%s [%s-%s]' "$(median "${values[@]}")" "$(printf '%s\n' "${values[@]}" | sort -g | head -n1)" \
    "$(printf '%s\n' "${values[@]}" | sort -g | tail -n1)"
}
{
  echo "$size bytes over loopback TLS, whole processes, $runs alternating runs ($(nproc) cores)"
  for way in down up; do
    echo "${way}load:"
    for side in "${sides[@]}"; do
      line="  $(printf '%-9s' "$side") $(column_stats "$work/$side-$way" 1) MB/s   cpu $(column_stats "$work/$side-$way" 2) s/MB   voluntary switches $(column_stats "$work/$side-$way" 3)"
      [ "$side" != curl ] && line="$line   throughput/curl $(ratios "$work/$side-$way" "$work/curl-$way" 1) (>= 0.8)   cpu/curl $(ratios "$work/$side-$way" "$work/curl-$way" 2) (<= 1.5)"
      echo "$line"
    done
  done
} | tee "$results/$name.txt"
