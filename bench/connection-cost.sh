#!/usr/bin/env bash
# What a new TLS connection of a file download costs: COUNT downloads of 100 KB one after another
# from a loopback server that closes each connection after 5 requests, by the program's own
# download path (engine-media-bench downloads: Http::download of a cache's copy, as previews go) against
# curl's command line fetching the same COUNT addresses in one process, alternating in one run.
# Each side runs once more against a server that keeps its connection, so the CPU a new
# connection costs is (CPU closing - CPU keeping) / (connections closing - connections keeping),
# with the connections counted by the server. Ours trusts the system's authorities plus the
# server's certificate; curl runs twice, once given the two in one bundle ("curl bundle", which
# re-reads the whole bundle for every connection and so flatters ours) and once given only the
# test CA ("curl CA", the fair reference for the TLS work itself). Ours is measured as its calls
# (the program's own figure) and as its whole process (start, trust and exit included), as curl
# always is. Medians of N with [ranges], and the load average beside each run. Goals: ours no
# slower than the build before (QUORVELLE_BASELINE_MEDIA_BENCH, an earlier engine-media-bench
# measured as another side) in time and CPU, on closing and kept connections alike, within 1.5x
# curl's time, and a new connection at most 6 ms of CPU.
# Needs curl and python3.
#
#   bench/connection-cost.sh [runs] [count]     (defaults 5 and 200)
set -euo pipefail
name=connection-cost
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-5}
count=${2:-200}
size=102400
require_tools curl python3

build_targets engine-media-bench
bench="$build/bench/engine-media-bench"
baseline="${QUORVELLE_BASELINE_MEDIA_BENCH:-}"
cert="$top/tests/data/sample-catalogue-cert.pem"
work=$(mktemp -d -p "$build")
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

python3 "$top/bench/close-after-server.py" "$cert" "$top/tests/data/sample-catalogue-key.pem" "$size" "$work/connections" \
  >"$work/server.log" 2>&1 &
server_pid=$!
base=
for _ in $(seq 100); do
  base=$(sed -n 's/^listening on //p' "$work/server.log")
  [ -n "$base" ] && break
  sleep 0.1
done
[ -n "$base" ] || { echo "$name: the server did not start" >&2; cat "$work/server.log" >&2; exit 1; }
: >"$work/connections"
# What curl trusts: the system's authorities and the server's, read from one file as ours reads both.
cat /etc/ssl/certs/ca-certificates.crt "$cert" >"$work/bundle.pem" 2>/dev/null || cp "$cert" "$work/bundle.pem"

# cpu_of <file> <command ...>: runs the command and writes "wall-ms cpu-s" of it to <file>, the
# CPU to the microsecond (GNU time rounds to 10 ms, as much as curl spends on a whole run) and
# the wall time without the start of the interpreter that measures.
cpu_of() {
  python3 -c 'import resource, subprocess, sys, time
start = time.monotonic()
code = subprocess.call(sys.argv[2:])
wall = time.monotonic() - start
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
open(sys.argv[1], "w").write("%d %.4f\n" % (wall * 1000, usage.ru_utime + usage.ru_stime))
sys.exit(code)' "$@"
}
connections() { wc -l <"$work/connections"; }

# measure <side> <keep> <command ...>: one run; appends "wall-ms cpu-s connections load" of the
# whole process to <side>-<keep>, and for ours, those of the COUNT downloads (the program's own
# figure) to <side>-call-<keep>.
measure() {
  local side=$1 keep=$2 before load
  shift 2
  before=$(connections)
  load=$(one_minute_load)
  cpu_of "$work/time" "$@" >"$work/out" 2>&1 || { echo "$name: $* failed:" >&2; cat "$work/out" >&2; exit 1; }
  local made=$(($(connections) - before))
  # "downloads COUNT of BYTES bytes, MS ms, cpu S s"
  awk -v made="$made" -v load="$load" '/^downloads / { print $6, $9, made, load }' "$work/out" >>"$work/$side-call-$keep"
  awk -v made="$made" -v load="$load" '{ print $1, $2, made, load }' "$work/time" >>"$work/$side-$keep"
}
curl_config() { # <requests per connection>
  for _ in $(seq "$count"); do
    echo "url = \"$base/$1/file\""
    echo "output = \"$work/curl-file\""
  done >"$work/curl-$1.cfg"
}
curl_config 5
curl_config 0

sides=(ours curl-bundle curl-ca)
[ -n "$baseline" ] && sides=(baseline ours curl-bundle curl-ca)
for run in $(seq "$runs"); do
  echo "== run $run of $runs (load $(one_minute_load))"
  # Each run starts with another side: none always runs right after the same one.
  first=$(((run - 1) % ${#sides[@]}))
  for side in "${sides[@]:first}" "${sides[@]:0:first}"; do
    for keep in 5 0; do
      case $side in
        curl-bundle) measure "$side" "$keep" curl -sS --cacert "$work/bundle.pem" -K "$work/curl-$keep.cfg" ;;
        curl-ca) measure "$side" "$keep" curl -sS --cacert "$cert" -K "$work/curl-$keep.cfg" ;;
        *)
          binary=$bench
          [ "$side" = baseline ] && binary=$baseline
          measure "$side" "$keep" env QUORVELLE_CA_CERT="$cert" "$binary" downloads "$base/$keep/file" "$count" ;;
      esac
    done
  done
done

# Per run: CPU ms a new connection costs, from the closing and the keeping run of the same side.
per_connection() { # <label>
  paste -d' ' "$work/$1-5" "$work/$1-0" | awk '{ made = $3 - $7; printf "%.2f\n", (made > 0 ? ($2 - $6) * 1000 / made : 0) }' \
    >"$work/$1-connection"
  column_stats "$work/$1-connection" 1
}
ratio() { # <label> <reference label> <column> <keep>: median [range] of the per-run ratios
  paste -d' ' "$work/$1-$4" "$work/$2-$4" | awk -v c="$3" '{ printf "%.2f\n", ($(c + 4) > 0 ? $c / $(c + 4) : 0) }' >"$work/ratio"
  column_stats "$work/ratio" 1
}
# "time/<reference> ... cpu/<reference> ..." of <label> against each curl.
against_curl() { # <label> <keep>
  local reference line=
  for reference in curl-bundle curl-ca; do
    line+="   time/$reference $(ratio "$1" "$reference" 1 "$2")   cpu/$reference $(ratio "$1" "$reference" 2 "$2")"
  done
  echo "$line"
}
against_baseline() { # <label> <keep>
  local reference="baseline${1#ours}"
  echo "   time/baseline $(ratio "$1" "$reference" 1 "$2") (<= 1)   cpu/baseline $(ratio "$1" "$reference" 2 "$2") (<= 1)"
}
{
  echo "$count downloads of $size bytes over loopback TLS, the server closing each connection after 5 requests;" \
    "$runs alternating runs ($(nproc) cores), 1-minute load average $(column_stats "$work/curl-ca-5" 4)"
  for side in "${sides[@]}"; do
    labels=("$side")
    [ "${side#curl}" = "$side" ] && labels=("$side-call" "$side")
    for label in "${labels[@]}"; do
      what=process
      [ "$label" != "${label%-call}" ] && what=call
      line="  $(printf '%-11s %-7s' "${label%-call}" "$what") $(column_stats "$work/$label-5" 1) ms   cpu $(column_stats "$work/$label-5" 2) s"
      line+="   connections $(column_stats "$work/$label-5" 3)   new connection $(per_connection "$label") ms cpu (<= 6)"
      [ "${side#curl}" = "$side" ] && line+="$(against_curl "$label" 5)"
      [ "$side" = ours ] && [ -n "$baseline" ] && line+="$(against_baseline "$label" 5)"
      echo "$line"
      # The same downloads over one kept connection: what each file costs beyond TLS set-up.
      line="  $(printf '%-11s %-7s' "" "kept") $(column_stats "$work/$label-0" 1) ms   cpu $(column_stats "$work/$label-0" 2) s"
      [ "${side#curl}" = "$side" ] && line+="$(against_curl "$label" 0)"
      [ "$side" = ours ] && [ -n "$baseline" ] && line+="$(against_baseline "$label" 0)"
      echo "$line"
    done
  done
} | tee "$results/$name.txt"
