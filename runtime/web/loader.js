// The page's side of the program's start, placed at the top of the
// generated loader.

// The page runs the program inside a function (egnProgram, in the page
// template), whose Module starts out undefined; what it exports
// (Module.egnControlText) stays in reach of automation.
Module = Module || {};
globalThis["Module"] = Module;

// The program's loader (Emscripten's minimal one) instantiates its
// WebAssembly through the WebAssembly it sees, which is this one: the page's
// own, whose instantiate takes the module the page has compiled, off the main
// thread, while it still read or unpacked it (egnCompiled, in the page
// template), and starts the program on it. Whatever fails on the way
// (reading, unpacking, compiling, linking, or the start of the program) ends
// in the page's message (egnCannotRun, in the page template), never in a
// rejection that nobody handles. The program's start ends by leaving the
// page's event loop to run its window ("unwind"), which is no failure.
var WebAssembly = (function (browsers) {
  return Object.create(browsers, {instantiate: {value: function (ignored, imports) {
    var instance = egnCompiled.then(function (module) {
      return browsers.instantiate(module, imports);
    });
    return {
      then: function (start) {
        // The program starts in a task of its own, after the instantiation.
        instance.then(function (compiled) {
          return new Promise(function (later) {
            setTimeout(later, 0, compiled);
          });
        }).then(start).catch(function (reason) {
          if (reason === "unwind") return;
          console.error(reason);
          egnCannotRun("not-loaded");
        });
      }
    };
  }}});
})(globalThis.WebAssembly);

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
