#!/usr/bin/env bash
# What a full-screen 1920×1080 30 fps desktop video costs in our DesktopVideoWindow, next to
# mpv's own X11 output playing the same loop, both on a private Xvfb display of that size.
# Reports CPU time and peak memory of each process (/usr/bin/time -v), our CPU once paused,
# and our time to the first frame. Needs Xvfb, mpv, GNU time and ffmpeg.
#
#   bench/desktop-video-cost.sh [seconds]     (default 20)
set -euo pipefail
name=desktop-video-cost
. "$(dirname "$0")/bench-lib.sh"
seconds=${1:-20}

require_tools Xvfb mpv ffmpeg /usr/bin/time

clip="$results/loop-1920x1080-30.mp4"
make_master "$clip"

build_targets desktop-video-bench
bench="$build/bench/desktop-video-bench"

trap stop_xvfb EXIT
start_xvfb 1920x1080x24
export DISPLAY=$server


echo "== ours: DesktopVideoWindow, ${seconds} s"
BENCH_START_NS=$(date +%s%N) QT_QPA_PLATFORM=xcb /usr/bin/time -v -o "$results/ours.time" \
  "$bench" "$clip" "$seconds" | tee "$results/ours.out"

echo "== mpv --vo=x11, ${seconds} s"
/usr/bin/time -v -o "$results/mpv.time" timeout -s INT "$seconds" \
  mpv --no-config --no-audio --loop-file=inf --vo=x11 --fs --really-quiet "$clip" || true

echo "== ours, paused after the first frame, ${seconds} s"
QT_QPA_PLATFORM=xcb /usr/bin/time -v -o "$results/ours-paused.time" \
  "$bench" "$clip" "$seconds" --paused | tee "$results/ours-paused.out"

ours_cpu=$(cpu_seconds "$results/ours.time")
mpv_cpu=$(cpu_seconds "$results/mpv.time")
ours_rss=$(peak_rss_kb "$results/ours.time")
mpv_rss=$(peak_rss_kb "$results/mpv.time")
{
  echo "seconds              $seconds"
  echo "cpu ours (s)         $ours_cpu   ($(awk "BEGIN { printf \"%.2f\", $ours_cpu / $seconds }") cores)"
  echo "cpu mpv (s)          $mpv_cpu   ($(awk "BEGIN { printf \"%.2f\", $mpv_cpu / $seconds }") cores)"
  echo "cpu ours/mpv         $(awk "BEGIN { printf \"%.2f\", $ours_cpu / $mpv_cpu }")"
  echo "peak rss ours (MiB)  $(awk "BEGIN { printf \"%.1f\", $ours_rss / 1024 }")"
  echo "peak rss mpv (MiB)   $(awk "BEGIN { printf \"%.1f\", $mpv_rss / 1024 }")"
  echo "rss ours/mpv         $(awk "BEGIN { printf \"%.2f\", $ours_rss / $mpv_rss }")"
  echo "paused cpu (%)       $(awk '/paused_cpu_percent/ { print $2 }' "$results/ours-paused.out")"
  echo "first frame (ms)     $(awk '/^first_frame_ms/ { print $2 }' "$results/ours.out")"
  echo "frames shown         $(awk '/frames_shown/ { print $2 }' "$results/ours.out")"
  echo "teardown (ms)        $(awk '/teardown_ms/ { print $2 }' "$results/ours.out")"
} | tee "$results/desktop-video-cost.txt"
