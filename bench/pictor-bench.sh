#!/usr/bin/env bash
# The image library next to its references, on files made here by ffmpeg:
#   inside one process (pictor-bench, Google Benchmark): downsampling a 4000x3000 JPEG to 400x300
#   at decode against a full decode and smooth scale; format detection and SHA-256 of 1 MB; the
#   progressive-JPEG marker scan remembered against rescanned.
#   the image cache (pictor-cache-bench): memory hit; disk hit of a 600x340 JPEG with its decode
#   against QImageReader on the same file; storing 10,000 small images and trimming to half the
#   size limit against QImage::save; total size of 10,000 files against a QDirIterator walk;
#   resident memory while 1 GiB of images passes a 64 MiB memory level.
#   retrieval through PictorManager (pictor-retrieval-bench): a processed image from the memory
#   cache; a 600x340 JPEG from the disk cache, next to the cache bench's QImageReader figure.
#   the frame at 2 s of a 1080p H.264 video as JPEG, whole processes: pictor-tool --frame 2
#   against ffmpeg -ss 2 -i FILE -frames:v 1 OUT.jpg.
#   whole processes on a 1920x1080 JPEG, pictor-tool against ImageMagick's convert:
#     blur radius 10        vs  convert IN -blur 0x10 OUT.jpg
#     round corners r 40    vs  convert IN ( mask with a rounded rectangle ) -compose DstIn OUT.png
#     resize to 960x540     vs  convert IN -resize 960x540! OUT.jpg
# Median wall time of N runs each, run alternately, warm file cache. Writes bench/results/pictor.txt.
# Needs ffmpeg and ImageMagick (scripts/setup).
#
#   bench/pictor-bench.sh [runs]     (default 9)
set -euo pipefail
name=pictor-bench
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-9}
require_tools ffmpeg convert

build_targets pictor-bench pictor-cache-bench pictor-retrieval-bench pictor-tool
bench="$build/bench/pictor-bench"
cache_bench="$build/bench/pictor-cache-bench"
retrieval_bench="$build/bench/pictor-retrieval-bench"
tool="$build/tools/pictor-tool/pictor-tool"
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -v error -y -f lavfi -i "testsrc2=size=4000x3000" -frames:v 1 -q:v 3 "$work/large.jpg"
ffmpeg -v error -y -f lavfi -i "testsrc2=size=1920x1080" -frames:v 1 -q:v 3 "$work/hd.jpg"
ffmpeg -v error -y -f lavfi -i "testsrc2=size=600x340" -frames:v 1 -q:v 3 "$work/small.jpg"
make_master "$work/hd.mp4"

read -r ours_blur tool_blur < <(compare \
  '"$tool" "$work/hd.jpg" "$work/ours-blur.jpg" blur:10' \
  'convert "$work/hd.jpg" -blur 0x10 -quality 90 "$work/tool-blur.jpg"')
read -r ours_round tool_round < <(compare \
  '"$tool" "$work/hd.jpg" "$work/ours-round.png" round:40' \
  'convert "$work/hd.jpg" \( -size 1920x1080 xc:none -fill white -draw "roundrectangle 0,0,1919,1079,40,40" \) -compose DstIn -composite "$work/tool-round.png"')
read -r ours_resize tool_resize < <(compare \
  '"$tool" "$work/hd.jpg" "$work/ours-resize.jpg" resize:960x540' \
  'convert "$work/hd.jpg" -resize "960x540!" -quality 90 "$work/tool-resize.jpg"')
read -r ours_frame tool_frame < <(compare \
  '"$tool" "$work/hd.mp4" "$work/ours-frame.jpg" --frame 2' \
  'ffmpeg -v error -y -ss 2 -i "$work/hd.mp4" -frames:v 1 "$work/tool-frame.jpg"')
inner=$("$bench" "$work/large.jpg" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null | grep -E "_median")
cache=$("$cache_bench" "$work/small.jpg" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null | grep -vE "_(mean|stddev|cv)|^-|^Benchmark")
retrieval=$("$retrieval_bench" "$work/small.jpg" "$work/hd.mp4" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null | grep -vE "_(mean|stddev|cv)|^-|^Benchmark")

{
  echo "pictor-tool vs ImageMagick convert $(convert -version | head -1 | cut -d' ' -f3), 1920x1080 JPEG"
  echo "median of $runs runs, whole process, warm cache ($(nproc) cores)"
  printf '%-28s %8s %8s %7s\n' "operation" "ours ms" "tool ms" "ratio"
  printf '%-28s %8d %8d %7s\n' "blur radius 10 (JPEG)" "$ours_blur" "$tool_blur" "$(ratio "$ours_blur" "$tool_blur")"
  printf '%-28s %8d %8d %7s\n' "round corners 40 (PNG)" "$ours_round" "$tool_round" "$(ratio "$ours_round" "$tool_round")"
  printf '%-28s %8d %8d %7s\n' "resize to 960x540 (JPEG)" "$ours_resize" "$tool_resize" "$(ratio "$ours_resize" "$tool_resize")"
  echo
  echo "video frame at 2 s of a 1080p H.264 file, whole process: pictor-tool --frame vs ffmpeg -ss 2 (target <= 1.0x)"
  printf '%-28s %8d %8d %7s\n' "frame at 2 s (JPEG)" "$ours_frame" "$tool_frame" "$(ratio "$ours_frame" "$tool_frame")"
  echo
  echo "inside one process (median of 5 repetitions):"
  echo "$inner"
  echo
  echo "image cache (medians of 5 repetitions; disk hit target <= 1.2x QImageReader):"
  echo "$cache"
  echo
  echo "retrieval through PictorManager (medians of 5 repetitions; memory hit target < 5 us, disk hit <= 1.3x BM_QImageReaderJpeg above):"
  echo "$retrieval"
} | tee "$results/pictor.txt"
