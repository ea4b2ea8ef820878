#!/usr/bin/env bash
# Builds the unit and GUI tests with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs them with ctest. Any
# sanitizer report (a bad access, a leak, undefined behaviour) ends the test
# program that made it, so the test fails and the script exits non-zero.
# Then the tests of what runs on several threads (the engine, project-file
# and command-line ones) are built with ThreadSanitizer into build-tsan/
# and run the same way.
# The browser test is left out: it runs the real programs in Chromium and the
# plain build covers it.
# Environment: CXX picks the compiler (default g++); ORVANA_ASAN_BUILD the
# build folder (default build-asan/; another compiler needs another folder).
# Debian 12's clang 14 builds the programs and the GUI tests but not the
# GoogleTest ones: its libstdc++ headers give it no std::source_location.
set -euo pipefail
printenv PATH >/dev/null || export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
REPO="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ORVANA_ASAN_BUILD:-$REPO/build-asan}"

launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

# -O1 keeps the build and the instrumented run quick; -g1 gives reports
# their file and line without the size of full debug information.
cmake -S "$REPO" -B "$BUILD" "${generator[@]}" "${launcher[@]}" \
  -DCMAKE_CXX_COMPILER="${CXX:-g++}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DORVANA_SANITIZE=ON -DORVANA_BUILD_BENCH=OFF -DORVANA_BUILD_TESTS=ON
cmake --build "$BUILD" --parallel "$(nproc)"

supp="$REPO/scripts/sanitizers"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

cd "$BUILD"
ctest --output-on-failure --timeout 600 -j "$(nproc)" -LE e2e

# ThreadSanitizer over what runs on several threads: a build's page writers
# (the engine's tests, the command-line tests that build sites) and the
# project reader. Its own folder, as it cannot share a build with ASan.
TSAN_BUILD="${ORVANA_TSAN_BUILD:-$REPO/build-tsan}"
cmake -S "$REPO" -B "$TSAN_BUILD" "${generator[@]}" "${launcher[@]}" \
  -DCMAKE_CXX_COMPILER="${CXX:-g++}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_CXX_FLAGS="-fsanitize=thread" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DORVANA_BUILD_GUI=OFF \
  -DORVANA_BUILD_BENCH=OFF -DORVANA_BUILD_TESTS=ON
cmake --build "$TSAN_BUILD" --parallel "$(nproc)"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
cd "$TSAN_BUILD"
ctest --output-on-failure --timeout 600 -j "$(nproc)" -LE e2e -R '^(engine|project|cli)_'
