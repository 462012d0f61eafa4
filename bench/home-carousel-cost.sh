#!/usr/bin/env bash
# The application as a user starts it, on its home page with the stock five-slide hero carousel
# turning by itself, against mpv playing the first slide's preview borderless at the window's
# size, on a private 1920×1080 Xvfb display (the window's default size is then 1382×864).
# Alternating runs in one go, each side sampled over the same stretch after the same warm-up:
# CPU of the whole process, and of its GUI thread for the application, with the machine's
# one-minute load average at the start of each sample. Medians with [ranges].
# Targets: the application at most 0.9x mpv; its GUI thread at most 15% of the application.
# Needs Xvfb, mpv, curl and python3.
#
#   bench/home-carousel-cost.sh [seconds] [runs]     (default 21, three slide turns; 3 runs)
#
# QUORVELLE_APP=<binary> runs another build of the application; QUORVELLE_BASELINE_APP=<binary>
# adds an earlier build as a third side in the same runs.
set -euo pipefail
name=home-carousel-cost
. "$(dirname "$0")/bench-lib.sh"
seconds=${1:-21}
runs=${2:-3}
warm=10
require_tools Xvfb mpv curl python3

start_program_bench 1920x1080x24
# The main window's default size on that display: 0.8 × 1.6 × 1080 by 0.8 × 1080.
window=1382x864
key=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["home_page"]["hero_carousel"]["keys"][0])' \
  "$top/tools/sample-catalogue/seed.json")
preview=$work/previewhd.mp4
curl -sf --cacert "$cert" -o "$preview" "$base/wallpaper/$key/previewhd.mp4"

use_returning_user

ticks() { awk '{ print $14 + $15 }' "$1"; }
# Runs one side ("app <binary>" or "mpv") and prints "<process s> <GUI thread s> <load>" over
# `seconds`, the load average read as the sample starts.
sample() {
  local side=$1 binary=${2:-} pid before main_before after main_after tick load
  tick=$(getconf CLK_TCK)
  if [ "$side" = mpv ]; then
    mpv --no-config --no-audio --loop-file=inf --vo=x11 --no-border --geometry="$window" --panscan=1.0 --really-quiet "$preview" &
  else
    "$binary" >>"$work/app.log" 2>&1 &
  fi
  pid=$!
  running=$pid
  sleep "$warm"
  kill -0 "$pid" || { echo "$name: $side ended early" >&2; tail -n 20 "$work/app.log" >&2; exit 1; }
  load=$(cut -d' ' -f1 /proc/loadavg)
  before=$(ticks "/proc/$pid/stat")
  main_before=$(ticks "/proc/$pid/task/$pid/stat")
  sleep "$seconds"
  after=$(ticks "/proc/$pid/stat")
  main_after=$(ticks "/proc/$pid/task/$pid/stat")
  kill -INT "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  running=
  awk -v a=$((after - before)) -v m=$((main_after - main_before)) -v t="$tick" -v l="$load" 'BEGIN { printf "%.2f %.2f %s\n", a / t, m / t, l }'
}
range() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "[%s-%s]", lo, hi }'; }

echo "== warm-up launch (fills the response, image and preview caches)"
sample app "$app" >/dev/null
sides=(app mpv)
[ -n "$baseline" ] && sides=(baseline app mpv)
declare -A cpu main
loads=()
for run in $(seq "$runs"); do
  for side in "${sides[@]}"; do
    case $side in
      app) read -r c m l < <(sample app "$app") ;;
      baseline) read -r c m l < <(sample app "$baseline") ;;
      mpv) read -r c m l < <(sample mpv) ;;
    esac
    echo "run $run $side: cpu $c s, GUI thread $m s, load $l"
    cpu[$side]="${cpu[$side]:-} $c"
    main[$side]="${main[$side]:-} $m"
    loads+=("$l")
  done
done

report() {
  local side=$1 label=$2 c m share=() ratios=() i
  read -ra c <<<"${cpu[$side]}"
  read -ra m <<<"${main[$side]}"
  read -ra theirs <<<"${cpu[mpv]}"
  for i in "${!c[@]}"; do
    share+=("$(awk -v a="${m[$i]}" -v b="${c[$i]}" 'BEGIN { printf "%.1f", (b > 0 ? 100 * a / b : 0) }')")
    ratios+=("$(ratio "${c[$i]}" "${theirs[$i]}")")
  done
  echo "$label cpu (s)            $(median "${c[@]}") $(range "${c[@]}")"
  echo "$label GUI thread (s)     $(median "${m[@]}") $(range "${m[@]}")"
  echo "$label GUI thread share   $(median "${share[@]}")% $(range "${share[@]}")   (target <= 15%)"
  echo "$label against mpv        $(median "${ratios[@]}") $(range "${ratios[@]}")   (target <= 0.9)"
}
{
  echo "home page, five-slide carousel, window $window, ${seconds} s per sample, $runs alternating runs ($(nproc) cores)"
  echo "load average (1 min)        $(median "${loads[@]}") $(range "${loads[@]}")"
  echo "mpv cpu (s)                 $(median ${cpu[mpv]}) $(range ${cpu[mpv]})"
  [ -n "$baseline" ] && report baseline "baseline"
  report app "app     "
} | tee "$results/$name.txt"
