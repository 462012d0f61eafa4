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

# A 1920×1080 30 fps 10 s H.264 loop at the given path, made once ("audio" adds AAC sound).
make_master() {
  local path=$1 audio=${2:-}
  [ -s "$path" ] && return
  if [ "$audio" = audio ]; then
    ffmpeg -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=10" -f lavfi -i "sine=duration=10" \
      -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p -c:a aac -shortest "$path"
  else
    ffmpeg -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=10" \
      -c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p -movflags +faststart "$path"
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

median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }

# Starts a private Xvfb display of the given screen (e.g. 1920x1080x24), exports DISPLAY for it
# and stops it when the script exits.
start_xvfb() {
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$display_file" 2>/dev/null &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null; rm -f "$display_file"' EXIT
  for _ in $(seq 50); do [ -s "$display_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$display_file")"
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
