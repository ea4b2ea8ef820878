#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# machine lacks. Safe to run again: it installs only what is missing.
# Usage: scripts/install-deps.sh [build|test]
set -euo pipefail
what=${1:-build}

pkgs=(g++ cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
      qt6-base-dev qt6-base-dev-tools libgl-dev)
if [ "$what" = test ]; then
  pkgs+=(clang libclang-rt-dev xvfb xauth chromium fonts-dejavu-core)
  command -v npm >/dev/null 2>&1 || pkgs+=(nodejs npm)
fi

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
