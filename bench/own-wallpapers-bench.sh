#!/usr/bin/env bash
# The own-wallpapers paths next to the command-line tools doing the same job, in one run:
#   a 500 MB video imported for personal use     ours (OwnVideoImport)  vs  cp, and cp + sync
#       (ours flushes the copy before it takes its final name); also the longest stall of our
#       event loop while the import runs
#   a 200 MB video uploaded to the sample catalogue   ours (CommunityUploadService, the file
#       transfer alone and the whole submission)  vs  curl -T to a fresh signed address; also the
#       rise of our resident memory during the upload
# Median of N runs, taken alternately. Writes bench/results/own-wallpapers.txt. Needs ffmpeg, curl.
#
#   bench/own-wallpapers-bench.sh [runs] [import MB] [upload MB]     (defaults 5, 500, 200)
set -euo pipefail
name=own-wallpapers-bench
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-5}
import_mb=${2:-500}
upload_mb=${3:-200}
require_tools ffmpeg curl

build_targets own-wallpapers-bench sample-catalogue
bench="$build/bench/own-wallpapers-bench"
make_work

# A real video at the head (so it probes) padded with noise to the size wanted.
padded_video() {
  local path=$1 mb=$2
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=3840x2160:rate=30:duration=5" -c:v libx264 -preset ultrafast \
    -pix_fmt yuv420p -movflags +faststart "$path"
  head -c "$((mb * 1024 * 1024 - $(stat -c %s "$path")))" /dev/urandom >>"$path"
  # On disk before any timing, so its own write-back never lands in a timed run.
  sync "$path"
}
big="$work/import.mp4"
padded_video "$big" "$import_mb"
size=$(stat -c %s "$big")

ours_import=() cp_rates=() cp_sync_rates=() stalls=()
rate() { awk -v b="$1" -v ns="$2" 'BEGIN { printf "%.1f", b / (ns / 1e9) / 1e6 }'; }
for _ in $(seq "$runs"); do
  line=$("$bench" import "$big" | grep '^import ')
  ours_import+=("$(echo "$line" | awk '{ print $7 }')")
  stalls+=("$(echo "$line" | awk '{ print $12 }')")
  start=$(date +%s%N); cp "$big" "$work/cp.mp4"; end=$(date +%s%N)
  cp_rates+=("$(rate "$size" "$((end - start))")")
  rm -f "$work/cp.mp4"
  start=$(date +%s%N); cp "$big" "$work/cp.mp4"; sync "$work/cp.mp4"; end=$(date +%s%N)
  cp_sync_rates+=("$(rate "$size" "$((end - start))")")
  rm -f "$work/cp.mp4"
done
worst_stall=$(printf '%s\n' "${stalls[@]}" | sort -g | tail -n1)

upload="$work/upload.mp4"
padded_video "$upload" "$upload_mb"
upload_size=$(stat -c %s "$upload")
start_catalogue "$work/catalogue.out" "$work/media"
backend="$base/functions/v1"
signed_address() {
  curl -sf --cacert "$cert" -H 'Authorization: Bearer sample-anon-key' -H 'Accept: application/json' -H 'Content-Type: application/json' \
    -d '{"device_uuid":"bench-curl"}' "$backend/request-upload-url" |
    python3 -c 'import json,sys; r=json.load(sys.stdin); print(r["upload_url"].replace("/?", "/" + r["wallpaper_key"] + ".mp4?"))'
}
ours_transfer=() ours_whole=() rss=() transfer_rss=() curl_rates=()
for _ in $(seq "$runs"); do
  line=$(QUORVELLE_BACKEND_URL="$backend" QUORVELLE_CA_CERT="$cert" "$bench" upload "$upload" | grep '^upload ')
  ours_whole+=("$(echo "$line" | awk '{ print $6 }')")
  ours_transfer+=("$(echo "$line" | awk '{ print $11 }')")
  rss+=("$(echo "$line" | awk '{ print $16 }')")
  transfer_rss+=("$(echo "$line" | sed -n 's/.*(\([0-9.]*\) MiB while the file went out).*/\1/p')")
  address=$(signed_address)
  curl_rates+=("$(curl -sf --cacert "$cert" -H 'Content-Type: video/mp4' -T "$upload" -o /dev/null -w '%{speed_upload}' "$address" |
    awk '{ printf "%.1f", $1 / 1e6 }')")
done
worst_rss=$(printf '%s\n' "${rss[@]}" | sort -g | tail -n1)
worst_transfer_rss=$(printf '%s\n' "${transfer_rss[@]}" | sort -g | tail -n1)
import_rate=$(median "${ours_import[@]}")
transfer_rate=$(median "${ours_transfer[@]}")
curl_rate=$(median "${curl_rates[@]}")
whole=$(median "${ours_whole[@]}")
whole_rate=$(awk -v b="$upload_size" -v s="$whole" 'BEGIN { printf "%.1f", b / s / 1e6 }')
{
  echo "own wallpapers, same run, median of $runs runs ($(nproc) cores)"
  echo "personal-use import of $size bytes:"
  echo "  ours $import_rate MB/s, cp $(median "${cp_rates[@]}") MB/s, ratio $(ratio "$import_rate" "$(median "${cp_rates[@]}")") (target >= 0.80)"
  echo "  cp then sync, as ours flushes before renaming: $(median "${cp_sync_rates[@]}") MB/s, ratio $(ratio "$import_rate" "$(median "${cp_sync_rates[@]}")")"
  echo "  longest event-loop stall during an import: median of the runs $(median "${stalls[@]}") ms, worst run $worst_stall ms" \
       "(target <= 16)"
  echo "community upload of $upload_size bytes to the sample catalogue over loopback TLS:"
  echo "  ours, the transfer: $transfer_rate MB/s, curl -T $curl_rate MB/s, ratio $(ratio "$transfer_rate" "$curl_rate") (target >= 0.70)"
  echo "  ours, the whole submission (address, metadata, transfer, local copy): $whole_rate MB/s, ratio $(ratio "$whole_rate" "$curl_rate")"
  echo "  resident memory rise while the file goes out: $worst_transfer_rss MiB (worst run; target < 32);" \
       "over the whole submission, whose local copy is probed by FFmpeg: $worst_rss MiB"
} | tee "$results/own-wallpapers.txt"
