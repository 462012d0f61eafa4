#!/usr/bin/env bash
# Resident memory of the application launched at login (the main window stays hidden) with a
# saved 1920×1080 wallpaper on a 1920×1080 Xvfb display, against mpv playing the same file
# full screen on the same display; and the application at login without a wallpaper. Runs
# alternate in one go, each read after the same settling time; medians with [ranges]. Where the
# memory of each side's last run is, by kind of mapping, follows the table.
# Target: the application with its wallpaper at most 1.1x mpv. Needs Xvfb, mpv, curl, python3.
#
#   bench/login-memory.sh [settle seconds] [runs]     (default 20 and 3)
#
# QUORVELLE_APP=<binary> runs another build of the application; QUORVELLE_BASELINE_APP=<binary>
# adds an earlier build as another side in the same runs.
set -euo pipefail
name=login-memory
. "$(dirname "$0")/bench-lib.sh"
settle=${1:-20}
runs=${2:-3}
require_tools Xvfb mpv curl python3

start_program_bench 1920x1080x24
key=1718000000137 # a 1920×1080 wallpaper of the stock catalogue
master="$base/wallpaper/$key/master.mp4"
curl -sf --cacert "$cert" -o "$work/master.mp4" "$master"

export DISPLAY=$server QT_QPA_PLATFORM=xcb
export QUORVELLE_BACKEND_URL=$base/functions/v1 QUORVELLE_ANALYTICS_URL=$base \
  QUORVELLE_UPDATE_FEED_URL=$base/appcast.xml QUORVELLE_CA_CERT=$cert
# The folders of a user who starts the application at login, with (`with`) or without (`bare`)
# a saved wallpaper, their settings written anew before each launch (a launch records that it
# showed a window); the warm-up launch fetches the wallpaper into the first's cache.
defaults() {
  local setup=$1
  mkdir -p "$work/$setup/config/Quorvelle" "$work/$setup/home" "$work/$setup/runtime"
  chmod 700 "$work/$setup/runtime"
  python3 - "$work/$setup/config/Quorvelle/standard.json" "$setup" "$key" "$master" <<'PY'
import json, sys
path, setup, key, master = sys.argv[1:]
values = {"onboardingSheetCompleted": {"type": "bool", "value": True},
          "hasLaunchedBefore": {"type": "bool", "value": True},
          "startOnLoginEnabled": {"type": "bool", "value": True}}
if setup == "with":
    values["savedWallpaperKey"] = {"type": "integer", "value": int(key)}
    values["savedWallpaperMasterUrl"] = {"type": "string", "value": master}
json.dump(values, open(path, "w"))
PY
}

# Prints the resident memory (KiB) and threads of one side after `settle` seconds.
sample() {
  local side=$1 binary=${2:-} setup=${3:-with} pid rss threads
  if [ "$side" = mpv ]; then
    mpv --no-config --no-audio --loop-file=inf --vo=x11 --fs --geometry=1920x1080 --really-quiet "$work/master.mp4" &
  else
    defaults "$setup"
    HOME=$work/$setup/home XDG_CONFIG_HOME=$work/$setup/config XDG_DATA_HOME=$work/$setup/data \
      XDG_CACHE_HOME=$work/$setup/cache XDG_RUNTIME_DIR=$work/$setup/runtime \
      "$binary" --login-launch >>"$work/app.log" 2>&1 &
  fi
  pid=$!
  running=$pid
  sleep "$settle"
  kill -0 "$pid" || { echo "$name: $side ended early" >&2; tail -n 20 "$work/app.log" >&2; exit 1; }
  if [ "$run" = "$runs" ]; then cp "/proc/$pid/smaps" "$work/smaps-$label"; fi
  rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
  threads=$(awk '/^Threads/ { print $2 }' "/proc/$pid/status")
  kill -INT "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  running=
  echo "$rss $threads"
}
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
range() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "[%s-%s]", lo, hi }'; }

echo "== warm-up launch (fetches the wallpaper)"
run=0 label=warm-up sample app "$app" with >/dev/null
sides=(app app-bare mpv)
[ -n "$baseline" ] && sides=(baseline baseline-bare app app-bare mpv)
declare -A rss threads
for run in $(seq "$runs"); do
  for side in "${sides[@]}"; do
    label=$side
    case $side in
      app) read -r r t < <(sample app "$app" with) ;;
      app-bare) read -r r t < <(sample app "$app" bare) ;;
      baseline) read -r r t < <(sample app "$baseline" with) ;;
      baseline-bare) read -r r t < <(sample app "$baseline" bare) ;;
      mpv) read -r r t < <(sample mpv) ;;
    esac
    echo "run $run $side: $(mib "$r") MiB, $t threads"
    rss[$side]="${rss[$side]:-} $(mib "$r")"
    threads[$side]="${threads[$side]:-} $t"
  done
done
{
  echo "at login, windows hidden, ${settle} s after start, $runs alternating runs ($(nproc) cores)"
  read -ra theirs <<<"${rss[mpv]}"
  for side in "${sides[@]}"; do
    read -ra mine <<<"${rss[$side]}"
    ratios=()
    for i in "${!mine[@]}"; do ratios+=("$(ratio "${mine[$i]}" "${theirs[$i]}")"); done
    line="$(printf '%-14s' "$side") rss $(median "${mine[@]}") MiB $(range "${mine[@]}")   threads $(median ${threads[$side]})"
    case $side in app | baseline) line="$line   against mpv $(median "${ratios[@]}") $(range "${ratios[@]}")   (target <= 1.1)" ;; esac
    echo "$line"
  done
  echo
  maps=()
  for side in "${sides[@]}"; do maps+=("$side=$work/smaps-$side"); done
  python3 "$top/bench/smaps-summary.py" "${maps[@]}"
} | tee "$results/$name.txt"
