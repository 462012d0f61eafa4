#!/usr/bin/env bash
# A burst of link launches while the program runs: N launches of
# `quorvelle quorvelle://wallpaper/<key>`, P at a time, beside `stress-ng --cpu 8` when it is
# installed. Counts the copies that started (goal: none beside the running one), the links
# handed over and received (goal: every one), the launches that failed, and the wall time of the
# burst against the same burst of `quorvelle --version` (the bare cost of starting the
# process), with the load average. Writes bench/results/link-burst.txt.
#
#   bench/link-burst.sh [launches] [at-a-time]     (default 200 40)
set -euo pipefail
name=link-burst
. "$(dirname "$0")/bench-lib.sh"
launches=${1:-200}
parallel=${2:-40}
key=1718000000137

build_targets quorvelle sample-catalogue
program="$build/src/quorvelle"
make_work
start_catalogue "$work/catalogue.out"

mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CACHE_HOME="$work/home/cache" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen
export QUORVELLE_BACKEND_URL="$base/functions/v1" QUORVELLE_CA_CERT="$cert"
export QUORVELLE_ANALYTICS_URL="$base/v2" QUORVELLE_UPDATE_FEED_URL="$base/appcast.xml"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus"

stress=
on_exit() {
  [ -n "$stress" ] && kill "$stress" 2>/dev/null
  [ -n "${running:-}" ] && kill "$running" 2>/dev/null
  return 0
}
if command -v stress-ng >/dev/null; then
  stress-ng --cpu 8 --timeout 600 >/dev/null 2>&1 &
  stress=$!
fi

"$program" >"$work/running.out" 2>&1 &
running=$!
for _ in $(seq 600); do
  grep -q "Application launched" "$work/running.out" && break
  sleep 0.1
done
grep -q "Application launched" "$work/running.out" ||
  { echo "$name: the running copy did not launch" >&2; tail -n 20 "$work/running.out" >&2; exit 1; }

# burst <label> <arguments...>: the wall time of the burst into <label>_ms, outputs in $work/<label>/.
burst() {
  local label=$1 start end
  shift
  mkdir -p "$work/$label"
  start=$(date +%s%N)
  seq "$launches" | xargs -P "$parallel" -I{} sh -c '"$0" "$@" >"'"$work/$label"'/{}.out" 2>&1; echo $? >"'"$work/$label"'/{}.rc"' \
    "$program" "$@"
  end=$(date +%s%N)
  printf -v "${label}_ms" '%s' $(((end - start) / 1000000))
}
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
burst reference --version
burst links "quorvelle://wallpaper/$key"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

opened="Opened wallpaper $key from link"
for _ in $(seq 600); do
  [ "$(grep -c "$opened" "$work/running.out" || true)" -ge "$launches" ] && break
  sleep 0.1
done
# (grep finds nothing: none)
copies=$({ grep -l "Application launched" "$work"/links/*.out || true; } | wc -l)
handed=$({ grep -l "handed this launch to the running copy" "$work"/links/*.out || true; } | wc -l)
failed=$({ grep -L '^0$' "$work"/links/*.rc || true; } | wc -l)
received=$(grep -c "$opened" "$work/running.out" || true)
kill -TERM "$running"
wait "$running" || true
running=

{
  echo "launches ${launches}, ${parallel} at a time, stress-ng --cpu 8: $([ -n "$stress" ] && echo yes || echo no)"
  echo "load average before ${load_before}, after ${load_after}"
  echo "extra copies started        ${copies}   (goal 0)"
  echo "launches that handed over   ${handed}   (goal ${launches})"
  echo "links the running copy got  ${received}   (goal ${launches})"
  echo "launches that failed        ${failed}   (goal 0)"
  echo "burst wall time             ${links_ms} ms"
  echo "same burst of --version     ${reference_ms} ms   ratio $(ratio "$links_ms" "$reference_ms")"
} | tee "$results/$name.txt"
