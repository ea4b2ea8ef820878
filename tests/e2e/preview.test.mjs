// The preview server in a real browser.
//
//   node preview.test.mjs --cli PATH/orvana-cli --project PATH/project.orvana [--artifacts DIR]
//
// Copies the project into a fresh folder, starts `orvana-cli serve` on it
// and opens the address it prints in Chromium (headless, playwright-core).
// Then it changes the project file as a user would, with `orvana-cli set`,
// and checks that the open page reloads by itself with the new title; that a
// build that fails (a missing output folder) shows its message over the page
// while the last site stays; that mending it reloads the page again; and
// that SIGTERM ends the server with 0 within a second.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

function fatal(message) {
  console.error(`FATAL: ${message}`);
  process.exit(1);
}

const opts = { cli: null, project: null, artifacts: null };
const argv = process.argv.slice(2);
for (let i = 0; i < argv.length; i += 2) {
  const key = argv[i].replace(/^--/, '');
  if (!(key in opts) || i + 1 >= argv.length) fatal(`unknown or incomplete argument "${argv[i]}"`);
  opts[key] = argv[i + 1];
}
if (!opts.cli || !opts.project) fatal('--cli and --project are required');
const cli = path.resolve(opts.cli);
const artifacts = path.resolve(opts.artifacts || path.join(os.tmpdir(), 'orvana-e2e-artifacts'));
fs.mkdirSync(artifacts, { recursive: true });

let playwright;
try {
  playwright = await import('playwright-core');
} catch (e) {
  fatal(`playwright-core is not installed next to this test (${e.message}); run tests/e2e/setup.sh`);
}
const executablePath = process.env.ORVANA_E2E_CHROMIUM || '/usr/bin/chromium';
if (!fs.existsSync(executablePath)) fatal(`no Chromium at ${executablePath}; run tests/e2e/setup.sh`);

const failures = [];
function check(condition, message) {
  if (!condition) {
    failures.push(message);
    console.error(`not ok - ${message}`);
  } else {
    console.log(`ok - ${message}`);
  }
  return condition;
}

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'orvana-preview-e2e-'));
const project = path.join(work, 'site.orvana');
fs.copyFileSync(path.resolve(opts.project), project);
fs.mkdirSync(path.join(work, 'site'));
const set = (...args) => execFileSync(cli, ['set', project, ...args], { encoding: 'utf8' });
set('--out', path.join(work, 'site'), '--title', 'Первый заголовок');

const server = spawn(cli, ['serve', project], { stdio: ['ignore', 'pipe', 'pipe'] });
let output = '';
let errors = '';
server.stdout.on('data', (d) => { output += d; });
server.stderr.on('data', (d) => { errors += d; });
const exited = new Promise((resolve) => server.on('exit', (code, signal) => resolve({ code, signal })));

async function waitFor(predicate, what, ms = 15_000) {
  const deadline = Date.now() + ms;
  while (Date.now() < deadline) {
    if (await predicate()) return true;
    await new Promise((r) => setTimeout(r, 50));
  }
  return check(false, `${what} (within ${ms} ms)`);
}

let browser = null;
try {
  await waitFor(() => output.includes('\n'), 'serve prints its address');
  const address = output.split('\n')[0];
  check(/^http:\/\/127\.0\.0\.1:\d+\/$/.test(address), `the first line is the address (got ${JSON.stringify(address)})`);

  browser = await playwright.chromium.launch({
    executablePath,
    headless: true,
    timeout: 30_000,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--no-first-run', '--disable-quic'],
  });
  const context = await browser.newContext({ viewport: { width: 1024, height: 700 } });
  // Only the preview server is asked; the advertising block's remote script is not.
  await context.route((url) => !url.href.startsWith(address), (route) => route.abort());
  const page = await context.newPage();
  page.setDefaultTimeout(15_000);
  const pageErrors = [];
  page.on('pageerror', (e) => pageErrors.push(e.message));
  await page.goto(address);
  check((await page.title()).includes('Первый заголовок'), 'the served page has the project title, read in its charset');

  // A mark in the page's own memory is gone once the page has reloaded.
  await page.evaluate(() => { window.orvanaMark = 1; });
  set('--title', 'Второй заголовок');
  await waitFor(async () => (await page.title().catch(() => '')).includes('Второй заголовок'),
                'the open page reloads by itself with the new title');
  check(await page.evaluate(() => window.orvanaMark === undefined), 'the page was loaded again, not patched');

  // A build that fails: the message over the page, the last site under it.
  await page.evaluate(() => { window.orvanaMark = 2; });
  set('--out', path.join(work, 'no-such-folder'));
  const overlay = page.locator('#orvana-preview-error');
  await overlay.waitFor({ state: 'visible' });
  check((await overlay.textContent()).includes('no-such-folder'), 'the overlay names the missing folder');
  check((await page.title()).includes('Второй заголовок') && await page.evaluate(() => window.orvanaMark === 2),
        'the last site stays on screen under the message');
  await page.screenshot({ path: path.join(artifacts, 'preview-error.png') });
  const again = await (await context.request.get(address)).text();
  check(again.includes('orvana preview'), 'the server still serves the last site');

  set('--out', path.join(work, 'site'), '--title', 'Третий заголовок');
  await waitFor(async () => (await page.title().catch(() => '')).includes('Третий заголовок'),
                'mending the project reloads the page');
  check(await overlay.count() === 0, 'the reloaded page has no message');
  await page.screenshot({ path: path.join(artifacts, 'preview.png') });
  check(!fs.readFileSync(path.join(work, 'site', 'index.html'), 'latin1').includes('orvana preview'),
        'the reload script is not in the file on disk');
  check(pageErrors.length === 0, `no script errors in the page (${pageErrors.join('; ')})`);
} catch (e) {
  check(false, `the test ran through: ${e.stack || e}`);
} finally {
  if (browser) await browser.close();
  const stopped = Date.now();
  server.kill('SIGTERM');
  const end = await Promise.race([exited, new Promise((r) => setTimeout(() => r(null), 5000))]);
  check(end && end.code === 0, `SIGTERM ends serve with 0 (got ${JSON.stringify(end)})`);
  check(Date.now() - stopped < 1000, `serve stops within a second (took ${Date.now() - stopped} ms)`);
  if (!end) server.kill('SIGKILL');
  fs.rmSync(work, { recursive: true, force: true });
}
if (failures.length) {
  console.error(`serve's output:\n${output}\n${errors}`);
  console.error(`${failures.length} check(s) failed`);
  process.exit(1);
}
console.log('preview: all checks passed');
