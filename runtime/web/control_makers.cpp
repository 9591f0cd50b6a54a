#include "runtime/web/control_makers.h"

#include <array>
#include <string>
#include <utility>

#include "runtime/core/conversions.h"
#include "runtime/forms/control_kinds.h"
#include "runtime/web/values.h"

namespace egn::runtime {

namespace {

const std::array<std::pair<ControlKind, ControlMaker>, 4> kMakers = {{
    {ControlKind::kLabel, &MakeLabel},
    {ControlKind::kTextBox, &MakeTextBox},
    {ControlKind::kListBox, &MakeListBox},
    {ControlKind::kButton, &MakeButton},
}};

}  // namespace

ControlMaker MakerFor(ControlKind kind) { return MakerIn(kMakers, kind, "web"); }

emscripten::val MakeElement(const char* tag, const char* css_class, const ControlDescription& d) {
  emscripten::val element = CreateElement(tag);
  element.set("className", std::string(css_class));
  element.set("id", d.DisplayName());  // "Text2(3)": for automation and assistive scripts
  SetStyle(element, "left", TwipsToCss(d.rect.left));
  SetStyle(element, "top", TwipsToCss(d.rect.top));
  SetStyle(element, "width", TwipsToCss(d.rect.width));
  SetStyle(element, "height", TwipsToCss(d.rect.height));
  if (d.back_colour) SetStyle(element, "background-color", ToCssColour(*d.back_colour));
  if (!d.visible) element.set("hidden", true);
  if (!d.accessible_name.empty()) {
    element.call<void>("setAttribute", std::string("aria-label"), ToUtf8(d.accessible_name));
  }
  if (!d.accessible_description.empty()) {
    element.call<void>("setAttribute", std::string("aria-description"),
                       ToUtf8(d.accessible_description));
  }
  return element;
}

}  // namespace egn::runtime
