#!/usr/bin/env bash
# The whole-build fuzzer's open exploration. fuzz/run.sh explores from one
# fixed seed, so that the test command runs alike everywhere, and so covers
# the same ground every time; this script sends the fuzzer somewhere new on
# every run: FUZZ_EXPLORE_SEEDS random seeds (2), each for
# FUZZ_EXPLORE_SECONDS (180), from the committed inputs of
# fuzz/corpus-build/ and the working corpus that earlier explorations left in
# build-fuzz/corpus-explore/. CI runs it once with these defaults (about six
# minutes); a scheduled job gives it longer, for instance every night:
#   FUZZ_EXPLORE_SEEDS=6 FUZZ_EXPLORE_SECONDS=600 fuzz/explore.sh
# Any find fails the script: the input is kept under build-fuzz/artifacts/
# and the seed printed. Replay it with `build-fuzz/site_build_fuzzer FILE`;
# once mended, the input joins fuzz/corpus-build/, which every run replays.
set -euo pipefail
REPO="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$REPO/build-fuzz"
SEEDS="${FUZZ_EXPLORE_SEEDS:-2}"
SECONDS_EACH="${FUZZ_EXPLORE_SECONDS:-180}"

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
mkdir -p "$BUILD/artifacts" "$BUILD/corpus-explore"
if ! { cmake -S "$REPO/fuzz" -B "$BUILD" "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ \
         -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build "$BUILD" --target site_build_fuzzer --parallel 2; } >"$BUILD/build.log" 2>&1; then
  tail -n 40 "$BUILD/build.log" >&2
  echo "fuzz-explore: the fuzzer did not build" >&2
  exit 1
fi

seed_list=$(find "$REPO/fuzz/corpus-build" -type f | LC_ALL=C sort | paste -sd, -)
for ((n = 1; n <= SEEDS; n++)); do
  seed=$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')
  seed=$((seed % 2147483646 + 1))  # libFuzzer takes 0 for "pick one itself"
  log="$BUILD/explore-$seed.log"
  set +e
  "$BUILD/site_build_fuzzer" "$BUILD/corpus-explore" -seed_inputs="$seed_list" \
    -dict="$REPO/fuzz/site_build.dict" -seed="$seed" -max_total_time="$SECONDS_EACH" \
    -rss_limit_mb=2048 -timeout=10 -max_len=16384 \
    -artifact_prefix="$BUILD/artifacts/site_build_fuzzer-explore-$seed-" \
    -print_final_stats=1 >"$log" 2>&1
  rc=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ "$rc" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "fuzz-explore: seed $seed FOUND an input after ${runs:-?} execs;" \
      "it is in $BUILD/artifacts/" >&2
    exit "$rc"
  fi
  echo "fuzz-explore: seed $seed: ${runs:-?} execs in ${SECONDS_EACH} s, nothing found"
done
