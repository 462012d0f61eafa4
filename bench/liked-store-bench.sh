#!/usr/bin/env bash
# Likes and unlikes of a user with a long liked list reach the disk at once and cheaply, a long
# list costs the launch little, and no end of the program loses a saved like. The real program,
# 78,036 liked against 2 liked, alternating on a private Xvfb display against the sample
# catalogue, each side's settings stored by the program's own store and laid anew before each
# run; the load average beside each run. Writes the figures to bench/results/liked-store.txt.
#   - stream: 100 taps 150 ms apart (50 likes, then their unlikes), in several series: ms from
#     each tap to its change committed and logged saved (median and longest; targets: median
#     under 10 ms, under 25 ms beside `stress-ng --cpu 8`), and the bytes the process had the
#     disk write per tap (/proc/<pid>/io write_bytes; target: at most 16 KiB), idle and beside
#     stress-ng.
#   - launch: the start to the home page painted with posters, and the resident memory then
#     (targets: within 50 ms and 40 MiB of the 2-liked start of the same run).
#   - kill: kill -9 at a random moment in a stream of 40 likes: likes the log called saved (the
#     last "Saved N liked wallpapers") that the next start does not find (target: none).
#   - cut: a power cut right after a random write of a stream of 40 likes through the store
#     (like-stream under the power-cut file system, which drops every write not synced): likes
#     printed saved that the next open does not find, and the database's check (targets: none
#     lost, "ok" every time).
# Needs Xvfb, python3 and stress-ng.
#
#   bench/liked-store-bench.sh [ids] [stream series] [launch runs] [kill runs] [cut runs]
#                                                             (default 78036, 3, 5, 20 and 50)
# LIKED_STORE_PARTS picks the parts ("stream launch kill cut", the default).
set -euo pipefail
name=liked-store-bench
. "$(dirname "$0")/bench-lib.sh"
count=${1:-78036}
series=${2:-3}
launch_runs=${3:-5}
kill_runs=${4:-20}
cut_runs=${5:-50}
parts=" ${LIKED_STORE_PARTS:-stream launch kill cut} "
require_tools Xvfb python3 stress-ng

build_targets home-page-bench like-stream sample-catalogue
start_liked_sides "$count"
streamer=$(find "$build" -type f -name like-stream -perm -u+x | head -n1)
out=$results/liked-store.txt
# Parts picked by name add their lines to the last full run's.
[ -n "${LIKED_STORE_PARTS:-}" ] || : >"$out"
say() { echo "$*" | tee -a "$out"; }
loadavg() { cut -d' ' -f1 /proc/loadavg; }

# Becomes the given program on a side's folders with its arguments, standard output to $3: run
# in a subshell, whose id is then the program's.
program() {
  local side=$1 binary=$2 outfile=$3
  shift 3
  export HOME=$work/$side/home XDG_CONFIG_HOME=$work/$side/config XDG_DATA_HOME=$work/$side/data \
    XDG_CACHE_HOME=$work/$side/cache XDG_RUNTIME_DIR=$work/$side/runtime
  exec "$binary" "$@" >"$outfile" 2>>"$work/$side.err"
}
run_side() { (program "$1" "$bench" "${@:2}") || true; }
stored_liked() { run_side "$1" "$work/count.txt" liked; awk '/^liked = / { print $3 }' "$work/count.txt"; }
last_saved() { grep -ao 'Saved [0-9]* liked' "$1" | tail -n1 | awk '{ print $2 }'; }
damaged_copies() { find "$work/$1/config/Quorvelle" -name '*damaged*' | wc -l; }

stream() { # <side> <idle|stress> <label>: a stream of 100 taps
  local side=$1 tag=$2 label=$3 load committed written changes unsaved
  lay_liked_settings "$side"
  load=$(loadavg)
  run_side "$side" "$work/stream.txt" stream 100
  committed=$(grep -a '^tap_committed_ms' "$work/stream.txt" | awk -F' = ' '{ print $2 }')
  [ -n "$committed" ] || { say "$label, $side: the stream did not run"; tail -n 20 "$work/$side.err"; return; }
  unsaved=$(grep -ac '^tap_not_saved' "$work/stream.txt" || true)
  written=$(grep -a '^stream_written_bytes' "$work/stream.txt" | awk -F' = ' '{ print $2 }')
  changes=$(grep -a '^stream_changes' "$work/stream.txt" | awk -F' = ' '{ print $2 }')
  say "$label, $side liked (load $load): tap to committed median $(median $committed) ms," \
    "longest $(printf '%s\n' $committed | sort -g | tail -n1) ms, $unsaved taps not logged saved;" \
    "written $(( ${written:-0} / 1024 )) KiB for ${changes:-?} taps, $(awk -v w="${written:-0}" -v c="${changes:-1}" \
      'BEGIN { printf "%.1f", w / c / 1024 }') KiB per tap"
  echo "$side $tag $(median $committed) $(( ${written:-0} / ${changes:-1} ))" >>"$work/stream-figures.txt"
}

echo "== warm-up start (fill the response and image caches)"
for side in many two; do lay_liked_settings "$side"; run_side "$side" /dev/null library; done

if [[ $parts == *" stream "* ]]; then
  say "== a stream of 100 taps 150 ms apart, $series series, $count liked against 2 liked"
  for run in $(seq "$series"); do
    for side in many two; do stream "$side" idle "series $run idle"; done
  done
  stress-ng --cpu 8 --quiet --timeout 1800 & stress=$!
  for run in $(seq "$series"); do
    for side in many two; do stream "$side" stress "series $run beside stress-ng --cpu 8"; done
  done
  kill "$stress"; wait "$stress" 2>/dev/null || true
  for side in many two; do
    for tag in idle stress; do
      medians=$(awk -v s="$side" -v t="$tag" '$1 == s && $2 == t { print $3 }' "$work/stream-figures.txt")
      bytes=$(awk -v s="$side" -v t="$tag" '$1 == s && $2 == t { printf "%.1f ", $4 / 1024 }' "$work/stream-figures.txt")
      say "$side liked, $tag: tap to committed, the series' medians $(echo $medians) ms (median $(median $medians) ms);" \
        "KiB written per tap $bytes"
    done
  done
fi

if [[ $parts == *" launch "* ]]; then
  say "== launch to home painted with posters, and resident on home, $launch_runs alternating runs"
  home=() over_ms=() over_mib=()
  for run in $(seq "$launch_runs"); do
    declare -A painted=() resident=()
    for side in many two; do
      lay_liked_settings "$side"
      load=$(loadavg)
      run_side "$side" "$work/launch.txt" startup
      painted[$side]=$(awk -F' = ' '/^home_painted_ms/ { print $2 }' "$work/launch.txt")
      resident[$side]=$(awk -F' = ' '/^home_rss_kib/ { printf "%.0f", $2 / 1024 }' "$work/launch.txt")
      peak=$(awk -F' = ' '/^home_rss_peak_kib/ { printf "%.0f", $2 / 1024 }' "$work/launch.txt")
      reading=$(awk -F' = ' '/^home_liked_loading/ { print ($2 == 1 ? "still being read" : "read") }' "$work/launch.txt")
      say "run $run $side (load $load): home painted ${painted[$side]:-?} ms, resident on home ${resident[$side]:-?} MiB" \
        "(peak ${peak:-?} MiB), the liked list ${reading:-?} then"
    done
    over_ms+=($(( ${painted[many]:-0} - ${painted[two]:-0} )))
    over_mib+=($(( ${resident[many]:-0} - ${resident[two]:-0} )))
  done
  say "$count liked over 2 liked, run by run: home painted ${over_ms[*]} ms (median $(median "${over_ms[@]}"))," \
    "resident on home ${over_mib[*]} MiB (median $(median "${over_mib[@]}"))"
fi

if [[ $parts == *" kill "* ]]; then
  say "== kill -9 at a random moment in a stream of 40 likes, $kill_runs runs, $count liked"
  lost_total=0
  for run in $(seq "$kill_runs"); do
    lay_liked_settings many
    load=$(loadavg)
    rm -f "$work/kill.txt" # the last run's lines are not this one's
    (program many "$bench" "$work/kill.txt" stream 40 likes) & pid=$!
    until grep -aq '^stream_started' "$work/kill.txt" 2>/dev/null; do sleep 0.05; kill -0 "$pid" 2>/dev/null || break; done
    sleep "$(awk -v r="$RANDOM" 'BEGIN { printf "%.3f", r % 6000 / 1000 }')"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    saved=$(last_saved "$work/kill.txt"); saved=${saved:-$count}
    stored=$(stored_liked many); stored=${stored:-0}
    lost=$(( saved > stored ? saved - stored : 0 ))
    lost_total=$((lost_total + lost))
    say "run $run (load $load): last logged saved $saved, stored $stored, lost $lost, damaged copies $(damaged_copies many)"
  done
  say "kill -9: $lost_total likes lost that were logged saved, over $kill_runs runs"
fi

if [[ $parts == *" cut "* ]]; then
  say "== a power cut after a random write of a stream of 40 likes, $cut_runs runs, $count liked"
  lay_liked_settings many
  # The stream stays until its input closes: /dev/null closes it at once.
  (program many "$streamer" "$work/cut.txt" likes 40 0 </dev/null) || true
  writes=$(awk '/^writes / { print $2 }' "$work/cut.txt")
  [ -n "$writes" ] || { say "the counting stream did not run"; tail -n 20 "$work/many.err"; exit 1; }
  say "a whole stream makes $writes writes"
  lost_total=0 unchecked=0
  for run in $(seq "$cut_runs"); do
    lay_liked_settings many
    load=$(loadavg)
    write=$(( (RANDOM * 32768 + RANDOM) % writes + 1 ))
    status=0; (program many "$streamer" "$work/cut.txt" likes 40 "$write" </dev/null) || status=$?
    (program many "$streamer" "$work/check.txt" check) || true
    lost=$(grep -a '^saved ' "$work/cut.txt" | awk '{ print $2 }' | sort >"$work/saved.txt"
           grep -a '^stream_liked ' "$work/check.txt" | awk '{ print $2 }' | sort >"$work/kept.txt"
           comm -23 "$work/saved.txt" "$work/kept.txt" | wc -l)
    check=$(awk '/^quick_check / { print $2 }' "$work/check.txt")
    trouble=$(grep -ac '^trouble ' "$work/check.txt" || true)
    liked=$(awk '/^liked_count / { print $2 }' "$work/check.txt")
    lost_total=$((lost_total + lost))
    [ "$check" = ok ] && [ "$trouble" -eq 0 ] || unchecked=$((unchecked + 1))
    say "run $run (load $load): cut after write $write of $writes (exit $status), saved $(wc -l <"$work/saved.txt")," \
      "kept $(wc -l <"$work/kept.txt"), lost $lost, liked $liked, quick_check ${check:-?}, troubles $trouble," \
      "damaged copies $(damaged_copies many)"
  done
  say "power cut: $lost_total likes lost that were printed saved, $unchecked opens not whole, over $cut_runs runs"
fi
true
