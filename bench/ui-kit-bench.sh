#!/usr/bin/env bash
# Hover repaints of the like button and chips against a styled QPushButton, and the CPU of an
# idle window full of the shared widgets against a bare window, on a private Xvfb display.
#
#   bench/ui-kit-bench.sh [seconds]     (idle stretch, default 20)
set -euo pipefail
name=ui-kit-bench
. "$(dirname "$0")/bench-lib.sh"
seconds=${1:-20}

require_tools Xvfb
build_targets ui-kit-bench
bench="$build/bench/ui-kit-bench"

trap stop_xvfb EXIT
start_xvfb 1920x1080x24
export DISPLAY=$server
export QT_QPA_PLATFORM=xcb

echo "== hover repaint (reference: styledPushButton)"
"$bench" repaint --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null | tee "$results/$name-repaint.out"
echo "== idle window, ${seconds} s each"
"$bench" idle "$seconds" | tee "$results/$name-idle.out"
"$bench" idle "$seconds" bare | tee -a "$results/$name-idle.out"
