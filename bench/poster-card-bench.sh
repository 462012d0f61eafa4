#!/usr/bin/env bash
# Poster cards on a private Xvfb display: the first full paint of a grid of 60 cards whose
# posters come from the disk cache (target: under 50 ms), the first preview frame after the
# pointer enters a card whose preview is cached (target: under 150 ms), and the CPU of one card
# previewing a 480×270 loop against mpv's own X11 output of the same file (target: at most 1.1x).
# Needs Xvfb, mpv and ffmpeg.
#
#   bench/poster-card-bench.sh [seconds]     (playback stretch, default 20)
set -euo pipefail
name=poster-card-bench
. "$(dirname "$0")/bench-lib.sh"
seconds=${1:-20}

require_tools Xvfb mpv ffmpeg

clip="$results/loop-480x270-30.mp4"
[ -s "$clip" ] || ffmpeg -v error -y -f lavfi -i "testsrc2=size=480x270:rate=30:duration=10" \
  -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p -movflags +faststart "$clip"

build_targets poster-card-bench
bench="$build/bench/poster-card-bench"

# mpv's X11 output wants a low display number: take the first free one below :10.
display=
for n in $(seq 1 9); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=$n; break; }
done
[ -n "$display" ] || { echo "$name: no free X display below :10" >&2; exit 1; }
Xvfb ":$display" -screen 0 1920x1080x24 -nolisten tcp 2>/dev/null &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb

echo "== grid of 60 cards"
"$bench" grid | tee "$results/$name-grid.out"
echo "== hover onto a card with a cached preview"
"$bench" hover "$clip" | tee "$results/$name-hover.out"
echo "== one card previewing 480x270, ${seconds} s after 3 s"
"$bench" play "$clip" $((seconds + 10)) >"$results/$name-play.out" 2>&1 &
ours=$(steady_cpu $! 3 "$seconds")
echo "== mpv --vo=x11 480x270, ${seconds} s after 3 s"
mpv --no-config --no-audio --loop-file=inf --vo=x11 --geometry=480x270 --really-quiet "$clip" &
mpv=$(steady_cpu $! 3 "$seconds")

{
  echo "grid first paint (ms)    $(awk '/grid_first_paint_ms/ { print $3 }' "$results/$name-grid.out")   (target < 50; GUI thread CPU $(awk '/grid_first_paint_cpu_ms/ { print $3 }' "$results/$name-grid.out"))"
  echo "hover first frame (ms)   $(awk '/hover_first_frame_ms/ { print $3 }' "$results/$name-hover.out")   (target < 150)"
  echo "cpu ours (s)             $ours"
  echo "cpu mpv (s)              $mpv"
  echo "cpu ours/mpv             $(awk "BEGIN { printf \"%.2f\", $ours / $mpv }")   (target <= 1.1)"
} | tee "$results/$name.txt"
