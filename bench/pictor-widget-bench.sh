#!/usr/bin/env bash
# The image library's widgets next to plain Qt (pictor-widget-bench):
#   500 image views set from the memory cache (target: under 50 ms in all), against 500 QLabels
#     given the same images as pixmaps (median of N runs);
#   a GIF of 100 frames at 480x270 and 25 fps made by ffmpeg, playing in the animated image view
#     (target: under 3% of one core) against QMovie in a QLabel, and the view's cost while hidden;
#   loads from the memory cache into 1,000, 4,000 and 16,000 cells of one model (pictor-cells-bench,
#     Google Benchmark; the time should grow with the cells, not their square) against setting the
#     same pixmaps straight into the cells.
# Offscreen platform: painting goes to a backing store in memory. Writes bench/results/pictor-widget.txt.
#
#   bench/pictor-widget-bench.sh [runs]     (default 5)
set -euo pipefail
name=pictor-widget-bench
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-5}
require_tools ffmpeg

build_targets pictor-widget-bench pictor-cells-bench
bench="$build/bench/pictor-widget-bench"
cells_bench="$build/bench/pictor-cells-bench"
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -v error -y -f lavfi -i "testsrc2=size=480x270:rate=25" -frames:v 100 -gifflags -offsetting "$work/loop.gif"

ours=() labels=()
for _ in $(seq "$runs"); do
  read -r o l < <("$bench" views 2>/dev/null)
  ours+=("$o") labels+=("$l")
done
read -r shown movie hidden < <("$bench" gif "$work/loop.gif" 10 2>/dev/null)
# CSV rows: "BM_Name/cells",iterations,real_time,... in milliseconds.
"$cells_bench" --benchmark_format=csv 2>/dev/null | awk -F, '/^"BM_/ { gsub(/"/, "", $1); split($1, n, "/"); ms[n[1] "/" n[2]] = $3; cells[n[2]] = 1 }
  END { for (c in cells) printf "%s %.1f %.2f\n", c, ms["BM_LoadIntoCells/" c], ms["BM_SetCellsDirectly/" c] }' |
  sort -n >"$work/cells.txt"

{
  echo "image library widgets vs plain Qt $(qtpaths6 --qt-version 2>/dev/null || true), offscreen, $(nproc) cores"
  printf '%-46s %10s %10s\n' "case" "ours" "reference"
  printf '%-46s %8s ms %8s ms\n' "500 image views from the memory cache (median)" "$(median "${ours[@]}")" "$(median "${labels[@]}")"
  printf '%-46s %9s %% %9s %%\n' "GIF 100 frames 480x270 25 fps, CPU of a core" "$shown" "$movie"
  printf '%-46s %9s %%\n' "the same view hidden, CPU of a core" "$hidden"
  while read -r cells ours_cells direct; do
    printf '%-46s %8s ms %8s ms\n' "loads into $cells model cells (memory cache)" "$ours_cells" "$direct"
  done <"$work/cells.txt"
  echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
} | tee "$results/pictor-widget.txt"
