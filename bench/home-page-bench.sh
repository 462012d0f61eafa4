#!/usr/bin/env bash
# The home page of the main window against the sample catalogue, on a private 1280×800 Xvfb
# display (the window is then 1024×640), with a hero of one wallpaper so that nothing moves but
# its video:
#   - from process start to the home page painted with posters, warm response and image caches
#     (median of the runs; target: under 800 ms);
#   - CPU with the hero playing at the window's size against mpv playing the same preview file at
#     the same size in this run (target: at most 1.15x), and with the window minimised (target:
#     under 1% of one core);
#   - resident memory with the home page and its hero playing, next to the application state
#     loaded without a window (target: at most 120 MiB above it).
# Needs Xvfb, mpv and python3.
#
#   bench/home-page-bench.sh [seconds] [runs]     (sampling stretch, default 15; start-ups, default 5)
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
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QUORVELLE_BACKEND_URL=$base/functions/v1 QUORVELLE_ANALYTICS_URL=$base \
  QUORVELLE_UPDATE_FEED_URL=$base/appcast.xml QUORVELLE_CA_CERT=$cert

echo "== start-up to the home page with posters, warm caches"
"$bench" startup >"$work/warm.out" 2>&1 # fills the response and image caches
starts=()
for _ in $(seq "$runs"); do
  starts+=("$("$bench" startup 2>/dev/null | awk '/home_painted_ms/ { print $3 }')")
done
echo "runs (ms): ${starts[*]}"

# Starts the bench in `mode`, waits for its "ready", lets it settle `warm` seconds, then prints
# the CPU seconds it spends over `seconds` and its resident memory (KiB) at the end.
sample_bench() {
  local mode=$1 warm=$2 out="$work/$1.out" pid
  "$bench" "$mode" $((seconds + 60)) >"$out" 2>&1 &
  pid=$!
  for _ in $(seq 600); do grep -q '^ready' "$out" && break; sleep 0.1; done
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
  awk "BEGIN { printf \"%.2f %d\", ($after - $before) / $tick, $rss }"
}

echo "== home page with its hero playing, ${seconds} s"
read -r ours ours_rss < <(sample_bench play 2)
echo "== mpv playing the same preview at 1024x640, ${seconds} s"
preview=$(find "$build/sample-catalogue-media/$key" -name 'previewhd*' | head -n1)
mpv --no-config --no-audio --loop-file=inf --vo=x11 --geometry=1024x640 --panscan=1.0 --really-quiet "$preview" &
read -r theirs _ < <(sample_pid $! 3)
echo "== the same, window minimised, ${seconds} s"
read -r minimised _ < <(sample_bench minimised 2)
echo "== no window, ${seconds} s"
read -r _ bare_rss < <(sample_bench nowindow 2)

{
  echo "start-up to home with posters (ms)   $(median "${starts[@]}")   (median of $runs; target < 800)"
  echo "cpu home + hero (s)                  $ours"
  echo "cpu mpv same file and size (s)       $theirs"
  echo "cpu ours/mpv                         $(ratio "$ours" "$theirs")   (target <= 1.15)"
  echo "cpu minimised (% of a core)          $(awk "BEGIN { printf \"%.2f\", 100 * $minimised / $seconds }")   (target < 1)"
  echo "rss home + hero (MiB)                $((ours_rss / 1024))"
  echo "rss no window (MiB)                  $((bare_rss / 1024))"
  echo "rss difference (MiB)                 $(((ours_rss - bare_rss) / 1024))   (target <= 120)"
} | tee "$results/$name.txt"
