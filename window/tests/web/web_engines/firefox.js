// The window's page in Firefox ESR, driven over WebDriver BiDi by
// puppeteer-core (Debian 12 has no geckodriver), held to the same table as
// the other engines: expectations.py, read here as JSON.
//
// Usage: node firefox.js BUILD_DIR   (puppeteer-core found through NODE_PATH,
// as tools/check-web.sh installs it with npm ci from package-lock.json).
// Firefox wants a writable HOME. Prints "N passed, N failed" last; exits 1 on
// a failure.
'use strict';
const {execFileSync} = require('child_process');
const path = require('path');
const puppeteer = require('puppeteer-core');

const ENGINE = 'firefox';
const LIMIT_S = 30;  // for one check, so that a page that never starts fails the check
const build = path.resolve(process.argv[2] || 'out/web');
const E = JSON.parse(execFileSync(
    '/usr/bin/python3', [path.join(__dirname, 'expectations.py'), build], {encoding: 'utf8'}));
const PAGE_URL = 'file://' + path.join(build, 'window', 'egn-check.html');

function equal(got, want, what) {
  const g = JSON.stringify(got), w = JSON.stringify(want);
  if (g !== w) throw new Error(`${what}: got ${g}, want ${w}`);
}

function assert(condition, what) {
  if (!condition) throw new Error(what);
}

const byId = name => '#' + CSS_escape(name);
function CSS_escape(name) {
  return name.replace(/[()]/g, c => '\\' + c);
}

class Page {
  constructor(page) {
    this.page = page;
    this.native = [];  // what the engine itself reports: console errors, uncaught errors
    page.on('console', m => { if (m.type() === 'error') this.native.push(m.text()); });
    page.on('pageerror', e => this.native.push('uncaught: ' + e.message));
  }

  run(script, ...args) {
    // The shared scripts are function bodies reading arguments[n].
    return this.page.evaluate(new Function(E.scripts[script]), ...args);
  }

  async open() {
    this.native.length = 0;
    await this.page.goto(PAGE_URL);
    equal(await this.run('ready'), true, 'the window built');
    await this.run('record_errors');
  }

  async typeInto(name, text) {
    await this.page.focus(byId(name));
    await this.page.keyboard.type(text);
  }

  click(name) {
    return this.page.click(byId(name));
  }

  value(name) {
    return this.run('value', name);
  }

  results() {
    return this.run('text_property', ...E.results_box);
  }

  async values(names) {
    const out = [];
    for (const n of names) out.push(await this.value(n));
    return out;
  }

  async focused() {
    return this.run('focused');
  }

  async consoleErrors() {
    return [...this.native, ...await this.run('errors')];
  }
}

// --- the checks, each against the shared table ---------------------------------------

const CHECKS = {
  async every_control_in_its_place(p) {
    await p.open();
    const rects = await p.run('rects', E.window[0]);
    equal(rects.__scale, 1, 'the scale');
    const wrong = {};
    for (const [name, want] of Object.entries(E.places)) {
      const got = rects[name];
      if (want === null) {
        if (got[2] !== 0) wrong[name] = [got, 'no box'];
      } else if (!got.every((g, i) => Math.abs(g - want[i]) < E.tolerance)) {
        wrong[name] = [got, want];
      }
    }
    equal(wrong, {}, 'controls out of place');
  },

  async the_example_then_clear(p) {
    await p.open();
    const ex = E.example;
    for (const [i, name] of E.digit_boxes.entries()) await p.typeInto(name, String(ex.digits[i]));
    equal(await p.values(E.digit_boxes), ex.digits.map(String), 'the digits typed');
    await p.click(E.calculate);
    equal(await p.results(), ex.text, 'the results');
    equal(await p.value(`${E.results_box[0]}(${E.results_box[1]})`), ex.value, 'the results box');
    equal(await p.value(E.tenth_box), ex.tenth, 'the tenth box');
    await p.click(E.clear);
    const boxes = [...E.digit_boxes, E.tenth_box];
    equal(await p.values(boxes), boxes.map(() => ''), 'the boxes after Изчисти');
    equal(await p.results(), '', 'the results after Изчисти');
    equal(await p.value('Text1(0)'), '', 'the results box after Изчисти');
  },

  async first_focus_and_tab_order(p) {
    await p.open();
    const walk = [await p.focused()];
    equal(walk[0], E.first_focus, 'the first focus');
    for (let i = 1; i < E.tab_order.length; ++i) {
      await p.page.keyboard.press('Tab');
      walk.push(await p.focused());
    }
    equal(walk, E.tab_order, 'Tab');
    const back = [walk[walk.length - 1]];
    for (let i = 1; i < E.tab_order.length; ++i) {
      await p.page.keyboard.down('Shift');
      await p.page.keyboard.press('Tab');
      await p.page.keyboard.up('Shift');
      back.push(await p.focused());
    }
    equal(back, [...E.tab_order].reverse(), 'Shift+Tab');
  },

  // An expected difference: what Tab does on the last stop.
  async tab_after_the_last_stop(p) {
    await p.open();
    const last = E.tab_order[E.tab_order.length - 1];
    await p.page.focus(byId(last));
    equal(await p.focused(), last, 'the last stop');
    await p.page.keyboard.press('Tab');
    equal(await p.focused(), E.differences['tab after the last stop'][ENGINE], 'Tab on the last stop');
  },

  // An expected difference: the captions' line boxes.
  async line_box_of_every_caption(p) {
    await p.open();
    const want = E.differences['line box of every caption, px'][ENGINE];
    equal(await p.run('line_boxes', E.labels), Object.fromEntries(E.labels.map(n => [n, [want]])),
          'the line boxes');
  },

  async read_only_boxes_refuse_typing(p) {
    await p.open();
    const before = await p.values(E.read_only);
    const results = await p.results();
    for (const [i, name] of E.read_only.entries()) {
      await p.typeInto(name, E.typed_into_read_only);
      equal(await p.value(name), before[i], `${name} after typing`);
      await p.page.keyboard.press('Delete');
      await p.page.keyboard.press('Backspace');
      equal(await p.value(name), before[i], `${name} after Delete and Backspace`);
    }
    equal(await p.results(), results, 'the results');
    await p.click(E.calculate);  // the program's own writes still go in
    equal(await p.value(E.tenth_box), E.empty.tenth, 'the tenth box');
  },

  async no_console_error(p) {
    await p.open();
    for (const [i, name] of E.digit_boxes.entries()) await p.typeInto(name, String(E.example.digits[i]));
    await p.click(E.calculate);
    await p.click(E.clear);
    equal(await p.consoleErrors(), [], 'console errors');
    // Both the engine's report and the page's recorder hear an error.
    await p.run('probe_error');
    const deadline = Date.now() + 5000;
    while (p.native.length === 0 && Date.now() < deadline) await new Promise(r => setTimeout(r, 20));
    const errors = await p.consoleErrors();
    equal(errors.length, 2, `the probe heard twice (${JSON.stringify(errors)})`);
    assert(errors.every(e => e.includes(E.probe)), `only the probe: ${JSON.stringify(errors)}`);
  },

  // Nine digits typed by hand into the boxes from the first frame that draws
  // the window, and Изчисли pressed, before the program runs: every digit
  // kept and the example's results, every time; that first frame drew the
  // window whole, all nine digit boxes and the buttons, and let a tap meet
  // the first box and give it the focus (a preload script sees it).
  async typing_at_the_first_frame(p) {
    const box = E.digit_boxes[0];
    const probe = await p.page.evaluateOnNewDocument(E.first_frame_probe);
    try {
      for (let walk = 0; walk < E.first_frame_walks; ++walk) {
        const query = `?walk=${walk}`;
        const going = p.page.goto(PAGE_URL + query, {waitUntil: 'domcontentloaded'});
        const deadline = Date.now() + 30000;
        while (!await p.run('box_there', box, query).catch(() => false)) {
          assert(Date.now() < deadline, 'the window never came');
        }
        for (const [i, name] of E.digit_boxes.entries()) {
          await p.page.click(byId(name));
          await p.page.keyboard.type(String(E.example.digits[i]));
        }
        await p.click(E.calculate);
        await going;
        equal(await p.run('first_frame'), E.first_frame_meets, `walk ${walk}: the first frame`);
        equal(await p.run('ready'), true, 'the program runs');
        equal(await p.values(E.digit_boxes), E.example.digits.map(String), `walk ${walk}: the digits`);
        equal([await p.results(), await p.value(E.tenth_box)], [E.example.text, E.example.tenth],
              `walk ${walk}: the results`);
      }
    } finally {
      await p.page.removeScriptToEvaluateOnNewDocument(probe.identifier);
    }
  },
};

async function main() {
  const began = Date.now();
  let passed = 0, failed = 0;
  const browser = await puppeteer.launch(
      {browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: true});
  try {
    const page = new Page(await browser.newPage());
    const only = process.env.EGN_ENGINE_CHECKS;  // some checks alone, by name
    for (const [name, check] of Object.entries(CHECKS)) {
      if (only && !only.split(',').includes(name)) continue;
      try {
        let timer;
        await Promise.race([check(page), new Promise((_, reject) => {
          timer = setTimeout(() => reject(new Error(`no answer in ${LIMIT_S} s`)), LIMIT_S * 1000);
        })]).finally(() => clearTimeout(timer));
        ++passed;
        console.log(`ok      ${ENGINE}: ${name}`);
      } catch (e) {
        ++failed;
        console.log(`FAILED  ${ENGINE}: ${name}`);
        console.log(e.stack);
      }
    }
  } finally {
    await browser.close();
  }
  console.log(`${ENGINE}: ${((Date.now() - began) / 1000).toFixed(1)} s`);
  console.log(`${passed} passed, ${failed} failed`);
  return failed ? 1 : 0;
}

main().then(code => process.exit(code), e => {
  console.log(e.stack);
  process.exit(1);
});
