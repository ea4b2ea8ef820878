#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every test. The last thing it
# prints is ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
scripts/build.sh
# Node modules and the browser for the end-to-end test of a generated site.
if [ -x tests/e2e/setup.sh ]; then tests/e2e/setup.sh; fi
# Bounded fuzzing of the project-file reader (built with clang's libFuzzer).
if [ -x fuzz/run.sh ]; then fuzz/run.sh; fi
cd build
ctest --output-on-failure --timeout 900 -j "$(nproc)"
