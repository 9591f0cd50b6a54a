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
//
// The stand-in knows every property and call the runtime uses at start-up;
// anything else stops the build with its name, so that nothing the runtime
// sets can be silently left out of the markup.
"use strict";
const fs = require("fs");
const vm = require("vm");
const zlib = require("zlib");

const [scriptPath, modulePath, outputPath] = process.argv.slice(2);

function fail(message) {
  process.stderr.write(`prerender.js: ${message}\n`);
  process.exit(1);
}

function escapeText(text) {
  // The HTML parser reads CR LF and CR as LF: the markup says so itself.
  return text.replace(/\r\n?/g, "\n").replace(/&/g, "&amp;").replace(/</g, "&lt;")
      .replace(/>/g, "&gt;").replace(/\u00a0/g, "&nbsp;");
}
function escapeAttribute(text) {
  return text.replace(/&/g, "&amp;").replace(/"/g, "&quot;").replace(/\r/g, "&#13;")
      .replace(/\n/g, "&#10;").replace(/\u00a0/g, "&nbsp;");
}

// Properties that the browser reflects as content attributes, as the runtime
// sets them: the attribute's name and how its value is written.
const REFLECTED = {
  className: ["class", String],
  id: ["id", String],
  type: ["type", String],
  spellcheck: ["spellcheck", (v) => (v ? "true" : "false")],
  readOnly: ["readonly", Boolean],
  hidden: ["hidden", Boolean],
  inputMode: ["inputmode", String],
  enterKeyHint: ["enterkeyhint", String],
  maxLength: ["maxlength", (v) => String(Math.trunc(v))],
  size: ["size", (v) => String(Math.trunc(v))],
};
const VOID = new Set(["input", "meta"]);
// Attributes that mean what they say by being there.
const BOOLEAN = new Set(["readonly", "hidden", "inert"]);

class Node {
  constructor(document, tag) {
    this.document = document;
    this.tagName = tag.toUpperCase();
    this.tag = tag;
    this.attributes = new Map();
    this.styles = new Map();
    this.childNodes = [];
    this.parentNode = null;
    this.text = null;  // a text child, as textContent leaves it
  }

  setAttribute(name, value) { this.attributes.set(String(name), String(value)); }
  getAttribute(name) { return this.attributes.has(name) ? this.attributes.get(name) : null; }
  appendChild(child) {
    if (child.parentNode) child.remove();
    child.parentNode = this;
    this.childNodes.push(child);
    return child;
  }
  append(...children) { for (const c of children) this.appendChild(c); }
  remove() {
    if (!this.parentNode) return;
    const siblings = this.parentNode.childNodes;
    siblings.splice(siblings.indexOf(this), 1);
    this.parentNode = null;
  }
  get children() { return this.childNodes.slice(); }
  // Listeners are the program's, in the browser; the markup holds none.
  addEventListener() {}
  removeEventListener() {}
  focus() { this.document.activeElement = this; }
  // The scroll position and selection a box starts with: its first line, at
  // its start, as the browser shows new markup anyway.
  setSelectionRange(start, end) {
    if (start !== 0 || end !== 0) fail(`a selection (${start}, ${end}) cannot be written as markup`);
  }

  find(match) {
    for (const c of this.childNodes) {
      if (match(c)) return c;
      const inside = c.find(match);
      if (inside) return inside;
    }
    return null;
  }

  html() {
    let out = `<${this.tag}`;
    const attributes = new Map(this.attributes);
    if (this.styles.size > 0) {
      attributes.set("style", [...this.styles].map(([p, v]) => `${p}: ${v};`).join(" "));
    }
    for (const [name, value] of attributes) {
      out += BOOLEAN.has(name) ? ` ${name}` : ` ${name}="${escapeAttribute(value)}"`;
    }
    out += ">";
    if (VOID.has(this.tag)) return out;
    if (this.text !== null) {
      // A text area's first newline would be taken for the markup's own.
      out += (this.tag === "textarea" && /^\r?\n/.test(this.text) ? "\n" : "") +
             escapeText(this.text);
    }
    for (const c of this.childNodes) out += c.html();
    return out + `</${this.tag}>`;
  }
}

// What the runtime reads and writes of an element, and nothing else.
function element(document, tag) {
  const node = new Node(document, tag);
  const style = {
    setProperty(property, value) { node.styles.set(String(property), String(value)); },
  };
  return new Proxy(node, {
    // Methods run on the proxy, so that a node is always the same object.
    get(target, key, receiver) {
      if (typeof key === "symbol" || key in target) {
        const value = Reflect.get(target, key, receiver);
        return typeof value === "function" ? value.bind(receiver) : value;
      }
      if (key === "style") return style;
      if (key in REFLECTED) {
        const [name, kind] = REFLECTED[key];
        const value = target.attributes.get(name);
        return kind === Boolean ? value !== undefined : value;
      }
      if (key === "textContent") return target.text ?? "";
      fail(`the runtime read "${key}" of a <${tag}>, which the stand-in page does not know`);
    },
    set(target, key, value) {
      if (Object.prototype.hasOwnProperty.call(target, key)) {
        target[key] = value;  // the stand-in's own record
      } else if (key in REFLECTED) {
        const [name, kind] = REFLECTED[key];
        if (kind === Boolean) {
          if (value) target.attributes.set(name, "");
          else target.attributes.delete(name);
        } else {
          target.attributes.set(name, kind(value));
        }
      } else if (key === "textContent") {
        target.childNodes.forEach((c) => { c.parentNode = null; });
        target.childNodes = [];
        target.text = String(value);
      } else if (key === "value" && tag === "input") {
        target.attributes.set("value", String(value));
      } else if (key === "value" && tag === "textarea") {
        target.text = String(value);
      } else if (key === "selectedIndex" && tag === "select" && value === -1) {
        // A list box of several rows starts with nothing selected.
      } else if (key === "scrollTop" && value === 0) {
        // Every box starts scrolled to its top.
      } else {
        fail(`the runtime set "${String(key)}" of a <${tag}> to ${JSON.stringify(value)},`
             + " which the stand-in page cannot write as markup");
      }
      return true;
    },
  });
}

function standInPage() {
  const document = {activeElement: null, title: null};
  const viewport = element(document, "meta");
  viewport.setAttribute("name", "viewport");
  document.body = element(document, "body");
  document.documentElement = {};
  document.createElement = (tag) => element(document, String(tag));
  document.getElementById = (id) => document.body.find((n) => n.attributes.get("id") === id);
  document.querySelector = (selector) => {
    if (selector === "meta[name=viewport]") return viewport;
    if (selector === "body > .window") return null;  // no window is carried in here
    fail(`the runtime looked for "${selector}", which the stand-in page does not know`);
  };
  return {document, viewport};
}

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
  egnModule: zlib.deflateSync(fs.readFileSync(modulePath), {level: 9}).toString("base64"),
  console: {
    log() {},
    warn(...a) { logged.push(a.join(" ")); },
    error(...a) { logged.push(a.join(" ")); },
  },
  addEventListener() {},
  removeEventListener() {},
  atob, DecompressionStream, Response, WebAssembly, TextDecoder, setTimeout, clearTimeout,
  Promise, Uint8Array,
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
    // Shown at once, but inert until the program takes its place: nothing
    // can be typed into it, to be lost, and it takes no focus.
    windows[0].setAttribute("inert", "");
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
