#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every test. The last thing it
# prints is ctest's summary. Every step is required: a step that cannot run
# fails the script.
set -euo pipefail
# Started with an empty environment, bash keeps a search path of its own but
# passes none on, and tools that look themselves up (cmake) then fail.
printenv PATH >/dev/null || export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
scripts/build.sh
# Node modules and the browser for the end-to-end test of a generated site.
bash tests/e2e/setup.sh
# Bounded fuzzing of the project-file reader and the site build (clang's libFuzzer).
bash fuzz/run.sh
cd build
ctest --output-on-failure --timeout 900 -j "$(nproc)"
