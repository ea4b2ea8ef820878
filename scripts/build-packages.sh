#!/usr/bin/env bash
# Builds the Debian packages into build-pkg/packages/:
#   orvana-cli_VERSION-1_ARCH.deb  the command-line tool (no Qt)
#   orvana_VERSION-1_ARCH.deb      the desktop application
# Usage: scripts/build-packages.sh [--cli-only]
#   --cli-only  build only orvana-cli, without Qt (for a server)
# The release tree lives in build-pkg/ (BUILD_PKG_DIR to change), without the
# tests and benchmarks, and is reused by the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dir=${BUILD_PKG_DIR:-build-pkg}

gui=ON
case ${1:-} in
  --cli-only) gui=OFF ;;
  "") ;;
  *)
    echo "usage: $0 [--cli-only]" >&2
    exit 2
    ;;
esac

# CPack's Debian generator finds the programs with file(1) and computes their
# dependencies with dpkg-shlibdeps (dpkg-dev).
scripts/install-deps.sh package

# Debian's hardening flags (stack protector, fortified functions, read-only
# relocations bound at start-up), without -g: the packages are stripped anyway.
# The prefix map keeps the path of this checkout out of the binaries.
# The orvana-cli package runs on servers without Qt, so its tool is built
# without serve (which would link it to Qt's HTTP server); the desktop
# program keeps its preview.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
cxxflags=$(sed -E -e 's/(^| )-g( |$)/ /g' -e 's/-ffile-prefix-map=[^ ]*//g' <<<"$cxxflags")
cxxflags="$cxxflags -ffile-prefix-map=$root=."
ldflags=$(dpkg-buildflags --get LDFLAGS)

launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DORVANA_BUILD_GUI=$gui -DORVANA_BUILD_TESTS=OFF -DORVANA_BUILD_BENCH=OFF \
  -DORVANA_CLI_SERVE=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" "${launcher[@]}"
cmake --build "$dir" --parallel "$(nproc)"

rm -rf "$dir/packages"
(cd "$dir" && cpack -G DEB)
echo "packages:"
ls -1 "$dir"/packages/*.deb
