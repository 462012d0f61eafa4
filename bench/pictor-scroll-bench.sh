#!/usr/bin/env bash
# A list scrolled fast, on the image downloader (pictor-net-bench scroll): 12 visible rows, each an
# image a loopback TLS server answers in 40 ms. The reference is the same list unscrolled, in the
# same process: ms until every visible image is loaded when the list shows at once, against after
# 5 jumps of 30 rows a frame apart, each jump withdrawing the loads of the rows it leaves (goal:
# within 150 ms of the unscrolled list). Medians of N runs, each on fresh connections, with the
# load average before and after. Writes bench/results/pictor-scroll.txt.
#
#   bench/pictor-scroll-bench.sh [runs]     (default 9)
set -euo pipefail
name=pictor-scroll-bench
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-9}

build_targets pictor-net-bench
bench="$build/bench/pictor-net-bench"
cert="$top/tests/data/sample-catalogue-cert.pem"
key="$top/tests/data/sample-catalogue-key.pem"
export QT_QPA_PLATFORM=offscreen

before=$(cut -d' ' -f1-3 /proc/loadavg)
read -r still scrolled < <("$bench" scroll "$cert" "$key" "$runs")
after=$(cut -d' ' -f1-3 /proc/loadavg)
{
  echo "visible images of a 12-row list, server answering each in 40 ms, median of $runs runs, $(nproc) cores"
  printf '%-44s %8s\n' "list" "ms"
  printf '%-44s %8d\n' "unscrolled" "$still"
  printf '%-44s %8d\n' "after 5 jumps of 30 rows, a frame apart" "$scrolled"
  echo "difference: $((scrolled - still)) ms (goal <= 150); load average before: $before, after: $after"
} | tee "$results/pictor-scroll.txt"
