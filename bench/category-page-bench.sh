#!/usr/bin/env bash
# The category page, offscreen, against the in-process sample catalogue with every poster in the
# image cache: opening a category whose first page is in the response cache (target: grid painted
# under 150 ms after the push), and scrolling a category of 300 wallpapers step by step (target:
# no step over 16 ms); each against the same cards in a bare lazy grid, measured in the same run.
# Writes the figures to bench/results/category-page.txt.
#
#   bench/category-page-bench.sh [opens] [steps]     (default 20 opens, 600 steps)
set -euo pipefail
name=category-page-bench
. "$(dirname "$0")/bench-lib.sh"

build_targets category-page-bench
"$build/bench/category-page-bench" "${1:-20}" "${2:-600}" | tee "$results/category-page.txt"
