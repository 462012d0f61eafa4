#!/usr/bin/env bash
# The first HTTPS request of a launch against the second, to the sample catalogue over loopback
# TLS, each in a fresh process (first-request-bench), median of N launches: wall time of each
# request and its CPU time on the GUI thread, with the trust prepared at start as the
# application does, and left to the first request (the path before it was prepared).
# Target: the first no slower than the second by more than 10 ms. Writes
# bench/results/first-request.txt.
#
#   bench/first-request.sh [runs]     (default 9)
set -euo pipefail
name=first-request
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-9}

build_targets first-request-bench sample-catalogue
bench="$build/bench/first-request-bench"
make_work
start_catalogue "$work/catalogue.out"
url="$base/hotspot-detect.html"

value() { awk -v key="$1" '$1 == key { print $2 }' "$2"; }
# launches <label> [options]: medians of the four figures into <label>_<figure>.
launches() {
  local label=$1 figure run
  shift
  declare -A figures
  for run in $(seq "$runs"); do
    QUORVELLE_CA_CERT="$cert" "$bench" "$url" "$@" >"$work/run.out" 2>&1 ||
      { echo "$name: $(cat "$work/run.out")" >&2; exit 1; }
    for figure in first_ms second_ms first_gui_cpu_ms second_gui_cpu_ms; do
      figures[$figure]+=" $(value "$figure" "$work/run.out")"
    done
  done
  for figure in "${!figures[@]}"; do
    # shellcheck disable=SC2086 # the lists are words on purpose
    printf -v "${label}_${figure}" '%s' "$(median ${figures[$figure]})"
  done
}
launches prepared
launches unprepared --unprepared

{
  echo "first and second HTTPS request of a launch, medians of $runs launches ($(nproc) cores)"
  for label in prepared unprepared; do
    first=${label}_first_ms second=${label}_second_ms first_cpu=${label}_first_gui_cpu_ms second_cpu=${label}_second_gui_cpu_ms
    printf '%-11s first %7.2f ms  second %7.2f ms  first-second %7.2f ms   GUI thread CPU: first %7.2f ms  second %6.2f ms\n' \
      "$label" "${!first}" "${!second}" "$(awk -v a="${!first}" -v b="${!second}" 'BEGIN { print a - b }')" \
      "${!first_cpu}" "${!second_cpu}"
  done
  echo "target: prepared first-second at most 10 ms"
} | tee "$results/first-request.txt"
