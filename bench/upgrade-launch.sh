#!/usr/bin/env bash
# The first launch after an upgrade of a user with a long liked list: the earlier version's
# settings (standard.json with 78,036 liked, bench/legacy-settings.py) are taken into the
# database while the window comes up. The real program (home-page-bench library) against the
# same upgrade with 2 liked, alternating in the same runs on a private 1280×800 Xvfb display
# against the sample catalogue, each run on the old file laid anew: ms from the start to the
# window shown, to the home page painted with posters (and whether the liked list was still
# being read then) and to the library's saved grid painted, the resident memory on home and its
# peak at the end; then the liked wallpapers the next start finds. Medians with [ranges], and
# the load average beside each run. With QUORVELLE_BASELINE_BENCH (another build's
# home-page-bench: an earlier main, or the last version that kept standard.json itself) a third
# side "base" starts that build on the same file of [liked], alternating with the other two.
# Writes bench/results/upgrade-launch.txt. Needs Xvfb and python3.
#
#   bench/upgrade-launch.sh [liked] [runs]     (default 78036 and 5)
set -euo pipefail
name=upgrade-launch
. "$(dirname "$0")/bench-lib.sh"
count=${1:-78036}
runs=${2:-5}
require_tools Xvfb python3

build_targets home-page-bench sample-catalogue
start_home_bench
baseline_bench=${QUORVELLE_BASELINE_BENCH:-}
sides="many two"
[ -z "$baseline_bench" ] || sides+=" base"
for side in many two; do
  mkdir -p "$work/legacy-$side"
  python3 "$(dirname "$0")/legacy-settings.py" "$work/legacy-$side/standard.json" "$([ "$side" = many ] && echo "$count" || echo 2)"
done
# The file each side starts on, and the program it starts.
legacy_of() { [ "$1" = two ] && echo "$work/legacy-two/standard.json" || echo "$work/legacy-many/standard.json"; }
bench_of() { [ "$1" = base ] && echo "$baseline_bench" || echo "$bench"; }

# Runs home-page-bench with its arguments on a side's folders, standard output to $2.
on_side() {
  local side=$1 outfile=$2
  shift 2
  HOME=$work/$side/home XDG_CONFIG_HOME=$work/$side/config XDG_DATA_HOME=$work/$side/data \
    XDG_CACHE_HOME=$work/$side/cache XDG_RUNTIME_DIR=$work/$side/runtime \
    "$(bench_of "$side")" "$@" >"$outfile" 2>>"$work/$side.err" || true
}
# A figure of a run, or "-" when that build does not give it.
figure() {
  local value
  value=$(awk -F' = ' -v key="$1" '$1 == key { print $2 }' "$2")
  echo "${value:--}"
}

# One warm-up start per side fills the response and image caches, as a user's machine has them.
: >"$work/runs"
for run in $(seq 0 "$runs"); do
  for side in $sides; do
    rm -rf "${work:?}/$side/config" "$work/$side/runtime"
    mkdir -p "$work/$side/config/Quorvelle" "$work/$side/runtime"
    chmod 700 "$work/$side/config/Quorvelle" "$work/$side/runtime"
    cp "$(legacy_of "$side")" "$work/$side/config/Quorvelle/"
    load=$(cut -d' ' -f1 /proc/loadavg)
    on_side "$side" "$work/run.txt" library
    [ "$run" -gt 0 ] || continue
    on_side "$side" "$work/liked.txt" liked
    line="$side $(figure window_shown_ms "$work/run.txt") $(figure home_painted_ms "$work/run.txt")"
    line+=" $(figure library_open_ms "$work/run.txt") $(( $(figure home_rss_kib "$work/run.txt") / 1024 ))"
    line+=" $(( $(figure rss_peak_kib "$work/run.txt") / 1024 )) $(figure home_liked_loading "$work/run.txt")"
    line+=" $(figure liked "$work/liked.txt") $load"
    echo "$line" | tee -a "$work/runs"
  done
done

{
  echo "The first start after an upgrade from standard.json: $count liked against 2, $runs alternating runs each"
  printf '%-10s %-16s %-16s %-16s %-14s %-14s %-14s %-16s %s\n' side "window ms" "home ms" "library ms" \
    "home MiB" "peak MiB" "list read" "liked found" "load"
  for side in $sides; do
    grep "^$side " "$work/runs" >"$work/picked" || continue
    printf '%-10s %-16s %-16s %-16s %-14s %-14s %-14s %-16s %s\n' "$side" "$(column_stats "$work/picked" 2)" \
      "$(column_stats "$work/picked" 3)" "$(column_stats "$work/picked" 4)" "$(column_stats "$work/picked" 5)" \
      "$(column_stats "$work/picked" 6)" "$(awk '$7 == 0 { n++ } END { print n + 0 " of " NR }' "$work/picked")" \
      "$(awk '{ print $8 }' "$work/picked" | sort -u | tr '\n' ' ')" \
      "$(awk '{ print $9 }' "$work/picked" | sort -g | sed -n '1p;$p' | tr '\n' ' ')"
  done
  echo "list read: the starts whose liked list was read by the time Home painted"
} | tee "$results/$name.txt"
