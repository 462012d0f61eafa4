#!/usr/bin/env bash
# What the desktop video engine costs next to mpv's own X11 output playing the same 30 fps H.264
# loop full screen on the same private Xvfb display, in one run so that the machine's load
# weighs on both: CPU seconds and peak memory of whole processes (/usr/bin/time -v), medians
# of N runs, the two alternating:
#   1920×1080 loop on a 1920×1080 display, 3840×2160 loop on a 3840×2160 display, and the
#   1920×1080 loop on two 1920×1080 monitors (mpv: one process per monitor);
# then the engine alone: on one of the two monitors against both, paused, its windows hidden,
# and covered by a full-screen window; and the time from start() to the first frame painted.
# Needs Xvfb, xrandr, mpv, GNU time and ffmpeg.
#
#   bench/wallpaper-engine-cost.sh [seconds] [runs]     (defaults 20 and 3)
#
# QUORVELLE_ENGINE_BENCH=<binary> skips the build and runs that wallpaper-engine-bench;
# QUORVELLE_BASELINE_ENGINE_BENCH=<binary> adds another build of it (an earlier commit's) to the
# three comparisons.
set -euo pipefail
name=wallpaper-engine-cost
. "$(dirname "$0")/bench-lib.sh"
seconds=${1:-20}
runs=${2:-3}

require_tools Xvfb xrandr mpv ffmpeg /usr/bin/time

hd="$results/loop-1920x1080-30.mp4"
uhd="$results/loop-3840x2160-30.mp4"
make_master "$hd"
make_master "$uhd" "" 3840x2160

bench="${QUORVELLE_ENGINE_BENCH:-}"
if [ -z "$bench" ]; then
  build_targets wallpaper-engine-bench
  bench="$build/bench/wallpaper-engine-bench"
fi
baseline="${QUORVELLE_BASELINE_ENGINE_BENCH:-}"

trap stop_xvfb EXIT
start_xvfb 1920x1080x24
hd_display=$server
start_xvfb 3840x2160x24
uhd_display=$server
start_xvfb 3840x1080x24
two_display=$server
DISPLAY=$two_display xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen >/dev/null
DISPLAY=$two_display xrandr --setmonitor RIGHT 1920/508x1080/286+1920+0 none >/dev/null

value() { awk -v key="$1" '$1 == key { print $2 }' "$2"; }
mib() { awk -v kb="$1" 'BEGIN { printf "%.1f", kb / 1024 }'; }

# engine <label> <binary> <display> <clip> [bench options]: one run, its report in $results.
engine() {
  local label=$1 binary=$2 display=$3 clip=$4
  shift 4
  DISPLAY=$display QT_QPA_PLATFORM=xcb /usr/bin/time -v -o "$results/engine-$label.time" \
    "$binary" "$clip" "$seconds" "$@" 2>/dev/null | grep -v '^💾\|^📖' >"$results/engine-$label.out"
}

# mpv_run <label> <display> <clip> [geometry ...]: full screen, or one process per geometry
# (each a borderless window there), their CPU and memory added up.
mpv_run() {
  local label=$1 display=$2 clip=$3 pids=() i=0 geometry
  shift 3
  [ $# -gt 0 ] || set -- ""
  for geometry in "$@"; do
    local placement=(--fs)
    [ -n "$geometry" ] && placement=(--geometry="$geometry" --no-border)
    DISPLAY=$display /usr/bin/time -v -o "$results/engine-$label-$i.time" timeout -s INT "$seconds" \
      mpv --no-config --no-audio --loop-file=inf --vo=x11 "${placement[@]}" --really-quiet "$clip" &
    pids+=($!)
    i=$((i + 1))
  done
  wait "${pids[@]}" || true
  cat "$results"/engine-"$label"-*.time | awk -F': ' '
    /User time|System time/ { cpu += $2 } /Maximum resident set size/ { rss += $2 }
    END { printf "\tUser time (seconds): %.2f\n\tSystem time (seconds): 0\n\tMaximum resident set size (kbytes): %d\n", cpu, rss }' \
    >"$results/engine-$label.time"
  rm -f "$results"/engine-"$label"-*.time
}

# against_mpv <case> <display> <clip> [mpv geometries]: alternating runs, median CPU and memory of
# each side into the variables <case>_ours_cpu, <case>_mpv_rss and so on.
against_mpv() {
  local case=$1 display=$2 clip=$3 run side
  shift 3
  declare -A cpu rss
  for run in $(seq "$runs"); do
    echo "== $case, run $run of $runs (${seconds} s each)"
    engine "$case-ours" "$bench" "$display" "$clip"
    cpu[ours]+=" $(cpu_seconds "$results/engine-$case-ours.time")"
    rss[ours]+=" $(peak_rss_kb "$results/engine-$case-ours.time")"
    mpv_run "$case-mpv" "$display" "$clip" "$@"
    cpu[mpv]+=" $(cpu_seconds "$results/engine-$case-mpv.time")"
    rss[mpv]+=" $(peak_rss_kb "$results/engine-$case-mpv.time")"
    if [ -n "$baseline" ]; then
      engine "$case-baseline" "$baseline" "$display" "$clip"
      cpu[baseline]+=" $(cpu_seconds "$results/engine-$case-baseline.time")"
      rss[baseline]+=" $(peak_rss_kb "$results/engine-$case-baseline.time")"
    fi
  done
  for side in "${!cpu[@]}"; do
    # shellcheck disable=SC2086 # the lists are words on purpose
    printf -v "${case}_${side}_cpu" '%s' "$(median ${cpu[$side]})"
    # shellcheck disable=SC2086
    printf -v "${case}_${side}_rss" '%s' "$(median ${rss[$side]})"
  done
}

against_mpv hd "$hd_display" "$hd"
against_mpv uhd "$uhd_display" "$uhd"
against_mpv two "$two_display" "$hd" 1920x1080+0+0 1920x1080+1920+0

echo "== engine alone: one of two monitors, paused, hidden, covered"
single=()
for _ in $(seq "$runs"); do
  engine one-of-two "$bench" "$two_display" "$hd" --displays 1
  single+=("$(cpu_seconds "$results/engine-one-of-two.time")")
done
single_cpu=$(median "${single[@]}")
engine paused "$bench" "$hd_display" "$hd" --paused
engine hidden "$bench" "$hd_display" "$hd" --hidden
engine covered "$bench" "$hd_display" "$hd" --obscured

# row <label> <case>: CPU and memory of ours against mpv (and the baseline, when run).
row() {
  local label=$1 case=$2 ours_cpu mpv_cpu ours_rss mpv_rss
  ours_cpu=${case}_ours_cpu mpv_cpu=${case}_mpv_cpu ours_rss=${case}_ours_rss mpv_rss=${case}_mpv_rss
  printf '%-22s cpu ours %6.2f s  mpv %6.2f s  ours/mpv %s   rss ours %6s MiB  mpv %6s MiB  ours/mpv %s\n' \
    "$label" "${!ours_cpu}" "${!mpv_cpu}" "$(ratio "${!ours_cpu}" "${!mpv_cpu}")" \
    "$(mib "${!ours_rss}")" "$(mib "${!mpv_rss}")" "$(ratio "${!ours_rss}" "${!mpv_rss}")"
  if [ -n "$baseline" ]; then
    local base_cpu=${case}_baseline_cpu base_rss=${case}_baseline_rss
    printf '%-22s cpu baseline %6.2f s  ours/baseline %s   rss baseline %6s MiB  ours/baseline %s\n' "" \
      "${!base_cpu}" "$(ratio "${!ours_cpu}" "${!base_cpu}")" "$(mib "${!base_rss}")" "$(ratio "${!ours_rss}" "${!base_rss}")"
  fi
}
{
  echo "desktop video against mpv --vo=x11, ${seconds} s per run, medians of $runs, $(nproc) cores"
  echo "targets: cpu ours/mpv at most 0.80, rss ours/mpv at most 1.10, two/one displays at most 2.00"
  row "1920x1080 30 fps" hd
  row "3840x2160 30 fps" uhd
  row "two 1920x1080 displays" two
  echo "cpu 1 of 2 monitors (s)     $single_cpu"
  echo "two/one displays            $(ratio "$two_ours_cpu" "$single_cpu")"
  echo "paused cpu (% of a core)    $(value idle_cpu_percent "$results/engine-paused.out")   (target: under 1)"
  echo "hidden cpu (% of a core)    $(value idle_cpu_percent "$results/engine-hidden.out")   (target: under 1)"
  echo "covered cpu (% of a core)   $(value idle_cpu_percent "$results/engine-covered.out")   (target: under 1)"
  echo "start to first frame (ms)   $(value first_frame_ms "$results/engine-hd-ours.out")   (target: under 300)"
  echo "frames shown, 1080p         $(value frames_shown "$results/engine-hd-ours.out")"
  echo "frames shown, 2160p         $(value frames_shown "$results/engine-uhd-ours.out")"
  echo "frames shown, 2 displays    $(value frames_shown "$results/engine-two-ours.out")"
} | tee "$results/wallpaper-engine-cost.txt"
