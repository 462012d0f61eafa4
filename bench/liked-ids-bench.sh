#!/usr/bin/env bash
# A liked list of 78,036 ids whose fields repeat one number, indexed by the lazy grid, against
# random ids (target: at most 2x their time). Writes the figures to bench/results/liked-ids.txt.
#
#   bench/liked-ids-bench.sh [ids]
set -euo pipefail
name=liked-ids-bench
. "$(dirname "$0")/bench-lib.sh"

build_targets liked-ids-bench
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/liked-ids-bench" "$@" | tee "$results/liked-ids.txt"
