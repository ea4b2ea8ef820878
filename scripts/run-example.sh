#!/usr/bin/env bash
# Installs what the build needs, builds orvana-cli alone, and generates the
# example site from examples/chronicle.orvana into examples/site/.
# The tool gets its own tree, build-cli/, configured without Qt, tests or
# benchmarks: about 30 compilations instead of the whole project's 140
# targets. build/ stays the full tree of scripts/build.sh and scripts/test.sh.
set -euo pipefail
# Started with an empty environment, bash keeps a search path of its own but
# passes none on, and tools that look themselves up (cmake) then fail.
printenv PATH >/dev/null || export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
cd "$(dirname "$0")/.."
scripts/install-deps.sh cli
cmake -S . -B build-cli -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DORVANA_BUILD_GUI=OFF -DORVANA_BUILD_TESTS=OFF -DORVANA_BUILD_BENCH=OFF
cmake --build build-cli --target orvana-cli --parallel "$(nproc)"
mkdir -p examples/site
build-cli/bin/orvana-cli build examples/chronicle.orvana --out examples/site
