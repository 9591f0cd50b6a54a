// Makes the markup of a program's start-up window at build time, for its page
// to show before the program runs: the program itself (its generated script
// and the WebAssembly its page carries) is run under Node against a stand-in
// page that records what the runtime puts in it, and what it built is written
// out as HTML. The markup is the runtime's own work, so it cannot drift from
// the window the program builds in the browser, which then takes its place.
//
// Usage: node prerender.js SCRIPT MODULE OUTPUT
// OUTPUT is JSON: the page's title, its viewport and the window's markup,
// each ready to stand in HTML. Where the program's start fails, the page
// carries no window (it fails in the browser alike, with its message) and
// the title and viewport are the page's own.
// The stand-in page is stand_in_page.js.
"use strict";
const fs = require("fs");
const vm = require("vm");

const [scriptPath, modulePath, outputPath] = process.argv.slice(2);

const {escapeAttribute, escapeText, fail, standInPage} = require("./stand_in_page.js");

const {document, viewport} = standInPage();
let cannotRun = null;
const logged = [];
const sandbox = {
  document,
  // The page's own functions (page.html.in) that the runtime calls: the page
  // places its window itself, and takes it out where the start fails.
  egnPlace() {},
  egnRemoveWindow() {
    for (const c of document.body.children) {
      if ((c.getAttribute("class") || "").split(" ").includes("window")) c.remove();
    }
  },
  egnCannotRun(why) { cannotRun = why; },
  egnStarted() {},
  // The module, compiled when the program asks for it (the page compiles it
  // itself too; see loader.js).
  get egnCompiled() { return WebAssembly.compile(fs.readFileSync(modulePath)); },
  console: {
    log() {},
    warn(...a) { logged.push(a.join(" ")); },
    error(...a) { logged.push(a.join(" ")); },
  },
  addEventListener() {},
  removeEventListener() {},
  WebAssembly, TextDecoder, setTimeout, clearTimeout, Promise, Uint8Array,
};
sandbox.window = sandbox;
sandbox.self = sandbox;

vm.createContext(sandbox);
try {
  vm.runInContext(fs.readFileSync(scriptPath, "utf-8"), sandbox, {filename: scriptPath});
} catch (error) {
  fail(`${scriptPath} did not run: ${error}`);
}

// The program starts once its module is compiled, a few turns of the event
// loop from now; it has started when the page holds its window or message.
const started = () => cannotRun !== null || document.body.childNodes.length > 0;
const deadline = Date.now() + 30000;
(function wait() {
  if (!started()) {
    if (Date.now() > deadline) fail("the program did not start within 30 s");
    setTimeout(wait, 5);
    return;
  }
  if (cannotRun !== null) fail(`the program could not be loaded (${cannotRun}): ${logged.join("; ")}`);
  const windows = document.body.children.filter(
      (c) => (c.getAttribute("class") || "").split(" ").includes("window"));
  let markup = "", title = null, content = null;
  if (windows.length === 1 && document.body.childNodes.length === 1) {
    // Shown at once and live: the program takes it for its own, with
    // whatever the user has typed into it by then.
    markup = windows[0].html();
    title = document.title;
    content = viewport.getAttribute("content");
  }
  fs.writeFileSync(outputPath, JSON.stringify({
    title: title === null ? null : escapeText(String(title)),
    viewport: content === null ? null : escapeAttribute(content),
    window: markup,
  }) + "\n");
})();
