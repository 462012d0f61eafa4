#!/usr/bin/env bash
# Resident memory of the desktop video engine after each of many applies in a row, alternating
# a 1920×1080 and a 3840×2160 30 fps loop on a 3840×2160 Xvfb display, each read once every
# display shows the new video and two seconds have passed (apply-memory-bench). Target: the
# last figure of each video within 10% of its first. Writes bench/results/video-memory.txt.
# Needs Xvfb and ffmpeg.
#
#   bench/video-memory.sh [applies]     (default 20)
set -euo pipefail
name=video-memory
. "$(dirname "$0")/bench-lib.sh"
applies=${1:-20}
require_tools Xvfb ffmpeg

hd="$results/loop-1920x1080-30.mp4"
uhd="$results/loop-3840x2160-30.mp4"
make_master "$hd"
make_master "$uhd" "" 3840x2160
build_targets apply-memory-bench

trap stop_xvfb EXIT
start_xvfb 3840x2160x24
DISPLAY=$server QT_QPA_PLATFORM=xcb "$build/bench/apply-memory-bench" "$hd" "$uhd" "$applies" 2>/dev/null |
  grep '^apply ' >"$results/video-memory.out"

rss() { awk -v n="$1" '$2 == n { print $4 }' "$results/video-memory.out"; }
last=$(awk 'END { print $2 }' "$results/video-memory.out")
{
  echo "resident memory after each apply, 1920x1080 (odd) and 3840x2160 (even) alternating, on a 3840x2160 display"
  awk '{ printf "%s%s %s MiB", (NR % 10 == 1 ? "" : ",  "), $2, $4 } NR % 10 == 0 { print "" } END { if (NR % 10) print "" }' \
    "$results/video-memory.out"
  # The two videos differ in size, so each is held against its own first apply.
  echo "last/first of the same video (target: at most 1.10):"
  echo "  apply $last against $((2 - last % 2))    $(ratio "$(rss "$last")" "$(rss $((2 - last % 2)))")"
  echo "  apply $((last - 1)) against $((1 + last % 2))    $(ratio "$(rss $((last - 1)))" "$(rss $((1 + last % 2)))")"
} | tee "$results/video-memory.txt"
