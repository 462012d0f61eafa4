#!/usr/bin/env bash
# The library tab on a private Xvfb display: the first paint of the page with 200 saved
# wallpapers and 20 playlists whose posters come from the disk cache, next to the same 200 poster
# cards alone in the lazy grid (target: under 150 ms), and the CPU of the create-playlist card
# cross-fading between two 480×270 previews against two mpv windows playing them at that size
# (target: at most 1.1x). Needs Xvfb, mpv and ffmpeg.
#
#   bench/library-page-bench.sh [seconds]     (cycling stretch, default 20)
set -euo pipefail
name=library-page-bench
. "$(dirname "$0")/bench-lib.sh"
seconds=${1:-20}

require_tools Xvfb mpv ffmpeg
make_work
for clip in a b; do
  pattern=$([ $clip = a ] && echo testsrc2 || echo smptehdbars)
  path="$results/preview-$clip-480x270.mp4"
  [ -s "$path" ] || ffmpeg -v error -y -f lavfi -i "$pattern=size=480x270:rate=30:duration=10" \
    -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p -movflags +faststart "$path"
done
build_targets library-page-bench
bench="$build/bench/library-page-bench"
start_xvfb 1920x1080x24
export DISPLAY=$server QT_QPA_PLATFORM=xcb

echo "== page with 200 saved wallpapers and 20 playlists"
"$bench" page | tee "$results/$name-page.out"

# CPU seconds of the given processes from `warm` seconds after their start over the next `secs`.
steady_cpu() {
  local warm=$1 secs=$2 tick before=0 after=0 pid
  shift 2
  tick=$(getconf CLK_TCK)
  sleep "$warm"
  for pid in "$@"; do before=$((before + $(awk '{ print $14 + $15 }' "/proc/$pid/stat"))); done
  sleep "$secs"
  for pid in "$@"; do after=$((after + $(awk '{ print $14 + $15 }' "/proc/$pid/stat"))); done
  for pid in "$@"; do kill -INT "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  awk "BEGIN { printf \"%.2f\", ($after - $before) / $tick }"
}

a="$results/preview-a-480x270.mp4"
b="$results/preview-b-480x270.mp4"
echo "== create card cycling two 480x270 previews, ${seconds} s after 3 s"
"$bench" cycle "$a" "$b" $((seconds + 10)) >"$results/$name-cycle.out" 2>&1 &
ours=$(steady_cpu 3 "$seconds" $!)
echo "== two mpv --vo=x11 480x270, ${seconds} s after 3 s"
mpv --no-config --no-audio --loop-file=inf --vo=x11 --geometry=480x270 --really-quiet "$a" &
first=$!
mpv --no-config --no-audio --loop-file=inf --vo=x11 --geometry=480x270 --really-quiet "$b" &
mpv=$(steady_cpu 3 "$seconds" $first $!)

{
  echo "page first paint (ms)    $(awk '/page_first_paint_ms/ { print $3 }' "$results/$name-page.out")   (target < 150)"
  echo "grid alone (ms)          $(awk '/grid_first_paint_ms/ { print $3 }' "$results/$name-page.out")   (reference)"
  echo "cpu card (s)             $ours"
  echo "cpu two mpv (s)          $mpv"
  echo "cpu card/mpv             $(ratio "$ours" "$mpv")   (target <= 1.1)"
} | tee "$results/$name.txt"
