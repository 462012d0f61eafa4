#!/usr/bin/env bash
# The application left alone: launched against the sample catalogue on a private Xvfb display
# with fresh folders (no wallpaper, the main window open), then, after a warm-up, its CPU over a
# minute (/proc) and, over the next minute, every file it syncs or renames into place (strace).
# Targets: no file written, under 0.1% of one core. Writes bench/results/idle-writes.txt.
#
#   bench/idle-writes.sh [seconds]     (default 60; the warm-up is 20 s)
#
# QUORVELLE_APP=<binary> runs another build of the application (an earlier commit's).
set -euo pipefail
name=idle-writes
. "$(dirname "$0")/bench-lib.sh"
seconds=${1:-60}
require_tools Xvfb strace

build_targets quorvelle sample-catalogue
app="${QUORVELLE_APP:-$build/src/quorvelle}"
app_pid=
# The application goes first, so nothing loses its display or server while quitting.
on_exit() { if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null; fi; }
make_work
start_xvfb 1920x1080x24
start_catalogue "$work/catalogue.out"

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
mkdir -p "$HOME"
DISPLAY=$server QT_QPA_PLATFORM=xcb QUORVELLE_CA_CERT="$cert" QUORVELLE_BACKEND_URL="$base/functions/v1" \
  QUORVELLE_ANALYTICS_URL="$base" QUORVELLE_UPDATE_FEED_URL="$base/appcast.xml" \
  "$app" >"$work/app.out" 2>&1 &
app_pid=$!
echo "== warm-up, 20 s"
sleep 20
kill -0 "$app_pid" || { echo "$name: the application ended"; cat "$work/app.out"; exit 1; }

ticks() { awk '{ print $14 + $15 }' "/proc/$app_pid/stat"; }
echo "== CPU, ${seconds} s"
before=$(ticks)
sleep "$seconds"
cpu_percent=$(awk -v t="$(($(ticks) - before))" -v hz="$(getconf CLK_TCK)" -v s="$seconds" 'BEGIN { printf "%.3f", 100 * t / hz / s }')

echo "== file writes, ${seconds} s"
threads=()
for task in /proc/"$app_pid"/task/*; do threads+=(-p "${task##*/}"); done
timeout -s INT "$seconds" strace -f -qq -e trace=fsync,fdatasync,rename,renameat,renameat2 -o "$work/strace.out" \
  "${threads[@]}" 2>/dev/null || true
syncs=$(grep -c -E 'fsync\(|fdatasync\(' "$work/strace.out" || true)
renames=$(grep -c -E 'rename(at2?)?\(' "$work/strace.out" || true)
{
  echo "idle application, ${seconds} s after a 20 s warm-up ($(nproc) cores)"
  echo "cpu (% of one core)   $cpu_percent   (target: under 0.1)"
  echo "fsync/fdatasync       $syncs   (target: 0)"
  echo "renames               $renames   (target: 0)"
  grep -oE 'rename(at2?)?\([^"]*"[^"]*", [^"]*"[^"]*"' "$work/strace.out" | sed 's/.*"\([^"]*\)"$/  renamed into place: \1/' | sort | uniq -c || true
} | tee "$results/idle-writes.txt"
