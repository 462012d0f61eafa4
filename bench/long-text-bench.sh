#!/usr/bin/env bash
# Catalogue text of any length costs what a normal title costs: the main window on a private
# 1920×1080 Xvfb display against the stock sample catalogue, then against the same catalogue
# with every wallpaper title, category name and section title 10 KB long. Each run paints the
# home page with posters, scrolls it through, shows Explore, then clicks between the two tabs.
#   - peak resident memory of the long-text run against the stock run (target: at most 1.2x);
#   - the slowest tab click of the long-text run, press to page painted (target: under 100 ms).
# Needs Xvfb and python3.
#
#   bench/long-text-bench.sh [clicks]     (default 20)
set -euo pipefail
name=long-text-bench
. "$(dirname "$0")/bench-lib.sh"
clicks=${1:-20}

require_tools Xvfb python3
build_targets long-text-bench sample-catalogue
bench=$(find "$build" -type f -name long-text-bench -perm -u+x | head -n1)
make_work

# The stock seed with 10 KB texts wherever the catalogue writes a title or a name.
python3 - "$top/tools/sample-catalogue/seed.json" "$work/long.json" <<'PY'
import json, sys
seed = json.load(open(sys.argv[1]))
def long(text):
    words = (text + " ").split(" ")
    out = text
    i = 0
    while len(out.encode()) < 10240:
        out += " " + (words[i % len(words)] or "extra")
        i += 1
    return out
for records, field in ((seed["wallpapers"], "title"), (seed["categories"], "category_name"),
                      (seed["partner_wallpapers"], "title")):
    for record in records:
        if isinstance(record.get(field), str):
            record[field] = long(record[field])
for section in [seed["home_page"]["hero_carousel"], *seed["home_page"]["sections"].values()]:
    for field in ("title", "subtitle"):
        if field in section:
            section[field] = long(section[field])
json.dump(seed, open(sys.argv[2], "w"))
PY

start_xvfb 1920x1080x24
export DISPLAY=$server QT_QPA_PLATFORM=xcb

# One run on the seed $1 in fresh user folders; prints the bench's figures.
run_on() {
  local seed=$1 label=$2
  rm -rf "$work/$label" && mkdir -p "$work/$label"
  start_catalogue "$work/$label-catalogue.log" "$build/sample-catalogue-media" "$seed"
  (
    export XDG_CACHE_HOME=$work/$label/cache XDG_DATA_HOME=$work/$label/data XDG_CONFIG_HOME=$work/$label/config
    export XDG_RUNTIME_DIR=$work/$label/runtime
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/Quorvelle" && chmod 700 "$XDG_RUNTIME_DIR"
    echo '{"onboardingSheetCompleted": {"type": "bool", "value": true}}' >"$XDG_CONFIG_HOME/Quorvelle/standard.json"
    export QUORVELLE_BACKEND_URL=$base/functions/v1 QUORVELLE_ANALYTICS_URL=$base \
      QUORVELLE_UPDATE_FEED_URL=$base/appcast.xml QUORVELLE_CA_CERT=$cert
    "$bench" "$clicks" >"$work/$label.out" 2>"$work/$label.err" || { cat "$work/$label.err" >&2; exit 1; }
  )
  kill "$catalogue_pid" 2>/dev/null && wait "$catalogue_pid" 2>/dev/null || true
  catalogue_pid=
}
figure() { awk -v key="$2" '$1 == key { print $3 }' "$work/$1.out"; }

echo "== stock catalogue"
run_on "$top/tools/sample-catalogue/seed.json" stock
echo "== 10 KB titles, category names and section titles"
run_on "$work/long.json" long

{
  echo "peak rss stock (MiB)                 $(($(figure stock peak_rss_kb) / 1024))"
  echo "peak rss 10 KB texts (MiB)           $(($(figure long peak_rss_kb) / 1024))"
  echo "peak rss ratio                       $(ratio "$(figure long peak_rss_kb)" "$(figure stock peak_rss_kb)")   (target <= 1.2)"
  echo "tab click stock, median / max (ms)   $(figure stock click_median_ms) / $(figure stock click_max_ms)"
  echo "tab click 10 KB, median / max (ms)   $(figure long click_median_ms) / $(figure long click_max_ms)   (target max < 100)"
  echo "tab clicks stock, in order (ms)      $(sed -n 's/^click_times_ms = //p' "$work/stock.out")"
  echo "tab clicks 10 KB, in order (ms)      $(sed -n 's/^click_times_ms = //p' "$work/long.out")"
} | tee "$results/$name.txt"
