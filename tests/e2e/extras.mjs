// The optional site features in Chromium: sites built from the example text
// with `orvana-cli new` options and `orvana-cli build --seed`, read by the
// browser as a visitor would.
//
//   windowed  default template in Windows-1251, many short pages, a windowed
//             pagination bar (--pager-window 2) and menu (--menu-window 1),
//             own page word and first-page label, safe links with rel, a
//             text carrying its own tags and links, sitemap.xml
//   utf8      default template written in UTF-8 (the charset meta is added)
//   modern    the modern preset (windowed bar, safe links, UTF-8), read at
//             390 px and at desktop width, sitemap.xml under an address
//             without a trailing slash
//
// Every site is walked forward with ">>>" from the first page to the last
// and back with "<<<"; on every page the bar and the menu must be exactly the
// windowed ones, every link in them must lead to a written page, and "…" must
// never be a link.

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const pageUrl = (k) => (k === 0 ? 'index.html' : `page${k}.html`);
const normaliseSpace = (s) => s.replace(/\s+/g, ' ').trim();
const WORD_CHAR = /[\p{L}\p{N}]/u;
const WHOLE_WORD = /^[\p{L}\p{N}]+$/u;
const ELLIPSIS = '\u2026';

// The numbers a windowed list shows on page k of n: the first and the last
// page, those within `window` of k, and a lone hidden number between them; a
// longer run of hidden numbers is one null (shown as "…").
export function windowedEntries(n, k, window) {
  if (window <= 0) return Array.from({ length: n }, (_, i) => i);
  const shown = (i) => i === 0 || i === n - 1 || Math.abs(i - k) <= window;
  const entries = [];
  for (let i = 0; i < n;) {
    if (shown(i)) {
      entries.push(i++);
      continue;
    }
    let end = i;
    while (end < n && !shown(end)) end++;
    if (end - i === 1) entries.push(i);
    else entries.push(null);
    i = end;
  }
  return entries;
}

// Where each template keeps the bar, the menu and the text.
const LAYOUTS = {
  classic: {
    bar: '#contentcontainer div[align="center"]',
    menu: '#leftnavigation .block ul',
    main: '#contentcontainer',
  },
  modern: { bar: 'nav.pager', menu: 'nav.menu ul', main: 'main' },
};

// A text with markup of its own: tags with attributes holding words of the
// text, and links already there, so that a link placed on a word has chances
// to land where it must not.
function markedUpText(source) {
  const paragraphs = fs.readFileSync(source, 'utf8').split('\n');
  let k = 0;
  return paragraphs
    .map((line) => {
      if (line.trim() === '') return line;
      k++;
      if (k % 3 === 1) {
        return `${line} <span title="Городок мельница паром река">Ключи</span> и ` +
          '<a href="https://example.net/own">мельница</a>.';
      }
      if (k % 3 === 2) return `<b>${line}</b>`;
      return line;
    })
    .join('\n');
}

export async function checkExtras(t) {
  const { check, require_, runCli, cli, browser, work, seed, text, links, artifacts } = t;

  // Link addresses: the example's own and enough more that every page of
  // the many-page site gets a quota of links.
  const ownLinks = fs.readFileSync(links, 'utf8').split('\n').filter((l) => l.trim() !== '');
  const manyLinks = [...ownLinks];
  for (let i = 1; manyLinks.length < 80; i++) manyLinks.push(`https://example.org/topic/${i}`);
  const manyLinksFile = path.join(work, 'many-links.txt');
  fs.writeFileSync(manyLinksFile, manyLinks.join('\n') + '\n');
  const markedUpFile = path.join(work, 'marked-up.txt');
  fs.writeFileSync(markedUpFile, markedUpText(text));

  const sites = [
    {
      name: 'windowed',
      layout: LAYOUTS.classic,
      options: ['--text', markedUpFile, '--links', manyLinksFile, '--min', '800', '--max', '1200',
                '--pager-window', '2', '--menu-window', '1', '--page-word', 'Глава', '--index-label', 'Начало',
                '--safe-links', '--link-rel', 'nofollow', '--site-url', 'https://example.org/chronicle/'],
      pagerWindow: 2, menuWindow: 1, pageWord: 'Глава', indexLabel: 'Начало', linkRel: 'nofollow',
      safeLinks: true, charset: 'windows-1251', siteUrl: 'https://example.org/chronicle/',
      ownLink: { href: 'https://example.net/own', text: 'мельница' },
    },
    {
      name: 'utf8',
      layout: LAYOUTS.classic,
      options: ['--text', text, '--links', links, '--output-encoding', 'utf-8'],
      pagerWindow: 0, menuWindow: 0, pageWord: 'Раздел', indexLabel: 'index', linkRel: null,
      safeLinks: false, charset: 'UTF-8', siteUrl: null,
    },
    {
      name: 'modern',
      layout: LAYOUTS.modern,
      options: ['--preset', 'modern', '--text', text, '--links', links, '--site-url', 'https://example.org/chronicle'],
      pagerWindow: 2, menuWindow: 0, pageWord: 'Раздел', indexLabel: 'index', linkRel: null,
      safeLinks: true, charset: 'UTF-8', siteUrl: 'https://example.org/chronicle/', modern: true,
    },
  ];

  for (const site of sites) {
    const project = path.join(work, `${site.name}.orvana`);
    site.out = path.join(work, `${site.name}-site`);
    fs.mkdirSync(site.out);
    runCli(cli, ['new', project, '--title', 'Хроника Верхних Ключей', ...site.options]);
    const shown = JSON.parse(runCli(cli, ['show', project, '--json']));
    site.siteTitle = shown.SiteTitle;
    site.projectText = shown.SiteText;
    site.addresses = new Set(shown.SiteUrlsToLink);
    const summary = runCli(cli, ['build', project, '--out', site.out, '--seed', seed]);
    const files = fs.readdirSync(site.out);
    site.pageCount = files.filter((f) => /^(index|page\d+)\.html$/.test(f)).length;
    site.linksPlaced = Number((/(\d+) links placed/.exec(summary) || [])[1]);
    console.log(`# ${site.name}: ${summary.trim()}`);
    const expectedFiles = [...Array.from({ length: site.pageCount }, (_, k) => pageUrl(k)), 'style.css',
                           ...(site.siteUrl ? ['sitemap.xml'] : [])].sort();
    check(JSON.stringify(files.sort()) === JSON.stringify(expectedFiles),
          `${site.name}: the output folder holds exactly the pages, style.css` +
          `${site.siteUrl ? ' and sitemap.xml' : ''} (got ${files.join(', ')})`);
  }
  const windowed = sites[0];
  require_(windowed.pageCount >= 2 * (windowed.pagerWindow + 1) + 4,
           `windowed: the site has pages enough to hide numbers on both sides (got ${windowed.pageCount})`);

  const page = await browser.newPage();
  page.setDefaultTimeout(15_000);
  const failedRequests = [];
  const pageErrors = [];
  page.on('requestfailed', (r) => failedRequests.push(`${r.url()} (${r.failure()?.errorText})`));
  page.on('pageerror', (e) => pageErrors.push(e.message));

  // The default template asks for images the site does not hold and for the
  // advertising script; the modern preset must ask for nothing missing.
  for (const site of sites) {
    failedRequests.length = 0;
    await walkSite(t, page, site);
    if (site.siteUrl) await checkSitemap(t, page, site);
  }

  // The modern preset on a phone and on a desktop: every page at 390 px
  // without sideways scrolling and with readable text.
  const modern = sites[2];
  for (const [width, height, shot] of [[390, 844, 'modern-phone.png'], [1280, 900, 'modern-desktop.png']]) {
    await page.setViewportSize({ width, height });
    for (let k = 0; k < modern.pageCount; k++) {
      const where = `modern ${pageUrl(k)} at ${width} px`;
      await page.goto(pathToFileURL(path.join(modern.out, pageUrl(k))).href, { waitUntil: 'load' });
      const f = await page.evaluate(() => {
        const se = document.scrollingElement;
        const px = (el) => (el ? parseFloat(getComputedStyle(el).fontSize) : 0);
        const paragraphs = [...document.querySelectorAll('main p')];
        return {
          scrollWidth: se.scrollWidth,
          clientWidth: se.clientWidth,
          bodyFont: px(document.body),
          smallestParagraph: paragraphs.length ? Math.min(...paragraphs.map(px)) : 0,
          paragraphs: paragraphs.length,
          lang: document.documentElement.lang,
          doctype: document.doctype ? document.doctype.name : null,
          publicId: document.doctype ? document.doctype.publicId : null,
          viewport: document.querySelector('meta[name="viewport"]')?.content || null,
          nav: document.querySelectorAll('nav').length,
          main: document.querySelectorAll('main').length,
          remoteScripts: [...document.scripts].filter((s) => s.src && !s.src.startsWith('file:')).map((s) => s.src),
          brokenImages: [...document.images].filter((i) => !i.complete || i.naturalWidth === 0).map((i) => i.src),
        };
      });
      check(f.scrollWidth <= f.clientWidth,
            `${where}: no horizontal scrolling (scrollWidth ${f.scrollWidth}, clientWidth ${f.clientWidth})`);
      check(f.paragraphs > 0 && f.smallestParagraph >= 16 && f.bodyFont >= 16,
            `${where}: the body text is at least 16 px (body ${f.bodyFont} px, smallest of ${f.paragraphs} ` +
            `paragraphs ${f.smallestParagraph} px)`);
      if (width === 390) {
        check(f.doctype === 'html' && f.publicId === '', `${where}: an HTML5 doctype (got ${f.doctype} "${f.publicId}")`);
        check(f.lang !== '', `${where}: <html> names its language`);
        check(f.viewport !== null && /width=device-width/.test(f.viewport),
              `${where}: a viewport meta with width=device-width (got ${f.viewport})`);
        check(f.nav >= 2 && f.main === 1, `${where}: <nav> for the menu and the bar, one <main> (got ${f.nav}, ${f.main})`);
        check(f.remoteScripts.length === 0, `${where}: no remote script (got ${f.remoteScripts})`);
        check(f.brokenImages.length === 0, `${where}: no missing image (got ${f.brokenImages})`);
      }
      if (k === Math.min(1, modern.pageCount - 1)) {
        await page.screenshot({ path: path.join(artifacts, shot) });
      }
    }
  }
  check(failedRequests.length === 0,
        `modern: no failed request (got ${failedRequests.length}: ${[...new Set(failedRequests)].join('; ')})`);
  check(pageErrors.length === 0, `no script errors on the extras' sites (got ${pageErrors.join('; ')})`);
  await page.close();
  return ['modern-phone.png', 'modern-desktop.png'];
}

async function walkSite(t, page, site) {
  const { check, require_ } = t;
  const n = site.pageCount;
  const url = (k) => pathToFileURL(path.join(site.out, pageUrl(k))).href;
  const label = (k) => (k === 0 ? site.indexLabel : `${site.pageWord} ${k}`);
  const shownText = new Array(n).fill('');
  let safeLinks = 0;

  function leadsToPage(href, i) {
    if (href !== pageUrl(i)) return false;
    const target = fileURLToPath(new URL(href, url(0)));
    return fs.existsSync(target) && fs.statSync(target).isFile();
  }

  async function checkPage(k, direction) {
    const where = `${site.name} ${pageUrl(k)} (${direction})`;
    require_(page.url() === url(k), `${where}: the browser shows ${pageUrl(k)} (it shows ${page.url()})`);
    const f = await page.evaluate(({ layout, addresses }) => {
      const bar = document.querySelector(layout.bar);
      const barTokens = [];
      for (const node of bar ? bar.childNodes : []) {
        if (node.nodeType === Node.TEXT_NODE) {
          for (const word of node.textContent.split(/\s+/)) if (word) barTokens.push({ text: word });
        } else {
          barTokens.push({ tag: node.tagName, text: node.textContent.trim(), href: node.getAttribute('href') });
        }
      }
      const menu = [...(document.querySelector(layout.menu)?.children || [])].map((li) => {
        const links = li.querySelectorAll('a');
        return links.length === 1 ? { text: links[0].textContent, href: links[0].getAttribute('href') }
          : { text: li.textContent, links: links.length };
      });
      const main = document.querySelector(layout.main);
      const copy = main ? main.cloneNode(true) : null;
      if (copy && copy.querySelector(layout.bar)) copy.querySelector(layout.bar).remove();
      // Paragraphs follow one another without blanks; the reader sees a break.
      if (copy) for (const p of copy.querySelectorAll('p')) p.append(' ');
      const sideChar = (node, before) => {
        while (node) {
          const s = node.textContent;
          if (s.length) return before ? s[s.length - 1] : s[0];
          node = before ? node.previousSibling : node.nextSibling;
        }
        return '';
      };
      const inserted = [...(main ? main.querySelectorAll('a') : [])]
        .filter((a) => (!bar || !bar.contains(a)) && addresses.includes(a.getAttribute('href')))
        .map((a) => ({
          href: a.getAttribute('href'), text: a.textContent, rel: a.getAttribute('rel'),
          children: a.children.length, nested: a.parentElement.closest('a') !== null,
          before: sideChar(a.previousSibling, true), after: sideChar(a.nextSibling, false),
        }));
      const own = [...(main ? main.querySelectorAll('a') : [])]
        .filter((a) => !addresses.includes(a.getAttribute('href')) && (!bar || !bar.contains(a)) &&
                       !/^(index|page\d+)\.html$/.test(a.getAttribute('href')))
        .map((a) => ({ href: a.getAttribute('href'), text: a.textContent, children: a.children.length }));
      return {
        title: document.title,
        charset: document.characterSet,
        metaCharset: document.querySelector('meta[charset]')?.getAttribute('charset') || null,
        barTokens,
        menu,
        mainText: copy ? copy.textContent : '',
        inserted,
        own,
        titles: [...document.querySelectorAll('[title]')].map((e) => e.getAttribute('title')),
        ellipsisLinks: [...document.querySelectorAll('a')].filter((a) => a.textContent.includes('\u2026')).length,
      };
    }, { layout: site.layout, addresses: [...site.addresses] });

    check(f.charset === site.charset, `${where}: Chromium reads the page as ${site.charset} (got ${f.charset})`);
    check(f.title === `${site.siteTitle} - ${label(k)}`,
          `${where}: the title reads "${site.siteTitle} - ${label(k)}" (got "${f.title}")`);
    if (site.charset === 'UTF-8') {
      check(f.metaCharset !== null && f.metaCharset.toLowerCase() === 'utf-8',
            `${where}: the page declares <meta charset="utf-8"> (got ${f.metaCharset})`);
    }
    shownText[k] = f.mainText;

    // The bar: "<<<", the windowed numbers with "…" for the gaps, ">>>".
    const expectedBar = [{ text: '<<<', link: k > 0 ? pageUrl(k - 1) : null }];
    for (const i of windowedEntries(n, k, site.pagerWindow)) {
      if (i === null) expectedBar.push({ text: ELLIPSIS, link: null });
      else expectedBar.push({ text: String(i), link: i === k ? null : pageUrl(i) });
    }
    expectedBar.push({ text: '>>>', link: k < n - 1 ? pageUrl(k + 1) : null });
    const gotBar = f.barTokens.map((b) => ({ text: b.text, link: b.tag === 'A' ? b.href : null }));
    const show = (list) => list.map((b) => (b.link ? `[${b.text}]` : b.text)).join(' ');
    check(JSON.stringify(gotBar) === JSON.stringify(expectedBar),
          `${where}: the bar reads "${show(expectedBar)}" (got "${show(gotBar)}")`);
    for (const b of f.barTokens.filter((x) => x.tag === 'A')) {
      const target = b.text === '<<<' ? k - 1 : b.text === '>>>' ? k + 1 : Number(b.text);
      check(leadsToPage(b.href, target), `${where}: bar link "${b.text}" leads to the written ${pageUrl(target)} (got ${b.href})`);
    }

    // The menu: index, the windowed pages and the last, one plain "…" per gap.
    const expectedMenu = windowedEntries(n, k, site.menuWindow)
      .map((i) => (i === null ? { text: ELLIPSIS, links: 0 } : { text: label(i), href: pageUrl(i) }));
    check(JSON.stringify(f.menu) === JSON.stringify(expectedMenu),
          `${where}: the menu reads ${JSON.stringify(expectedMenu.map((e) => e.text))} ` +
          `(got ${JSON.stringify(f.menu.map((e) => (e.href ? e.text : `${e.text} (${e.links} links)`)))})`);
    f.menu.forEach((e, i) => {
      const target = expectedMenu[i] && expectedMenu[i].href ? windowedEntries(n, k, site.menuWindow)[i] : null;
      if (e.href !== undefined && target !== null) {
        check(leadsToPage(e.href, target), `${where}: menu link "${e.text}" leads to the written ${pageUrl(target)}`);
      }
    });
    check(f.ellipsisLinks === 0, `${where}: "…" is never a link (found ${f.ellipsisLinks})`);

    // Safe links: each inserted link holds one whole word of plain text.
    if (site.safeLinks) {
      const seen = new Set();
      if (direction === 'forward') safeLinks += f.inserted.length;
      for (const a of f.inserted) {
        check(WHOLE_WORD.test(a.text) && a.children === 0 && !a.nested,
              `${where}: the link to ${a.href} holds one whole word of plain text (got "${a.text}")`);
        check(!WORD_CHAR.test(a.before) && !WORD_CHAR.test(a.after),
              `${where}: the link "${a.text}" is not part of a longer word (got "${a.before}|${a.text}|${a.after}")`);
        check(!seen.has(a.href), `${where}: ${a.href} is linked at most once on the page`);
        seen.add(a.href);
      }
    }
    for (const a of f.inserted) {
      check(a.rel === site.linkRel, `${where}: the link "${a.text}" has rel ${site.linkRel} (got ${a.rel})`);
    }
    if (site.ownLink) {
      for (const a of f.own) {
        check(a.href === site.ownLink.href && a.text === site.ownLink.text && a.children === 0,
              `${where}: the text's own link stays as written (got "${a.text}" -> ${a.href})`);
      }
      for (const title of f.titles) {
        check(title === 'Городок мельница паром река', `${where}: attributes in the text stay as written (got "${title}")`);
      }
    }
  }

  async function follow(arrow) {
    const link = page.locator(`${site.layout.bar} a`, { hasText: arrow });
    require_((await link.count()) === 1, `${site.name} ${page.url()}: exactly one "${arrow}" link`);
    await Promise.all([page.waitForEvent('load'), link.click()]);
  }

  await page.goto(url(0), { waitUntil: 'load' });
  for (let k = 0; ; k++) {
    await checkPage(k, 'forward');
    if (k === n - 1) break;
    await follow('>>>');
  }
  for (let k = n - 1; k > 0; k--) {
    await follow('<<<');
    await checkPage(k - 1, 'back');
  }
  require_(page.url() === url(0), `${site.name}: the walk back ends on index.html`);

  if (site.safeLinks) {
    check(safeLinks > 0 && safeLinks === site.linksPlaced,
          `${site.name}: each of the ${site.linksPlaced} links the build placed is on a word (found ${safeLinks})`);
  }
  // What the visitor reads, page after page, is the project's text.
  if (site.charset === 'UTF-8') {
    const read = normaliseSpace(shownText.join(' '));
    const expected = normaliseSpace(site.projectText.join(' '));
    let d = 0;
    while (d < expected.length && expected[d] === read[d]) d++;
    check(read === expected && /[А-яЁё]/.test(read),
          `${site.name}: the pages read as the project's text (from character ${d} expected ` +
          `"${expected.slice(d, d + 60)}", shown "${read.slice(d, d + 60)}")`);
  }
  console.log(`# ${site.name}: walked ${n} pages both ways; ${safeLinks} links on words`);
}

// sitemap.xml parsed by the browser as XML: a urlset of the sitemap
// protocol listing index.html and every page under the site's address.
async function checkSitemap(t, page, site) {
  const { check } = t;
  const xml = fs.readFileSync(path.join(site.out, 'sitemap.xml'), 'utf8');
  const f = await page.evaluate((source) => {
    const doc = new DOMParser().parseFromString(source, 'application/xml');
    const root = doc.documentElement;
    return {
      error: doc.getElementsByTagName('parsererror').length > 0 ? doc.getElementsByTagName('parsererror')[0].textContent : null,
      root: root.localName,
      ns: root.namespaceURI,
      urls: [...root.children].map((u) => ({
        name: u.localName,
        locs: [...u.children].filter((c) => c.localName === 'loc').map((c) => c.textContent.trim()),
      })),
    };
  }, xml);
  check(f.error === null, `${site.name}: sitemap.xml is well-formed XML (parser: ${f.error})`);
  check(f.root === 'urlset' && f.ns === 'http://www.sitemaps.org/schemas/sitemap/0.9',
        `${site.name}: sitemap.xml is a urlset of the sitemap protocol (got ${f.root} in ${f.ns})`);
  const expected = Array.from({ length: site.pageCount }, (_, k) => `${site.siteUrl}${pageUrl(k)}`);
  const got = f.urls.map((u) => (u.name === 'url' && u.locs.length === 1 ? u.locs[0] : `<${u.name}> ${u.locs}`));
  check(JSON.stringify(got) === JSON.stringify(expected),
        `${site.name}: sitemap.xml lists ${expected[0]} .. ${expected[expected.length - 1]} (got ${got.join(', ')})`);
}
