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
python3 - "$work/standard.json" "$count" <<'PY'
import base64, json, struct, sys, uuid, zlib
path, count = sys.argv[1], int(sys.argv[2])
liked = []
for n in range(count):
    key = 1718000000000 + n
    asset = "https://assets.invalid/wallpaper/%d/" % key
    liked.append({"id": str(uuid.UUID(int=n + 1)).upper(), "key": key, "title": "Liked wallpaper %d" % n,
                  "category": "Nature", "imageUrl": asset + "thumbnail.webp", "posterUrl": asset + "poster.webp",
                  "videoUrl": asset + "preview.mp4", "previewhdUrl": asset + "preview_hd.mp4",
                  "masterUrl": asset + "master.mp4", "likes": n % 977, "downloads": n % 4051,
                  "createdAt": "2025-06-08T10:00:00Z", "resolution": "3840x2160", "fileSize": "48MB",
                  "duration": "00:12", "is_4k": True, "is_from_gravel_nook": False, "for_lockscreen": False})
encoded = base64.b64encode(json.dumps(liked, separators=(",", ":")).encode()).decode()
json.dump({"onboardingSheetCompleted": {"type": "bool", "value": True},
           "likedWallpapersModels": {"type": "data", "value": encoded}}, open(path, "w"))
records = []
for n in range(150):
    key = 1719000000000 + n
    if n % 3 == 2:
        splice = [(n * 977) % 1000, 1, []]
    else:
        splice = [0, 0, [json.dumps({"id": "L%d" % n, "key": key, "title": "Liked later %d" % n}, separators=(",", ":"))]]
    records.append({"seq": n + 1, "key": "likedWallpapersModels", "splices": [splice]})
with open(path + ".journal", "wb") as out:
    for record in records:
        data = json.dumps(record, separators=(",", ":")).encode()
        out.write(struct.pack("<II", len(data), zlib.crc32(data)) + data)
PY
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
