// The list page in Firefox ESR, driven over WebDriver BiDi by puppeteer-core
// (Debian 12 has no geckodriver), as the window's Firefox checks are: each
// register of a table that list_page_test.py writes (with egn-digit's own
// output for it) is chosen as a file, or typed in as a pasted column, and
// checked; the summary must be the one given, and the file the page offers
// byte for byte egn-digit's. A case without a summary is only timed, from
// the click on Провери to the summary (bench/list_page.py).
//
// Usage: node list_page_firefox.js PAGE CASES_JSON   (puppeteer-core through
// NODE_PATH, Firefox with a writable HOME). Prints "ok firefox NAME" or
// "FAILED firefox NAME" for each case; exits 1 on a failure.
'use strict';
const fs = require('fs');
const puppeteer = require('puppeteer-core');

const LIMIT_MS = 120 * 1000;  // for one case: a page that never ends fails it

async function until(page, test) {
  const end = Date.now() + LIMIT_MS;
  for (;;) {
    const got = await page.evaluate(test);
    if (got) return got;
    if (Date.now() > end) throw new Error(`waited ${LIMIT_MS / 1000} s for ${test}`);
    await new Promise(resolve => setTimeout(resolve, 100));
  }
}

// Times the check inside the page, from the click on Провери to the summary
// written (a MutationObserver's callback runs at once after the change):
// not the driver's polling, which would add up to a poll's interval.
function timeInPage() {
  window.egnTook = null;
  const start = document.getElementById('start');
  start.addEventListener('click', () => {
    const clicked = performance.now();
    new MutationObserver((changes, observer) => {
      if (start.disabled || !document.getElementById('summary').textContent) return;
      window.egnTook = performance.now() - clicked;
      observer.disconnect();
    }).observe(document.getElementById('summary'), {childList: true, characterData: true,
                                                      subtree: true});
  }, {capture: true, once: true});
}

async function check(page, pageUrl, c) {
  await page.goto(pageUrl);
  if (c.path === null) {
    await page.focus('#pasted');
    await page.keyboard.type(c.pasted);
    await page.click('#column');  // the paste is over: its change
  } else {
    const input = await page.$('#file');
    await input.uploadFile(c.path);
  }
  await page.evaluate(column => { document.getElementById('column').value = column; }, c.column);
  await page.click(c.decode ? '#mode-decode' : '#mode-check');
  await page.evaluate(timeInPage);
  await page.click('#start');
  const said = await until(page, () => {
    const s = document.getElementById('summary').textContent;
    return !document.getElementById('start').disabled && s;
  });
  const took = Math.round(await page.evaluate(() => window.egnTook));
  if (c.summary === null) return took;  // timed alone, by bench/list_page.py
  if (said !== c.summary) throw new Error(`the summary: ${said}, not ${c.summary}`);
  const got = Buffer.from(await page.evaluate(() => new Promise(done => {
    const reader = new FileReader();
    reader.onload = () => done(reader.result.slice(reader.result.indexOf(',') + 1));
    reader.readAsDataURL(egnOutput);
  })), 'base64');
  const expected = fs.readFileSync(c.expected);
  if (!got.equals(expected)) {
    throw new Error(`the download (${got.length} bytes) differs from egn-digit's output` +
                    ` (${expected.length} bytes)`);
  }
  return took;
}

async function main() {
  const pageUrl = 'file://' + process.argv[2];
  const cases = JSON.parse(fs.readFileSync(process.argv[3], 'utf8'));
  let failed = 0;
  const browser = await puppeteer.launch(
      {browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: true});
  try {
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', e => errors.push(e.message));
    for (const c of cases) {
      errors.length = 0;
      try {
        const took = await check(page, pageUrl, c);
        if (errors.length) throw new Error(`uncaught: ${errors.join('; ')}`);
        console.log(`ok firefox ${c.name} ${took} ms`);
      } catch (e) {
        console.log(`FAILED firefox ${c.name}: ${e.message}`);
        ++failed;
      }
    }
  } finally {
    await browser.close();
  }
  process.exit(failed ? 1 : 0);
}

main().catch(e => {
  console.error(e);
  process.exit(1);
});
