#!/usr/bin/env bash
# Whole-process benchmark of windowed menus and bars on a large site: `build`
# of PAGES pages (default 60,000) with both windows 1 (each page's menu and
# bar show the first and last page and the pages next to it) against the
# same build without windows, whose template holds no menu and no bar at all
# (a site of that size with full menus and bars would be hundreds of
# gigabytes). Windows that cost time in proportion to the entries shown keep
# the two close.
#
#   bench/whole/windows.sh [--build-dir DIR] [--pages 60000] [--pairs 15]
#                          [--min 4000] [--max 5000] [--shm DIR] [--keep]
#
# It writes a Russian-looking text of PAGES pages and 2 link addresses a
# page, makes both projects with `orvana-cli new` (same text, links, bounds
# and title; the second with the default template less its
# SiteGeneratorChange.Menu and SiteGeneratorChange.Pagination), checks
# untimed that both builds make PAGES pages, then times --pairs pairs of whole
# processes, A B A B ..., each into the same emptied folder:
#   A: orvana-cli build WINDOWED --out DIR --seed 1   (--menu-window 1 --pager-window 1)
#   B: orvana-cli build PLAIN --out DIR --seed 1      (no menu, no bar)
# and prints both medians with their minimum and maximum, the median of the
# pairs' ratios A/B with its minimum and maximum, both peaks of resident
# memory and both sites' sizes. Needs python3 to take the template apart.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

build_dir=$root/build
pages=60000
pairs=15
min=4000
max=5000
shm_parent=/dev/shm
keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --build-dir) build_dir=$2; shift 2 ;;
    --pages) pages=$2; shift 2 ;;
    --pairs) pairs=$2; shift 2 ;;
    --min) min=$2; shift 2 ;;
    --max) max=$2; shift 2 ;;
    --shm) shm_parent=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d'; exit 0 ;;
    *) echo "windows.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

bin=$build_dir/bin
cli=$bin/orvana-cli
for t in orvana-cli bench-whole-text bench-whole-measure; do
  [ -x "$bin/$t" ] || { echo "windows.sh: build $t first (see run.sh)" >&2; exit 1; }
done
command -v python3 >/dev/null || { echo "windows.sh: python3 is needed" >&2; exit 1; }

work=$(mktemp -d "$shm_parent/orvana-windows.XXXXXX")
cleanup() { if [ "$keep" = 1 ]; then echo "kept $work" >&2; else rm -rf "$work"; fi; }
trap cleanup EXIT

"$bin/bench-whole-text" --pages "$pages" --addresses $((2 * pages)) --seed "$pages" \
  --min "$min" --max "$max" --text "$work/text.txt" --links "$work/links.txt" >/dev/null
common=(--force --title "Летопись" --min "$min" --max "$max" --out "$work/out"
        --text "$work/text.txt" --links "$work/links.txt")
"$cli" new "$work/windowed.orvana" "${common[@]}" --menu-window 1 --pager-window 1 >/dev/null
# The default template, its lines one a line, less the menu and the bar.
"$cli" show "$work/windowed.orvana" --json | python3 -c '
import json, sys
template = json.load(sys.stdin)["SiteTemplate"]
for placeholder in ("SiteGeneratorChange.Menu", "SiteGeneratorChange.Pagination"):
    template = template.replace(placeholder, "")
sys.stdout.write(template.replace("\r", "\n"))' >"$work/template.html"
"$cli" new "$work/plain.orvana" "${common[@]}" --template "$work/template.html" >/dev/null

mkdir -p "$work/run"
site_mb() { du -sb "$work/run" | awk '{ printf "%.1f", $1 / 1e6 }'; }
for p in windowed plain; do
  summary=$("$cli" build "$work/$p.orvana" --out "$work/run" --seed 1 2>/dev/null)
  [ "${summary%% page*}" = "$pages" ] || { echo "windows.sh: $p: $summary" >&2; exit 1; }
  eval "${p}_mb=$(site_mb)"
  rm -rf "${work:?}/run" && mkdir "$work/run"
done

"$bin/bench-whole-measure" --runs "$pairs" --empty "$work/run" --log "$work/build.log" -- \
  "$cli" build "$work/windowed.orvana" --out "$work/run" --seed 1 -- \
  "$cli" build "$work/plain.orvana" --out "$work/run" --seed 1 >"$work/times.txt"
read -r a_s a_min a_max a_kib b_s b_min b_max b_kib r r_min r_max < <(tail -n 1 "$work/times.txt")
echo "# $pages pages, $pairs pairs A B on $(df -PT "$work" | awk 'NR == 2 { print $2 }'):" \
     "A = both windows 1, B = no menu and no bar"
printf '%-9s %8s %9s %15s %9s\n' build site_MB median_s "min-max_s" peak_MiB
awk -v s="$a_s" -v s0="$a_min" -v s1="$a_max" -v k="$a_kib" -v mb="$windowed_mb" 'BEGIN {
  printf "%-9s %8s %9.3f %15s %9.1f\n", "windowed", mb, s, sprintf("%.3f-%.3f", s0, s1), k / 1024 }'
awk -v s="$b_s" -v s0="$b_min" -v s1="$b_max" -v k="$b_kib" -v mb="$plain_mb" 'BEGIN {
  printf "%-9s %8s %9.3f %15s %9.1f\n", "plain", mb, s, sprintf("%.3f-%.3f", s0, s1), k / 1024 }'
awk -v r="$r" -v r0="$r_min" -v r1="$r_max" 'BEGIN {
  printf "ratio A/B %.2f (%.2f-%.2f), target <= 3\n", r, r0, r1 }'
