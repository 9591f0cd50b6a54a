// The stand-in page that prerender.js runs a program against: a document
// that records the elements the runtime makes and writes them out as HTML.
// It knows every property and call the runtime uses at start-up; anything
// else stops the build with its name (fail), so that nothing the runtime
// sets can be silently left out of the markup.
"use strict";

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
  contains(node) {
    for (let n = node; n; n = n.parentNode) if (n === this) return true;
    return false;
  }
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
      attributes.set("style", [...this.styles].map(([p, v]) => `${p}:${v}`).join(";"));
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

module.exports = {escapeAttribute, escapeText, fail, standInPage};
