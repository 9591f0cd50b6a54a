#include "runtime/web/form_page.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/conversions.h"
#include "runtime/forms/appearance.h"
#include "runtime/forms/control_kinds.h"
#include "runtime/web/control_makers.h"
#include "runtime/web/css_number.h"
#include "runtime/web/values.h"

namespace egn::runtime {

namespace {

using emscripten::val;

// The grey the page shows round the window, in CSS pixels on every side: on
// a phone the window and this margin together are the page's width.
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

// Places the window, never scaled: centred on whole pixels in a viewport
// larger than it with the margin (half a pixel would blur every edge and
// glyph), otherwise at the margin, with the page scrolling to the rest.
// The margins on the right and below give the page its full extent.
void Place(const val& window, int width_twips, int height_twips, bool centred) {
  const val view = Document()["documentElement"];
  const auto start = [centred](double view_size, int size_twips) {
    const double free = std::floor((view_size - size_twips / 15.0) / 2);
    return CssNumber(centred ? std::max<double>(kMargin, free) : kMargin) + "px";
  };
  const std::string margin = CssNumber(kMargin) + "px";
  SetStyle(window, "margin",
           start(view["clientHeight"].as<double>(), height_twips) + " " + margin + " " + margin +
               " " + start(view["clientWidth"].as<double>(), width_twips));
}

}  // namespace

void RemoveWindow(const val& window) {
  window.call<void>("remove");
  SetViewport("width=device-width, initial-scale=1");
}

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
  const bool centred = d.position == StartPosition::kCenterScreen;
  window.set("className", std::string("window"));
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

  // Controls that never take the focus come first, so that they lie beneath
  // the others; the rest follow in tab order, which is then the page's own
  // order for Tab, Shift+Tab and a screen reader's reading.
  struct Placed {
    int tab_index;
    val element;
    bool one_digit;
  };
  std::vector<Placed> focusable;
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
    if (InfoFor(c.kind).takes_focus) {
      focusable.push_back({c.tab_index, made.element, AsksForOneDigit(c)});
    } else {
      window.call<void>("appendChild", made.element);
    }
    built.form->Adopt(std::move(made.control), c.index, c.name);
  }
  std::stable_sort(focusable.begin(), focusable.end(),
                   [](const Placed& a, const Placed& b) { return a.tab_index < b.tab_index; });
  for (const Placed& p : focusable) window.call<void>("appendChild", p.element);
  // A phone's Enter key on a digit box: "next" where the next box in tab
  // order asks for a digit too (the phone moves there), "done" on the last
  // one of a run. Enter itself presses nothing in the page, as on the desktop.
  for (std::size_t i = 0; i < focusable.size(); ++i) {
    if (!focusable[i].one_digit) continue;
    const bool more = i + 1 < focusable.size() && focusable[i + 1].one_digit;
    focusable[i].element.set("enterKeyHint", std::string(more ? "next" : "done"));
  }
  // The live region last, after every control in reading order, inside the
  // window, so that it goes with it.
  window.call<void>("appendChild", MakeAnnouncer());
  Document()["body"].call<void>("appendChild", window);

  SetViewport("width=" + CssNumber(d.client_width / 15.0 + 2 * kMargin));
  Place(window, d.client_width, d.client_height, centred);
  Listen(val::global("window"), "resize",
         [window, w = d.client_width, h = d.client_height, centred](const val&) {
           Place(window, w, h, centred);
         });
  for (const Placed& p : focusable) {
    if (!p.element["hidden"].as<bool>()) {
      p.element.call<void>("focus");
      break;
    }
  }
  return built;
}

}  // namespace egn::runtime
