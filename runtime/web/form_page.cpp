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

using emscripten::val;

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
  const val viewport = Document().call<val>("querySelector", std::string("meta[name=viewport]"));
  if (!viewport.isNull()) viewport.call<void>("setAttribute", std::string("content"), content);
}

}  // namespace

void RemoveWindow() { val::global("egnRemoveWindow")(); }

std::string FontFamilies(const FontDescription& font) {
  std::string families = "\"" + font.name + "\"";
  for (const std::string_view twin : MetricTwins(font.name)) {
    families += ", \"" + std::string(twin) + "\"";
  }
  if (BundledFaceServes(font.name)) families += ", \"" + std::string(kBundledFamily) + "\"";
  return families + ", serif";
}

BuiltPage BuildPage(const FormDescription& d) {
  BuiltPage built{std::make_unique<Form>(), CreateElement("main")};
  val& window = built.window;
  Document().set("title", ToJs(d.caption));
  // The page's egnPlace centres a centred window in the viewport.
  const bool centred = d.position == StartPosition::kCenterScreen;
  window.set("className", std::string(centred ? "window centred" : "window"));
  window.set("id", d.name);
  SetStyle(window, "width", TwipsToCss(d.client_width));
  SetStyle(window, "height", TwipsToCss(d.client_height));
  if (d.back_colour) SetStyle(window, "background-color", ToCssColour(*d.back_colour));
  SetStyle(window, "font-family", FontFamilies(d.font));
  SetStyle(window, "font-size", CssNumber(d.font.size_points) + "pt");
  SetStyle(window, "font-weight", std::to_string(d.font.weight));
  if (d.font.italic) SetStyle(window, "font-style", "italic");
  std::string decoration = std::string(d.font.underline ? "underline " : "") +
                           std::string(d.font.strikeout ? "line-through" : "");
  if (!decoration.empty()) SetStyle(window, "text-decoration", decoration);

  // The controls are made in the description's order; the page holds the
  // focusable ones in tab order, which is then its own order for Tab and
  // Shift+Tab, and the others where a screen reader should read them (see
  // ReadingOrder). Labels lie beneath the others by the page's style.
  std::vector<val> elements;
  // The window's landmark is named by its heading, if it has one; not by the
  // caption, which is the page's title and may well be a web address.
  const ControlDescription* heading = Heading(d);
  for (const ControlDescription& c : d.controls) {
    WebControl made = MakerFor(c.kind)(c);
    if (&c == heading) {
      made.element.call<void>("setAttribute", std::string("role"), std::string("heading"));
      made.element.call<void>("setAttribute", std::string("aria-level"), std::string("1"));
      window.call<void>("setAttribute", std::string("aria-labelledby"), c.DisplayName());
    }
    elements.push_back(made.element);
    built.form->Adopt(std::move(made.control), c.index, c.name);
  }
  const auto element = [&](const ControlDescription* c) -> val& {
    return elements[static_cast<std::size_t>(c - d.controls.data())];
  };
  const Reading reading = ReadingOrder(d);
  const std::vector<const ControlDescription*>& tab = reading.tab;
  for (const ControlDescription* c : reading.first) window.call<void>("appendChild", element(c));
  for (std::size_t i = 0; i < tab.size(); ++i) {
    for (const ControlDescription* c : reading.before[i]) {
      window.call<void>("appendChild", element(c));
    }
    window.call<void>("appendChild", element(tab[i]));
    for (const ControlDescription* c : reading.after[i]) {
      window.call<void>("appendChild", element(c));
    }
  }
  for (std::size_t i = 0; i < d.controls.size(); ++i) {
    if (const ControlDescription* described = reading.describes[i]) {
      const val target = element(described);
      const val already = target.call<val>("getAttribute", std::string("aria-describedby"));
      target.call<void>(
          "setAttribute", std::string("aria-describedby"),
          (already.isNull() ? "" : already.as<std::string>() + " ") + d.controls[i].DisplayName());
    }
  }
  // A phone's Enter key on a digit box: "next" where the next box in tab
  // order asks for a digit too (the phone moves there), "done" on the last
  // one of a run. Enter itself presses nothing in the page, as on the desktop.
  for (std::size_t i = 0; i < tab.size(); ++i) {
    if (!AsksForOneDigit(*tab[i])) continue;
    const bool more = i + 1 < tab.size() && AsksForOneDigit(*tab[i + 1]);
    element(tab[i]).set("enterKeyHint", std::string(more ? "next" : "done"));
  }
  // The live region last, after every control in reading order, inside the
  // window, so that it goes with it.
  window.call<void>("appendChild", MakeAnnouncer());

  // The window the page carries (made at build time from this same code,
  // inert until now) gives way to this one in one step, before the browser
  // paints again: the same elements in the same place.
  const val carried = Document().call<val>("querySelector", std::string("body > .window"));
  if (carried.isNull()) {
    Document()["body"].call<void>("appendChild", window);
  } else {
    carried.call<void>("replaceWith", window);
  }
  SetViewport("width=" + CssNumber(d.client_width / 15.0 + 2 * kMargin));
  val::global("egnPlace")(window);
  for (const ControlDescription* c : tab) {
    if (c->visible) {
      element(c).call<void>("focus");
      break;
    }
  }
  return built;
}

}  // namespace egn::runtime
