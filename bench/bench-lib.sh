# Shared by the bench scripts (sourced, not run): the folders, the Release build of the bench
# targets, the tools check and the timing helpers. The sourcing script sets `name` first.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
results="$top/bench/results"
build="${QUORVELLE_BENCH_BUILD:-$top/build/bench}"
mkdir -p "$results"

# Fails with a clear line when a tool the bench needs is missing.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$name: $tool is missing (scripts/setup)" >&2; exit 1; }
  done
}

# Builds the given targets in Release; on failure shows the end of the build log and exits.
build_targets() {
  local log="$results/$name-build.log"
  if ! { cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVELLE_BENCH=ON -DQUORVELLE_TESTS=OFF &&
         cmake --build "$build" --target "$@"; } >"$log" 2>&1; then
    echo "$name: build failed, see $log" >&2
    tail -n 20 "$log" >&2
    exit 1
  fi
}

# A 30 fps 10 s H.264 loop at the given path, 1920×1080 unless a size is given, made once
# ("audio" adds AAC sound).
make_master() {
  local path=$1 audio=${2:-} size=${3:-1920x1080}
  [ -s "$path" ] && return
  if [ "$audio" = audio ]; then
    ffmpeg -v error -y -f lavfi -i "testsrc2=size=$size:rate=30:duration=10" -f lavfi -i "sine=duration=10" \
      -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p -c:a aac -shortest "$path"
  else
    ffmpeg -v error -y -f lavfi -i "testsrc2=size=$size:rate=30:duration=10" \
      -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p -movflags +faststart "$path"
  fi
}

# The engine benches' inputs: the 30 fps loops at 1920×1080 ($hd) and 3840×2160 ($uhd), and
# the engine bench program ($bench: QUORVELLE_ENGINE_BENCH, else built here).
engine_bench_inputs() {
  hd="$results/loop-1920x1080-30.mp4"
  uhd="$results/loop-3840x2160-30.mp4"
  make_master "$hd"
  make_master "$uhd" "" 3840x2160
  bench="${QUORVELLE_ENGINE_BENCH:-}"
  if [ -z "$bench" ]; then
    build_targets wallpaper-engine-bench
    bench="$build/bench/wallpaper-engine-bench"
  fi
}

# Wall time in milliseconds of one run of the command; its output goes to ${work:-/tmp}/last.out.
wall_ms() {
  local start end
  start=$(date +%s%N)
  "$@" >"${work:-/tmp}/last.out" 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

# CPU seconds a process spent from `warm` seconds after its start over the next `secs`, so that
# start-up (toolkit, fonts, decoder set-up) counts for neither side; then ends the process.
steady_cpu() {
  local pid=$1 warm=$2 secs=$3 tick before after
  tick=$(getconf CLK_TCK)
  sleep "$warm"
  before=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  sleep "$secs"
  after=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  kill -INT "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  awk "BEGIN { printf \"%.2f\", ($after - $before) / $tick }"
}

# Milliseconds since the epoch.
now_ms() { echo $(($(date +%s%N) / 1000000)); }

median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }

# "median [low-high]" of one column of a file of runs, one run a line.
column_stats() { # <file> <column>: "median [low-high]"
  local values
  mapfile -t values < <(awk -v c="$2" '{ print $c }' "$1")
  printf '%s [%s-%s]' "$(median "${values[@]}")" "$(printf '%s\n' "${values[@]}" | sort -g | head -n1)" \
    "$(printf '%s\n' "${values[@]}" | sort -g | tail -n1)"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

# "median [low-high]" of the per-run ratios of one column of a file of runs to the same column
# of a reference file of as many runs (one run a line each).
ratio_stats() { # <file> <reference file> <column>
  local values
  mapfile -t values < <(paste -d' ' "$1" <(cut -d' ' -f1-2 "$2") | awk -v c="$3" '{ n = NF - 2; printf "%.2f\n", ($(c + n) > 0 ? $c / $(c + n) : 0) }')
  printf '%s [%s-%s]' "$(median "${values[@]}")" "$(printf '%s\n' "${values[@]}" | sort -g | head -n1)" \
    "$(printf '%s\n' "${values[@]}" | sort -g | tail -n1)"
}

one_minute_load() { cut -d' ' -f1 /proc/loadavg; }

# Runs `$1 SIDE` for every side in `sides`, `runs` times over, the load average beside each run.
# Each run starts with another side: none always runs right after the same one.
alternate_sides() { # <function>
  local run first side
  for run in $(seq "$runs"); do
    echo "== run $run of $runs (load $(one_minute_load))"
    first=$(((run - 1) % ${#sides[@]}))
    for side in "${sides[@]:first}" "${sides[@]:0:first}"; do "$1" "$side"; done
  done
}

# "MB/s cpu-s/MB voluntary-switches load" of a transfer of <bytes> that took <ns>, from the
# GNU time -v report <time file>.
transfer_figures() { # <bytes> <ns> <load> <time file>
  awk -v b="$1" -v ns="$2" -v load="$3" -F': ' '
    /User time|System time/ { cpu += $2 } /Voluntary context switches/ { sw = $2 }
    END { printf "%.1f %.4f %d %s\n", b / (ns / 1e9) / 1e6, cpu / (b / 1e6), sw, load }' "$4"
}

# "User time" plus "System time", and "Maximum resident set size", of one /usr/bin/time -v report.
cpu_seconds() { awk -F': ' '/User time|System time/ { sum += $2 } END { printf "%.2f", sum }' "$1"; }
peak_rss_kb() { awk -F': ' '/Maximum resident set size/ { print $2 }' "$1"; }

# Starts a private Xvfb of the given size ("1920x1080x24") on the first free display number
# below 10, sets `server` to its name and adds its process to `servers` (the caller kills them).
# mpv 0.35 takes displays :10 and above for remote ones and then does without shared memory,
# which would make it look slower than it is. -noreset keeps the monitors xrandr defines after
# xrandr, its last client, has gone.
servers=()
start_xvfb() {
  local number pid
  for number in 1 2 3 4 5 6 7 8 9; do
    [ -e "/tmp/.X$number-lock" ] && continue
    Xvfb ":$number" -noreset -screen 0 "$1" -nolisten tcp >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 50); do
      [ -S "/tmp/.X11-unix/X$number" ] && kill -0 "$pid" 2>/dev/null && break
      sleep 0.1
    done
    sleep 0.2 # a server that lost the race for the number ends now
    if kill -0 "$pid" 2>/dev/null && [ -S "/tmp/.X11-unix/X$number" ]; then
      servers+=("$pid")
      server=":$number"
      return 0
    fi
  done
  echo "$name: no free X display below :10" >&2
  exit 1
}
stop_xvfb() { local pid; for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null; done; }

# A temporary folder in `work`, removed at exit along with the sample catalogue and the Xvfb
# servers the script started; a function `on_exit`, when the script has one, runs first.
make_work() {
  work=$(mktemp -d)
  catalogue_pid=
  trap remove_work EXIT
}
remove_work() {
  if declare -F on_exit >/dev/null; then on_exit; fi
  if [ -n "$catalogue_pid" ]; then kill "$catalogue_pid" 2>/dev/null && wait "$catalogue_pid" 2>/dev/null; fi
  stop_xvfb
  rm -rf "$work"
}

# Starts the sample catalogue (built by build_targets sample-catalogue) on a free port over TLS
# and sets `base` to its address; `catalogue_pid` is its process. Logs go to $1, media to $2
# (default: the build's media folder), the catalogue comes from the seed file $3 (default: the
# stock seed).
cert="$top/tests/data/sample-catalogue-cert.pem"
start_catalogue() {
  local log=$1 media=${2:-$build/sample-catalogue-media} seed=${3:-$top/tools/sample-catalogue/seed.json} binary
  binary=$(find "$build" -type f -name sample-catalogue -perm -u+x | head -n1)
  "$binary" --port 0 --cert "$cert" --key "$top/tests/data/sample-catalogue-key.pem" \
    --media "$media" --seed "$seed" >"$log" 2>&1 &
  catalogue_pid=$!
  base=
  for _ in $(seq 100); do
    base=$(sed -n 's/^sample-catalogue listening on //p' "$log" 2>/dev/null || true)
    [ -n "$base" ] && return 0
    sleep 0.1
  done
  echo "$name: the sample catalogue did not start" >&2
  cat "$log" >&2
  exit 1
}

# The start of a bench that runs the real program against a reference on one display: builds
# both programs, sets `app` (QUORVELLE_APP overrides it) and `baseline` (QUORVELLE_BASELINE_APP,
# an older build measured as a third side), ends the process in `running` at exit, and starts
# the sample catalogue and an Xvfb server of the size $1.
start_program_bench() {
  build_targets quorvelle sample-catalogue
  app="${QUORVELLE_APP:-$build/src/quorvelle}"
  baseline="${QUORVELLE_BASELINE_APP:-}"
  running=
  on_exit() { if [ -n "$running" ]; then kill "$running" 2>/dev/null && wait "$running" 2>/dev/null; fi; }
  make_work
  start_catalogue "$work/catalogue.log"
  start_xvfb "$1"
}

# Points the program at the started catalogue and Xvfb server, with a profile of its own in
# `work` of a user who has been through the onboarding sheet: the home page is what shows.
use_returning_user() {
  export DISPLAY=$server QT_QPA_PLATFORM=xcb
  export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
  export XDG_RUNTIME_DIR=$work/runtime
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/Quorvelle" && chmod 700 "$XDG_RUNTIME_DIR"
  echo '{"onboardingSheetCompleted": {"type": "bool", "value": true}}' >"$XDG_CONFIG_HOME/Quorvelle/standard.json"
  export QUORVELLE_BACKEND_URL=$base/functions/v1 QUORVELLE_ANALYTICS_URL=$base \
    QUORVELLE_UPDATE_FEED_URL=$base/appcast.xml QUORVELLE_CA_CERT=$cert
}

# Median wall times of two commands given as strings, run alternately $runs times after one
# warm-up each, so both see the same machine load. Prints "first second".
compare() {
  local mine=() theirs=()
  eval "$1" >/dev/null 2>&1
  eval "$2" >/dev/null 2>&1
  for _ in $(seq "$runs"); do
    mine+=("$(wall_ms eval "$1")")
    theirs+=("$(wall_ms eval "$2")")
  done
  echo "$(median "${mine[@]}") $(median "${theirs[@]}")"
}

# The program bench ($bench, home-page-bench) against the sample catalogue on a private 1280×800
# display, with the program's variables pointing at both.
start_home_bench() {
  bench=$(find "$build" -type f -name home-page-bench -perm -u+x | head -n1)
  make_work
  start_catalogue "$work/catalogue.log"
  start_xvfb 1280x800x24
  export DISPLAY=$server QT_QPA_PLATFORM=xcb
  export QUORVELLE_BACKEND_URL=$base/functions/v1 QUORVELLE_ANALYTICS_URL=$base \
    QUORVELLE_UPDATE_FEED_URL=$base/appcast.xml QUORVELLE_CA_CERT=$cert
}

# The program bench ($bench) against the sample catalogue on a private display, and two users:
# "many" with $1 liked wallpapers and "two" with 2, their folders under $work/<side>. Each side's
# settings are stored once by the program's own store (home-page-bench seed) in
# $work/seed-<side>, and laid anew by lay_liked_settings.
start_liked_sides() {
  start_home_bench
  local side liked
  for side in many two; do
    mkdir -p "$work/$side/config" "$work/$side/runtime" "$work/seed-$side/runtime"
    chmod 700 "$work/$side/runtime" "$work/seed-$side/runtime"
    liked=$([ "$side" = many ] && echo "$1" || echo 2)
    HOME=$work/seed-$side XDG_CONFIG_HOME=$work/seed-$side XDG_DATA_HOME=$work/seed-$side/data \
      XDG_CACHE_HOME=$work/seed-$side/cache XDG_RUNTIME_DIR=$work/seed-$side/runtime \
      QT_QPA_PLATFORM=offscreen "$bench" seed "$liked" >"$work/seed-$side.log" 2>&1 \
      || { echo "$name: seeding the $side side failed" >&2; tail -n 20 "$work/seed-$side.log" >&2; exit 1; }
  done
}

# Lays a side's seeded settings anew (the program changes them as it runs).
lay_liked_settings() {
  rm -rf "$work/$1/config/Quorvelle"
  cp -a "$work/seed-$1/Quorvelle" "$work/$1/config/"
}

# Makes every preview of the stock seed's home hero a stream that never ends (the catalogue at
# $base); `hero_keys` are its wallpapers, the first slide's first.
endless_hero_previews() {
  local key file
  mapfile -t hero_keys < <(python3 -c 'import json, sys; print(*json.load(open(sys.argv[1]))["home_page"]["hero_carousel"]["keys"], sep="\n")' \
    "$top/tools/sample-catalogue/seed.json")
  for key in "${hero_keys[@]}"; do
    for file in preview.mp4 previewhd.mp4; do
      curl -sf --cacert "$cert" -X POST "$base/__control/fault" \
        -d "{\"path\": \"/wallpaper/$key/$file\", \"endless\": true}" >/dev/null
    done
  done
}

# How often the catalogue was asked for the first hero slide's preview.
first_hero_preview_requests() {
  curl -sf --cacert "$cert" "$base/__control/requests?path=/wallpaper/${hero_keys[0]}/previewhd.mp4" |
    python3 -c 'import json, sys; print(json.load(sys.stdin)["count"])'
}

# Starts the program $1 on its home page (on $server, against the catalogue at $base, after
# endless_hero_previews) with a fresh profile of a returning user in the folder $2, sends SIGTERM
# a second after the first hero slide asked for its preview, and sets `quit_ms` (from the signal
# to the end of the process), `quit_load` (the load average then) and `quit_code`. Its log is
# $2/out. The signal waits for the preview rather than for a fixed time: on a loaded machine the
# start takes longer, and a quit sent into it would count what is left of the start.
sigterm_on_home() {
  local program=$1 home=$2 pid asked
  rm -rf "$home"
  mkdir -p "$home/runtime" "$home/config/Quorvelle"
  chmod 700 "$home/runtime"
  echo '{"onboardingSheetCompleted": {"type": "bool", "value": true}}' >"$home/config/Quorvelle/standard.json"
  asked=$(first_hero_preview_requests)
  DISPLAY=$server QT_QPA_PLATFORM=xcb HOME="$home" XDG_CACHE_HOME="$home/cache" XDG_DATA_HOME="$home/data" \
    XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" QUORVELLE_BACKEND_URL="$base/functions/v1" \
    QUORVELLE_ANALYTICS_URL="$base" QUORVELLE_UPDATE_FEED_URL="$base/appcast.xml" QUORVELLE_CA_CERT="$cert" \
    "$program" >"$home/out" 2>"$home/err" &
  pid=$!
  for _ in $(seq 600); do
    grep -q 'Update check complete' "$home/out" && [ "$(first_hero_preview_requests)" -gt "$asked" ] && break
    sleep 0.1
  done
  sleep 1 # libmpv is deep in opening the stream
  quit_load=$(cut -d' ' -f1 /proc/loadavg)
  # The kernel tells the end (the process's pidfd turns readable): a loop polling /proc would be
  # one more process taking a core from the quit it times.
  quit_ms=$(python3 - "$pid" <<'PY'
import os, select, signal, sys, time
process = os.pidfd_open(int(sys.argv[1]))
start = time.monotonic()
signal.pidfd_send_signal(process, signal.SIGTERM)
select.select([process], [], [])
print(round((time.monotonic() - start) * 1000))
PY
)
  wait "$pid" && quit_code=0 || quit_code=$?
}
