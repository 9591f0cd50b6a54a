// Value conversions between the runtime's own types and the page's: CSS
// pixels and colours, and the page's few objects every part of the backend
// uses. Texts cross the bridge as UTF-16 code units (page_object.h), so that
// what the user typed reaches the runtime's rules exactly (half a surrogate
// pair included) and CR LF is never touched on the way.
#pragma once

#include <string>
#include <string_view>

#include "runtime/forms/form_model.h"
#include "runtime/web/page_object.h"

namespace egn::runtime {

// CSS pixels: 15 twips to a pixel, as at 96 dots per inch; the browser
// handles the device's own pixel ratio.
std::string TwipsToCss(int twips);
// 0x00BBGGRR as "rgb(r, g, b)".
std::string ToCssColour(Colour colour);

PageObject Document();
PageObject CreateElement(const char* tag);
// The element of the page with this id, or none.
PageObject ElementById(const std::string& id);

// The page's one live region (a polite status, hidden from sight): what a
// screen reader announces of its own accord. Announce replaces what it holds;
// an empty text announces nothing. MakeAnnouncer creates it, empty, to be put
// in the page before anything is announced (a region that appears with its
// text is not read out), or takes the one the page carries.
PageObject MakeAnnouncer();
void Announce(std::u16string_view text);

}  // namespace egn::runtime
