#!/usr/bin/env bash
# A 200 MB file over loopback TLS from the sample catalogue into a file on disk (the build's
# disk), and the same file sent back with PUT, by the program's own paths (engine-media-bench:
# the master download of WallpaperDownloadService, the upload of the community upload, one per
# process) against curl (-o FILE, and -T FILE), alternating in one run. For ours, "call" is the
# transfer as the running program pays for it (from the call to its outcome: wall time, and CPU
# of every thread of the process); "process" adds the start of a process that loads all of the
# program's libraries. curl is always its whole process. Throughput, CPU seconds per MB and
# voluntary context switches; medians of N with [ranges], and the load average beside each run.
# Goals per call: down, at least curl's throughput at no more CPU per MB (the master synced, curl's
# file not); up, at least 0.95x its throughput and at most 1.1x its CPU per MB.
# Needs curl, ffmpeg and GNU time.
#
#   bench/transfer-cost.sh [runs] [MB]     (defaults 3 and 200)
#
# QUORVELLE_BASELINE_MEDIA_BENCH=<binary> adds an earlier build of engine-media-bench.
set -euo pipefail
name=transfer-cost
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-3}
megabytes=${2:-200}
require_tools curl ffmpeg /usr/bin/time

build_targets engine-media-bench sample-catalogue
bench="$build/bench/engine-media-bench"
baseline="${QUORVELLE_BASELINE_MEDIA_BENCH:-}"
# On the disk of the build, not in memory: a download lands in the user's cache folder.
work=$(mktemp -d -p "$build")
catalogue_pid=
trap remove_work EXIT

# The master made as large as a real one, and a video throughout: the catalogue's own played
# over and over (packets copied, index first), so the download's checks read every byte of it.
cp -r "$build/sample-catalogue-media" "$work/media" 2>/dev/null || mkdir -p "$work/media"
start_catalogue "$work/catalogue.out" "$work/media"
url="$base/wallpaper/1718000000174/master.mp4"
curl -sf --cacert "$cert" -o /dev/null "$url"
for master in "$work"/media/1718000000174/master-*.mp4; do
  loops=$(((megabytes * 1048576 + $(stat -c %s "$master") - 1) / $(stat -c %s "$master") - 1))
  ffmpeg -v error -y -stream_loop "$loops" -i "$master" -c copy -movflags +faststart -f mp4 "$master.part" \
    && mv "$master.part" "$master"
done
curl -sf --cacert "$cert" -o "$work/body.mp4" "$url"
size=$(stat -c %s "$work/body.mp4")
# An address of the storage host that takes the whole body and then answers 404.
token=00000000-0000-4000-8000-000000000000
put_url="$base/uploads/$token/1.mp4?signature=$token"


# measure <label> <command ...>: one run under GNU time; appends "MB/s cpu-s/MB switches load"
# for the whole process to <label>, and for ours "MB/s cpu-s/MB" of the call to <label>-call.
measure() {
  local label=$1 start end load
  shift
  load=$(one_minute_load)
  start=$(date +%s%N)
  /usr/bin/time -v -o "$work/time" "$@" >"$work/out" 2>&1 || true
  end=$(date +%s%N)
  transfer_figures "$size" "$((end - start))" "$load" "$work/time" >>"$work/$label"
  # "download|upload N bytes, median R MB/s over 1 runs, cpu C s"
  if grep -q ' cpu ' "$work/out"; then
    awk -v b="$size" '/ cpu / { for (i = 1; i <= NF; i++) { if ($i == "median") rate = $(i + 1); if ($i == "cpu") cpu = $(i + 1) }
      printf "%.1f %.4f\n", rate, cpu / (b / 1e6) }' "$work/out" >>"$work/$label-call"
  elif [ "$label" != "${label#curl}" ]; then :; else
    echo "$name: no figures from $*:" >&2; cat "$work/out" >&2; exit 1
  fi
}
measure_side() {
  local binary=$bench
  case $1 in
    curl)
      measure curl-down curl -sf --cacert "$cert" -o "$work/down.mp4" "$url"
      measure curl-up curl -s --cacert "$cert" -H 'Content-Type: video/mp4' -T "$work/body.mp4" -o /dev/null "$put_url" ;;
    *)
      [ "$1" = baseline ] && binary=$baseline
      measure "$1-down" env QUORVELLE_CA_CERT="$cert" "$binary" download "$url" 1
      measure "$1-up" env QUORVELLE_CA_CERT="$cert" "$binary" upload "$put_url" "$work/body.mp4" 1 ;;
  esac
}
sides=(ours curl)
[ -n "$baseline" ] && sides=(baseline ours curl)
alternate_sides measure_side
declare -A throughput_goal=([down]=1.0 [up]=0.95) cpu_goal=([down]=1.0 [up]=1.1)
{
  echo "$size bytes over loopback TLS to $(df -T "$work" | awk 'NR == 2 { print $2 }'), $runs alternating runs ($(nproc) cores)," \
    "1-minute load average $(column_stats "$work/curl-down" 4)"
  for way in down up; do
    echo "${way}load:"
    for side in "${sides[@]}"; do
      if [ "$side" = curl ]; then
        echo "  curl              $(column_stats "$work/curl-$way" 1) MB/s   cpu $(column_stats "$work/curl-$way" 2) s/MB   voluntary switches $(column_stats "$work/curl-$way" 3)"
        continue
      fi
      echo "  $(printf '%-9s' "$side") call    $(column_stats "$work/$side-$way-call" 1) MB/s   cpu $(column_stats "$work/$side-$way-call" 2) s/MB" \
        "  throughput/curl $(ratio_stats "$work/$side-$way-call" "$work/curl-$way" 1) (>= ${throughput_goal[$way]})   cpu/curl $(ratio_stats "$work/$side-$way-call" "$work/curl-$way" 2) (<= ${cpu_goal[$way]})"
      echo "  $(printf '%-9s' "$side") process $(column_stats "$work/$side-$way" 1) MB/s   cpu $(column_stats "$work/$side-$way" 2) s/MB   voluntary switches $(column_stats "$work/$side-$way" 3)" \
        "  throughput/curl $(ratio_stats "$work/$side-$way" "$work/curl-$way" 1)   cpu/curl $(ratio_stats "$work/$side-$way" "$work/curl-$way" 2)"
    done
  done
} | tee "$results/$name.txt"
