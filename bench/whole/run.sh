#!/usr/bin/env bash
# Whole-program benchmark: `orvana-cli build` on sites of about 100, 1000 and
# 3000 pages, against the floor, a minimal program that writes the same files
# with the same bytes.
#
#   bench/whole/run.sh [--build-dir DIR] [--sizes "100 1000 3000"] [--runs 5]
#                      [--addresses 300] [--work DIR] [--no-flush] [--keep]
#
# For each size it writes a Russian-looking text (paragraphs of sentences,
# 4000..5000 bytes per page) and the link addresses (bench-whole-text), makes a
# project of them with `orvana-cli new` (default template, bounds 4000 and
# 5000), then runs `orvana-cli build` --runs times into an emptied folder and
# the floor as often on the site that came out, and checks that the floor's
# files equal the generator's byte for byte. Before every timed run the output
# folder is emptied and dirty pages are written to disk (untimed; --no-flush
# skips the flush).
#
# It prints one row per size: pages, links placed, output bytes, input (project file) bytes,
# the generator's median wall time and peak resident memory, the floor's median
# write time and peak memory, the time ratio, and whether the targets hold:
# time within 1.5x the floor at 1000 pages and 2x above, and peak memory at
# most 1.5 times the output bytes plus the input bytes. Below 1000 pages no
# target is applied: there the process's fixed start-up cost and its few MiB
# of baseline memory outweigh the site.
#
# Each pagination bar lists every page, so the output grows with the square of
# the page count: 3000 pages are about 770 MB, written twice (generator and
# floor). The work folder must have room for that: a new folder under --work
# or $ORVANA_BENCH_DIR, else under /dev/shm when it is a tmpfs with room
# (memory-backed: the figures then show the programs' own cost, not the
# disk's), else under $TMPDIR or /tmp. It is removed at the end unless --keep
# is given. `--work /tmp` measures on the disk instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

build_dir=$root/build
sizes="100 1000 3000"
runs=5
addresses=300
work_parent=${ORVANA_BENCH_DIR:-}
flush=--flush
keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --build-dir) build_dir=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --addresses) addresses=$2; shift 2 ;;
    --work) work_parent=$2; shift 2 ;;
    --no-flush) flush=; shift ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d'; exit 0 ;;
    *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

# The programs, built in Release when they are missing.
bin=$build_dir/bin
tools=(orvana-cli bench-whole-text bench-whole-measure bench-whole-floor)
for t in "${tools[@]}"; do
  if [ ! -x "$bin/$t" ]; then
    echo "building ${tools[*]} in $build_dir" >&2
    [ -f "$build_dir/build.ninja" ] || [ -f "$build_dir/Makefile" ] ||
      cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANA_BUILD_GUI=OFF >&2
    cmake --build "$build_dir" --target "${tools[@]}" >&2
    break
  fi
done
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[^=]*=//p' "$build_dir/CMakeCache.txt" 2>/dev/null || true)
if [ "$build_type" != Release ]; then
  echo "run.sh: warning: $build_dir is a '${build_type:-unknown}' build, not Release" >&2
fi

# Room for the largest size, twice over, plus a margin.
largest=0
for n in $sizes; do [ "$n" -gt "$largest" ] && largest=$n; done
need=$(( 2 * largest * (8000 + 90 * largest) + 200000000 ))
free_bytes() { echo $(( $(df -Pk "$1" | awk 'NR == 2 { print $4 }') * 1024 )); }
if [ -z "$work_parent" ]; then
  # Memory-backed by default, so that the figures show the programs' own cost
  # rather than the disk's; the floor pays the same file-system costs.
  if [ "$(df -PT /dev/shm 2>/dev/null | awk 'NR == 2 { print $2 }')" = tmpfs ] &&
     [ "$(free_bytes /dev/shm)" -ge "$need" ]; then
    work_parent=/dev/shm
  else
    work_parent=${TMPDIR:-/tmp}
  fi
fi
mkdir -p "$work_parent"
avail=$(free_bytes "$work_parent")
if [ "$avail" -lt "$need" ]; then
  echo "run.sh: $work_parent has $((avail / 1000000)) MB free, $((need / 1000000)) MB are needed;" \
       "set ORVANA_BENCH_DIR or --work to a larger folder" >&2
  exit 1
fi
work=$(mktemp -d "$work_parent/orvana-whole.XXXXXX")
cleanup() { if [ "$keep" = 1 ]; then echo "kept $work" >&2; else rm -rf "$work"; fi; }
trap cleanup EXIT

echo "# orvana-cli build vs floor: $runs runs each, median time; work folder $work" \
     "($(df -PT "$work" | awk 'NR == 2 { print $2 }'))"
printf '%-6s %6s %12s %11s %10s %10s %10s %10s %7s %s\n' pages links out_bytes in_bytes orvana_s orvana_MiB \
       floor_s floor_MiB ratio targets
status=0
for n in $sizes; do
  dir=$work/$n
  mkdir -p "$dir/out" "$dir/floor"
  "$bin/bench-whole-text" --pages "$n" --addresses "$addresses" --seed "$n" \
    --text "$dir/text.txt" --links "$dir/links.txt" >/dev/null
  "$bin/orvana-cli" new "$dir/project.orvana" --title "Летопись" --min 4000 --max 5000 \
    --out "$dir/out" --text "$dir/text.txt" --links "$dir/links.txt" >/dev/null

  "$bin/bench-whole-measure" --runs "$runs" --empty "$dir/out" $flush --log "$dir/build.log" -- \
    "$bin/orvana-cli" build "$dir/project.orvana" --out "$dir/out" --seed 1 >"$dir/orvana.txt"
  read -r orvana_s orvana_kib < <(tail -n 1 "$dir/orvana.txt")
  summary=$(tail -n 1 "$dir/build.log")
  pages=${summary%% pages*}
  links=$(echo "$summary" | sed -n 's/.* \([0-9]*\) links placed.*/\1/p')
  if [ "$pages" != "$n" ]; then
    echo "run.sh: expected $n pages, orvana-cli said: $summary" >&2
    status=1
  fi

  "$bin/bench-whole-floor" --from "$dir/out" --to "$dir/floor" --runs "$runs" $flush >"$dir/floor.txt"
  read -r floor_s floor_kib files out_bytes < <(tail -n 1 "$dir/floor.txt")
  if [ "$files" -ne $((pages + 1)) ] || [ "$(ls "$dir/out" | wc -l)" -ne "$files" ] ||
     ! diff -rq "$dir/out" "$dir/floor" >/dev/null; then
    echo "run.sh: the floor did not write the same $files files as orvana-cli" >&2
    status=1
  fi
  in_bytes=$(stat -c %s "$dir/project.orvana")

  awk -v n="$n" -v pages="$pages" -v links="${links:-?}" -v o="$orvana_s" -v om="$orvana_kib" -v f="$floor_s" -v fm="$floor_kib" \
      -v out="$out_bytes" -v in_="$in_bytes" 'BEGIN {
    r = o / f
    if (n < 1000) t = sprintf("time %.2fx (no target)", r)
    else { lim = n > 1000 ? 2.0 : 1.5; t = sprintf("time %.2fx %s", r, r <= lim ? "ok" : sprintf("MISSED (> %.1fx)", lim)) }
    peak = om * 1024; mlim = 1.5 * out + in_
    m = sprintf("memory %.0f%% of 1.5*out+in", 100 * peak / mlim)
    if (n < 1000) m = m " (no target)"; else m = m (peak <= mlim ? " ok" : " MISSED")
    printf "%-6s %6s %12d %11d %10.3f %10.1f %10.3f %10.1f %7.2f %s; %s\n", pages, links, out, in_, o, om / 1024, f, fm / 1024, r, t, m
  }'
  [ "$keep" = 1 ] || rm -rf "$dir"
done
exit $status
