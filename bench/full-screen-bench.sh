#!/usr/bin/env bash
# The full-screen page on a private Xvfb display (1920x1080), with the references measured in the
# same run:
#   a card click to the page painted with its poster (target: under 100 ms) and to the first
#   frame of a cached preview (target: under 250 ms), against `ffmpeg` decoding the first frame
#   of the same file;
#   "Set Wallpaper" (the picker's "All") on a wallpaper whose master is cached, to the first
#   frame on the desktop (target: under 400 ms), against bare desktop windows loading the file;
#   the 1080p preview playing in the page, CPU against mpv's own X11 output of the same file at
#   the same size (target: at most 1.1x).
# Needs Xvfb, mpv and ffmpeg. Writes bench/results/full-screen-bench.txt.
#
#   bench/full-screen-bench.sh [runs] [seconds]     (default 9 runs, 20 s of playback)
set -euo pipefail
name=full-screen-bench
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-9}
seconds=${2:-20}

require_tools Xvfb mpv ffmpeg
clip="$results/loop-1920x1080-30.mp4"
make_master "$clip"
build_targets full-screen-bench
bench=("$build/bench/full-screen-bench")
data="$top/tests/data"

make_work
start_xvfb 1920x1080x24
export DISPLAY=$server QT_QPA_PLATFORM=xcb

echo "== open"
"${bench[@]}" open "$clip" "$runs" "$data" 2>/dev/null | grep '_ms' | tee "$work/open.out"
echo "== apply"
"${bench[@]}" apply "$clip" "$runs" "$data" 2>/dev/null | grep '_ms' | tee "$work/apply.out"
decode=()
for _ in $(seq "$runs"); do decode+=("$(wall_ms ffmpeg -v error -i "$clip" -frames:v 1 -f null -)"); done

echo "== the page previewing 1920x1080, ${seconds} s after 4 s"
"${bench[@]}" play "$clip" $((seconds + 10)) "$data" >"$work/play.out" 2>&1 &
ours=$(steady_cpu $! 4 "$seconds")
echo "== mpv --vo=x11 1920x1080, ${seconds} s after 4 s"
mpv --no-config --no-audio --loop-file=inf --vo=x11 --geometry=1920x1080 --really-quiet "$clip" &
mpv=$(steady_cpu $! 4 "$seconds")

value() { awk -v key="$1" '$1 == key { print $2 }' "$work"/*.out; }
{
  echo "click to poster (ms)             $(value click_to_poster_ms)   (target < 100)"
  echo "click to first preview frame (ms) $(value click_to_first_frame_ms)   (target < 250; ffmpeg first frame $(median "${decode[@]}") ms)"
  echo "set wallpaper to desktop (ms)    $(value set_wallpaper_to_first_frame_ms)   (target < 400; bare windows $(value bare_windows_first_frame_ms) ms)"
  echo "cpu ours (s)                     $ours"
  echo "cpu mpv (s)                      $mpv"
  echo "cpu ours/mpv                     $(ratio "$ours" "$mpv")   (target <= 1.1)"
} | tee "$results/$name.txt"
