#!/usr/bin/env bash
# The move of a long library into the database starts by reading the old settings files: a
# standard.json with 78,036 liked wallpapers and a journal of 150 likes and unlikes beside it.
# The import's time and peak memory (/usr/bin/time), against reading the file's bytes alone in
# the same run, 5 runs each; the load average beside each. Writes bench/results/legacy-import.txt.
#   bench/legacy-import-bench.sh [liked]     (default 78036)
set -euo pipefail
name=legacy-import-bench
. "$(dirname "$0")/bench-lib.sh"
count=${1:-78036}
require_tools python3 /usr/bin/time

build_targets legacy-import-bench
bench=$(find "$build" -type f -name legacy-import-bench -perm -u+x | head -n1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A returning user's settings as the earlier version stored them, and the journal of changes
# beside them.
python3 "$(dirname "$0")/legacy-settings.py" "$work/standard.json" "$count" --journal
out=$results/legacy-import.txt
size=$(stat -c %s "$work/standard.json")
echo "$count liked, standard.json $(( size / 1024 / 1024 )) MiB, a journal of 150 changes" | tee "$out"
for run in 1 2 3 4 5; do
  for side in import bytes; do
    load=$(cut -d' ' -f1 /proc/loadavg)
    args=("$work/standard.json")
    [ "$side" = bytes ] && args=(--bytes "$work/standard.json")
    /usr/bin/time -f 'peak_kib = %M' -o "$work/time.txt" "$bench" "${args[@]}" >"$work/run.txt"
    echo "run $run $side (load $load): $(grep -E '_ms|troubles' "$work/run.txt" | tr '\n' ' ')$(cat "$work/time.txt")" | tee -a "$out"
  done
done
