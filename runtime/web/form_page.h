// The builder: a window's page made from its description. The window is one
// element of its client area's size, centred in the viewport (by the page's
// own egnPlace) as the window is centred on a screen, and never scaled by the
// page itself: where the
// viewport is smaller the page scrolls, and a phone's browser shows the
// window's whole width by its own scaling, which pinch zoom can enlarge; its
// caption is the page's title.
#pragma once

#include <memory>

#include "runtime/forms/controls.h"
#include "runtime/forms/form_model.h"
#include "runtime/web/page_object.h"

namespace egn::runtime {

struct BuiltPage {
  std::unique_ptr<Form> form;
  PageObject window;
};

// Builds the window into the page's body, or takes the window the page
// carries for its own, element by element (what the user typed, the focus
// and the caret stay as they are), with the focus on the first control of
// its tab order unless the user has put it in the window already. The page reads in the window's
// order: each caption before what it captions, each note (a weight under its box) after its box,
// which it describes.
BuiltPage BuildPage(const FormDescription& description);

// Takes any window out of the page again (the one the page carries, or a
// built one), and gives the page the device's own width back, for what the
// page shows in its place.
void RemoveWindow();

// The font list of a description's face: the face, its metric twins (so
// that the twips still fit), the face the page carries where it can stand
// in, then the generic family.
std::string FontFamilies(const FontDescription& font);

}  // namespace egn::runtime
