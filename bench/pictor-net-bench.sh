#!/usr/bin/env bash
# The image downloader on a loopback TLS server (pictor-net-bench):
#   200 images of about 200 KB, 6 at a time, against curl --parallel --parallel-max 6 fetching the
#     same URLs from the same server (median wall time of N runs each, run alternately): all 200
#     asked at once and decoded, the transport running 6 transfers at a time as curl does; 6
#     callers each asking for the next when theirs is decoded; the same kept raw;
#   100 callers of one URL at once: how many transfers the server saw (must be 1);
#   a 2 MB progressive JPEG arriving at 1 MB/s with a 0.25 s throttle: intermediate images, their
#     closest spacing, and the CPU they cost against one full decode of the image.
#   240 images of one host, 6 callers, while loads of another downloader of the same trust fail
#     beside them every 20 ms (1 ms time-outs on the same host or another, a host that never
#     accepts, scrolled past): median wall time and the most connections the images' host saw.
# Writes bench/results/pictor-net.txt. Needs curl.
#
#   bench/pictor-net-bench.sh [runs]     (default 5)
set -euo pipefail
name=pictor-net-bench
. "$(dirname "$0")/bench-lib.sh"
runs=${1:-5}
require_tools curl

build_targets pictor-net-bench
bench="$build/bench/pictor-net-bench"
cert="$top/tests/data/sample-catalogue-cert.pem"
key="$top/tests/data/sample-catalogue-key.pem"
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d)
coproc SERVER { "$bench" serve "$cert" "$key"; }
trap 'exec {SERVER[1]}>&-; wait; rm -rf "$work"' EXIT
read -r port size <&"${SERVER[0]}"
for i in $(seq 0 199); do echo "url = \"https://127.0.0.1:$port/img/$i.jpg\""; echo "output = \"$work/$i.jpg\""; done >"$work/curl.cfg"

all=() ours=() raw=() theirs=()
"$bench" fetch "$port" "$cert" >/dev/null
curl -s --cacert "$cert" --parallel --parallel-max 6 -K "$work/curl.cfg"
for _ in $(seq "$runs"); do
  all+=("$("$bench" fetch-all "$port" "$cert" | cut -d' ' -f1)")
  ours+=("$("$bench" fetch "$port" "$cert" | cut -d' ' -f1)")
  raw+=("$("$bench" fetch-raw "$port" "$cert" | cut -d' ' -f1)")
  theirs+=("$(wall_ms curl -s --cacert "$cert" --parallel --parallel-max 6 -K "$work/curl.cfg")")
done
all_ms=$(median "${all[@]}") ours_ms=$(median "${ours[@]}") raw_ms=$(median "${raw[@]}") curl_ms=$(median "${theirs[@]}")
read -r done transfers < <("$bench" shared "$cert" "$key")
read -r jpeg updates closest cpu decode ratio < <("$bench" progressive "$cert" "$key" 0.25)
mapfile -t beside < <("$bench" beside "$cert" "$key" "$runs")

throughput() { awk -v ms="$1" -v size="$size" 'BEGIN { printf "%.1f", 200 * size / 1048576 / (ms / 1000) }'; }
share() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (a > 0 ? b / a : 0) }'; }
{
  echo "image downloader vs $(curl --version | head -1 | cut -d' ' -f1-2), loopback TLS, $(nproc) cores"
  echo "200 images of $((size / 1024)) KB, 6 at a time, median of $runs runs"
  printf '%-34s %8s %10s %14s\n' "client" "wall ms" "MB/s" "x curl speed"
  printf '%-34s %8d %10s %14s\n' "downloader, 6 transfers, decoded" "$all_ms" "$(throughput "$all_ms")" "$(share "$all_ms" "$curl_ms")"
  printf '%-34s %8d %10s %14s\n' "downloader, 6 callers, decoded" "$ours_ms" "$(throughput "$ours_ms")" "$(share "$ours_ms" "$curl_ms")"
  printf '%-34s %8d %10s %14s\n' "downloader, 6 callers, raw bytes" "$raw_ms" "$(throughput "$raw_ms")" "$(share "$raw_ms" "$curl_ms")"
  printf '%-34s %8d %10s %14s\n' "curl --parallel --parallel-max 6" "$curl_ms" "$(throughput "$curl_ms")" "1.00"
  echo
  echo "100 callers of one URL: $done completed, $transfers transfer(s) on the server"
  echo
  echo "progressive JPEG of $jpeg bytes at 1 MB/s, throttle 0.25 s: $updates intermediate images,"
  echo "closest two ${closest} ms apart; decoding CPU ${cpu} s = ${ratio} x one full decode (${decode} s)"
  echo
  echo "240 images of one host, 6 callers, with a load failing beside them every 20 ms, median of $runs runs"
  printf '%-40s %8s %12s\n' "beside" "wall ms" "connections"
  labels=("nothing" "1 ms time-outs, same host" "1 ms time-outs, another host" "a host that never accepts, scrolled past")
  for i in 0 1 2 3; do
    read -r ms connections <<<"${beside[$i]}"
    printf '%-40s %8d %12d\n' "${labels[$i]}" "$ms" "$connections"
  done
  echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
} | tee "$results/pictor-net.txt"
