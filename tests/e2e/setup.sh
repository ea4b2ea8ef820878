#!/usr/bin/env bash
# Prepares the end-to-end browser test: Debian's chromium, Node.js with npm
# (through scripts/install-deps.sh), and the pinned playwright-core from
# package-lock.json in tests/e2e/node_modules. Stops with a clear message when
# this machine's Node.js is not one the locked packages support. Safe to run
# again: `npm ci` runs only when node_modules does not match the lock file.
set -euo pipefail
cd "$(dirname "$0")"
../../scripts/install-deps.sh e2e

# Every locked package's "engines.node" range must accept this Node.js. The
# ranges npm writes are comparator sets ("18", ">=18", ">=14.17 <20",
# "^18.12 || >=20"); anything else is reported rather than guessed at.
node - <<'JS'
const lock = require('./package-lock.json');
const have = process.versions.node.split('.').map(Number);
const cmp = (a, b) => { for (let i = 0; i < 3; i++) if ((a[i] || 0) !== (b[i] || 0)) return (a[i] || 0) - (b[i] || 0); return 0; };
function satisfies(range) {
  return range.split('||').some(set => set.trim().split(/\s+/).every(c => {
    const m = /^(>=|<=|>|<|=|\^|~)?v?(\d+)(?:\.(\d+|x|\*))?(?:\.(\d+|x|\*))?$/.exec(c);
    if (!m) throw new Error(`cannot read the range "${range}"`);
    const v = [m[2], m[3], m[4]].map(x => (x === undefined || x === 'x' || x === '*') ? undefined : Number(x));
    const lo = v.map(x => x || 0), d = cmp(have, lo);
    switch (m[1] || '=') {
      case '>=': return d >= 0;
      case '>': return d > 0;
      case '<=': return d <= 0;
      case '<': return d < 0;
      case '^': return d >= 0 && have[0] === lo[0];
      case '~': return d >= 0 && have[0] === lo[0] && (v[1] === undefined || have[1] === lo[1]);
      default: return v.every((x, i) => x === undefined || have[i] === x);
    }
  }));
}
const bad = [];
for (const [where, pkg] of Object.entries(lock.packages || {})) {
  const range = pkg.engines && pkg.engines.node;
  if (!range) continue;
  let ok;
  try { ok = satisfies(range); } catch (e) { bad.push(`${where || 'the project'}: ${e.message}`); continue; }
  if (!ok) bad.push(`${where.replace(/^node_modules\//, '')} ${pkg.version} needs Node.js ${range}`);
}
if (bad.length) {
  console.error(`e2e setup: this machine has Node.js ${process.versions.node} (${process.execPath}), ` +
                `which tests/e2e/package-lock.json does not support:\n  ${bad.join('\n  ')}\n` +
                'Pin releases that support this Node.js in tests/e2e/package.json and its lock, ' +
                'or put a supported node first on the PATH.');
  process.exit(1);
}
JS

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
npm ci --engine-strict --no-audit --no-fund
