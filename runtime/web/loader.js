// The page's side of the program's start, placed before the generated loader.

// The page runs the program inside a function (egnProgram, in the page
// template); what it exports (Module.egnControlText) stays in reach of
// automation.
globalThis["Module"] = Module;

// The page compiles the WebAssembly itself, off the main thread, while it
// still reads or unpacks it (egnCompiled, in the page template: a promise of
// the compiled module), and hands it to the loader through the loader's
// documented Module.instantiateWasm, so that the loader never looks for a
// file or fetches anything. Whatever fails on the way (reading, unpacking,
// compiling, linking, or the start of the program) ends in the page's
// message (egnCannotRun, in the page template), never in a rejection that
// nobody handles.
Module["instantiateWasm"] = function (imports, receiveInstance) {
  egnCompiled.then(function (module) {
    return WebAssembly.instantiate(module, imports);
  }).then(function (instance) {
    receiveInstance(instance);
  }).catch(function (reason) {
    console.error(reason);
    egnCannotRun("not-loaded");
  });
  return {};
};

// The text property of a control of the open window, for automation (what
// the program reads, not what the element shows); undefined where there is
// no such control. The array's name goes in through the bridge's buffer, and
// the text comes back there.
Module["egnControlText"] = function (array, index) {
  var at = _egn_units(array.length) >> 1;
  for (var i = 0; i < array.length; ++i) HEAPU16[at + i] = array.charCodeAt(i);
  var length = _egn_control_text(index);
  if (length < 0) return undefined;
  at = _egn_units(length) >> 1;  // the same length: the text stays
  var text = "";
  for (var end = at + length; at < end; at += 4096) {
    text += String.fromCharCode.apply(null, HEAPU16.subarray(at, Math.min(at + 4096, end)));
  }
  return text;
};
