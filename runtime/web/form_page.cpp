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

// Puts `element` in `window` just after `previous` (first where there is
// none), unless it is there already: an element that is moved loses the
// focus, and the window the page carries has its elements in this order.
void PlaceAfter(const PageObject& window, const PageObject& previous, const PageObject& element) {
  if (element.Get("parentNode").Is(window) && element.Get("previousElementSibling").Is(previous)) {
    return;
  }
  if (previous.IsNone()) {
    window.Call("prepend", element);
  } else {
    previous.Call("after", element);
  }
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

BuiltPage BuildPage(const FormDescription& d) {
  // The window the page carries (made at build time from this same code)
  // becomes the program's own: its elements are taken as they are.
  PageObject window = Document().Call("querySelector", std::string("body > .window"));
  const bool carried = !window.IsNone();
  if (!carried) window = CreateElement("main");
  BuiltPage built{std::make_unique<Form>(), window};
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

  // The controls are made in the description's order; the page holds the
  // focusable ones in tab order, which is then its own order for Tab and
  // Shift+Tab, and the others where a screen reader should read them (see
  // ReadingOrder). Labels lie beneath the others by the page's style.
  std::vector<PageObject> elements;
  // The window's landmark is named by its heading, if it has one; not by the
  // caption, which is the page's title and may well be a web address.
  const ControlDescription* heading = Heading(d);
  for (const ControlDescription& c : d.controls) {
    WebControl made = MakerFor(c.kind)(c);
    if (&c == heading) {
      made.element.SetAttribute("role", "heading");
      made.element.SetAttribute("aria-level", "1");
      window.SetAttribute("aria-labelledby", c.DisplayName());
    }
    elements.push_back(made.element);
    built.form->Adopt(std::move(made.control), c.index, c.name);
  }
  const auto element = [&](const ControlDescription* c) -> PageObject& {
    return elements[static_cast<std::size_t>(c - d.controls.data())];
  };
  const Reading reading = ReadingOrder(d);
  const std::vector<const ControlDescription*>& tab = reading.tab;
  PageObject previous;
  const auto place = [&](const PageObject& e) {
    PlaceAfter(window, previous, e);
    previous = e;
  };
  for (const ControlDescription* c : reading.first) place(element(c));
  for (std::size_t i = 0; i < tab.size(); ++i) {
    for (const ControlDescription* c : reading.before[i]) place(element(c));
    place(element(tab[i]));
    for (const ControlDescription* c : reading.after[i]) place(element(c));
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
  place(MakeAnnouncer());

  // The window the page carries is in its place already (the page's own
  // egnPlace); placing it again would only make the browser lay it out
  // before its time.
  SetViewport("width=" + CssNumber(d.client_width / 15.0 + 2 * kMargin));
  if (!carried) {
    Document().Get("body").Call("appendChild", window);
    PageObject::Global().Call("egnPlace", window);
  }
  // The focus where the window opens, unless the user has put it in the
  // window the page carried already.
  if (!window.Call("contains", Document().Get("activeElement")).IsNone()) return built;
  for (const ControlDescription* c : tab) {
    if (c->visible) {
      element(c).Call("focus");
      break;
    }
  }
  return built;
}

}  // namespace egn::runtime
