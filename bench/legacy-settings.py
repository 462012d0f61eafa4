#!/usr/bin/env python3
# A returning user's settings as the earlier version stored them: standard.json with COUNT liked
# wallpapers, the onboarding done, and with --journal the journal of 150 likes and unlikes that
# version kept beside it.
#   bench/legacy-settings.py PATH COUNT [--journal]
import base64, json, struct, sys, uuid, zlib
path, count = sys.argv[1], int(sys.argv[2])
with_journal = "--journal" in sys.argv[3:]
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
with open(path, "w") as settings:
    json.dump({"onboardingSheetCompleted": {"type": "bool", "value": True},
               "likedWallpapersModels": {"type": "data", "value": encoded}}, settings)
if not with_journal:
    sys.exit(0)
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
