#!/usr/bin/env bash
# Builds the project-file reader's fuzzer (clang, libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs it for about a minute
# over the committed seed corpus fuzz/corpus/. New inputs go to
# build-fuzz/corpus/, never into the committed one. Exits non-zero when the
# fuzzer finds a crash, a failed check, a hang or an out-of-memory; the input
# that did it is left in build-fuzz/artifacts/.
# Environment: FUZZ_SECONDS (default 60).
set -euo pipefail
REPO="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$REPO/build-fuzz"
SECONDS_TO_RUN="${FUZZ_SECONDS:-60}"

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
mkdir -p "$BUILD"
if ! { cmake -S "$REPO/fuzz" -B "$BUILD" "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ \
         -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build "$BUILD" --parallel 2; } >"$BUILD/build.log" 2>&1; then
  tail -n 40 "$BUILD/build.log" >&2
  echo "fuzz: the fuzzer did not build" >&2
  exit 1
fi

mkdir -p "$BUILD/corpus" "$BUILD/artifacts"
log="$BUILD/fuzz.log"
set +e
"$BUILD/project_file_fuzzer" "$BUILD/corpus" "$REPO/fuzz/corpus" \
  -dict="$REPO/fuzz/object.dict" -max_total_time="$SECONDS_TO_RUN" \
  -rss_limit_mb=2048 -timeout=10 -max_len=32768 \
  -artifact_prefix="$BUILD/artifacts/" -print_final_stats=1 >"$log" 2>&1
rc=$?
set -e

stat() { sed -n "s/^stat::$1: *//p" "$log" | tail -1; }
runs=$(stat number_of_executed_units)
rate=$(stat average_exec_per_sec)
last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")

if [ "$rc" -ne 0 ]; then
  tail -n 60 "$log" >&2
  echo "fuzz: FAILED with exit code $rc after ${runs:-?} execs; input in $BUILD/artifacts/" >&2
  exit "$rc"
fi
echo "fuzz: ${runs:-?} execs in ${SECONDS_TO_RUN} s (${rate:-?}/s), coverage ${cov:-?} edges, ${ft:-?} features, corpus ${corp:-?} inputs, no crash"
