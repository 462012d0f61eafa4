#!/usr/bin/env bash
# The program launched at login fetching its saved wallpaper, whose master is not on disk yet: a
# 200 MB master (the sample catalogue's 3840×2160 one, a video throughout) over loopback TLS into
# the user's cache folder, against curl fetching the same file (-o FILE) in the same run,
# alternating. Ours is the whole running program from the line that starts the apply to the
# moment the master appears under its name (bench/login-fetch.py): throughput, CPU seconds per MB
# of every thread, voluntary context switches. Medians of N with [ranges], the load average
# beside each run. Goals: at least 0.9x curl's throughput and at most 1.1x its CPU per MB. The
# program trusts the system's authorities beside the sample catalogue's, which costs it reading
# the system's list; "curl-bundle" is curl trusting the same, from one file.
# Needs Xvfb, curl, ffmpeg, python3 and GNU time.
#
#   bench/login-fetch.sh [runs] [MB]     (defaults 3 and 200)
#
# QUORVELLE_APP=<binary> runs another build of the application; QUORVELLE_BASELINE_APP=<binary>
# adds an earlier build as another side in the same runs.
set -euo pipefail
name=login-fetch
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-3}
megabytes=${2:-200}
require_tools Xvfb curl ffmpeg python3 /usr/bin/time

build_targets quorvelle sample-catalogue
app="${QUORVELLE_APP:-$build/src/quorvelle}"
baseline="${QUORVELLE_BASELINE_APP:-}"
cert="$top/tests/data/sample-catalogue-cert.pem"
# On the disk of the build, not in memory: the master lands in the user's cache folder.
work=$(mktemp -d -p "$build")
catalogue_pid=
trap remove_work EXIT
mkdir -p "$work/media"
start_catalogue "$work/catalogue.log" "$work/media"
start_xvfb 1920x1080x24

key=1718000000174
url="$base/wallpaper/$key/master.mp4"
curl -sf --cacert "$cert" -o /dev/null "$url" # draws the media on first request
for master in "$work"/media/$key/master-*.mp4; do
  loops=$(((megabytes * 1048576 + $(stat -c %s "$master") - 1) / $(stat -c %s "$master") - 1))
  ffmpeg -v error -y -stream_loop "$loops" -i "$master" -c copy -movflags +faststart -f mp4 "$master.part" \
    && mv "$master.part" "$master"
done
size=$(curl -sf --cacert "$cert" -o "$work/curl.mp4" -w '%{size_download}' "$url")

export DISPLAY=$server QT_QPA_PLATFORM=xcb
export QUORVELLE_BACKEND_URL=$base/functions/v1 QUORVELLE_ANALYTICS_URL=$base \
  QUORVELLE_UPDATE_FEED_URL=$base/appcast.xml QUORVELLE_CA_CERT=$cert

# A user who starts the program at login with the wallpaper saved and nothing of it cached.
profile() {
  local folder=$work/profile
  rm -rf "$folder"
  mkdir -p "$folder/config/Quorvelle" "$folder/home" "$folder/runtime"
  chmod 700 "$folder/runtime"
  python3 - "$folder/config/Quorvelle/standard.json" "$key" "$url" <<'PY'
import json, sys
path, key, master = sys.argv[1:]
json.dump({"onboardingSheetCompleted": {"type": "bool", "value": True},
           "hasLaunchedBefore": {"type": "bool", "value": True},
           "startOnLoginEnabled": {"type": "bool", "value": True},
           "savedWallpaperKey": {"type": "integer", "value": int(key)},
           "savedWallpaperMasterUrl": {"type": "string", "value": master}}, open(path, "w"))
PY
}

# measure <label> <binary>: appends "MB/s cpu-s/MB switches load" of one launch to <label>.
measure_program() {
  local label=$1 binary=$2 folder=$work/profile load
  profile
  load=$(one_minute_load)
  HOME=$folder/home XDG_CONFIG_HOME=$folder/config XDG_DATA_HOME=$folder/data XDG_CACHE_HOME=$folder/cache \
    XDG_RUNTIME_DIR=$folder/runtime python3 "$top/bench/login-fetch.py" "$folder/cache/Quorvelle/Wallpapers/$key.mp4" \
    "$binary" --login-launch >"$work/out" 2>&1 || { echo "$name: $label failed:" >&2; cat "$work/out" >&2; exit 1; }
  echo "$(cat "$work/out") $load" >>"$work/$label"
}
# measure_curl <label> <CA file>: the same for curl trusting only what the file holds.
measure_curl() {
  local start end load
  rm -f "$work/curl.mp4"
  load=$(one_minute_load)
  start=$(date +%s%N)
  /usr/bin/time -v -o "$work/time" curl -sf --cacert "$2" -o "$work/curl.mp4" "$url"
  end=$(date +%s%N)
  transfer_figures "$size" "$((end - start))" "$load" "$work/time" >>"$work/$1"
}
# The program trusts the system's authorities beside the configured CA file; "curl-bundle" is
# given the same, read from one file.
cat /etc/ssl/certs/ca-certificates.crt "$cert" >"$work/bundle.pem" 2>/dev/null || cp "$cert" "$work/bundle.pem"
measure_side() {
  case $1 in
    curl) measure_curl curl "$cert" ;;
    curl-bundle) measure_curl curl-bundle "$work/bundle.pem" ;;
    ours) measure_program ours "$app" ;;
    baseline) measure_program baseline "$baseline" ;;
  esac
}

sides=(ours curl curl-bundle)
[ -n "$baseline" ] && sides=(baseline ours curl curl-bundle)
alternate_sides measure_side
{
  echo "$size bytes at login over loopback TLS to $(df -T "$work" | awk 'NR == 2 { print $2 }'), $runs alternating runs" \
    "($(nproc) cores), 1-minute load average $(column_stats "$work/curl" 4)"
  for side in "${sides[@]}"; do
    line="  $(printf '%-9s' "$side") $(column_stats "$work/$side" 1) MB/s   cpu $(column_stats "$work/$side" 2) s/MB"
    line+="   voluntary switches $(column_stats "$work/$side" 3)"
    case $side in
      curl*) ;;
      *) line+="   throughput/curl $(ratio_stats "$work/$side" "$work/curl" 1) (>= 0.9)   cpu/curl $(ratio_stats "$work/$side" "$work/curl" 2) (<= 1.1)"
         line+="   cpu/curl-bundle $(ratio_stats "$work/$side" "$work/curl-bundle" 2)" ;;
    esac
    echo "$line"
  done
} | tee "$results/$name.txt"
