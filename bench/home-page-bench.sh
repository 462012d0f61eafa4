#!/usr/bin/env bash
# The home page of the main window against the sample catalogue, on a private 1280×800 Xvfb
# display (the window is then 1024×640), with a hero of one wallpaper so that nothing moves but
# its video:
#   - from process start to the home page painted with posters in the real program as a user
#     starts it, warm response and image caches (median and range of the runs; target: under
#     800 ms, of which 500 ms are the loading screen's "Ready to go!" moment);
#   - CPU with the hero playing at the window's size against mpv playing the same preview file at
#     the same size in this run (target: at most 1.15x), and with the window minimised (target:
#     under 1% of one core);
#   - resident memory with the home page and its hero playing, next to the application state
#     loaded without a window (target: at most 120 MiB above it).
# Needs Xvfb, mpv and python3.
#
#   bench/home-page-bench.sh [seconds] [runs]     (sampling stretch, default 15; start-ups, default 5)
#
# QUORVELLE_BASELINE_BENCH=<binary> adds the start-ups of an earlier build of home-page-bench,
# alternating with this build's in the same runs.
set -euo pipefail
name=home-page-bench
. "$(dirname "$0")/bench-lib.sh"
seconds=${1:-15}
runs=${2:-5}

require_tools Xvfb mpv python3
build_targets home-page-bench sample-catalogue
bench=$(find "$build" -type f -name home-page-bench -perm -u+x | head -n1)
make_work

# The stock catalogue with only its first hero wallpaper.
python3 - "$top/tools/sample-catalogue/seed.json" "$work/seed.json" <<'PY'
import json, sys
seed = json.load(open(sys.argv[1]))
hero = seed["home_page"]["hero_carousel"]
hero["keys"] = hero["keys"][:1]
json.dump(seed, open(sys.argv[2], "w"))
PY
key=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["home_page"]["hero_carousel"]["keys"][0])' "$work/seed.json")

start_catalogue "$work/catalogue.log" "$build/sample-catalogue-media" "$work/seed.json"
start_xvfb 1280x800x24
export DISPLAY=$server QT_QPA_PLATFORM=xcb
export XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/Quorvelle" && chmod 700 "$XDG_RUNTIME_DIR"
# A user who has been through the onboarding sheet: only the home page is on screen.
echo '{"onboardingSheetCompleted": {"type": "bool", "value": true}}' >"$XDG_CONFIG_HOME/Quorvelle/standard.json"
export QUORVELLE_BACKEND_URL=$base/functions/v1 QUORVELLE_ANALYTICS_URL=$base \
  QUORVELLE_UPDATE_FEED_URL=$base/appcast.xml QUORVELLE_CA_CERT=$cert

echo "== start-up to the home page with posters, warm caches"
baseline=${QUORVELLE_BASELINE_BENCH:-}
"$bench" startup >"$work/warm.out" 2>&1 # fills the response and image caches
startup_ms() { "$1" startup 2>/dev/null | awk '/home_painted_ms/ { print $3 }'; }
range() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "[%s-%s]", lo, hi }'; }
starts=()
baseline_starts=()
for _ in $(seq "$runs"); do
  starts+=("$(startup_ms "$bench")")
  if [ -n "$baseline" ]; then baseline_starts+=("$(startup_ms "$baseline")"); fi
done
echo "runs (ms): ${starts[*]}"
if [ -n "$baseline" ]; then echo "baseline runs (ms): ${baseline_starts[*]}"; fi

# (Both run in this shell, never in a subshell, whose end would run the clean-up trap.)
# Starts the bench in `mode`, waits for its "ready", lets it settle `warm` seconds, then prints
# the CPU seconds it spends over `seconds` and its resident memory (KiB) at the end.
sample_bench() {
  local mode=$1 warm=$2 out="$work/$1.out" pid
  "$bench" "$mode" $((seconds + 60)) >"$out" 2>&1 &
  pid=$!
  for _ in $(seq 600); do grep -qs '^ready' "$out" && break; sleep 0.1; done
  grep -q '^ready' "$out" || { echo "$name: $mode never got ready" >&2; cat "$out" >&2; exit 1; }
  sample_pid "$pid" "$warm"
}
sample_pid() {
  local pid=$1 warm=$2 tick before after rss
  tick=$(getconf CLK_TCK)
  sleep "$warm"
  before=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  sleep "$seconds"
  after=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
  kill -INT "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  awk "BEGIN { printf \"%.2f %d\\n\", ($after - $before) / $tick, $rss }"
}

echo "== home page with its hero playing, ${seconds} s"
sample_bench play 2 >"$work/play.sample"
read -r ours ours_rss <"$work/play.sample"
echo "== mpv playing the same preview at 1024x640, ${seconds} s"
preview=$(find "$build/sample-catalogue-media/$key" -name 'previewhd*' | head -n1)
mpv --no-config --no-audio --loop-file=inf --vo=x11 --geometry=1024x640 --panscan=1.0 --really-quiet "$preview" &
sample_pid $! 3 >"$work/mpv.sample"
read -r theirs _ <"$work/mpv.sample"
echo "== the same, window minimised, ${seconds} s"
sample_bench minimised 2 >"$work/minimised.sample"
read -r minimised _ <"$work/minimised.sample"
echo "== no window, ${seconds} s"
sample_bench nowindow 2 >"$work/nowindow.sample"
read -r _ bare_rss <"$work/nowindow.sample"

{
  echo "start-up to home with posters (ms)   $(median "${starts[@]}") $(range "${starts[@]}")   (median of $runs; target < 800)"
  if [ -n "$baseline" ]; then
    echo "  baseline build (ms)                $(median "${baseline_starts[@]}") $(range "${baseline_starts[@]}")"
  fi
  echo "cpu home + hero (s)                  $ours"
  echo "cpu mpv same file and size (s)       $theirs"
  echo "cpu ours/mpv                         $(ratio "$ours" "$theirs")   (target <= 1.15)"
  echo "cpu minimised (% of a core)          $(awk "BEGIN { printf \"%.2f\", 100 * $minimised / $seconds }")   (target < 1)"
  echo "rss home + hero (MiB)                $((ours_rss / 1024))"
  echo "rss no window (MiB)                  $((bare_rss / 1024))"
  echo "rss difference (MiB)                 $(((ours_rss - bare_rss) / 1024))   (target <= 120)"
} | tee "$results/$name.txt"
