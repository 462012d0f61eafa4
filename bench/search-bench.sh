#!/usr/bin/env bash
# The search overlay, offscreen, on the sample catalogue: the GUI-thread time of each keystroke of
# a 12-character query typed at 10 characters a second, against the same keystrokes into a bare
# QLineEdit (target: every one under 4 ms of GUI-thread CPU, and exactly one search request per typed query), and
# the time from the debounce firing to the painted results of a query whose posters are cached,
# against curl sending the same search to the same catalogue (target: under 100 ms).
# Writes the figures to bench/results/search.txt.
#
#   bench/search-bench.sh [runs]     (default 5)
# QUORVELLE_BENCH_PREBUILT=1 runs the search-bench already built in $QUORVELLE_BENCH_BUILD.
set -euo pipefail
name=search-bench
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-5}

require_tools curl
[ "${QUORVELLE_BENCH_PREBUILT:-0}" = 1 ] || build_targets search-bench
out="$results/$name.out"
QT_QPA_PLATFORM=offscreen "$build/bench/search-bench" "$top/tests/data" "$runs" | tee "$out"
value() { awk -v key="$1" '$1 == key { print $2 }' "$out"; }
{
  echo "keystroke median / max wall (ms)        $(value keystroke_median_ms) / $(value keystroke_max_ms)"
  echo "keystroke max GUI-thread CPU (ms)        $(value keystroke_cpu_max_ms)   (target < 4)"
  echo "bare QLineEdit median / max wall (ms)    $(value lineedit_keystroke_median_ms) / $(value lineedit_keystroke_max_ms)"
  echo "bare QLineEdit max GUI-thread CPU (ms)   $(value lineedit_keystroke_cpu_max_ms)"
  echo "keystroke CPU max, ours/QLineEdit        $(ratio "$(value keystroke_cpu_max_ms)" "$(value lineedit_keystroke_cpu_max_ms)")"
  echo "search requests per typed query    $(value search_requests_per_typed_query)   (target: 1)"
  echo "cached results painted (ms)        $(value cached_results_painted_ms)   (target < 100)"
  echo "curl, same search (ms)             $(value curl_search_ms)"
  echo "painted/curl                       $(ratio "$(value cached_results_painted_ms)" "$(value curl_search_ms)")"
} | tee "$results/search.txt"
