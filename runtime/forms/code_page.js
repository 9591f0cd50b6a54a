// The browser's own code-page converter for the forms runtime (see
// code_page.cpp). A byte with no character either throws (fatal) or comes
// back as a C1 control code, which the runtime refuses.
mergeInto(LibraryManager.library, {
  egn_decode_code_page: function(name, bytes, size, out) {
    var text;
    try {
      text = new TextDecoder(UTF8ToString(name), {
               fatal: true
             }).decode(HEAPU8.subarray(bytes, bytes + size));
    } catch (e) {
      return -1;
    }
    if (text.length > size) return -1;
    for (var i = 0; i < text.length; ++i) HEAPU16[(out >> 1) + i] = text.charCodeAt(i);
    return text.length;
  },
});
