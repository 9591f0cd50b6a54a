// The page's side of the web backend, placed before the generated loader.

// The page runs the program inside a function (egnProgram, in the page
// template); what it exports (Module.egnControlText) stays in reach of
// automation as before.
globalThis["Module"] = Module;

// The WebAssembly is inside the page (egnModule, in the page template):
// compressed in zlib's format, then base64. It is handed to the loader through
// its documented Module.instantiateWasm, so the loader never looks for a file
// or fetches anything (the page's policy refuses every connection). The
// browser's own base64 decoder where it has one, atob elsewhere; the
// browser's own DecompressionStream unpacks it (the page runs this only where
// there is one). Whatever fails on the way (decoding, unpacking, compiling,
// linking, or the start of the program) ends in the page's message
// (egnCannotRun, in the page template), never in a rejection that nobody
// handles.
function egnModuleBytes() {
  if (Uint8Array.fromBase64) return Uint8Array.fromBase64(egnModule);
  var text = atob(egnModule);
  var bytes = new Uint8Array(text.length);
  for (var i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
  return bytes;
}
Module["instantiateWasm"] = function (imports, receiveInstance) {
  new Promise(function (resolve) {
    // Written straight into the unpacker, in memory: a Blob's stream would
    // be read back through the browser's blob store, a few milliseconds more.
    // Both sides are waited for, so that a failure on either is handled.
    var unpacker = new DecompressionStream("deflate");
    var writer = unpacker.writable.getWriter();
    var written = writer.write(egnModuleBytes()).then(function () {
      return writer.close();
    });
    resolve(Promise.all([new Response(unpacker.readable).arrayBuffer(), written]));
  }).then(function (done) {
    return WebAssembly.instantiate(done[0], imports);
  }).then(function (result) {
    receiveInstance(result.instance);
  }).catch(function (reason) {
    console.error(reason);
    egnCannotRun("not-loaded");
  });
  return {};
};

// Every listener of the runtime is one numbered C++ function; the page's
// side of each is kept by its number until it is removed.
var egnListeners = {};
Module["egnListen"] = function (target, type, id) {
  var listener = function (event) {
    Module["egnDispatch"](id, event);
  };
  egnListeners[id] = listener;
  target.addEventListener(type, listener);
};
Module["egnUnlisten"] = function (target, type, id) {
  target.removeEventListener(type, egnListeners[id]);
  delete egnListeners[id];
};

// Texts as UTF-16 code units, in both directions, unchanged.
Module["egnUnits"] = function (text) {
  var units = new Uint16Array(text.length);
  for (var i = 0; i < text.length; ++i) units[i] = text.charCodeAt(i);
  return units;
};
Module["egnString"] = function (units) {
  var text = "";
  for (var i = 0; i < units.length; i += 4096) {
    text += String.fromCharCode.apply(null, units.subarray(i, i + 4096));
  }
  return text;
};
