// Value conversions between the runtime's own types and the page's, and the
// one way the backend hears of the page's events. Texts cross as UTF-16 code
// units, so that what the user typed reaches the runtime's rules exactly
// (half a surrogate pair included) and CR LF is never touched on the way.
#pragma once

#include <emscripten/val.h>

#include <functional>
#include <string>
#include <string_view>

#include "runtime/forms/form_model.h"

namespace egn::runtime {

// A JavaScript string of exactly these code units, and back.
emscripten::val ToJs(std::u16string_view text);
std::u16string FromJs(const emscripten::val& text);

// CSS pixels: 15 twips to a pixel, as at 96 dots per inch; the browser
// handles the device's own pixel ratio.
std::string TwipsToCss(int twips);
// 0x00BBGGRR as "rgb(r, g, b)".
std::string ToCssColour(Colour colour);

emscripten::val Document();
emscripten::val CreateElement(const char* tag);
// Sets the element's style property (CSS name) to the value.
void SetStyle(const emscripten::val& element, const char* property, const std::string& value);

// The page's one live region (a polite status, hidden from sight): what a
// screen reader announces of its own accord. Announce replaces what it holds;
// an empty text announces nothing. MakeAnnouncer creates it, empty, to be put
// in the page before anything is announced (a region that appears with its
// text is not read out).
emscripten::val MakeAnnouncer();
void Announce(std::u16string_view text);

// Calls `listener` for every event of `type` at `target`, on the page's one
// thread; the event object is the page's own. Returns the listener's number,
// by which Unlisten removes it (and frees what it holds); a listener may
// remove itself while it runs.
using Listener = std::function<void(const emscripten::val& event)>;
int Listen(const emscripten::val& target, const char* type, Listener listener);
void Unlisten(const emscripten::val& target, const char* type, int id);

}  // namespace egn::runtime
