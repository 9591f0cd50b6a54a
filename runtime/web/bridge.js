// The page's side of the web backend's bridge (page_object.h): the module's
// imports, each a plain function of numbers. An object of the page crosses
// as a number, its handle, kept here until the module releases it; 0 is null,
// undefined or false (so that a method's yes or no is an object or none), 1
// the page's global object. Names (properties, methods,
// attributes, event types) cross as UTF-8 strings ending in NUL; values as
// UTF-8 or UTF-16 with their length, so that a text the user typed crosses
// exactly as the page holds it.
mergeInto(LibraryManager.library, {
  $egnObjects: [null, null],
  $egnFree: [],
  $egnListeners: {},
  $egnHold__deps: ["$egnObjects", "$egnFree"],
  $egnHold: function (object) {
    if (object === null || object === undefined || object === false) return 0;
    var id = egnFree.length ? egnFree.pop() : egnObjects.length;
    egnObjects[id] = object;
    return id;
  },
  $egnObject__deps: ["$egnObjects"],
  $egnObject: function (id) {
    return id == 1 ? globalThis : egnObjects[id];
  },
  // A name is one of the program's constant texts: read once, then known by
  // its address.
  $egnNames: {},
  $egnName__deps: ["$egnNames"],
  $egnName: function (pointer) {
    return egnNames[pointer] || (egnNames[pointer] = UTF8ToString(pointer));
  },
  $egnUnits: function (pointer, count) {
    var text = "";
    for (var at = pointer >> 1, end = at + count; at < end; at += 4096) {
      text += String.fromCharCode.apply(null, HEAPU16.subarray(at, Math.min(at + 4096, end)));
    }
    return text;
  },

  egn_release__deps: ["$egnObjects", "$egnFree"],
  egn_release: function (id) {
    if (id > 1) {
      egnObjects[id] = null;
      egnFree.push(id);
    }
  },
  egn_same__deps: ["$egnObject"],
  egn_same: function (a, b) {
    return egnObject(a) === egnObject(b) ? 1 : 0;
  },
  egn_get__deps: ["$egnHold", "$egnObject", "$egnName"],
  egn_get: function (id, property) {
    return egnHold(egnObject(id)[egnName(property)]);
  },
  // The text is written into the module's buffer (egn_units); its length is
  // the answer.
  egn_text__deps: ["$egnObject", "$egnName"],
  egn_text: function (id, property) {
    var text = String(egnObject(id)[egnName(property)]);
    var at = _egn_units(text.length) >> 1;
    for (var i = 0; i < text.length; ++i) HEAPU16[at + i] = text.charCodeAt(i);
    return text.length;
  },
  egn_number__deps: ["$egnObject", "$egnName"],
  egn_number: function (id, property) {
    return Number(egnObject(id)[egnName(property)]);
  },
  egn_set_text__deps: ["$egnObject", "$egnUnits", "$egnName"],
  egn_set_text: function (id, property, units, count) {
    egnObject(id)[egnName(property)] = egnUnits(units, count);
  },
  egn_set_string__deps: ["$egnObject", "$egnName"],
  egn_set_string: function (id, property, utf8, count) {
    egnObject(id)[egnName(property)] = UTF8ToString(utf8, count);
  },
  egn_set_number__deps: ["$egnObject", "$egnName"],
  egn_set_number: function (id, property, value) {
    egnObject(id)[egnName(property)] = value;
  },
  egn_set_flag__deps: ["$egnObject", "$egnName"],
  egn_set_flag: function (id, property, value) {
    egnObject(id)[egnName(property)] = value != 0;
  },
  egn_set_attribute__deps: ["$egnObject", "$egnName"],
  egn_set_attribute: function (id, name, utf8, count) {
    egnObject(id).setAttribute(egnName(name), UTF8ToString(utf8, count));
  },
  egn_set_style__deps: ["$egnObject", "$egnName"],
  egn_set_style: function (id, property, utf8, count) {
    egnObject(id).style.setProperty(egnName(property), UTF8ToString(utf8, count));
  },
  egn_call__deps: ["$egnHold", "$egnObject", "$egnName"],
  egn_call: function (id, method, argument) {
    var object = egnObject(id), name = egnName(method);
    return egnHold(argument ? object[name](egnObject(argument)) : object[name]());
  },
  egn_call_string__deps: ["$egnHold", "$egnObject", "$egnName"],
  egn_call_string: function (id, method, utf8, count) {
    return egnHold(egnObject(id)[egnName(method)](UTF8ToString(utf8, count)));
  },
  egn_call_numbers__deps: ["$egnObject", "$egnName"],
  egn_call_numbers: function (id, method, a, b) {
    egnObject(id)[egnName(method)](a, b);
  },
  // Every listener is one numbered function of the module (egn_dispatch);
  // the page's side of each is kept by its number until it is removed.
  egn_listen__deps: ["$egnHold", "$egnObject", "$egnListeners", "$egnName"],
  egn_listen: function (target, type, id) {
    var listener = function (event) {
      _egn_dispatch(id, egnHold(event));
    };
    egnListeners[id] = listener;
    egnObject(target).addEventListener(egnName(type), listener);
  },
  // A step of the program in a task of its own (Later), through the same
  // numbered dispatch.
  egn_later: function (id) {
    setTimeout(function () {
      _egn_dispatch(id, 0);
    }, 0);
  },
  egn_unlisten__deps: ["$egnObject", "$egnListeners", "$egnName"],
  egn_unlisten: function (target, type, id) {
    egnObject(target).removeEventListener(egnName(type), egnListeners[id]);
    delete egnListeners[id];
  },
});
