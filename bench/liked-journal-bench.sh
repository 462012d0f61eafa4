#!/usr/bin/env bash
# Likes and unlikes of a user with a long liked list reach the disk at once and cheaply, and no
# end of the program loses one. The real program, 78,036 liked against 2 liked, alternating on a
# private Xvfb display against the sample catalogue; the load average beside each run. Writes the
# figures to bench/results/liked-journal.txt.
#   - A stream of 100 taps 150 ms apart (50 likes, then their unlikes): ms from each tap to its
#     record synced on disk (median and longest), and the bytes the process wrote per tap
#     (/proc/<pid>/io), with and without `stress-ng --cpu 8` beside it.
#   - kill -9 at a random moment in a stream of 40 likes, 20 runs: likes the log called saved
#     (the last "Saved N liked wallpapers") that the next start does not find.
#   - SIGTERM right after a like with `stress-ng --cpu 32` beside it, 10 runs: the exit status,
#     the time to it, and the like kept.
# Needs Xvfb, python3 and stress-ng.
#
#   bench/liked-journal-bench.sh [ids] [kill runs] [term runs]     (default 78036, 20 and 10)
# LIKED_JOURNAL_PARTS picks the parts ("stream kill term", the default).
set -euo pipefail
name=liked-journal-bench
. "$(dirname "$0")/bench-lib.sh"
count=${1:-78036}
kill_runs=${2:-20}
term_runs=${3:-10}
parts=" ${LIKED_JOURNAL_PARTS:-stream kill term} "
require_tools Xvfb python3 stress-ng

build_targets home-page-bench sample-catalogue
start_liked_sides "$count"
out=$results/liked-journal.txt
[ -n "${LIKED_JOURNAL_PARTS:-}" ] || : >"$out"
say() { echo "$*" | tee -a "$out"; }

# Becomes the bench program on a side's folders with its arguments, standard output to $2: run
# in a subshell, whose id is then the program's.
program() {
  local side=$1 outfile=$2
  shift 2
  export HOME=$work/$side/home XDG_CONFIG_HOME=$work/$side/config XDG_DATA_HOME=$work/$side/data \
    XDG_CACHE_HOME=$work/$side/cache XDG_RUNTIME_DIR=$work/$side/runtime
  exec "$bench" "$@" >"$outfile" 2>>"$work/$side.err"
}
run_side() { (program "$@") || true; }
fresh_settings() {
  rm -f "$work/$1/config/Quorvelle/"standard.json*
  cp "$work/settings-$1.json" "$work/$1/config/Quorvelle/standard.json"
}
stored_liked() { run_side "$1" "$work/count.txt" liked; awk '/^liked = / { print $3 }' "$work/count.txt"; }
last_saved() { grep -ao 'Saved [0-9]* liked' "$1" | tail -n1 | awk '{ print $2 }'; }

stream() { # <side> <label>: a stream of 100 taps
  local side=$1 label=$2 load synced
  fresh_settings "$side"
  load=$(cut -d' ' -f1 /proc/loadavg)
  run_side "$side" "$work/stream.txt" stream 100
  synced=$(grep -a '^tap_synced_ms' "$work/stream.txt" | awk -F' = ' '{ print $2 }')
  [ -n "$synced" ] || { say "$label $side: the stream did not run"; tail -n 20 "$work/$side.err"; return; }
  local written changes
  written=$(grep -a '^stream_written_bytes' "$work/stream.txt" | awk -F' = ' '{ print $2 }')
  changes=$(grep -a '^stream_changes' "$work/stream.txt" | awk -F' = ' '{ print $2 }')
  say "$label, $side liked (load $load): tap to synced median $(median $synced) ms, longest $(printf '%s\n' $synced | sort -g | tail -n1) ms;" \
    "written $(( ${written:-0} / 1024 )) KiB for ${changes:-?} taps, $(( ${written:-0} / ${changes:-1} / 1024 )) KiB per tap"
}

echo "== warm-up start (fill the response and image caches)"
fresh_settings many
run_side many /dev/null library
fresh_settings two
run_side two /dev/null library

if [[ $parts == *" stream "* ]]; then
  say "== a stream of 100 taps, 150 ms apart"
  for side in many two; do stream "$side" "idle"; done
  stress-ng --cpu 8 --quiet --timeout 600 & stress=$!
  for side in many two; do stream "$side" "beside stress-ng --cpu 8"; done
  kill "$stress"; wait "$stress" 2>/dev/null || true
fi

[[ $parts == *" kill "* ]] && {
say "== kill -9 at a random moment in a stream of 40 likes, $kill_runs runs, $count liked"
lost_total=0
for run in $(seq "$kill_runs"); do
  fresh_settings many
  load=$(cut -d' ' -f1 /proc/loadavg)
  rm -f "$work/kill.txt" # the last run's lines are not this one's
  (program many "$work/kill.txt" stream 40 likes) & pid=$!
  until grep -aq '^stream_started' "$work/kill.txt" 2>/dev/null; do sleep 0.05; kill -0 "$pid" 2>/dev/null || break; done
  sleep "$(awk -v r="$RANDOM" 'BEGIN { printf "%.3f", r % 5500 / 1000 }')"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  saved=$(last_saved "$work/kill.txt"); saved=${saved:-$count}
  stored=$(stored_liked many); stored=${stored:-0}
  lost=$(( saved > stored ? saved - stored : 0 ))
  lost_total=$((lost_total + lost))
  aside=$(ls "$work/many/config/Quorvelle" | grep -c damaged || true)
  say "run $run (load $load): last logged saved $saved, stored $stored, lost $lost, damaged copies $aside"
done
say "kill -9: $lost_total likes lost that were logged as saved, over $kill_runs runs"
}

[[ $parts == *" term "* ]] && {
say "== SIGTERM right after a like, beside stress-ng --cpu 32, $term_runs runs, $count liked"
stress-ng --cpu 32 --quiet --timeout 900 & stress=$!
kept_runs=0
for run in $(seq "$term_runs"); do
  fresh_settings many
  load=$(cut -d' ' -f1 /proc/loadavg)
  rm -f "$work/term.txt"
  (program many "$work/term.txt" stream 1) & pid=$!
  until grep -aq '^tap_synced_ms' "$work/term.txt" 2>/dev/null; do sleep 0.01; kill -0 "$pid" 2>/dev/null || break; done
  start=$(date +%s%N)
  kill -TERM "$pid" 2>/dev/null || true
  status=0; wait "$pid" || status=$?
  ms=$((($(date +%s%N) - start) / 1000000))
  stored=$(stored_liked many); stored=${stored:-0}
  kept=$([ "$stored" -eq $((count + 1)) ] && echo yes || echo no)
  [ "$kept" = yes ] && [ "$status" -eq 0 ] && kept_runs=$((kept_runs + 1))
  say "run $run (load $load): exit status $status after $ms ms, like kept: $kept"
done
kill "$stress"; wait "$stress" 2>/dev/null || true
say "SIGTERM: $kept_runs of $term_runs runs ended with status 0 and the like kept"
}
true
