#!/usr/bin/env bash
# The lazy grid scrolling 1,000 poster cells (pictures from the disk cache) at 60 steps a second,
# offscreen, against the same grid with every cell made up front. Targets for the lazy grid: a
# median step (scroll, cells made and dropped, repaint) under 4 ms, no step over 16 ms, and the
# cells alive never more than the seen rows plus the margin.
# Writes the figures to bench/results/lazy-grid.txt.
#
#   bench/lazy-grid-bench.sh [steps]     (default 600: ten seconds)
set -euo pipefail
name=lazy-grid-bench
. "$(dirname "$0")/bench-lib.sh"
steps=${1:-600}

build_targets lazy-grid-bench
"$build/bench/lazy-grid-bench" "$steps" | tee "$results/lazy-grid.txt"
