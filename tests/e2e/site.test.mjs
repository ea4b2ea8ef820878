// End-to-end test of a generated site in a real browser.
//
//   node site.test.mjs --cli PATH/orvana-cli --project PATH/project.orvana
//                      [--artifacts DIR] [--seed N] [--text FILE] [--links FILE]
//
// Builds the project with `orvana-cli build` into a fresh folder and opens the
// pages in Chromium (driven by playwright-core) through file:// URLs, as a
// reader who opens the site from disk would. It checks what the reader gets:
// the page titles and the Cyrillic text as Cyrillic (the pages are
// Windows-1251 and the default template declares no charset, so the browser
// has to recognise the encoding itself), the site menu, the pagination bar of
// every page (walked with the next arrow from the first page to the last and
// back with the previous arrow), the links spread over the text, and the
// stylesheet.
//
// Then extras.mjs builds more sites from the example text (--text, --links)
// with the optional features turned on and walks them the same way.
//
// Screenshots of the first and a middle page, and of the modern preset at
// phone and desktop width, go to --artifacts; with ORVANA_E2E_SCREENSHOTS=1
// they are also copied into docs/site/ of the source tree. The browser is /usr/bin/chromium (ORVANA_E2E_CHROMIUM overrides it);
// tests/e2e/setup.sh installs it and playwright-core. A browser that cannot
// start fails the test.

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { checkExtras } from './extras.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const sourceRoot = path.resolve(here, '..', '..');

// --- Arguments ---------------------------------------------------------------

function parseArgs(argv) {
  const opts = {
    seed: '20240607', artifacts: null, cli: null, project: null,
    text: path.join(sourceRoot, 'examples', 'chronicle', 'text.txt'),
    links: path.join(sourceRoot, 'examples', 'chronicle', 'links.txt'),
  };
  for (let i = 0; i < argv.length; i += 2) {
    const key = argv[i].replace(/^--/, '');
    if (!(key in opts) || i + 1 >= argv.length) {
      fatal(`unknown or incomplete argument "${argv[i]}"\n` +
            'usage: node site.test.mjs --cli ORVANA_CLI --project PROJECT [--artifacts DIR] [--seed N] ' +
            '[--text FILE] [--links FILE]');
    }
    opts[key] = argv[i + 1];
  }
  if (!opts.cli || !opts.project) fatal('--cli and --project are required');
  return opts;
}

function fatal(message) {
  console.error(`FATAL: ${message}`);
  process.exit(1);
}

// --- Checks ----------------------------------------------------------------

let passed = 0;
const failures = [];

function check(condition, message) {
  if (condition) {
    passed++;
  } else {
    failures.push(message);
    console.error(`not ok - ${message}`);
  }
  return condition;
}

// A structural failure after which the rest of the walk makes no sense.
class Abort extends Error {}
function require_(condition, message) {
  if (!check(condition, message)) throw new Abort(message);
}

// --- Helpers ---------------------------------------------------------------

const decoder1251 = new TextDecoder('windows-1251');

function pageUrl(k) {
  return k === 0 ? 'index.html' : `page${k}.html`;
}
function pageTitle(k) {
  return k === 0 ? 'index' : `Раздел ${k}`;
}

function normaliseSpace(s) {
  return s.replace(/\s+/g, ' ').trim();
}

function decodeEntities(s) {
  return s
    .replace(/&#(\d+);/g, (_, d) => String.fromCodePoint(Number(d)))
    .replace(/&lt;/g, '<').replace(/&gt;/g, '>').replace(/&quot;/g, '"').replace(/&nbsp;/g, '\u00a0')
    .replace(/&amp;/g, '&');
}

// The main text of a page as its bytes say it should read when decoded as
// Windows-1251: everything between the content container's opening and the
// pagination bar, without tags.
function expectedMainText(fileBytes) {
  const html = decoder1251.decode(fileBytes);
  const start = html.indexOf('<div id="contentcontainer">');
  const end = html.indexOf('<div align="center">', start);
  if (start < 0 || end < 0) return null;
  const inner = html.slice(start + '<div id="contentcontainer">'.length, end);
  return normaliseSpace(decodeEntities(inner.replace(/<[^>]*>/g, '')));
}

// Letters that a Windows-1251 page decoded as Windows-1252 or Latin-1 is full
// of (Р -> Ð, с -> ñ, а -> à, ...), and the replacement character of a
// failed UTF-8 decoding.
const MOJIBAKE = /[\u00c0-\u00ff\ufffd]/;

function runCli(cli, args) {
  try {
    return execFileSync(cli, args, { encoding: 'utf8', timeout: 60_000, stdio: ['ignore', 'pipe', 'pipe'] });
  } catch (e) {
    const message = `${cli} ${args.join(' ')} failed (exit ${e.status}):\n${e.stderr || e.message}`;
    failures.push(message);
    console.error(`not ok - ${message}`);
    throw new Abort(message);
  }
}

async function loadPlaywright() {
  try {
    return await import('playwright-core');
  } catch (e) {
    fatal(`playwright-core is not installed next to this test (${e.message}); run tests/e2e/setup.sh`);
  }
}

// --- The test --------------------------------------------------------------

async function main() {
  const opts = parseArgs(process.argv.slice(2));
  const cli = path.resolve(opts.cli);
  const project = path.resolve(opts.project);
  if (!fs.existsSync(cli)) fatal(`no orvana-cli at ${cli}`);
  if (!fs.existsSync(project)) fatal(`no project at ${project}`);
  const artifacts = path.resolve(opts.artifacts || path.join(os.tmpdir(), 'orvana-e2e-artifacts'));
  fs.mkdirSync(artifacts, { recursive: true });

  const { chromium } = await loadPlaywright();
  const executablePath = process.env.ORVANA_E2E_CHROMIUM || '/usr/bin/chromium';
  if (!fs.existsSync(executablePath)) {
    fatal(`no Chromium at ${executablePath}; run tests/e2e/setup.sh (it installs Debian's chromium)`);
  }

  // The project as the tool reads it: title and link addresses.
  const shown = JSON.parse(runCli(cli, ['show', project, '--json']));
  const siteTitle = shown.SiteTitle;
  const addresses = shown.SiteUrlsToLink;
  require_(typeof siteTitle === 'string', 'show --json gives SiteTitle as a string');
  require_(Array.isArray(addresses) && addresses.length > 0, 'the project lists link addresses');
  require_(Array.isArray(shown.SiteText) && shown.SiteText.some((l) => /[А-яЁё]/.test(l)),
           'the project text holds Cyrillic');
  const addressSet = new Set(addresses);

  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'orvana-e2e-'));
  const out = path.join(work, 'site');
  fs.mkdirSync(out);
  const profile = path.join(work, 'profile');
  let browser = null;
  try {
    const summary = runCli(cli, ['build', project, '--out', out, '--seed', opts.seed]);
    check(summary.trim().split('\n').length === 1, `build prints one summary line (got: ${JSON.stringify(summary)})`);

    // Exactly the site's files, numbered without gaps, and nothing else.
    const files = fs.readdirSync(out).sort();
    const pageCount = files.filter((f) => /^(index|page\d+)\.html$/.test(f)).length;
    require_(pageCount >= 3, `the example site has at least 3 pages (got ${pageCount})`);
    const expectedFiles = [...Array.from({ length: pageCount }, (_, k) => pageUrl(k)), 'style.css'].sort();
    require_(JSON.stringify(files) === JSON.stringify(expectedFiles),
             `the output folder holds exactly index.html, page1.html .. page${pageCount - 1}.html and style.css ` +
             `(got ${files.join(', ')})`);
    console.log(`# built ${pageCount} pages: ${summary.trim()}`);

    try {
      browser = await chromium.launchPersistentContext(profile, {
        executablePath,
        headless: true,
        timeout: 30_000,
        viewport: { width: 1024, height: 768 },
        args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
               '--disable-sync', '--no-first-run', '--disable-quic'],
      });
    } catch (e) {
      const message = `FATAL: Chromium (${executablePath}) could not be started: ${e.message}`;
      console.error(message);
      failures.push(message);
      throw new Abort(message);
    }
    // The pages are opened from disk; nothing may go out to the network (the
    // advertising block loads a remote script).
    const blocked = [];
    await browser.route(/^(?!file:)/, (route) => {
      blocked.push(route.request().url());
      return route.abort();
    });
    const page = browser.pages()[0] || (await browser.newPage());
    page.setDefaultTimeout(15_000);
    const pageErrors = [];
    page.on('pageerror', (e) => pageErrors.push(e.message));

    const siteUrl = (k) => pathToFileURL(path.join(out, pageUrl(k))).href;
    const charsets = new Set();
    let textLinks = 0;

    // Everything the reader of page k should find, checked on the open page.
    async function checkPage(k, direction) {
      const where = `${pageUrl(k)} (${direction})`;
      require_(page.url() === siteUrl(k), `${where}: the browser shows ${pageUrl(k)} (it shows ${page.url()})`);
      const facts = await page.evaluate(() => {
        const bar = document.querySelector('#contentcontainer div[align="center"]');
        const nodes = [];
        if (bar) {
          for (const n of bar.childNodes) {
            if (n.nodeType === Node.TEXT_NODE) nodes.push({ text: n.textContent });
            else nodes.push({ tag: n.tagName, text: n.textContent, href: n.getAttribute('href') });
          }
        }
        const container = document.querySelector('#contentcontainer');
        const textAnchors = [...(container ? container.querySelectorAll('a') : [])]
          .filter((a) => !bar || !bar.contains(a))
          .map((a) => ({ href: a.getAttribute('href'), text: a.textContent }));
        let mainText = '';
        if (container) {
          const copy = container.cloneNode(true);
          copy.querySelector('div[align="center"]')?.remove();
          mainText = copy.textContent;
        }
        return {
          title: document.title,
          charset: document.characterSet,
          bodyText: document.body.innerText,
          mainText,
          barNodes: nodes,
          menu: [...document.querySelectorAll('#leftnavigation .block ul li a')]
            .map((a) => ({ href: a.getAttribute('href'), text: a.textContent })),
          menuHeading: document.querySelector('#leftnavigation .cat')?.textContent,
          textAnchors,
          containerBackground: container ? getComputedStyle(container).backgroundColor : null,
          bodyWidth: getComputedStyle(document.body).width,
        };
      });

      // Encoding: the reader sees the Cyrillic of the page's bytes.
      charsets.add(facts.charset);
      check(facts.charset === 'windows-1251',
            `${where}: Chromium decodes the page as windows-1251 (document.characterSet is ${facts.charset})`);
      check(facts.title === `${siteTitle} - ${pageTitle(k)}`,
            `${where}: the title reads "${siteTitle} - ${pageTitle(k)}" (got "${facts.title}")`);
      check(facts.menuHeading === 'Разделы', `${where}: the menu heading reads "Разделы" (got "${facts.menuHeading}")`);
      check(!MOJIBAKE.test(facts.bodyText),
            `${where}: the page text holds no mojibake (found "${(facts.bodyText.match(MOJIBAKE) || [''])[0]}")`);
      const expected = expectedMainText(fs.readFileSync(path.join(out, pageUrl(k))));
      const shownText = normaliseSpace(facts.mainText);
      let differ = 0;
      while (expected && differ < expected.length && expected[differ] === shownText[differ]) differ++;
      check(expected !== null && expected.length > 0 && shownText === expected,
            `${where}: the main text reads as the page's Windows-1251 bytes say (from character ${differ} ` +
            `expected "${(expected || '').slice(differ, differ + 60)}", shown "${shownText.slice(differ, differ + 60)}")`);
      const cyrillic = (shownText.match(/[А-яЁё]/g) || []).length;
      check(cyrillic > shownText.length / 2,
            `${where}: the main text is mostly Cyrillic letters (${cyrillic} of ${shownText.length})`);
      if (k === 0) {
        const firstLine = shown.SiteText.find((l) => l.trim() !== '');
        const opening = normaliseSpace(firstLine).split(' ').slice(0, 6).join(' ');
        check(facts.bodyText.includes(opening) || normaliseSpace(facts.bodyText).includes(opening),
              `${where}: the first page shows the opening words of the site text "${opening}"`);
      }

      // Stylesheet: rules of the default style.css are applied.
      check(facts.containerBackground === 'rgb(218, 231, 243)',
            `${where}: #contentcontainer has the stylesheet's background (got ${facts.containerBackground})`);
      check(facts.bodyWidth === '776px', `${where}: body is 776px wide as style.css says (got ${facts.bodyWidth})`);

      // Site menu: one entry per page, in page order, each to a written file.
      check(facts.menu.length === pageCount, `${where}: the menu lists ${pageCount} pages (got ${facts.menu.length})`);
      facts.menu.forEach((entry, i) => {
        check(entry.href === pageUrl(i) && entry.text === pageTitle(i),
              `${where}: menu entry ${i} is "${pageTitle(i)}" -> ${pageUrl(i)} (got "${entry.text}" -> ${entry.href})`);
        check(resolvesToFile(entry.href, k), `${where}: menu link ${entry.href} leads to a written file`);
      });

      // Pagination bar: previous arrow, every number, next arrow.
      const bar = facts.barNodes;
      require_(bar.length > 0, `${where}: the page has a pagination bar`);
      const anchors = bar.filter((n) => n.tag === 'A');
      check(bar.every((n) => !n.tag || n.tag === 'A'), `${where}: the bar holds only text and links`);
      const prev = anchors.filter((a) => a.text.trim() === '<<<');
      const next = anchors.filter((a) => a.text.trim() === '>>>');
      const plainText = bar.filter((n) => !n.tag).map((n) => n.text).join(' ');
      const barText = normaliseSpace(bar.map((n) => n.text).join(''));
      check(barText.startsWith('<<<') && barText.endsWith('>>>'),
            `${where}: the bar runs from <<< to >>> (got "${barText.slice(0, 30)} ... ${barText.slice(-30)}")`);
      if (k === 0) {
        check(prev.length === 0 && plainText.includes('<<<'),
              `${where}: on the first page the previous arrow is plain text, not a link`);
      } else {
        check(prev.length === 1 && prev[0].href === pageUrl(k - 1) && bar[0].tag === 'A',
              `${where}: the previous arrow leads to ${pageUrl(k - 1)} (got ${prev.map((a) => a.href)})`);
      }
      if (k === pageCount - 1) {
        check(next.length === 0 && plainText.includes('>>>'),
              `${where}: on the last page the next arrow is plain text, not a link`);
      } else {
        check(next.length === 1 && next[0].href === pageUrl(k + 1) && bar[bar.length - 1].tag === 'A',
              `${where}: the next arrow leads to ${pageUrl(k + 1)} (got ${next.map((a) => a.href)})`);
      }
      const numberLinks = anchors.filter((a) => /^\d+$/.test(a.text));
      const expectedNumbers = Array.from({ length: pageCount }, (_, i) => i).filter((i) => i !== k);
      check(JSON.stringify(numberLinks.map((a) => Number(a.text))) === JSON.stringify(expectedNumbers),
            `${where}: every page number but ${k} is a link, in order (got ${numberLinks.map((a) => a.text)})`);
      numberLinks.forEach((a) => {
        check(a.href === pageUrl(Number(a.text)), `${where}: number ${a.text} leads to ${pageUrl(Number(a.text))} (got ${a.href})`);
      });
      check(anchors.length === numberLinks.length + prev.length + next.length,
            `${where}: the bar has no links but the arrows and the numbers`);
      const unlinkedNumbers = plainText.match(/\d+/g) || [];
      check(JSON.stringify(unlinkedNumbers) === JSON.stringify([String(k)]),
            `${where}: ${k}, the page's own number, is the only number without a link (got ${unlinkedNumbers})`);
      for (const a of anchors) {
        check(resolvesToFile(a.href, k), `${where}: bar link ${a.href} leads to a written file`);
      }

      // Links spread over the text lead to the project's addresses.
      for (const a of facts.textAnchors) {
        check(addressSet.has(a.href), `${where}: text link "${a.text}" leads to one of the project's addresses (got ${a.href})`);
      }
      return facts.textAnchors.length;
    }

    function resolvesToFile(href, k) {
      if (href === null) return false;
      const target = new URL(href, siteUrl(k));
      return target.protocol === 'file:' && fs.existsSync(fileURLToPath(target)) &&
             fs.statSync(fileURLToPath(target)).isFile();
    }

    // Follows the arrow with the given text and waits for the next page.
    async function follow(arrow) {
      const link = page.locator('#contentcontainer div[align="center"] a', { hasText: arrow });
      require_((await link.count()) === 1, `${page.url()}: exactly one "${arrow}" link`);
      await Promise.all([page.waitForEvent('load'), link.click()]);
    }

    // Forward: first page to last with the next arrow.
    await page.goto(siteUrl(0), { waitUntil: 'load' });
    const middle = Math.floor(pageCount / 2);
    for (let k = 0; ; k++) {
      textLinks += await checkPage(k, 'forward');
      if (k === 0 || k === middle) {
        const name = k === 0 ? 'first-page.png' : 'middle-page.png';
        await page.screenshot({ path: path.join(artifacts, name), fullPage: true });
      }
      if (k === pageCount - 1) break;
      await follow('>>>');
    }
    // Back: last page to the first with the previous arrow.
    for (let k = pageCount - 1; k > 0; k--) {
      await follow('<<<');
      await checkPage(k - 1, 'back');
    }
    require_(page.url() === siteUrl(0), 'the walk back ends on index.html');

    check(textLinks > 0, `the text carries at least one link to the project's addresses (found ${textLinks})`);
    check(pageErrors.length === 0, `no script errors on the pages (got ${pageErrors.join('; ')})`);
    console.log(`# Chromium's document.characterSet on the pages: ${[...charsets].join(', ')}`);
    console.log(`# ${textLinks} links in the text; requests kept off the network: ${blocked.length}`);

    const shots = ['first-page.png', 'middle-page.png'];
    shots.push(...(await checkExtras({
      check, require_, runCli, cli, browser, work, seed: opts.seed, artifacts,
      text: path.resolve(opts.text), links: path.resolve(opts.links),
    })));

    if (process.env.ORVANA_E2E_SCREENSHOTS === '1') {
      const docs = path.join(sourceRoot, 'docs', 'site');
      fs.mkdirSync(docs, { recursive: true });
      for (const name of shots) {
        fs.copyFileSync(path.join(artifacts, name), path.join(docs, name));
      }
      console.log(`# screenshots copied to ${docs}`);
    }
  } catch (e) {
    if (!(e instanceof Abort)) {
      failures.push(`unexpected error: ${e.stack || e}`);
      console.error(`not ok - unexpected error: ${e.stack || e}`);
    }
  } finally {
    if (browser) await browser.close().catch(() => {});
    fs.rmSync(work, { recursive: true, force: true });
  }

  console.log(`# screenshots in ${artifacts}`);
  console.log(`${passed} passed, ${failures.length} failed`);
  process.exit(failures.length === 0 ? 0 : 1);
}

const watchdog = setTimeout(() => fatal('the end-to-end test took longer than 120 s'), 120_000);
watchdog.unref();
main().catch((e) => fatal(e instanceof Abort ? e.message : e.stack || String(e)));
