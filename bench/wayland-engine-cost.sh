#!/usr/bin/env bash
# What the desktop video costs on a Wayland session next to mpv's software Wayland output
# (--vo=wlshm, which needs no GPU) playing the same 30 fps H.264 loop full screen on the same
# output of a headless sway, in one run so the machine's load weighs on both: CPU seconds of the
# whole process (/usr/bin/time -v) per frame shown, at 1920x1080 and 3840x2160, the sides
# alternating, with the load average taken beside each run. Then resident memory against the X11
# path: the same engine bench on an Xvfb display of the same size.
# sway refuses to run as root, so it runs as nobody with a runtime folder of its own; root still
# connects to its socket. Needs sway, mpv, Xvfb, GNU time, setpriv and ffmpeg.
#
#   bench/wayland-engine-cost.sh [seconds] [runs]     (defaults 20, 3)
#
# QUORVELLE_ENGINE_BENCH=<binary> skips the build and runs that wallpaper-engine-bench.
set -euo pipefail
name=wayland-engine-cost
. "$(dirname "$0")/bench-lib.sh"
seconds=${1:-20}
runs=${2:-3}

require_tools sway swaymsg mpv Xvfb ffmpeg setpriv /usr/bin/time

engine_bench_inputs

runtime=$(mktemp -d)
chown 65534:65534 "$runtime"
chmod 0700 "$runtime"
sway_pid=
stop_all() {
  [ -n "$sway_pid" ] && kill "$sway_pid" 2>/dev/null
  stop_xvfb
  rm -rf "$runtime"
}
trap stop_all EXIT

printf 'output * bg #000000 solid_color\ndefault_border none\n' >"$runtime/config"
chmod 0644 "$runtime/config"
setpriv --reuid=65534 --regid=65534 --clear-groups env -i XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless \
  WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 sway -c "$runtime/config" >"$results/$name-sway.log" 2>&1 &
sway_pid=$!
for _ in $(seq 100); do
  socket=$(find "$runtime" -maxdepth 1 -name 'wayland-*' -type s | head -n1)
  ipc=$(find "$runtime" -maxdepth 1 -name 'sway-ipc.*' -type s | head -n1)
  [ -n "$socket" ] && [ -n "$ipc" ] && break
  sleep 0.1
done
[ -n "$socket" ] && [ -n "$ipc" ] || { echo "$name: sway did not start, see $results/$name-sway.log" >&2; exit 1; }
export XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=${socket##*/} SWAYSOCK=$ipc
output=$(swaymsg -t get_outputs -r | awk -F'"' '/"name"/ { print $4; exit }')

fps=30 # the rate make_master writes
value() { awk -v key="$1" '$1 == key { print $2 }' "$2"; }
load() { cut -d' ' -f1 /proc/loadavg; }

# engine_run <label> <clip> <platform>: one run of the engine bench, its frames in <label>.frames.
engine_run() {
  local label=$1 clip=$2 platform=$3
  QT_QPA_PLATFORM=$platform /usr/bin/time -v -o "$results/$name-$label.time" \
    "$bench" "$clip" "$seconds" 2>/dev/null | grep -v '^💾\|^📖' >"$results/$name-$label.out"
  awk '$1 == "frames_shown" { print "shown", $2 }' "$results/$name-$label.out" >"$results/$name-$label.frames"
}
mpv_run() {
  local label=$1 clip=$2
  /usr/bin/time -v -o "$results/$name-$label.time" timeout -s INT $((seconds + 10)) \
    mpv --no-config --no-audio --loop-file=inf --vo=wlshm --fs --really-quiet --script="$top/bench/mpv-frames.lua" \
    --script-opts="frames-out=$results/$name-$label.frames,frames-seconds=$seconds" "$clip" || true
}
per_frame() { awk -v c="$(cpu_seconds "$1.time")" -v n="$(value shown "$1.frames")" 'BEGIN { printf "%.2f", (n > 0 ? 1000 * c / n : 0) }'; }

# against_mpv <case> <size> <clip>: alternating runs; one table row per side and run.
against_mpv() {
  local case=$1 size=$2 clip=$3 run side
  swaymsg output "$output" resolution "$size" >/dev/null
  for run in $(seq "$runs"); do
    for side in ours mpv; do
      local before after
      before=$(load)
      if [ $side = ours ]; then engine_run "$case-ours" "$clip" wayland; else mpv_run "$case-mpv" "$clip"; fi
      after=$(load)
      printf '%s %s %s %s %s %s %s\n' "$case" "$side" "$(cpu_seconds "$results/$name-$case-$side.time")" \
        "$(value shown "$results/$name-$case-$side.frames")" "$(per_frame "$results/$name-$case-$side")" \
        "$(peak_rss_kb "$results/$name-$case-$side.time")" "$before/$after" >>"$results/$name.rows"
      echo "== $case run $run $side: $(tail -n1 "$results/$name.rows")"
    done
  done
}

: >"$results/$name.rows"
: >"$results/$name.x11"
against_mpv hd 1920x1080 "$hd"
against_mpv uhd 3840x2160 "$uhd"

# The X11 path's memory: the same bench on Xvfb displays of the same sizes.
for size in 1920x1080 3840x2160; do
  start_xvfb "${size}x24"
  for run in $(seq "$runs"); do
    before=$(load)
    DISPLAY=$server engine_run "x11-$size" "$([ $size = 1920x1080 ] && echo "$hd" || echo "$uhd")" xcb
    echo "x11-$size rss $(peak_rss_kb "$results/$name-x11-$size.time") $before/$(load)" >>"$results/$name.x11"
  done
done

# column <case> <side> <n>: the median of one column of a case's rows.
column() { mapfile -t v < <(awk -v c="$1" -v s="$2" -v n="$3" '$1 == c && $2 == s { print $n }' "$results/$name.rows"); median "${v[@]}"; }
loads() { awk -v c="$1" -v s="$2" '$1 == c && $2 == s { printf "%s ", $7 }' "$results/$name.rows"; }
x11_rss() { mapfile -t v < <(awk -v s="x11-$1" '$1 == s { print $3 }' "$results/$name.x11"); median "${v[@]}"; }
{
  echo "desktop video on headless sway against mpv --vo=wlshm --fs, ${seconds} s per run, medians of $runs, $(nproc) cores"
  printf '  %-5s %-5s %-9s %-13s %-20s %-16s %s\n' case side "cpu (s)" "frames shown" "cpu per frame (ms)" "peak rss (KiB)" "load before/after each run"
  for case in hd uhd; do
    for side in ours mpv; do
      printf '  %-5s %-5s %-9s %-13s %-20s %-16s %s\n' "$case" "$side" "$(column $case $side 3)" "$(column $case $side 4)" \
        "$(column $case $side 5)" "$(column $case $side 6)" "$(loads $case $side)"
    done
    echo "  $case ours/mpv per frame $(ratio "$(column $case ours 5)" "$(column $case mpv 5)")   (target: at most 0.60)"
  done
  hd_x11=$(x11_rss 1920x1080)
  uhd_x11=$(x11_rss 3840x2160)
  echo "  peak rss, Wayland against X11: 1920x1080 $(column hd ours 6)/$hd_x11 = $(ratio "$(column hd ours 6)" "$hd_x11"), 3840x2160 $(column uhd ours 6)/$uhd_x11 = $(ratio "$(column uhd ours 6)" "$uhd_x11")   (target: at most 1.10)"
  echo "  X11 runs (rss, load before/after): $(awk '{ printf "%s %s %s; ", $1, $3, $4 }' "$results/$name.x11")"
} | tee "$results/$name.txt"
