#!/usr/bin/env bash
# Installs what the build needs, builds, and generates the example site from
# examples/chronicle.orvana into examples/site/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
scripts/build.sh
mkdir -p examples/site
build/bin/orvana-cli build examples/chronicle.orvana --out examples/site
