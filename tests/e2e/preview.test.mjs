// orvana-cli serve in Chromium (headless, playwright-core):
//   node preview.test.mjs --cli PATH/orvana-cli --project PATH/project.orvana [--artifacts DIR]
// Serves a copy of the project, changes it with `orvana-cli set` and checks
// that the open page reloads by itself; that a failed build (a missing
// folder) shows its message over the last site; and that SIGTERM ends the
// server with 0 within a second.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { parseArgs } from 'node:util';

const { values: opts } = parseArgs({ options: { cli: { type: 'string' }, project: { type: 'string' },
                                                artifacts: { type: 'string' } } });
const artifacts = opts.artifacts || os.tmpdir();
const { chromium } = await import('playwright-core');
const failures = [];
const check = (ok, what) => { console.log(`${ok ? 'ok' : 'not ok'} - ${what}`); if (!ok) failures.push(what); };
const until = async (predicate, what) => {
  for (const end = Date.now() + 15_000; Date.now() < end; await new Promise((r) => setTimeout(r, 50)))
    if (await predicate().catch(() => false)) return check(true, what);
  check(false, what);
};

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'orvana-preview-'));
const project = path.join(work, 'site.orvana');
fs.copyFileSync(opts.project, project);
fs.mkdirSync(path.join(work, 'site'));
const set = (...args) => execFileSync(opts.cli, ['set', project, ...args]);
set('--out', path.join(work, 'site'), '--title', 'Первый');

const server = spawn(opts.cli, ['serve', project], { stdio: ['ignore', 'pipe', 'inherit'] });
let output = '';
server.stdout.on('data', (d) => { output += d; });
const exited = new Promise((resolve) => server.on('exit', (code) => resolve(code)));
const browser = await chromium.launch({ executablePath: process.env.ORVANA_E2E_CHROMIUM || '/usr/bin/chromium',
                                        args: ['--no-sandbox', '--disable-gpu'] });
try {
  await until(async () => output.includes('\n'), 'serve prints a line');
  const address = output.split('\n')[0];
  check(/^http:\/\/127\.0\.0\.1:\d+\/$/.test(address), `the first line is the address: ${address}`);
  const page = await browser.newPage();
  // Only the preview server: the advertising block's remote script is not fetched.
  await page.route((url) => !url.href.startsWith(address), (route) => route.abort());
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(address);
  check((await page.title()).startsWith('Первый'), 'the page reads in its charset');

  // A mark in the page's memory is gone once the page has loaded again.
  await page.evaluate(() => { window.mark = 1; });
  set('--title', 'Второй');
  await until(async () => (await page.title()).startsWith('Второй') && !(await page.evaluate(() => window.mark)),
              'the open page reloads by itself after the project changes');

  await page.evaluate(() => { window.mark = 2; });
  set('--out', path.join(work, 'missing'));
  await until(async () => (await page.locator('#orvana-preview-error').textContent()).includes('missing'),
              'a failed build shows its message over the page');
  check((await page.title()).startsWith('Второй') && await page.evaluate(() => window.mark === 2),
        'the last site stays under it');
  await page.screenshot({ path: path.join(artifacts, 'preview-error.png') });
  const late = await browser.newPage();
  await late.route((url) => !url.href.startsWith(address), (route) => route.abort());
  await late.goto(address);
  await until(async () => (await late.locator('#orvana-preview-error').count()) === 1, 'and over a page opened later');

  set('--out', path.join(work, 'site'), '--title', 'Третий');
  await until(async () => (await page.title()).startsWith('Третий') &&
                          (await page.locator('#orvana-preview-error').count()) === 0,
              'mending it reloads the page, without the message');
  check(!fs.readFileSync(path.join(work, 'site', 'index.html'), 'latin1').includes('<script>/* orvana'),
        'the reload script is not in the file');
  check(errors.length === 0, `no script errors ${errors}`);
} catch (e) {
  check(false, `ran through: ${e.stack}`);
} finally {
  await browser.close();
  const stopped = Date.now();
  server.kill('SIGTERM');
  const code = await Promise.race([exited, new Promise((r) => setTimeout(() => r('none'), 5000))]);
  check(code === 0 && Date.now() - stopped < 1000, `SIGTERM ends serve with 0 within a second (${code})`);
  if (code === 'none') server.kill('SIGKILL');
  fs.rmSync(work, { recursive: true, force: true });
}
process.exit(failures.length ? 1 : 0);
