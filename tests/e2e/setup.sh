#!/usr/bin/env bash
# Prepares the end-to-end browser test: Debian's chromium, Node.js with npm,
# and the pinned playwright-core from package-lock.json in tests/e2e/node_modules.
# Safe to run again: it installs only what is missing, and `npm ci` runs only
# when node_modules does not match the lock file.
set -euo pipefail
cd "$(dirname "$0")"

missing=()
[ -x /usr/bin/chromium ] || missing+=(chromium)
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)
# Cyrillic glyphs for the screenshots.
dpkg-query -W -f='${Status}' fonts-dejavu-core 2>/dev/null | grep -q 'install ok installed' ||
  missing+=(fonts-dejavu-core)
if [ ${#missing[@]} -gt 0 ]; then
  echo "e2e setup: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# npm ci leaves a copy of the lock file in node_modules; when it matches and
# the package is there, the modules are current.
if [ -f node_modules/.package-lock.json ] && [ -f node_modules/playwright-core/package.json ] &&
   node -e '
     const a = require("./package-lock.json").packages, b = require("./node_modules/.package-lock.json").packages;
     for (const k of Object.keys(a)) if (k && (!b[k] || b[k].version !== a[k].version)) process.exit(1);
   ' 2>/dev/null; then
  exit 0
fi
echo "e2e setup: npm ci"
npm ci --no-audit --no-fund --loglevel=error
