#!/usr/bin/env bash
# A user with a long liked list, in two parts. Writes the figures to bench/results/liked-ids.txt.
#   - A liked list of 78,036 ids whose fields repeat one number, indexed by the lazy grid, against
#     random ids (target: at most 2x their time).
#   - The real program started by a user with that many liked wallpapers against one with 2 liked,
#     alternating in the same runs on a private 1280×800 Xvfb display against the sample
#     catalogue: ms from the start to "Application launched", to the window shown and to the home
#     page painted with posters, the resident memory then, ms from selecting the library tab to
#     its saved grid painted, and the resident memory then with its peak; then, once the list is
#     read, a like and an unlike: the longest stall of the event loop around each, and the peak at
#     the end. Medians with [ranges], and the load average of the machine beside each run; and
#     the resident memory on home of each run's long list over its 2-liked start.
# Needs Xvfb and python3.
#
# Each measured start follows a session of the program that ended by its quit, as a user's start
# does (the settings are then as the program left them, and their check at open is skipped);
# LIKED_IDS_PREVIOUS=none measures starts on settings laid anew instead (the check runs, as after
# a crash).
#
#   bench/liked-ids-bench.sh [ids] [runs]     (default 78036 and 3)
set -euo pipefail
name=liked-ids-bench
. "$(dirname "$0")/bench-lib.sh"
count=${1:-78036}
runs=${2:-3}
require_tools Xvfb python3

build_targets liked-ids-bench home-page-bench sample-catalogue
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/liked-ids-bench" "$count" | tee "$results/liked-ids.txt"

start_liked_sides "$count"

# One start of the program with a side's folders: prints "launched window home homerss library
# rss peak like unlike endpeak" (ms, ms, ms, KiB, ms, KiB, KiB, ms, ms, KiB). The settings are
# laid anew: the program changes them as it runs.
figures=(launched window home homerss library rss peak like unlike endpeak)
launch() {
  local side=$1 start line
  local -A got=()
  lay_liked_settings "$side"
  if [ "${LIKED_IDS_PREVIOUS:-quit}" = quit ]; then
    HOME=$work/$side/home XDG_CONFIG_HOME=$work/$side/config XDG_DATA_HOME=$work/$side/data \
      XDG_CACHE_HOME=$work/$side/cache XDG_RUNTIME_DIR=$work/$side/runtime timeout 300 "$bench" startup \
      >/dev/null 2>>"$work/$side.err" || true
  fi
  start=$(date +%s%N)
  while IFS= read -r line; do
    case $line in
      "Application launched"*) [ -n "${got[launched]:-}" ] || got[launched]=$((($(date +%s%N) - start) / 1000000)) ;;
      window_shown_ms*) got[window]=${line##* } ;;
      home_painted_ms*) got[home]=${line##* } ;;
      home_rss_kib*) got[homerss]=${line##* } ;;
      library_open_ms*) got[library]=${line##* } ;;
      rss_kib*) got[rss]=${line##* } ;;
      rss_peak_kib*) got[peak]=${line##* } ;;
      like_stall_ms*) got[like]=${line##* } ;;
      unlike_stall_ms*) got[unlike]=${line##* } ;;
      end_rss_peak_kib*) got[endpeak]=${line##* } ;;
    esac
  done < <(HOME=$work/$side/home XDG_CONFIG_HOME=$work/$side/config XDG_DATA_HOME=$work/$side/data \
    XDG_CACHE_HOME=$work/$side/cache XDG_RUNTIME_DIR=$work/$side/runtime timeout 300 "$bench" taps 2>>"$work/$side.err")
  [ -n "${got[endpeak]:-}" ] || { echo "$name: the $side side did not finish its taps" >&2; tail -n 20 "$work/$side.err" >&2; exit 1; }
  local figure out=()
  for figure in "${figures[@]}"; do out+=("${got[$figure]:--1}"); done
  echo "${out[*]}"
}
mib() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }
range() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "[%s-%s]", lo, hi }'; }

echo "== warm-up starts (fill the response and image caches)"
launch many >/dev/null
launch two >/dev/null
declare -A values=()
loads=()
for run in $(seq "$runs"); do
  for side in many two; do
    load=$(cut -d' ' -f1 /proc/loadavg)
    out=$(launch "$side")
    read -ra result <<<"$out"
    loads+=("$load")
    for i in "${!figures[@]}"; do
      value=${result[$i]}
      case ${figures[$i]} in homerss | rss | peak | endpeak) value=$(mib "$value") ;; esac
      values[${figures[$i]},$side]="${values[${figures[$i]},$side]:-} $value"
    done
    echo "run $run $side (load $load): launched ${result[0]} ms, window ${result[1]} ms, home ${result[2]} ms," \
      "home rss $(mib "${result[3]}") MiB, library ${result[4]} ms, rss $(mib "${result[5]}") MiB, peak $(mib "${result[6]}") MiB," \
      "like stall ${result[7]} ms, unlike stall ${result[8]} ms, end peak $(mib "${result[9]}") MiB"
  done
done
{
  echo
  echo "$count liked against 2 liked, $runs alternating starts, load average at each start ${loads[*]} ($(nproc) cores)"
  printf '%-22s %-26s %-26s\n' "" "$count liked" "2 liked"
  for figure in "${figures[@]}"; do
    read -ra mine <<<"${values[$figure,many]}"
    read -ra theirs <<<"${values[$figure,two]}"
    case $figure in
      launched) label="Application launched" unit=ms ;;
      window) label="window shown" unit=ms ;;
      home) label="home painted" unit=ms ;;
      homerss) label="resident on home" unit=MiB ;;
      library) label="first library open" unit=ms ;;
      rss) label="resident then" unit=MiB ;;
      peak) label="resident peak" unit=MiB ;;
      like) label="like: longest stall" unit=ms ;;
      unlike) label="unlike: longest stall" unit=ms ;;
      endpeak) label="peak at the end" unit=MiB ;;
    esac
    printf '%-22s %-26s %-26s\n' "$label" "$(median "${mine[@]}") $unit $(range "${mine[@]}")" \
      "$(median "${theirs[@]}") $unit $(range "${theirs[@]}")"
  done
  # The memory goal holds in every run, not on the median: each run's two starts side by side.
  read -ra mine <<<"${values[homerss,many]}"
  read -ra theirs <<<"${values[homerss,two]}"
  over=()
  for i in "${!mine[@]}"; do over+=("$((mine[i] - theirs[i]))"); done
  echo "resident on home over 2 liked, run by run: ${over[*]} MiB (median $(median "${over[@]}"), most $(printf '%s\n' "${over[@]}" | sort -g | tail -n1))"
} | tee -a "$results/liked-ids.txt"
