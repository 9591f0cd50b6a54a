// The page's side of the web backend, placed before the generated loader.

// The WebAssembly is inlined in the page. Handing its bytes to the browser
// directly keeps the loader from fetching its own data: address, which the
// page's policy forbids (every connection is refused, that one included).
// The browser's own base64 decoder where it has one (much faster than the
// loader's), the loader's elsewhere.
Module["instantiateWasm"] = function (imports, receiveInstance) {
  var bytes = Uint8Array.fromBase64
      ? Uint8Array.fromBase64(wasmBinaryFile.substring(wasmBinaryFile.indexOf(",") + 1))
      : tryParseAsDataURI(wasmBinaryFile);
  WebAssembly.instantiate(bytes, imports).then(function (result) {
    receiveInstance(result.instance);
  });
  return {};
};

// Every listener of the runtime is one numbered C++ function.
Module["egnListen"] = function (target, type, id) {
  target.addEventListener(type, function (event) {
    Module["egnDispatch"](id, event);
  });
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
