// The builder: a window's page made from its description. The window is one
// element of its client area's size, centred in the viewport as the window is
// centred on a screen, and never scaled by the page itself: where the
// viewport is smaller the page scrolls, and a phone's browser shows the
// window's whole width by its own scaling, which pinch zoom can enlarge; its
// caption is the page's title.
#pragma once

#include <emscripten/val.h>

#include <memory>

#include "runtime/forms/controls.h"
#include "runtime/forms/form_model.h"

namespace egn::runtime {

struct BuiltPage {
  std::unique_ptr<Form> form;
  emscripten::val window;
};

// Builds the window into the page's body, with the focus on the first
// control of its tab order.
BuiltPage BuildPage(const FormDescription& description);

// Takes a built window out of the page again, and gives the page the
// device's own width back, for what the page shows in its place.
void RemoveWindow(const emscripten::val& window);

// The font list of a description's face: the face, its metric twins (so
// that the twips still fit), the face the page carries where it can stand
// in, then the generic family.
std::string FontFamilies(const FontDescription& font);

}  // namespace egn::runtime
