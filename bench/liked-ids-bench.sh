#!/usr/bin/env bash
# A user with a long liked list, in two parts. Writes the figures to bench/results/liked-ids.txt.
#   - A liked list of 78,036 ids whose fields repeat one number, indexed by the lazy grid, against
#     random ids (target: at most 2x their time).
#   - The real program started by a user with that many liked wallpapers against one with 2 liked,
#     alternating in the same runs on a private 1280×800 Xvfb display against the sample
#     catalogue: ms from the start to "Application launched" and to the home page painted with
#     posters, ms from selecting the library tab to its saved grid painted, and the resident
#     memory then with its peak. Medians with [ranges], and the load average of the machine.
# Needs Xvfb and python3.
#
#   bench/liked-ids-bench.sh [ids] [runs]     (default 78036 and 3)
set -euo pipefail
name=liked-ids-bench
. "$(dirname "$0")/bench-lib.sh"
count=${1:-78036}
runs=${2:-3}
require_tools Xvfb python3

build_targets liked-ids-bench home-page-bench sample-catalogue
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/liked-ids-bench" "$count" | tee "$results/liked-ids.txt"

bench=$(find "$build" -type f -name home-page-bench -perm -u+x | head -n1)
make_work
start_catalogue "$work/catalogue.log"
start_xvfb 1280x800x24
export DISPLAY=$server QT_QPA_PLATFORM=xcb
export QUORVELLE_BACKEND_URL=$base/functions/v1 QUORVELLE_ANALYTICS_URL=$base \
  QUORVELLE_UPDATE_FEED_URL=$base/appcast.xml QUORVELLE_CA_CERT=$cert

# The settings of a returning user with $2 liked wallpapers, stored as the program stores them.
liked_settings() {
  python3 - "$1" "$2" <<'PY'
import base64, json, sys, uuid
path, count = sys.argv[1], int(sys.argv[2])
records = []
for n in range(count):
    key = 1718000000000 + n
    asset = "https://assets.invalid/wallpaper/%d/" % key
    records.append({"id": str(uuid.UUID(int=n + 1)).upper(), "key": key, "title": "Liked wallpaper %d" % n,
                    "category": "Nature", "imageUrl": asset + "thumbnail.webp", "posterUrl": asset + "poster.webp",
                    "videoUrl": asset + "preview.mp4", "previewhdUrl": asset + "preview_hd.mp4",
                    "masterUrl": asset + "master.mp4", "likes": n % 977, "downloads": n % 4051,
                    "createdAt": "2025-06-08T10:00:00Z", "resolution": "3840x2160", "fileSize": "48MB",
                    "duration": "00:12", "is_4k": True, "is_from_gravel_nook": False, "for_lockscreen": False})
liked = base64.b64encode(json.dumps(records, separators=(",", ":")).encode()).decode()
json.dump({"onboardingSheetCompleted": {"type": "bool", "value": True},
           "likedWallpapersModels": {"type": "data", "value": liked}}, open(path, "w"))
PY
}
for side in many two; do
  mkdir -p "$work/$side/config/Quorvelle" "$work/$side/runtime"
  chmod 700 "$work/$side/runtime"
done
liked_settings "$work/settings-many.json" "$count"
liked_settings "$work/settings-two.json" 2

# One start of the program with a side's folders: prints "launched home library rss peak"
# (ms, ms, ms, KiB, KiB). The settings are laid anew: the program rewrites them as it runs.
launch() {
  local side=$1 start line launched= home= library= rss= peak=
  cp "$work/settings-$side.json" "$work/$side/config/Quorvelle/standard.json"
  start=$(date +%s%N)
  while IFS= read -r line; do
    case $line in
      "Application launched"*) [ -n "$launched" ] || launched=$((($(date +%s%N) - start) / 1000000)) ;;
      home_painted_ms*) home=${line##* } ;;
      library_open_ms*) library=${line##* } ;;
      rss_kib*) rss=${line##* } ;;
      rss_peak_kib*) peak=${line##* } ;;
    esac
  done < <(HOME=$work/$side/home XDG_CONFIG_HOME=$work/$side/config XDG_DATA_HOME=$work/$side/data \
    XDG_CACHE_HOME=$work/$side/cache XDG_RUNTIME_DIR=$work/$side/runtime timeout 300 "$bench" library 2>>"$work/$side.err")
  [ -n "$peak" ] || { echo "$name: the $side side did not reach the library" >&2; tail -n 20 "$work/$side.err" >&2; exit 1; }
  echo "$launched $home $library $rss $peak"
}
mib() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }
range() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "[%s-%s]", lo, hi }'; }

echo "== warm-up starts (fill the response and image caches)"
launch many >/dev/null
launch two >/dev/null
declare -A launched home library rss peak
load=$(cut -d' ' -f1-3 /proc/loadavg)
for run in $(seq "$runs"); do
  for side in many two; do
    result=$(launch "$side")
    read -r l h b r p <<<"$result"
    echo "run $run $side: launched $l ms, home $h ms, library $b ms, rss $(mib "$r") MiB, peak $(mib "$p") MiB"
    launched[$side]="${launched[$side]:-} $l"
    home[$side]="${home[$side]:-} $h"
    library[$side]="${library[$side]:-} $b"
    rss[$side]="${rss[$side]:-} $(mib "$r")"
    peak[$side]="${peak[$side]:-} $(mib "$p")"
  done
done
load="$load .. $(cut -d' ' -f1-3 /proc/loadavg)"
{
  echo
  echo "$count liked against 2 liked, $runs alternating starts, load average $load ($(nproc) cores)"
  printf '%-22s %-26s %-26s\n' "" "$count liked" "2 liked"
  for figure in launched home library rss peak; do
    declare -n values=$figure
    read -ra mine <<<"${values[many]}"
    read -ra theirs <<<"${values[two]}"
    case $figure in
      launched) label="Application launched" unit=ms ;;
      home) label="home painted" unit=ms ;;
      library) label="first library open" unit=ms ;;
      rss) label="resident then" unit=MiB ;;
      peak) label="resident peak" unit=MiB ;;
    esac
    printf '%-22s %-26s %-26s\n' "$label" "$(median "${mine[@]}") $unit $(range "${mine[@]}")" \
      "$(median "${theirs[@]}") $unit $(range "${theirs[@]}")"
    unset -n values
  done
} | tee -a "$results/liked-ids.txt"
