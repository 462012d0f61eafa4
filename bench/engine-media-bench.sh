#!/usr/bin/env bash
# The engine's media paths next to the command-line tools doing the same job, in one run:
#   still picture at 2 s of a 1920×1080 30 fps 10 s H.264 file, JPEG
#       ours (whole process)   vs  ffmpeg -ss 2 -i FILE -frames:v 1 OUT.jpg
#   a 200 MB master (the sample catalogue's 3840×2160 one, padded) over loopback TLS into a file
#       ours (WallpaperDownloadService)  vs  curl (a process each), median throughput of N runs
#   image cache: memory hit, and disk hit of a 600×340 poster
# Writes the table to bench/results/engine-media.txt. Needs ffmpeg and curl.
#
#   bench/engine-media-bench.sh [runs] [master MB]     (defaults 9 and 200)
#
# QUORVELLE_BASELINE_MEDIA_BENCH=<binary> adds another build of engine-media-bench (an earlier
# commit's) to the download.
set -euo pipefail
name=engine-media-bench
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-9}
master_mb=${2:-200}
require_tools ffmpeg curl

build_targets engine-media-bench sample-catalogue
bench="$build/bench/engine-media-bench"
make_work

clip="$work/master-1080p.mp4"
ffmpeg -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=10" \
  -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p "$clip"
poster="$work/poster.png"
ffmpeg -v error -y -ss 1 -i "$clip" -vf scale=600:340 -frames:v 1 "$poster"


# Still picture: both sides as whole processes, alternately, after one warm-up each.
"$bench" still "$clip" >/dev/null
ffmpeg -v error -y -ss 2 -i "$clip" -frames:v 1 "$work/tool.jpg"
ours_still=() tool_still=()
for _ in $(seq "$runs"); do
  ours_still+=("$(wall_ms "$bench" still "$clip")")
  tool_still+=("$(wall_ms ffmpeg -v error -y -ss 2 -i "$clip" -frames:v 1 "$work/tool.jpg")")
done
inner_still=$("$bench" still "$clip" | awk '{ print $2 }')

# Master download from the sample catalogue as a process of its own, serving a copy of the
# build's media in which the master is made as large as a real one: the real video, then random
# bytes (the download checks that it fetched a video, by its first bytes, and reads no further).
cp -r "$build/sample-catalogue-media" "$work/media" 2>/dev/null || mkdir -p "$work/media"
start_catalogue "$work/catalogue.out" "$work/media"
url="$base/wallpaper/1718000000174/master.mp4"
curl -sf --cacert "$cert" -o /dev/null "$url" # draws the file on first request
for master in "$work"/media/1718000000174/master-*.mp4; do
  { cat "$master"; head -c $((master_mb * 1048576 - $(stat -c %s "$master"))) /dev/urandom; } >"$master.part" \
    && mv "$master.part" "$master"
done
size=$(curl -sf --cacert "$cert" -o /dev/null -w '%{size_download}' "$url")
# One download each per round, curl, ours, the baseline and curl flushing its file to disk (ours
# is flushed before it replaces the old one; curl's is not), so all of them see the same disk.
baseline="${QUORVELLE_BASELINE_MEDIA_BENCH:-}"
download_mb() { QUORVELLE_CA_CERT="$cert" "$1" download "$url" 1 | awk '{ print $5 }'; }
curl_rates=() ours_rates=() baseline_rates=() synced_rates=()
for _ in $(seq "$runs"); do
  curl_rates+=("$(curl -sf --cacert "$cert" -o "$work/curl.mp4" -w '%{speed_download}' "$url")")
  ours_rates+=("$(download_mb "$bench")")
  if [ -n "$baseline" ]; then baseline_rates+=("$(download_mb "$baseline")"); fi
  start=$(date +%s%N)
  curl -sf --cacert "$cert" -o "$work/curl.mp4" "$url"
  sync "$work/curl.mp4"
  end=$(date +%s%N)
  synced_rates+=("$(awk -v b="$size" -v ns="$((end - start))" 'BEGIN { printf "%.1f", b / (ns / 1e9) / 1e6 }')")
done
curl_rate=$(median "${curl_rates[@]}")
ours_rate=$(median "${ours_rates[@]}")
synced_mb=$(median "${synced_rates[@]}")
if [ -n "$baseline" ]; then baseline_rate=$(median "${baseline_rates[@]}"); fi

cache=$("$bench" image-cache "$poster")
memory_us=$(echo "$cache" | awk '/memory hit/ { print $3 }')
disk_ms=$(echo "$cache" | awk '/disk hit/ { print $5 }')

curl_mb=$(awk -v r="$curl_rate" 'BEGIN { printf "%.1f", r / 1e6 }')
{
  echo "engine media paths, same run, median of $runs runs ($(nproc) cores)"
  echo "still picture at 2 s, 1920x1080 30 fps 10 s H.264, whole process:"
  echo "  ours $(median "${ours_still[@]}") ms, ffmpeg -ss 2 -i FILE -frames:v 1 OUT.jpg $(median "${tool_still[@]}") ms," \
       "ratio $(ratio "$(median "${ours_still[@]}")" "$(median "${tool_still[@]}")") (target <= 1); inside our process $inner_still ms"
  echo "master download, $size bytes over loopback TLS into a file:"
  echo "  ours $ours_rate MB/s, curl $curl_mb MB/s, ratio $(ratio "$ours_rate" "$curl_mb") (target >= 0.80)"
  echo "  curl writing a file then flushing it to disk, as ours does: $synced_mb MB/s, ratio $(ratio "$ours_rate" "$synced_mb")"
  if [ -n "$baseline" ]; then
    echo "  baseline $baseline_rate MB/s, ratio to curl $(ratio "$baseline_rate" "$curl_mb")"
  fi
  echo "image cache: memory hit $memory_us us (target < 5), disk hit of a 600x340 poster $disk_ms ms (target < 5)"
} | tee "$results/engine-media.txt"
