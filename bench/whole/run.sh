#!/usr/bin/env bash
# Whole-process benchmark of `orvana-cli`: `build` on sites of 100, 1000 and
# 3000 pages against the floor, a minimal program that writes the same files
# with the same bytes; the peak memory of `build --save` against `build`; and
# the throughput of `new` and `show` on large inputs.
#
#   bench/whole/run.sh [--build-dir DIR] [--sizes "100 1000 3000"]
#                      [--targets "shm disk"] [--pairs 15] [--links-per-page 2]
#                      [--addresses K] [--shm DIR] [--disk DIR] [--work DIR]
#                      [--extra-runs 15] [--no-extras] [--keep] [--cli PATH]
#                      [--cpus LIST]
#
# Environment: ORVANA_BENCH_SIZES, ORVANA_BENCH_TARGETS, ORVANA_BENCH_PAIRS and
# ORVANA_BENCH_DISK stand for --sizes, --targets, --pairs and --disk. --runs is
# another name for --pairs; --work DIR is "--targets disk --disk DIR";
# --addresses K gives every size K addresses instead of K per page; --cli
# PATH times another orvana-cli (an earlier build, say) in place of the
# build folder's, against the same floor; --cpus LIST runs every timed
# process on those processors only (taskset -c LIST): "--cpus 0" shows what
# orvana-cli costs on one core, where it writes its pages on one thread.
#
# Targets: `shm` works in a new folder under /dev/shm (tmpfs: the figures show
# the programs' own cost), `disk` under --disk (default: the build folder, on
# the disk); on the disk dirty pages are written out before every timed run.
#
# For each size it writes a Russian-looking text (paragraphs of sentences,
# 4000..5000 bytes a page) and --links-per-page addresses per page, so that
# the link quota is non-zero and links are placed; it makes a project with
# `orvana-cli new` (default template, bounds 4000 and 5000). Then, untimed:
# one `orvana-cli build --seed 1` into a fresh folder (its summary must name
# the expected pages and more than 0 links), the site packed into one blob
# file, the floor run from that blob into a second folder, and both folders
# compared byte for byte. Then, timed, --pairs pairs of whole processes in
# the order orvana floor orvana floor ..., each into the same emptied folder:
#   A: orvana-cli build PROJECT --out DIR --seed 1
#   B: bench-whole-floor --blob SITE.BLOB --project PROJECT --to DIR --wait
# A is timed from its fork to the end of wait4. B loads the site from the
# blob into its own memory first, untimed (that is no generator's work), and
# is timed from its word to start to the end of wait4: it reads the whole
# project file into memory, as any generator must, and writes every file.
# Its start-up (exec, loading) is thus not counted, which makes it a little
# stricter than A's. One row per size: pages, links placed, output and input
# (project file) MB, both median wall times, the median of the pairs' time
# ratios A/B with its minimum and maximum, and both processes' peak resident
# memory (ru_maxrss; the floor's includes the site it loaded).
#
# Then, unless --no-extras, on each target:
#   save  `build --seed 1` and `build --seed 1 --save` of the 1000-page project
#         in pairs (each run on a fresh copy of the project): both peaks,
#         their ratio, both times, and the size of the saved project;
#   new   `orvana-cli new` of a 50 MB UTF-8 text (the project is written with
#         fsync): MB of text per second of the whole process, median (the
#         fastest and slowest run's rates);
#   show  `orvana-cli show` of the saved 1000-page project (about 225 MB):
#         MB of project per second of the whole process, the same way.
# MB are 10^6 bytes, MiB 2^20.
#
# Each pagination bar lists every page, so the output grows with the square of
# the page count: 3000 pages are about 750 MB, held twice at a time (the blob
# and the timed folder). Work folders are removed at the end unless --keep.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

build_dir=$root/build
sizes=${ORVANA_BENCH_SIZES:-"100 1000 3000"}
targets=${ORVANA_BENCH_TARGETS:-"shm disk"}
pairs=${ORVANA_BENCH_PAIRS:-15}
links_per_page=2
addresses=
shm_parent=/dev/shm
disk_parent=${ORVANA_BENCH_DISK:-}
extra_runs=15
extras=1
keep=0
cli_override=
pin=()
while [ $# -gt 0 ]; do
  case $1 in
    --build-dir) build_dir=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --targets) targets=$2; shift 2 ;;
    --pairs|--runs) pairs=$2; shift 2 ;;
    --addresses) addresses=$2; shift 2 ;;
    --work) targets=disk; disk_parent=$2; shift 2 ;;
    --links-per-page) links_per_page=$2; shift 2 ;;
    --shm) shm_parent=$2; shift 2 ;;
    --disk) disk_parent=$2; shift 2 ;;
    --extra-runs) extra_runs=$2; shift 2 ;;
    --no-extras) extras=0; shift ;;
    --keep) keep=1; shift ;;
    --cli) cli_override=$2; shift 2 ;;
    --cpus) pin=(taskset -c "$2"); shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d'; exit 0 ;;
    *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -n "$disk_parent" ] || disk_parent=$build_dir

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
cli=${cli_override:-$bin/orvana-cli}

# Room for the largest size: the blob, the timed folder and, briefly, the two
# checked folders, plus the extras.
largest=0
for n in $sizes; do [ "$n" -gt "$largest" ] && largest=$n; done
need=$(( 4 * largest * (8000 + 90 * largest) + 800000000 ))
free_bytes() { echo $(( $(df -Pk "$1" | awk 'NR == 2 { print $4 }') * 1024 )); }
fs_type() { df -PT "$1" | awk 'NR == 2 { print $2 }'; }

works=()
cleanup() {
  for w in "${works[@]}"; do
    if [ "$keep" = 1 ]; then echo "kept $w" >&2; else rm -rf "$w"; fi
  done
}
trap cleanup EXIT

status=0
fail() { echo "run.sh: $*" >&2; status=1; }

# make_project DIR PAGES: text, addresses and project.orvana (output folder
# DIR/out) for a site of PAGES pages.
make_project() {
  local dir=$1 n=$2
  mkdir -p "$dir"
  "$bin/bench-whole-text" --pages "$n" --addresses "${addresses:-$((links_per_page * n))}" --seed "$n" \
    --text "$dir/text.txt" --links "$dir/links.txt" >/dev/null
  "$cli" new "$dir/project.orvana" --force --title "Летопись" --min 4000 --max 5000 \
    --out "$dir/out" --text "$dir/text.txt" --links "$dir/links.txt" >/dev/null
}

mb() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1e6 }'; }

for target in $targets; do
  case $target in
    shm) parent=$shm_parent; flush= ;;
    disk) parent=$disk_parent; flush=--flush ;;
    *) echo "run.sh: unknown target $target (shm or disk)" >&2; exit 2 ;;
  esac
  mkdir -p "$parent"
  avail=$(free_bytes "$parent")
  if [ "$avail" -lt "$need" ]; then
    echo "run.sh: $parent has $((avail / 1000000)) MB free, $((need / 1000000)) MB are needed" >&2
    exit 1
  fi
  work=$(mktemp -d "$parent/orvana-whole.XXXXXX")
  works+=("$work")

  echo
  echo "# $target: $work ($(fs_type "$work")); $pairs pairs A B, A = orvana-cli build," \
       "B = floor; addresses: ${addresses:-$links_per_page a page}${flush:+; dirty pages flushed before each run}${pin[*]:+; ${pin[*]}}"
  printf '%-6s %6s %9s %8s %9s %9s %7s %15s %9s %9s\n' pages links out_MB in_MB orvana_s \
         floor_s ratio "ratio_min-max" orv_MiB floor_MiB
  for n in $sizes; do
    dir=$work/$n
    make_project "$dir" "$n"
    mkdir -p "$dir/check/out" "$dir/check/floor" "$dir/run"

    # Untimed: the reference build, its summary, the blob, and the check that
    # the floor writes exactly the same files.
    summary=$("$cli" build "$dir/project.orvana" --out "$dir/check/out" --seed 1)
    pages=${summary%% page*}
    links=$(echo "$summary" | sed -n 's/.* \([0-9]*\) links\{0,1\} placed.*/\1/p')
    [ "$pages" = "$n" ] || fail "expected $n pages, orvana-cli said: $summary"
    [ "${links:-0}" -gt 0 ] || fail "no links placed at $n pages: $summary"
    read -r files out_bytes < <("$bin/bench-whole-floor" --pack "$dir/check/out" --blob "$dir/site.blob")
    "$bin/bench-whole-floor" --blob "$dir/site.blob" --project "$dir/project.orvana" \
      --to "$dir/check/floor"
    if [ "$files" -ne $((n + 1)) ] || [ "$(ls -A "$dir/check/out" | wc -l)" -ne "$files" ] ||
       [ "$(ls -A "$dir/check/floor" | wc -l)" -ne "$files" ] ||
       ! diff -r "$dir/check/out" "$dir/check/floor" >/dev/null; then
      fail "at $n pages the floor did not write the same $files files as orvana-cli"
    fi
    rm -rf "$dir/check"
    in_bytes=$(stat -c %s "$dir/project.orvana")

    "${pin[@]}" "$bin/bench-whole-measure" --runs "$pairs" --empty "$dir/run" $flush --log "$dir/build.log" \
      --wait-b -- "$cli" build "$dir/project.orvana" --out "$dir/run" --seed 1 -- \
      "$bin/bench-whole-floor" --blob "$dir/site.blob" --project "$dir/project.orvana" \
      --to "$dir/run" --wait >"$dir/times.txt"
    read -r a_s _ _ a_kib b_s _ _ b_kib r r_min r_max < <(tail -n 1 "$dir/times.txt")
    awk -v p="$pages" -v l="${links:-?}" -v o="$out_bytes" -v i="$in_bytes" -v as="$a_s" \
        -v ak="$a_kib" -v bs="$b_s" -v bk="$b_kib" -v r="$r" -v r0="$r_min" -v r1="$r_max" 'BEGIN {
      printf "%-6s %6s %9.1f %8.1f %9.3f %9.3f %7.2f %15s %9.1f %9.1f\n", p, l, o / 1e6, i / 1e6,
             as, bs, r, sprintf("%.2f-%.2f", r0, r1), ak / 1024, bk / 1024
    }'
    [ "$keep" = 1 ] || rm -rf "$dir"
  done

  [ "$extras" = 1 ] || continue

  # build --save against build, on the same 1000-page project.
  dir=$work/save
  make_project "$dir" 1000
  mkdir -p "$dir/run"
  "${pin[@]}" "$bin/bench-whole-measure" --runs "$extra_runs" --empty "$dir/run" \
    --copy "$dir/project.orvana" "$dir/copy.orvana" $flush --log "$dir/save.log" -- \
    "$cli" build "$dir/copy.orvana" --out "$dir/run" --seed 1 -- \
    "$cli" build "$dir/copy.orvana" --out "$dir/run" --seed 1 --save >"$dir/times.txt"
  read -r a_s _ _ a_kib b_s _ _ b_kib _ < <(tail -n 1 "$dir/times.txt")
  cp "$dir/copy.orvana" "$dir/saved.orvana"
  saved_bytes=$(stat -c %s "$dir/saved.orvana")
  awk -v as="$a_s" -v ak="$a_kib" -v bs="$b_s" -v bk="$b_kib" -v i="$(stat -c %s "$dir/project.orvana")" \
      -v sv="$saved_bytes" -v runs="$extra_runs" 'BEGIN {
    printf "save  1000 pages, %d pairs: build peak %.1f MiB, %.3f s; build --save peak %.1f MiB, %.3f s;" \
           " peak ratio %.2f (target <= 2); project %.1f MB, saved %.1f MB\n",
           runs, ak / 1024, as, bk / 1024, bs, bk / ak, i / 1e6, sv / 1e6
  }'

  # new from a 50 MB UTF-8 text (about 7390 bytes of it a page).
  new_dir=$work/new
  mkdir -p "$new_dir/proj"
  "$bin/bench-whole-text" --pages 6770 --addresses 500 --seed 6770 \
    --text "$new_dir/text.txt" --links "$new_dir/links.txt" >/dev/null
  "${pin[@]}" "$bin/bench-whole-measure" --runs "$extra_runs" --empty "$new_dir/proj" $flush \
    --log "$new_dir/new.log" -- \
    "$cli" new "$new_dir/proj/big.orvana" --title "Летопись" --out "$new_dir/out" \
    --text "$new_dir/text.txt" --links "$new_dir/links.txt" >"$new_dir/times.txt"
  read -r a_s a_min a_max a_kib < <(tail -n 1 "$new_dir/times.txt")
  awk -v as="$a_s" -v a0="$a_min" -v a1="$a_max" -v ak="$a_kib" -v t="$(stat -c %s "$new_dir/text.txt")" \
      -v p="$(stat -c %s "$new_dir/proj/big.orvana")" -v runs="$extra_runs" 'BEGIN {
    printf "new   %.1f MB UTF-8 text -> %.1f MB project, %d runs: %.3f s, %.1f MB/s of text (%.1f-%.1f)" \
           " (target >= 250), peak %.1f MiB\n", t / 1e6, p / 1e6, runs, as, t / 1e6 / as,
           t / 1e6 / a1, t / 1e6 / a0, ak / 1024
  }'
  [ "$keep" = 1 ] || rm -rf "$new_dir"

  # show of the saved 1000-page project.
  "${pin[@]}" "$bin/bench-whole-measure" --runs "$extra_runs" --log "$dir/show.log" -- \
    "$cli" show "$dir/saved.orvana" >"$dir/show.txt"
  read -r a_s a_min a_max a_kib < <(tail -n 1 "$dir/show.txt")
  grep -q '^Pages: *1000$' "$dir/show.log" || fail "show did not report the saved 1000 pages"
  awk -v as="$a_s" -v a0="$a_min" -v a1="$a_max" -v ak="$a_kib" -v p="$saved_bytes" \
      -v runs="$extra_runs" 'BEGIN {
    printf "show  %.1f MB project (saved 1000 pages), %d runs: %.3f s, %.1f MB/s (%.1f-%.1f)" \
           " (target >= 700), peak %.1f MiB\n", p / 1e6, runs, as, p / 1e6 / as, p / 1e6 / a1,
           p / 1e6 / a0, ak / 1024
  }'
  [ "$keep" = 1 ] || rm -rf "$dir"
done
exit $status
