#!/usr/bin/env bash
# Memory that comes back after a tour: the application launched as main() launches it against
# the sample catalogue on a private 1920×1080 Xvfb display, driven by clicks through every tab and
# the full-screen pages of ten poster cards (each until its preview plays), then back on Home.
# Resident memory and threads at the first Home and back on Home after the tour, medians of N
# launches with [ranges]. Targets: back on Home within 30 MiB of the first Home; threads no more
# than at the first Home (they do not grow with the pages visited). Needs Xvfb and python3.
#
#   bench/tour-memory.sh [runs] [previews]     (defaults 3 and 10)
set -euo pipefail
name=tour-memory
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-3}
previews=${2:-10}
require_tools Xvfb

build_targets tour-memory-bench sample-catalogue
bench="$build/bench/tour-memory-bench"
make_work
start_catalogue "$work/catalogue.log"
start_xvfb 1920x1080x24

use_returning_user

field() { awk -v when="$1" -v key="$2" '$1 == when { for (i = 2; i < NF; i += 2) if ($i == key) print $(i + 1) }' "$3"; }
range() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "[%s-%s]", lo, hi }'; }
mib() { awk -v kb="$1" 'BEGIN { printf "%.1f", kb / 1024 }'; }

echo "== warm-up launch (fills the response, image and preview caches)"
"$bench" 2 1 >"$work/warm.out" 2>"$work/warm.err" || { tail -n 20 "$work/warm.err" >&2; exit 1; }
first=() after=() growth=() first_threads=() after_threads=() peak_threads=()
for run in $(seq "$runs"); do
  echo "== launch $run of $runs"
  "$bench" "$previews" >"$results/$name-$run.out" 2>"$work/run.err" || { tail -n 20 "$work/run.err" >&2; exit 1; }
  grep -v '^💾\|^📖' "$results/$name-$run.out" | grep 'rss_kb' || true
  out="$results/$name-$run.out"
  f=$(field first_home rss_kb "$out") a=$(field home_after_tour rss_kb "$out")
  first+=("$(mib "$f")") after+=("$(mib "$a")") growth+=("$(mib $((a - f)))")
  first_threads+=("$(field first_home threads "$out")") after_threads+=("$(field home_after_tour threads "$out")")
  peak_threads+=("$(awk '$2 == "rss_kb" { if ($5 > max) max = $5 } END { print max }' "$out")")
done
{
  echo "a tour of every tab and $previews full-screen previews, back on Home; medians of $runs launches [ranges]"
  echo "rss at first Home (MiB)         $(median "${first[@]}") $(range "${first[@]}")"
  echo "rss back on Home (MiB)          $(median "${after[@]}") $(range "${after[@]}")"
  echo "rss growth (MiB)                $(median "${growth[@]}") $(range "${growth[@]}")   (target: at most 30)"
  echo "threads at first Home           $(median "${first_threads[@]}") $(range "${first_threads[@]}")"
  echo "threads at most during the tour $(median "${peak_threads[@]}") $(range "${peak_threads[@]}")"
  echo "threads back on Home            $(median "${after_threads[@]}") $(range "${after_threads[@]}")   (target: no more than at first Home)"
} | tee "$results/$name.txt"
