// A stand-in for the page in the web backend's tests under Node, which has no
// document: an element is a plain object that keeps what the backend sets on
// it (properties, attributes, style properties, children, listeners), so that
// a test reads back what a maker made, through the bridge (bridge.js).
globalThis.document = {
  createElement: function (tag) {
    return {
      tagName: tag.toUpperCase(),
      attributes: {},
      style: {
        setProperty: function (name, value) {
          this[name] = value;
        },
      },
      children: [],
      listeners: {},
      setAttribute: function (name, value) {
        this.attributes[name] = String(value);
      },
      appendChild: function (child) {
        this.children.push(child);
        return child;
      },
      addEventListener: function (type, listener) {
        this.listeners[type] = listener;
      },
      removeEventListener: function (type) {
        delete this.listeners[type];
      },
      setSelectionRange: function (start, end) {
        this.selectionStart = start;
        this.selectionEnd = end;
      },
    };
  },
  getElementById: function () {
    return null;
  },
};
