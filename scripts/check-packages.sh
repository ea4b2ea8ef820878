#!/usr/bin/env bash
# Builds the Debian packages, checks them (lintian, the desktop files, no path
# of this machine inside), installs them with apt-get, runs the installed
# programs, and purges the packages again whatever happened. Needs root or
# sudo. The exit status is 0 only when every check passed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dir=${BUILD_PKG_DIR:-build-pkg}
case $dir in /*) ;; *) dir=$root/$dir ;; esac
export BUILD_PKG_DIR=$dir
version=$(sed -n 's/^project(Orvana VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive

scripts/install-deps.sh check-package

scripts/build-packages.sh
cli_deb=$(ls "$dir"/packages/orvana-cli_*.deb)
gui_deb=$(ls "$dir"/packages/orvana_*.deb)

failures=0
pass() { echo "ok: $*"; }
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

work=$(mktemp -d)
installed=no
cleanup() {
  if [ "$installed" = yes ]; then
    $SUDO apt-get purge -y -qq orvana orvana-cli >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== lintian"
if lintian --fail-on error,warning "$cli_deb" "$gui_deb"; then
  pass "lintian reports no error and no warning"
else
  fail "lintian reports errors or warnings"
fi

echo "== package contents"
mkdir "$work/tree"
dpkg-deb -x "$cli_deb" "$work/tree"
dpkg-deb -x "$gui_deb" "$work/tree"
if grep -rlaF -e "$root" "$work/tree"; then
  fail "the files above name the build folder $root"
else
  pass "no file names the build folder"
fi
if dpkg-deb -I "$cli_deb" | grep -qi qt; then
  fail "orvana-cli depends on Qt"
else
  pass "orvana-cli does not depend on Qt"
fi
if desktop-file-validate "$work/tree/usr/share/applications/orvana.desktop"; then
  pass "desktop-file-validate"
else
  fail "desktop-file-validate"
fi
# --no-net: the home page and screenshot addresses are not fetched.
if appstreamcli validate --no-net "$work"/tree/usr/share/metainfo/*.metainfo.xml; then
  pass "appstreamcli validate"
else
  fail "appstreamcli validate"
fi

echo "== install"
installed=yes  # from here on, purge even what a failed install left behind
if $SUDO apt-get install -y -qq --no-install-recommends "$cli_deb" "$gui_deb"; then
  pass "apt-get install"
else
  fail "apt-get install"
  exit 1
fi

echo "== installed programs"
cli=$(command -v orvana-cli || true)
[ "$cli" = /usr/bin/orvana-cli ] && pass "orvana-cli is $cli" || fail "orvana-cli is '$cli'"

out=$(orvana-cli --version 2>"$work/err" || true)
[ "$out" = "orvana-cli $version" ] && pass "orvana-cli --version: $out" ||
  fail "orvana-cli --version printed '$out', expected 'orvana-cli $version' ($(head -c 300 "$work/err"))"

mkdir "$work/site"
if orvana-cli build examples/chronicle.orvana --out "$work/site" && [ -s "$work/site/index.html" ]; then
  pass "the installed orvana-cli built examples/chronicle.orvana ($(ls "$work/site" | wc -l) files)"
else
  fail "the installed orvana-cli did not build examples/chronicle.orvana"
fi

# Bounded: a program without --version would open its window and wait.
# Standard output only: Qt may warn on standard error about the session.
out=$(QT_QPA_PLATFORM=offscreen timeout 30 orvana --version 2>"$work/err" || true)
[ "$out" = "orvana $version" ] && pass "orvana --version: $out" ||
  fail "orvana --version printed '$out', expected 'orvana $version' ($(head -c 300 "$work/err"))"

for page in orvana-cli orvana; do
  man -w "$page" >/dev/null 2>&1 && pass "man $page" || fail "no manual page $page"
done
[ -f /usr/share/bash-completion/completions/orvana-cli ] && pass "bash completion" ||
  fail "no bash completion"
# The shared-mime-info trigger has compiled the project-file type.
[ -f /usr/share/mime/application/x-orvana-project.xml ] && pass "MIME type application/x-orvana-project" ||
  fail "MIME type application/x-orvana-project not registered"

if [ "$failures" -ne 0 ]; then
  echo "check-packages: $failures check(s) failed" >&2
  exit 1
fi
echo "check-packages: all checks passed"
