#!/usr/bin/env bash
# What the desktop video engine costs with a 1920×1080 30 fps H.264 loop shown full screen,
# next to mpv's own X11 output playing the same loop on the same private Xvfb display:
# CPU time and peak memory of each process (/usr/bin/time -v), the engine on two monitors
# against one, its CPU once paused and once its windows are off the screen, and the time from
# start() to the first frame painted. Needs Xvfb, xrandr, mpv, GNU time and ffmpeg.
#
#   bench/wallpaper-engine-cost.sh [seconds]     (default 20)
#
# QUORVELLE_ENGINE_BENCH=<binary> skips the build and runs that wallpaper-engine-bench.
set -euo pipefail
name=wallpaper-engine-cost
. "$(dirname "$0")/bench-lib.sh"
seconds=${1:-20}

require_tools Xvfb xrandr mpv ffmpeg /usr/bin/time

clip="$results/loop-1920x1080-30.mp4"
make_master "$clip"

bench="${QUORVELLE_ENGINE_BENCH:-}"
if [ -z "$bench" ]; then
  build_targets wallpaper-engine-bench
  bench="$build/bench/wallpaper-engine-bench"
fi

# Starts a private Xvfb of the given size and sets `server` to its display name. -noreset keeps
# the monitors xrandr defines after xrandr, its last client, has gone.
servers=()
trap 'for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null; done' EXIT
start_server() {
  local display_file
  display_file=$(mktemp)
  Xvfb -displayfd 3 -noreset -screen 0 "$1" -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  servers+=($!)
  for _ in $(seq 50); do [ -s "$display_file" ] && break; sleep 0.1; done
  server=":$(head -n1 "$display_file")"
  rm -f "$display_file"
}
start_server 1920x1080x24
one=$server
start_server 3840x1080x24
two=$server
DISPLAY=$two xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen >/dev/null
DISPLAY=$two xrandr --setmonitor RIGHT 1920/508x1080/286+1920+0 none >/dev/null

# "User time", "System time" and "Maximum resident set size" of one /usr/bin/time -v report.
cpu_seconds() { awk -F': ' '/User time|System time/ { sum += $2 } END { printf "%.2f", sum }' "$1"; }
peak_rss_kb() { awk -F': ' '/Maximum resident set size/ { print $2 }' "$1"; }
value() { awk -v key="$1" '$1 == key { print $2 }' "$2"; }
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }

# ours <name> <display> [bench options]
ours() {
  local name=$1 display=$2
  shift 2
  echo "== engine: $name, ${seconds} s"
  DISPLAY=$display QT_QPA_PLATFORM=xcb /usr/bin/time -v -o "$results/engine-$name.time" \
    "$bench" "$clip" "$seconds" "$@" | grep -v '^💾\|^📖' | tee "$results/engine-$name.out"
}

ours one "$one"
echo "== mpv --vo=x11, ${seconds} s"
DISPLAY=$one /usr/bin/time -v -o "$results/engine-mpv.time" timeout -s INT "$seconds" \
  mpv --no-config --no-audio --loop-file=inf --vo=x11 --fs --really-quiet "$clip" || true
ours paused "$one" --paused
ours hidden "$one" --hidden
ours one-of-two "$two" --displays 1
ours two "$two"

one_cpu=$(cpu_seconds "$results/engine-one.time")
mpv_cpu=$(cpu_seconds "$results/engine-mpv.time")
one_rss=$(peak_rss_kb "$results/engine-one.time")
mpv_rss=$(peak_rss_kb "$results/engine-mpv.time")
single_cpu=$(cpu_seconds "$results/engine-one-of-two.time")
double_cpu=$(cpu_seconds "$results/engine-two.time")
{
  echo "seconds                     $seconds"
  echo "cpu engine, 1 display (s)   $one_cpu   ($(ratio "$one_cpu" "$seconds") cores)"
  echo "cpu mpv (s)                 $mpv_cpu   ($(ratio "$mpv_cpu" "$seconds") cores)"
  echo "cpu engine/mpv              $(ratio "$one_cpu" "$mpv_cpu")   (target: at most 1.00)"
  echo "peak rss engine (MiB)       $(awk "BEGIN { printf \"%.1f\", $one_rss / 1024 }")"
  echo "peak rss mpv (MiB)          $(awk "BEGIN { printf \"%.1f\", $mpv_rss / 1024 }")"
  echo "rss engine/mpv              $(ratio "$one_rss" "$mpv_rss")   (target: at most 1.20)"
  echo "cpu 1 of 2 monitors (s)     $single_cpu"
  echo "cpu 2 of 2 monitors (s)     $double_cpu"
  echo "two/one displays            $(ratio "$double_cpu" "$single_cpu")   (target: at most 2.10)"
  echo "paused cpu (% of a core)    $(value idle_cpu_percent "$results/engine-paused.out")   (target: under 1)"
  echo "hidden cpu (% of a core)    $(value idle_cpu_percent "$results/engine-hidden.out")   (target: under 1)"
  echo "start to first frame (ms)   $(value first_frame_ms "$results/engine-one.out")   (target: under 300)"
  echo "start to both frames (ms)   $(value all_first_frames_ms "$results/engine-two.out")"
  echo "frames shown, 1 display     $(value frames_shown "$results/engine-one.out")"
  echo "frames shown, 2 displays    $(value frames_shown "$results/engine-two.out")"
} | tee "$results/wallpaper-engine-cost.txt"
