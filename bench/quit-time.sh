#!/usr/bin/env bash
# The real program's quit on its home page, every hero preview a stream that never ends: ms from
# SIGTERM to the end of the process, this build against an earlier one (QUORVELLE_BASELINE_APP,
# say the previous main's Release program) alternating run by run, on a quiet machine and beside
# `stress-ng --cpu 8`, the load average beside each run. Each run also says whether the log ends
# with "Quit" and whether a setting the end saves ("hasShownWindowThisSession" false) is in the
# settings database afterwards. Then the same quit while a personal-use import copies a large
# video (3 GB, sparse) and a preview opens the endless stream (exit-bench quit). Goals: a median
# of at most 300 ms quiet, at most 1 s beside stress-ng. Writes bench/results/quit-time.txt.
# Freeing the import's partial copy is most of that quit's time, and a file system mounted with
# `discard` trims its blocks on the spot: QUIT_TIME_IMPORT_FOLDER puts the import (its video and
# its copies) on another file system than the build's.
# Needs ffmpeg, curl, python3, sqlite3, stress-ng and Xvfb.
#
#   bench/quit-time.sh [runs]     (default 7)
set -euo pipefail
name=quit-time
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-7}
require_tools ffmpeg curl truncate python3 sqlite3 stress-ng Xvfb

build_targets quorvelle sample-catalogue exit-bench
app="${QUORVELLE_APP:-$build/src/quorvelle}"
baseline="${QUORVELLE_BASELINE_APP:-}"
stress=
imports=
on_exit() {
  if [ -n "$stress" ]; then kill "$stress" 2>/dev/null; wait "$stress" 2>/dev/null || true; fi
  [ -z "$imports" ] || rm -rf "$imports"
}
make_work
start_catalogue "$work/catalogue.log"
start_xvfb 1920x1080x24
endless_hero_previews

# One quit of a program on its home page: "ms load quit-logged setting-saved".
quit_once() {
  local saved=-
  sigterm_on_home "$1" "$2"
  # What the quit saved, read from the settings database (a build from before it: "-").
  [ -e "$2/config/Quorvelle/standard.sqlite3" ] && saved=$(sqlite3 -readonly "$2/config/Quorvelle/standard.sqlite3" \
    "SELECT entry FROM entries WHERE key = 'hasShownWindowThisSession'" 2>/dev/null | grep -c false || true)
  echo "$quit_ms $quit_load $(tail -n1 "$2/out" | grep -c 'Quit$' || true) $saved"
}

# Alternates the sides, `runs` times each, tagging each line with the side and the condition.
series() {
  local condition=$1 run side program
  for run in $(seq "$runs"); do
    for side in this baseline; do
      program=$app
      if [ "$side" = baseline ]; then [ -n "$baseline" ] || continue; program=$baseline; fi
      echo "$side $condition $(quit_once "$program" "$work/$side")" | tee -a "$work/runs"
    done
  done
}
: >"$work/runs"
series quiet

# The quit while an import copies and a preview opens an endless stream, through exit-bench.
endless="$base/wallpaper/1/previewhd.mp4"
curl -sf --cacert "$cert" -X POST "$base/__control/fault" \
  -d '{"path": "/wallpaper/1/previewhd.mp4", "endless": true}' >/dev/null
imports=$(mktemp -d -p "${QUIT_TIME_IMPORT_FOLDER:-$work}")
video="$imports/long take.mp4"
ffmpeg -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=2" -c:v libx264 -preset ultrafast \
  -pix_fmt yuv420p -movflags +faststart "$video"
truncate -s 3G "$video"
# import_series <condition>: `runs` quits of exit-bench, each while its import copies.
import_series() {
  local run load end start
  for run in $(seq "$runs"); do
    rm -rf "$imports/import-$run"; mkdir -p "$imports/import-$run"
    load=$(cut -d' ' -f1 /proc/loadavg)
    "$build/bench/exit-bench" quit "$video" "$endless" "$imports/import-$run" >"$work/import.out" 2>&1 || true
    end=$(now_ms)
    start=$(sed -n 's/^quit at //p' "$work/import.out")
    [ -n "$start" ] || { echo "$name: exit-bench did not quit: $(tail -n 2 "$work/import.out")" >&2; continue; }
    echo "import $1 $((end - start)) $load $(grep -c '^copied' "$work/import.out") $(find "$imports/import-$run" -type f | wc -l)" \
      | tee -a "$work/runs"
  done
}
import_series quiet

# Then beside stress-ng, once the quiet runs are done.
stress-ng --cpu 8 --quiet --timeout 3600 & stress=$!
sleep 5
series stress
import_series stress
kill "$stress"; wait "$stress" 2>/dev/null || true; stress=

{
  echo "SIGTERM -> process end on the home page, every hero preview endless ($runs alternating runs each)"
  printf '%-40s %-28s %-22s %s\n' "side, condition" "ms, median [low-high]" "load averages" "runs logging Quit, setting saved"
  for side in this baseline import; do
    for condition in quiet stress; do
      grep "^$side $condition " "$work/runs" >"$work/picked" || continue
      label=$side
      [ "$side" = import ] && label="this, Quit with an import + endless preview (exit-bench; last: files left)"
      printf '%-40s %-28s %-22s %s\n' "$label, $condition" "$(column_stats "$work/picked" 3)" \
        "$(awk '{ print $4 }' "$work/picked" | sort -g | sed -n '1p;$p' | tr '\n' ' ')" \
        "$(awk '{ q += $5; s += ($6 == "-" ? 0 : $6); d = d || $6 == "-" } END { print q " of " NR ", " (d ? "-" : s) }' "$work/picked")"
    done
  done
  for condition in quiet stress; do
    this=$(awk -v c="$condition" '$1 == "this" && $2 == c { print $3 }' "$work/runs")
    theirs=$(awk -v c="$condition" '$1 == "baseline" && $2 == c { print $3 }' "$work/runs")
    # shellcheck disable=SC2086 # one value a word
    [ -n "$theirs" ] && echo "$condition: this over baseline, medians $(ratio "$(median $this)" "$(median $theirs)")x"
  done
} | tee "$results/$name.txt"
