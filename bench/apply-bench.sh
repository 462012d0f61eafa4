#!/usr/bin/env bash
# The apply pipeline, call to first frame on the desktop windows, for a cached and an uncached
# 1080p master video from the sample catalogue, against bare desktop windows loading the same
# file. Runs under Xvfb (one 1920x1080 screen) when xvfb-run is there, offscreen otherwise.
# Writes bench/results/apply.txt.
#
#   bench/apply-bench.sh [runs]     (default 9)
set -euo pipefail
name=apply-bench
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-9}

build_targets apply-bench

export QUORVELLE_SAMPLE_MEDIA_DIR="${QUORVELLE_SAMPLE_MEDIA_DIR:-$build/sample-catalogue-media}"
run=("$build/bench/apply-bench" "$top/tests/data" "$runs")
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1920x1080x24" env QT_QPA_PLATFORM=xcb "${run[@]}" 2>/dev/null | grep -v '^\S* \[' | tee "$results/apply.txt"
else
  QT_QPA_PLATFORM=offscreen "${run[@]}" 2>/dev/null | grep -v '^\S* \[' | tee "$results/apply.txt"
fi
