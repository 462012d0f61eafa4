#!/usr/bin/env bash
# MediaTools next to the ffmpeg tool on a 1920×1080 30 fps 10 s H.264 master with AAC sound:
#   export to a QuickTime movie   vs  ffmpeg -i IN.mp4 -c copy OUT.mov
#   frame at 2 s written as PNG   vs  ffmpeg -ss 2 -i IN.mp4 -frames:v 1 OUT.png
# Each side runs as a whole process, warm file cache, median wall time of N runs. Writes the
# table to bench/results/media-tools.txt. Needs ffmpeg.
#
#   bench/media-tools-bench.sh [runs]     (default 9)
set -euo pipefail
name=media-tools-bench
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-9}
require_tools ffmpeg

build_targets media-tools-bench
bench="$build/bench/media-tools-bench"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
master="$work/master.mp4"
make_master "$master" audio

read -r ours_export tool_export < <(compare \
  '"$bench" export "$master" "$work/ours.mov"' \
  'ffmpeg -v error -y -i "$master" -c copy "$work/tool.mov"')
read -r ours_frame tool_frame < <(compare \
  '"$bench" frame "$master" 2 "$work/ours.png"' \
  'ffmpeg -v error -y -ss 2 -i "$master" -frames:v 1 "$work/tool.png"')
inner_export=$("$bench" export "$master" "$work/ours.mov")
inner_frame=$("$bench" frame "$master" 2 "$work/ours.png")

{
  echo "MediaTools vs ffmpeg tool, $(basename "$master"): 1920x1080 30 fps 10 s H.264 + AAC, $(du -h "$master" | cut -f1)"
  echo "median of $runs runs, whole process, warm cache ($(nproc) cores)"
  printf '%-28s %8s %8s %7s\n' "operation" "ours ms" "tool ms" "ratio"
  printf '%-28s %8d %8d %7s\n' "export to movie (copy)" "$ours_export" "$tool_export" "$(ratio "$ours_export" "$tool_export")"
  printf '%-28s %8d %8d %7s\n' "frame at 2 s to PNG" "$ours_frame" "$tool_frame" "$(ratio "$ours_frame" "$tool_frame")"
  echo "inside our process (one run): $inner_export; $inner_frame"
} | tee "$results/media-tools.txt"
