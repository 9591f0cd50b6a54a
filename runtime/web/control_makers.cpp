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

MadeElement MakeElement(const char* tag, const char* css_class, const ControlDescription& d) {
  const std::string id = d.DisplayName();  // "Text2(3)": for automation and assistive scripts
  PageObject element = ElementById(id);
  std::string upper = tag;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (!element.IsNone() && element.Text("tagName") == std::u16string(upper.begin(), upper.end())) {
    return {element, true};
  }
  element = CreateElement(tag);
  element.Set("id", id);
  element.Set("className", css_class);
  element.SetStyle("left", TwipsToCss(d.rect.left));
  element.SetStyle("top", TwipsToCss(d.rect.top));
  element.SetStyle("width", TwipsToCss(d.rect.width));
  element.SetStyle("height", TwipsToCss(d.rect.height));
  if (d.back_colour) element.SetStyle("background-color", ToCssColour(*d.back_colour));
  if (!d.visible) element.SetFlag("hidden", true);
  if (!d.accessible_name.empty()) element.SetAttribute("aria-label", ToUtf8(d.accessible_name));
  if (!d.accessible_description.empty()) {
    element.SetAttribute("aria-description", ToUtf8(d.accessible_description));
  }
  return {element, false};
}

}  // namespace egn::runtime
