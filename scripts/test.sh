#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every test. The last thing it
# prints is ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
scripts/build.sh
# Bounded fuzzing of the project-file reader (built with clang's libFuzzer).
if [ -x fuzz/run.sh ]; then fuzz/run.sh; fi
cd build
ctest --output-on-failure --timeout 900 -j "$(nproc)"
