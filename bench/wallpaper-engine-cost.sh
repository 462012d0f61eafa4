#!/usr/bin/env bash
# What the desktop video engine costs next to mpv's own X11 output playing the same 30 fps H.264
# loop full screen on the same private Xvfb display, and next to two floors: a software decode of
# the same file at its own pace with as many decoder threads, that converts and shows nothing
# (under any player), and the same decode converted to BGRA at display size with swscale's
# cheapest flags (under any player that shows the pixels it decodes). In one run so that the
# machine's load weighs on all: CPU seconds and peak memory of whole processes (/usr/bin/time -v),
# and the frames each side showed and dropped, so that CPU is compared per shown frame (a side
# that drops frames under load costs less for it).
# Medians of N runs with ranges, the sides alternating, a run where any side dropped over 2 % of
# its frames run again:
#   1920×1080 loop on a 1920×1080 display, 3840×2160 loop on a 3840×2160 display, and the
#   1920×1080 loop on two 1920×1080 monitors (mpv and the decode: one process per monitor);
# then the engine alone: on one of the two monitors against both, paused, its windows hidden,
# and covered by a full-screen window; and the time from start() to the first frame painted.
# Needs Xvfb, xrandr, mpv, GNU time and ffmpeg.
#
#   bench/wallpaper-engine-cost.sh [seconds] [runs] [cases]     (defaults 20, 3, "hd uhd two alone")
#
# QUORVELLE_ENGINE_BENCH=<binary> skips the build and runs that wallpaper-engine-bench;
# QUORVELLE_BASELINE_ENGINE_BENCH=<binary> adds another build of it (an earlier commit's) to the
# three comparisons.
set -euo pipefail
name=wallpaper-engine-cost
. "$(dirname "$0")/bench-lib.sh"
seconds=${1:-20}
runs=${2:-3}
cases=${3:-hd uhd two alone}

require_tools Xvfb xrandr mpv ffmpeg /usr/bin/time

engine_bench_inputs
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
fps=30 # the rate make_master writes

# engine <label> <binary> <display> <clip> [bench options]: one run, its report in $results,
# and the frames it showed and dropped in $results/engine-<label>.frames. Its players count the
# frames they showed; the frames due are those of the time from its first frame to the end.
engine() {
  local label=$1 binary=$2 display=$3 clip=$4
  shift 4
  DISPLAY=$display QT_QPA_PLATFORM=xcb /usr/bin/time -v -o "$results/engine-$label.time" \
    "$binary" "$clip" "$seconds" "$@" 2>/dev/null | grep -v '^💾\|^📖' >"$results/engine-$label.out"
  awk -v seconds="$seconds" -v fps="$fps" '
    $1 == "displays" { displays = $2 } $1 == "frames_shown" { shown = $2 } $1 == "first_frame_ms" { first = $2 }
    END { due = int(fps * (seconds - first / 1000) * displays + 0.5)
          printf "shown %d\ndropped %d\n", shown, (due > shown ? due - shown : 0) }' \
    "$results/engine-$label.out" >"$results/engine-$label.frames"
}

# Adds up the CPU, memory and frames of the processes of one side (files engine-<label>-<i>.*).
add_up() {
  local label=$1
  cat "$results"/engine-"$label"-*.time | awk -F': ' '
    /User time|System time/ { cpu += $2 } /Maximum resident set size/ { rss += $2 }
    END { printf "\tUser time (seconds): %.2f\n\tSystem time (seconds): 0\n\tMaximum resident set size (kbytes): %d\n", cpu, rss }' \
    >"$results/engine-$label.time"
  cat "$results"/engine-"$label"-*.frames | awk '{ sum[$1] += $2 } END { printf "shown %d\ndropped %d\n", sum["shown"], sum["dropped"] }' \
    >"$results/engine-$label.frames"
  rm -f "$results"/engine-"$label"-*.time "$results"/engine-"$label"-*.frames
}

# mpv_run <label> <display> <clip> [geometry ...]: full screen, or one process per geometry
# (each a borderless window there), their CPU, memory and frames added up.
mpv_run() {
  local label=$1 display=$2 clip=$3 pids=() i=0 geometry
  shift 3
  [ $# -gt 0 ] || set -- ""
  for geometry in "$@"; do
    local placement=(--fs)
    [ -n "$geometry" ] && placement=(--geometry="$geometry" --no-border)
    # The script ends mpv after `seconds`; the timeout is a guard.
    DISPLAY=$display /usr/bin/time -v -o "$results/engine-$label-$i.time" timeout -s INT $((seconds + 10)) \
      mpv --no-config --no-audio --loop-file=inf --vo=x11 "${placement[@]}" --really-quiet --script="$top/bench/mpv-frames.lua" \
      --script-opts="frames-out=$results/engine-$label-$i.frames,frames-seconds=$seconds" "$clip" &
    pids+=($!)
    i=$((i + 1))
  done
  wait "${pids[@]}" || true
  add_up "$label"
}

# paced_run <label> <clip> <processes> [output options]: the floor under any player, a software
# decode of the same file at its own pace (-re) with the decoder threads mpv picks by itself
# (cores + 1), showing nothing; one process per display. The options add work per frame.
paced_run() {
  local label=$1 clip=$2 processes=$3 pids=() i
  shift 3
  for i in $(seq "$processes"); do
    /usr/bin/time -v -o "$results/engine-$label-$i.time" \
      ffmpeg -hide_banner -nostats -v error -threads $(($(nproc) + 1)) -re -stream_loop -1 -i "$clip" \
      "$@" -t "$seconds" -f null -progress "$results/engine-$label-$i.progress" - &
    pids+=($!)
  done
  wait "${pids[@]}" || true
  for i in $(seq "$processes"); do
    awk -F= '$1 == "frame" { shown = $2 } $1 == "drop_frames" { dropped = $2 }
      END { printf "shown %d\ndropped %d\n", shown, dropped }' "$results/engine-$label-$i.progress" \
      >"$results/engine-$label-$i.frames"
    rm -f "$results/engine-$label-$i.progress"
  done
  add_up "$label"
}

# converted_run <label> <clip> <processes>: the paced decode, each frame converted to the BGRA
# words a window takes, at display size (every monitor here is the clip's size) with swscale's
# cheapest flags: what any player that shows its frames cannot do without.
converted_run() { paced_run "$@" -vf "scale=iw:ih:flags=fast_bilinear,format=bgra"; }

# Over 2 % of its frames dropped: the side lost the race for the CPU, and fewer frames cost less.
too_many_dropped() { awk '{ n[$1] = $2 } END { exit !(n["dropped"] > 0.02 * (n["shown"] + n["dropped"])) }' "$1"; }

# against_mpv <case> <display> <clip> [mpv geometries]: alternating runs of the engine, mpv, the
# paced decode and the converted one (and the baseline, when given); a run where any side dropped over 2 % of its
# frames is run again, three times at most. Each side's CPU, memory, frames shown and dropped,
# and CPU per shown frame go into lists in <case>_<side>_<what>, one entry per run.
against_mpv() {
  local case=$1 display=$2 clip=$3 run side attempt sides=(ours mpv paced converted) what
  shift 3
  [ -n "$baseline" ] && sides+=(baseline)
  local processes=$(($# > 0 ? $# : 1))
  declare -gA repeats
  repeats[$case]=0
  for run in $(seq "$runs"); do
    for attempt in 1 2 3; do
      echo "== $case, run $run of $runs (${seconds} s each), attempt $attempt"
      engine "$case-ours" "$bench" "$display" "$clip"
      mpv_run "$case-mpv" "$display" "$clip" "$@"
      paced_run "$case-paced" "$clip" "$processes"
      converted_run "$case-converted" "$clip" "$processes"
      [ -n "$baseline" ] && engine "$case-baseline" "$baseline" "$display" "$clip"
      local again=
      for side in "${sides[@]}"; do
        echo "   $side: cpu $(cpu_seconds "$results/engine-$case-$side.time") s, $(tr '\n' ' ' <"$results/engine-$case-$side.frames")"
        too_many_dropped "$results/engine-$case-$side.frames" && again=1
      done
      [ -z "$again" ] && break
      [ "$attempt" -lt 3 ] && repeats[$case]=$((repeats[$case] + 1)) && echo "   over 2 % dropped: run again"
    done
    for side in "${sides[@]}"; do
      local cpu shown dropped
      cpu=$(cpu_seconds "$results/engine-$case-$side.time")
      shown=$(value shown "$results/engine-$case-$side.frames")
      dropped=$(value dropped "$results/engine-$case-$side.frames")
      for what in cpu rss shown dropped per_frame; do
        local list=${case}_${side}_${what}
        case $what in
          cpu) printf -v "$list" '%s %s' "${!list:-}" "$cpu" ;;
          rss) printf -v "$list" '%s %s' "${!list:-}" "$(peak_rss_kb "$results/engine-$case-$side.time")" ;;
          shown) printf -v "$list" '%s %s' "${!list:-}" "$shown" ;;
          dropped) printf -v "$list" '%s %s' "${!list:-}" "$dropped" ;;
          per_frame) printf -v "$list" '%s %s' "${!list:-}" "$(awk -v c="$cpu" -v n="$shown" 'BEGIN { printf "%.2f", (n > 0 ? 1000 * c / n : 0) }')" ;;
        esac
      done
    done
  done
}

want() { [[ " $cases " == *" $1 "* ]]; }
want hd && against_mpv hd "$hd_display" "$hd"
want uhd && against_mpv uhd "$uhd_display" "$uhd"
want two && against_mpv two "$two_display" "$hd" 1920x1080+0+0 1920x1080+1920+0

if want alone; then
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
fi

range() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "[%s-%s]", lo, hi }'; }
# spread <list>: the median of a list of runs and its range.
spread() { local list=$1 values; read -ra values <<<"${!list}"; echo "$(median "${values[@]}") $(range "${values[@]}")"; }
# per_run_ratio <list> <list>: the median and range of the ratios of two lists, run by run.
per_run_ratio() {
  local top=$1 bottom=$2 ratios=() i
  read -ra a <<<"${!top}"
  read -ra b <<<"${!bottom}"
  for i in "${!a[@]}"; do ratios+=("$(ratio "${a[$i]}" "${b[$i]}")"); done
  echo "$(median "${ratios[@]}") $(range "${ratios[@]}")"
}
# table <label> <case>: each side's CPU, memory, frames shown and dropped and CPU per shown frame,
# then ours against the two decodes and against mpv, per shown frame, run by run.
table() {
  local label=$1 case=$2 side sides=(ours mpv paced converted)
  [ -n "$baseline" ] && sides+=(baseline)
  echo "$label   (runs repeated for over 2 % dropped: ${repeats[$case]})"
  printf '  %-9s %-20s %-20s %-16s %-22s %s\n' side "cpu (s)" "frames shown" "dropped" "cpu per frame (ms)" "peak rss (KiB)"
  for side in "${sides[@]}"; do
    printf '  %-9s %-20s %-20s %-16s %-22s %s\n' "$side" "$(spread "${case}_${side}_cpu")" "$(spread "${case}_${side}_shown")" \
      "$(spread "${case}_${side}_dropped")" "$(spread "${case}_${side}_per_frame")" "$(spread "${case}_${side}_rss")"
  done
  echo "  ours/paced per frame     $(per_run_ratio "${case}_ours_per_frame" "${case}_paced_per_frame")   (target: at most 1.10)"
  echo "  ours/converted per frame $(per_run_ratio "${case}_ours_per_frame" "${case}_converted_per_frame")"
  echo "  converted/paced          $(per_run_ratio "${case}_converted_per_frame" "${case}_paced_per_frame")"
  echo "  mpv/paced per frame      $(per_run_ratio "${case}_mpv_per_frame" "${case}_paced_per_frame")"
  echo "  ours/mpv per frame       $(per_run_ratio "${case}_ours_per_frame" "${case}_mpv_per_frame")   (target: at most 0.80)"
  echo "  ours/mpv cpu             $(per_run_ratio "${case}_ours_cpu" "${case}_mpv_cpu")"
  echo "  ours/mpv rss             $(per_run_ratio "${case}_ours_rss" "${case}_mpv_rss")   (target: at most 1.10)"
  [ -n "$baseline" ] && echo "  ours/baseline per frame  $(per_run_ratio "${case}_ours_per_frame" "${case}_baseline_per_frame")"
  return 0
}
{
  echo "desktop video against mpv --vo=x11 and a paced decode, bare and converted, ${seconds} s per run, medians of $runs [ranges], $(nproc) cores"
  want hd && table "1920x1080 30 fps" hd
  want uhd && table "3840x2160 30 fps" uhd
  want two && table "two 1920x1080 displays" two
  if want alone; then
    echo "cpu 1 of 2 monitors (s)     $single_cpu"
    # shellcheck disable=SC2086,SC2154 # a list of runs, words on purpose, set by against_mpv
    want two && echo "two/one displays            $(ratio "$(median $two_ours_cpu)" "$single_cpu")   (target: at most 2.00)"
    echo "paused cpu (% of a core)    $(value idle_cpu_percent "$results/engine-paused.out")   (target: under 1)"
    echo "hidden cpu (% of a core)    $(value idle_cpu_percent "$results/engine-hidden.out")   (target: under 1)"
    echo "covered cpu (% of a core)   $(value idle_cpu_percent "$results/engine-covered.out")   (target: under 1)"
  fi
  want hd && echo "start to first frame (ms)   $(value first_frame_ms "$results/engine-hd-ours.out")   (target: under 300)"
  true
} | tee "$results/wallpaper-engine-cost.txt"
