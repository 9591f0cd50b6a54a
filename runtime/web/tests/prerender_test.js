// prerender.js on small stand-ins for a program: what each builds comes out
// as the markup the browser would read back as the same elements, and what
// the stand-in page cannot write stops the build, by name.
// Usage: node prerender_test.js (prints "N passed, N failed"; exits 1 on a failure).
"use strict";
const assert = require("assert");
const childProcess = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");

const PRERENDER = path.join(__dirname, "..", "prerender.js");
const folder = fs.mkdtempSync(path.join(os.tmpdir(), "prerender-"));

// Each program builds a window as the runtime does, through the page's API.
const WINDOW = `
  const w = document.createElement("main");
  w.className = "window centred"; w.id = "Form";
  w.style.setProperty("font-family", '"Times New Roman", serif');
  document.title = "a < b & c";
  document.querySelector("meta[name=viewport]").setAttribute("content", "width=509");
`;
const CASES = [
  ["texts, attributes and a text area's first line", WINDOW + `
    const label = document.createElement("div");
    label.className = "label"; label.textContent = "<2> & 3";
    const box = document.createElement("input");
    box.type = "text"; box.readOnly = true; box.hidden = false; box.maxLength = 1;
    box.value = 'say "1"'; box.spellcheck = false;
    box.setAttribute("aria-label", "Година\\nпърва");
    const area = document.createElement("textarea");
    area.value = "\\r\\nfirst\\r\\nsecond"; area.scrollTop = 0; area.setSelectionRange(0, 0);
    const list = document.createElement("select");
    list.size = 2; list.selectedIndex = -1;
    w.append(label, box, area, list); document.body.appendChild(w); box.focus();`,
   {title: "a &lt; b &amp; c", viewport: "width=509", window:
    '<main class="window centred" id="Form" style="font-family:&quot;Times New Roman&quot;, serif">' +
    '<div class="label">&lt;2&gt; &amp; 3</div>' +
    '<input type="text" readonly maxlength="1" value="say &quot;1&quot;" spellcheck="false"' +
    ' aria-label="Година&#10;първа">' +
    "<textarea>\n\nfirst\nsecond</textarea>" +
    '<select size="2"></select></main>'}],
  ["a start that failed: no window, the page's own title and viewport", `
    const p = document.createElement("p"); p.className = "failure"; p.textContent = "x";
    document.body.appendChild(p);`,
   {title: null, viewport: null, window: ""}],
  ["a property the stand-in cannot write", WINDOW + `w.title = "x";`,
   'prerender.js: the runtime set "title" of a <main> to "x", which the stand-in page cannot' +
   " write as markup\n"],
  ["a property the stand-in does not know", WINDOW + `w.offsetWidth;`,
   'prerender.js: the runtime read "offsetWidth" of a <main>, which the stand-in page does not' +
   " know\n"],
  ["a scroll position that markup cannot hold", WINDOW + `
    const area = document.createElement("textarea"); area.scrollTop = 5;`,
   'prerender.js: the runtime set "scrollTop" of a <textarea> to 5, which the stand-in page' +
   " cannot write as markup\n"],
  ["a module that cannot be loaded",
   `Promise.resolve().then(() => { console.error("bad module"); egnCannotRun("not-loaded"); });`,
   "prerender.js: the program could not be loaded (not-loaded): bad module\n"],
];

let passed = 0, failed = 0;
for (const [name, program, want] of CASES) {
  const script = path.join(folder, "program.js"), output = path.join(folder, "window.json");
  fs.writeFileSync(script, program);
  fs.rmSync(output, {force: true});
  const run = childProcess.spawnSync(process.execPath, [PRERENDER, script, script, output],
                                     {encoding: "utf-8"});
  try {
    if (typeof want === "string") {
      assert.strictEqual(run.stderr, want);
      assert.strictEqual(run.status, 1);
      assert.ok(!fs.existsSync(output), "no markup is left behind");
    } else {
      assert.strictEqual(run.stderr, "");
      assert.deepStrictEqual(JSON.parse(fs.readFileSync(output, "utf-8")), want);
    }
    passed++;
    console.log(`ok      ${name}`);
  } catch (error) {
    failed++;
    console.log(`FAILED  ${name}\n${error.message}`);
  }
}
fs.rmSync(folder, {recursive: true});
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
