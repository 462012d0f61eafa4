#!/usr/bin/env bash
# How clean the frames are that the desktop video engine scales, and what they cost, against
# mpv's own X11 output of the same clips on the same private Xvfb display, in one run:
#   desktop  a 1920×1080 clip on a 2560×1440 display (scaled up);
#   hero     the same clip on a 1280×720 display (scaled down, as the home page's hero shows a
#            1080p preview across the main window; the player is the same, and a size of the
#            clip's shape keeps mpv, which fits rather than fills, from a border of its own).
# Quality: a still of saturated bars, a fractal, colour waves and colour stripes (H.264 4:2:0,
# BT.709 limited range, chroma sited left) shown full screen and read back from the display,
# scored against a lanczos reference of the same frame at the same size made by ffmpeg (chroma
# at full resolution and sited as the clip says, exact rounding): SSIM of Y, U, V and of all
# three on BT.709 4:4:4 ("all", colour included), PSNR, and the largest step of the six
# saturated bars from the reference's colour, in levels of 255.
# Cost: CPU seconds of the whole process per shown frame of a 30 fps 1080p loop played for
# `seconds` on the same display (mpv's frames counted by mpv-frames.lua).
# The sides alternate within each run; the one-minute load average is printed beside each run.
# Medians of N runs with [ranges]. Targets: SSIM (all) at least 0.97 in both cases, CPU per
# shown frame at most 0.5× mpv's. Needs Xvfb, mpv, ffmpeg (with x11grab) and GNU time.
#
#   bench/frame-quality.sh [seconds] [runs]     (defaults 15 and 3)
#
# QUORVELLE_ENGINE_BENCH=<binary> skips the build and runs that wallpaper-engine-bench;
# QUORVELLE_BASELINE_ENGINE_BENCH=<binary> adds another build of it (an earlier commit's) as a
# third side.
set -euo pipefail
name=frame-quality
. "$(dirname "$0")/bench-lib.sh"
seconds=${1:-15}
runs=${2:-3}
require_tools Xvfb mpv ffmpeg /usr/bin/time

engine_bench_inputs
sides=(ours mpv)
[ -n "${QUORVELLE_BASELINE_ENGINE_BENCH:-}" ] && sides+=(baseline)
make_work
still="$results/quality-still-1920x1080.mp4"

# The still: four 960×540 fields, then 10 s of it as a 30 fps H.264 loop, made once.
make_still() {
  [ -s "$still" ] && return
  local waves="color=c=black:s=960x540:d=1,format=rgb24,geq=r='128+127*sin((X*X+Y*Y)/900)'"
  waves+=":g='128+127*sin(X/9+Y/17)':b='128+127*cos((X-Y)/12)'"
  local stripes="color=c=black:s=960x540:d=1,format=rgb24,geq=r='255*gt(mod(floor(X/8)+floor(Y/8),3),0)'"
  stripes+=":g='255*eq(mod(floor(X/12),2),0)':b='255*gt(mod(X+Y,28),13)'"
  ffmpeg -v error -y -f lavfi -i "testsrc2=s=960x540:d=1" \
    -f lavfi -i "mandelbrot=s=960x540:start_scale=0.02:start_x=-0.7435:start_y=0.1314,trim=start_frame=30:end_frame=31,setpts=PTS-STARTPTS" \
    -f lavfi -i "$waves" -f lavfi -i "$stripes" \
    -filter_complex "[0]format=rgb24[a];[1]format=rgb24[b];[a][b]hstack[top];[2][3]hstack[bottom];[top][bottom]vstack" \
    -frames:v 1 "$work/still.png"
  ffmpeg -v error -y -loop 1 -i "$work/still.png" -t 10 -r 30 \
    -vf "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p" -c:v libx264 -preset medium -crf 12 -tune stillimage \
    -color_primaries bt709 -color_trc bt709 -colorspace bt709 -color_range tv -movflags +faststart "$still"
}
make_still

# reference <width> <height> <out.png>: the still's frame scaled by lanczos, chroma sited left.
reference() {
  ffmpeg -v error -y -i "$still" -frames:v 1 -vf "scale=$1:$2:flags=lanczos+full_chroma_int+full_chroma_inp+accurate_rnd:in_color_matrix=bt709:in_range=tv:in_h_chr_pos=0:in_v_chr_pos=128,format=rgb24" "$3"
}

# show <side> <display> <size> <clip> <seconds> <time file>: the side full screen on the display.
show() {
  local side=$1 display=$2 size=$3 clip=$4 secs=$5 timed=$6
  if [ "$side" != mpv ]; then
    local binary=$bench
    [ "$side" = baseline ] && binary=$QUORVELLE_BASELINE_ENGINE_BENCH
    DISPLAY=$display QT_QPA_PLATFORM=xcb /usr/bin/time -v -o "$timed" "$binary" "$clip" "$secs" 2>/dev/null |
      awk '$1 == "frames_shown" { print "shown", $2 }' >"$work/frames"
  else
    DISPLAY=$display /usr/bin/time -v -o "$timed" timeout -s INT $((secs + 10)) mpv --no-config --no-audio --loop-file=inf \
      --vo=x11 --fs --really-quiet --script="$top/bench/mpv-frames.lua" \
      --script-opts="frames-out=$work/frames,frames-seconds=$secs" "$clip"
  fi
}

# grab <side> <display> <size> <out.png>: the still as the side shows it, read back after 4 s.
grab() {
  show "$1" "$2" "$3" "$still" 7 "$work/grab.time" &
  local pid=$!
  sleep 4
  ffmpeg -v error -y -f x11grab -video_size "$3" -i "$2" -frames:v 1 "$4"
  wait "$pid" || true
}

# score <picture> <reference>: "ssim_all ssim_y ssim_u ssim_v psnr" on BT.709 4:4:4.
score() {
  local to444="scale=out_color_matrix=bt709:out_range=pc:flags=accurate_rnd+full_chroma_int,format=yuv444p"
  ffmpeg -hide_banner -i "$1" -i "$2" -lavfi "[0]$to444,split[a][c];[1]$to444,split[b][d];[a][b]ssim;[c][d]psnr" -f null - 2>&1 |
    awk '/SSIM/ { for (i = 1; i <= NF; i++) { split($i, kv, ":"); s[kv[1]] = kv[2] } }
         /PSNR/ { for (i = 1; i <= NF; i++) { split($i, kv, ":"); if (kv[1] == "average") p = kv[2] } }
         END { printf "%.4f %.4f %.4f %.4f %.2f\n", s["All"], s["Y"], s["U"], s["V"], p }'
}

# bars <picture> <reference> <width> <height>: the largest step, in levels, of any channel at the
# middle of the six saturated bars (top left field: 160 px wide, sampled 500 px down).
bars() {
  local x worst=0 a b
  for x in 80 240 400 560 720 880; do
    local crop="crop=1:1:$((x * $3 / 1920)):$((500 * $4 / 1080)),format=rgb24"
    a=$(ffmpeg -v error -i "$1" -vf "$crop" -f rawvideo - | od -An -tu1)
    b=$(ffmpeg -v error -i "$2" -vf "$crop" -f rawvideo - | od -An -tu1)
    worst=$(awk -v a="$a" -v b="$b" -v w="$worst" 'BEGIN { split(a, p); split(b, q)
      for (i = 1; i <= 3; i++) { d = p[i] - q[i]; if (d < 0) d = -d; if (d > w) w = d } print w }')
  done
  echo "$worst"
}

# cost <side> <display>: "cpu_seconds shown_frames" of the 1080p loop played for `seconds`.
cost() {
  show "$1" "$2" "" "$hd" "$seconds" "$work/cost.time"
  echo "$(cpu_seconds "$work/cost.time") $(awk '$1 == "shown" { print $2 }' "$work/frames")"
}

declare -A sizes=([desktop]=2560x1440 [hero]=1280x720)
declare -A displays
for case in desktop hero; do
  start_xvfb "${sizes[$case]}x24"
  displays[$case]=$server
  reference "${sizes[$case]%x*}" "${sizes[$case]#*x}" "$work/$case-reference.png"
done

# One line per case, side and run in $work/rows: case side run load ssim_all y u v psnr bars cpu frames.
: >"$work/rows"
for run in $(seq "$runs"); do
  for case in desktop hero; do
    size=${sizes[$case]}
    for side in "${sides[@]}"; do
      load=$(cut -d' ' -f1 /proc/loadavg)
      grab "$side" "${displays[$case]}" "$size" "$work/$case-$side.png"
      quality=$(score "$work/$case-$side.png" "$work/$case-reference.png")
      step=$(bars "$work/$case-$side.png" "$work/$case-reference.png" "${size%x*}" "${size#*x}")
      spent=$(cost "$side" "${displays[$case]}")
      echo "$case $side $run $load $quality $step $spent" | tee -a "$work/rows"
    done
  done
done

# per_run_ratio <side>: "median [low-high]" of ours against the side per frame, run by run, in the
# case whose figures are in $work/per-frame.
per_run_ratio() {
  paste <(awk '$2 == "ours" { print $3 }' "$work/per-frame") <(awk -v s="$1" '$2 == s { print $3 }' "$work/per-frame") |
    awk '{ printf "%.2f\n", ($2 > 0 ? $1 / $2 : 0) }' >"$work/ratios"
  column_stats "$work/ratios" 1
}
# stat <case> <side> <column>: "median [low-high]" of that column over the runs.
stat() { awk -v c="$1" -v s="$2" '$1 == c && $2 == s' "$work/rows" >"$work/pick"; column_stats "$work/pick" "$3"; }
{
  echo "scaled frames against a lanczos reference, and CPU per shown frame, against mpv --vo=x11; ${seconds} s per cost run, medians of $runs [ranges], $(nproc) cores"
  for case in desktop hero; do
    echo "${case} (1920x1080 on ${sizes[$case]})"
    printf '  %-8s %-22s %-22s %-22s %-22s %-14s %-26s %s\n' side "ssim all" "ssim y" "ssim u" "ssim v" "psnr (dB)" "bar step (levels)" "cpu per frame (ms)"
    awk -v c="$case" '$1 == c { printf "%s %s %.2f\n", $1, $2, ($12 > 0 ? 1000 * $11 / $12 : 0) }' "$work/rows" >"$work/per-frame"
    for side in "${sides[@]}"; do
      awk -v s="$side" '$2 == s { print $3 }' "$work/per-frame" >"$work/pick-frame"
      printf '  %-8s %-22s %-22s %-22s %-22s %-14s %-26s %s\n' "$side" "$(stat "$case" "$side" 5)" "$(stat "$case" "$side" 6)" \
        "$(stat "$case" "$side" 7)" "$(stat "$case" "$side" 8)" "$(stat "$case" "$side" 9)" "$(stat "$case" "$side" 10)" \
        "$(column_stats "$work/pick-frame" 1)"
    done
    echo "  ours/mpv cpu per frame  $(per_run_ratio mpv)   (target: at most 0.50)"
    [ -n "${QUORVELLE_BASELINE_ENGINE_BENCH:-}" ] && echo "  ours/baseline per frame $(per_run_ratio baseline)"
    echo "  ours ssim all           $(stat "$case" ours 5)   (target: at least 0.97)"
    echo "  load (1 min) at each run $(awk -v c="$case" '$1 == c { printf "%s ", $4 }' "$work/rows")"
  done
} | tee "$results/$name.txt"
