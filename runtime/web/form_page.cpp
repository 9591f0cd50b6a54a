#include "runtime/web/form_page.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/conversions.h"
#include "runtime/forms/appearance.h"
#include "runtime/forms/control_kinds.h"
#include "runtime/forms/reading_order.h"
#include "runtime/web/control_makers.h"
#include "runtime/web/css_number.h"
#include "runtime/web/values.h"

namespace egn::runtime {

namespace {

// The grey the page shows round the window, in CSS pixels on every side: on
// a phone the window and this margin together are the page's width (the
// page's egnPlace keeps the same margin).
constexpr int kMargin = 8;

// Sets the page's layout viewport (its viewport meta). The window asks for
// its width and its margin on both sides, so that a phone's browser shows
// the whole window across its screen by its own scaling, which the user can
// still pinch to enlarge (no limit is asked for). Desktop browsers ignore
// it: there the window keeps its size at any zoom.
void SetViewport(const std::string& content) {
  const PageObject viewport = Document().Call("querySelector", std::string("meta[name=viewport]"));
  if (!viewport.IsNone()) viewport.SetAttribute("content", content);
}

}  // namespace

void RemoveWindow() { PageObject::Global().Call("egnRemoveWindow"); }

std::string FontFamilies(const FontDescription& font) {
  std::string families = "\"" + font.name + "\"";
  for (const std::string_view twin : MetricTwins(font.name)) {
    families += ", \"" + std::string(twin) + "\"";
  }
  if (BundledFaceServes(font.name)) families += ", \"" + std::string(kBundledFamily) + "\"";
  return families + ", serif";
}

namespace {

// What a window made anew takes from its description (the window the page
// carries has all of it in its markup, made by this same code).
void SetUpWindow(const PageObject& window, const FormDescription& d) {
  Document().Set("title", d.caption);
  // The page's egnPlace centres a centred window in the viewport.
  const bool centred = d.position == StartPosition::kCenterScreen;
  window.Set("className", centred ? "window centred" : "window");
  window.Set("id", d.name);
  window.SetStyle("width", TwipsToCss(d.client_width));
  window.SetStyle("height", TwipsToCss(d.client_height));
  if (d.back_colour) window.SetStyle("background-color", ToCssColour(*d.back_colour));
  window.SetStyle("font-family", FontFamilies(d.font));
  window.SetStyle("font-size", CssNumber(d.font.size_points) + "pt");
  window.SetStyle("font-weight", std::to_string(d.font.weight));
  if (d.font.italic) window.SetStyle("font-style", "italic");
  std::string decoration = std::string(d.font.underline ? "underline " : "") +
                           std::string(d.font.strikeout ? "line-through" : "");
  if (!decoration.empty()) window.SetStyle("text-decoration", decoration);
}

// Puts a window made anew together: the page holds the focusable controls in
// tab order, which is then its own order for Tab and Shift+Tab, and the
// others where a screen reader should read them (see ReadingOrder); labels
// lie beneath the others by the page's style. `elements` are the controls'
// in the description's order.
void ArrangeWindow(const PageObject& window, const FormDescription& d,
                   const std::vector<PageObject>& elements) {
  // The window's landmark is named by its heading, if it has one; not by the
  // caption, which is the page's title and may well be a web address.
  if (const ControlDescription* heading = Heading(d)) {
    const PageObject& e = elements[static_cast<std::size_t>(heading - d.controls.data())];
    e.SetAttribute("role", "heading");
    e.SetAttribute("aria-level", "1");
    window.SetAttribute("aria-labelledby", heading->DisplayName());
  }
  const auto element = [&](const ControlDescription* c) -> const PageObject& {
    return elements[static_cast<std::size_t>(c - d.controls.data())];
  };
  const Reading reading = ReadingOrder(d);
  const std::vector<const ControlDescription*>& tab = reading.tab;
  for (const ControlDescription* c : reading.first) window.Call("appendChild", element(c));
  for (std::size_t i = 0; i < tab.size(); ++i) {
    for (const ControlDescription* c : reading.before[i]) window.Call("appendChild", element(c));
    window.Call("appendChild", element(tab[i]));
    for (const ControlDescription* c : reading.after[i]) window.Call("appendChild", element(c));
  }
  // Each box described by the notes under it, in the description's order.
  std::vector<std::string> described_by(d.controls.size());
  for (std::size_t i = 0; i < d.controls.size(); ++i) {
    if (const ControlDescription* described = reading.describes[i]) {
      std::string& ids = described_by[static_cast<std::size_t>(described - d.controls.data())];
      ids += (ids.empty() ? "" : " ") + d.controls[i].DisplayName();
    }
  }
  for (std::size_t i = 0; i < d.controls.size(); ++i) {
    if (!described_by[i].empty()) elements[i].SetAttribute("aria-describedby", described_by[i]);
  }
  // A phone's Enter key on a digit box: "next" where the next box in tab
  // order asks for a digit too (the phone moves there), "done" on the last
  // one of a run. Enter itself presses nothing in the page, as on the desktop.
  for (std::size_t i = 0; i < tab.size(); ++i) {
    if (!AsksForOneDigit(*tab[i])) continue;
    const bool more = i + 1 < tab.size() && AsksForOneDigit(*tab[i + 1]);
    element(tab[i]).Set("enterKeyHint", more ? "next" : "done");
  }
  // The live region last, after every control in reading order, inside the
  // window, so that it goes with it.
  window.Call("appendChild", MakeAnnouncer());
  SetViewport("width=" + CssNumber(d.client_width / 15.0 + 2 * kMargin));
  Document().Get("body").Call("appendChild", window);
  PageObject::Global().Call("egnPlace", window);
}

}  // namespace

BuiltPage BuildPage(const FormDescription& d) {
  // The window the page carries (made at build time from this same code,
  // prerender.js) becomes the program's own as it is: its elements, in their
  // order and place, with what the user did to them. Nothing moves, so the
  // handover cannot be seen, and the focus stays where the user put it.
  PageObject window = Document().Call("querySelector", std::string("body > .window"));
  const bool carried = !window.IsNone();
  if (!carried) {
    window = CreateElement("main");
    SetUpWindow(window, d);
  }
  BuiltPage built{std::make_unique<Form>(), window};
  std::vector<PageObject> elements;
  for (const ControlDescription& c : d.controls) {
    WebControl made = MakerFor(c.kind)(c);
    elements.push_back(made.element);
    built.form->Adopt(std::move(made.control), c.index, c.name);
  }
  if (!carried) ArrangeWindow(window, d, elements);
  // The focus where the window opens, unless the user has put it in the
  // window the page carried already.
  if (!window.Call("contains", Document().Get("activeElement")).IsNone()) return built;
  for (const ControlDescription* c : ReadingOrder(d).tab) {
    if (c->visible) {
      elements[static_cast<std::size_t>(c - d.controls.data())].Call("focus");
      break;
    }
  }
  return built;
}

}  // namespace egn::runtime
