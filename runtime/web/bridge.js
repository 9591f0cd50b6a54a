// The page's side of the web backend, placed before the generated loader.

// The WebAssembly is inlined in the page. Handing its bytes to the browser
// directly keeps the loader from fetching its own data: address, which the
// page's policy forbids (every connection is refused, that one included).
// The browser's own base64 decoder where it has one (much faster than the
// loader's), the loader's elsewhere. Whatever fails on the way (decoding,
// compiling, linking, or the start of the program) ends in the page's
// message (egnCannotRun, in the page template), never in a rejection that
// nobody handles.
Module["instantiateWasm"] = function (imports, receiveInstance) {
  new Promise(function (resolve) {
    resolve(Uint8Array.fromBase64
        ? Uint8Array.fromBase64(wasmBinaryFile.substring(wasmBinaryFile.indexOf(",") + 1))
        : tryParseAsDataURI(wasmBinaryFile));
  }).then(function (bytes) {
    return WebAssembly.instantiate(bytes, imports);
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
