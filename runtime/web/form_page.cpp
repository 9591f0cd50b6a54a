#include "runtime/web/form_page.h"

#include <algorithm>
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

// A control's centre in half twips (so that halves stay whole), across and
// down; whether `inner`'s centre lies within `outer`'s width.
int CentreX2(const ControlDescription& c) { return 2 * c.rect.left + c.rect.width; }
int CentreY2(const ControlDescription& c) { return 2 * c.rect.top + c.rect.height; }
bool SpansCentreOf(const ControlDescription& outer, const ControlDescription& inner) {
  return 2 * outer.rect.left <= CentreX2(inner) &&
         CentreX2(inner) < 2 * (outer.rect.left + outer.rect.width);
}
int BottomOf(const ControlDescription& c) { return c.rect.top + c.rect.height; }

// The row of visible controls nearest to `c` below it (or above it) among
// those whose centre lies within its width: the nearest one and every one
// beside it (overlapping it from top to bottom).
std::vector<const ControlDescription*> NearestRow(const FormDescription& d,
                                                  const ControlDescription& c, bool below) {
  std::vector<const ControlDescription*> candidates;
  for (const ControlDescription& other : d.controls) {
    if (&other == &c || !other.visible || !SpansCentreOf(c, other)) continue;
    if (below ? CentreY2(other) > 2 * BottomOf(c) : CentreY2(other) < 2 * c.rect.top) {
      candidates.push_back(&other);
    }
  }
  if (candidates.empty()) return candidates;
  const ControlDescription* nearest =
      *std::min_element(candidates.begin(), candidates.end(),
                        [below](const ControlDescription* a, const ControlDescription* b) {
                          return below ? a->rect.top < b->rect.top : BottomOf(*a) > BottomOf(*b);
                        });
  std::vector<const ControlDescription*> row;
  for (const ControlDescription* other : candidates) {
    if (other->rect.top < BottomOf(*nearest) && BottomOf(*other) > nearest->rect.top) {
      row.push_back(other);
    }
  }
  return row;
}

// Where a control that never takes the focus is read, so that the page reads
// in the window's order while Tab keeps the tab order. It goes with the
// nearer of the rows directly below and directly above it (their controls'
// centres within its width) that holds focusable controls: a caption just
// before the focusable controls of the row below, a note just after those of
// the row above (a weight under its box). One that goes with neither (a
// title over other captions) is read first. A note of one control describes
// it, unless the control has a description of its own.
struct Reading {
  std::vector<const ControlDescription*> first;  // in the window's order, top to bottom
  std::vector<std::vector<const ControlDescription*>> before, after;  // by place in tab order
  std::vector<const ControlDescription*> describes;  // the one control a note describes
};

// The places in tab order of the focusable controls among `row`, in order.
std::vector<std::size_t> FocusablePlaces(const std::vector<const ControlDescription*>& row,
                                         const std::vector<const ControlDescription*>& tab) {
  std::vector<std::size_t> places;
  for (const ControlDescription* c : row) {
    if (InfoFor(c->kind).takes_focus) {
      places.push_back(
          static_cast<std::size_t>(std::find(tab.begin(), tab.end(), c) - tab.begin()));
    }
  }
  std::sort(places.begin(), places.end());
  return places;
}

Reading ReadingOrder(const FormDescription& d, const std::vector<const ControlDescription*>& tab) {
  Reading r{{},
            std::vector<std::vector<const ControlDescription*>>(tab.size()),
            std::vector<std::vector<const ControlDescription*>>(tab.size()),
            {}};
  std::vector<const ControlDescription*> unfocusable;
  for (const ControlDescription& c : d.controls) {
    if (!InfoFor(c.kind).takes_focus) unfocusable.push_back(&c);
  }
  // In the window's order: top to bottom, then left to right.
  std::stable_sort(unfocusable.begin(), unfocusable.end(),
                   [](const ControlDescription* a, const ControlDescription* b) {
                     return std::pair(a->rect.top, a->rect.left) <
                            std::pair(b->rect.top, b->rect.left);
                   });
  r.describes.assign(d.controls.size(), nullptr);
  for (const ControlDescription* c : unfocusable) {
    const std::vector<const ControlDescription*> below =
        c->visible ? NearestRow(d, *c, true) : std::vector<const ControlDescription*>();
    const std::vector<const ControlDescription*> above =
        c->visible ? NearestRow(d, *c, false) : std::vector<const ControlDescription*>();
    const std::vector<std::size_t> captioned = FocusablePlaces(below, tab);
    const std::vector<std::size_t> noted = FocusablePlaces(above, tab);
    // The nearer row wins; at the same distance, the one below.
    const auto gap_below = [&below, c] {
      int top = below.front()->rect.top;
      for (const ControlDescription* b : below) top = std::min(top, b->rect.top);
      return top - BottomOf(*c);
    };
    const auto gap_above = [&above, c] {
      int bottom = BottomOf(*above.front());
      for (const ControlDescription* a : above) bottom = std::max(bottom, BottomOf(*a));
      return c->rect.top - bottom;
    };
    const bool caption = !captioned.empty() && (noted.empty() || gap_below() <= gap_above());
    if (caption) {
      r.before[captioned.front()].push_back(c);
    } else if (!noted.empty()) {
      r.after[noted.back()].push_back(c);
      if (above.size() == 1 && above.front()->accessible_description.empty()) {
        r.describes[static_cast<std::size_t>(c - d.controls.data())] = above.front();
      }
    } else {
      r.first.push_back(c);
    }
  }
  return r;
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
  std::vector<const ControlDescription*> tab;
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
    if (InfoFor(c.kind).takes_focus) tab.push_back(&c);
    elements.push_back(made.element);
    built.form->Adopt(std::move(made.control), c.index, c.name);
  }
  std::stable_sort(tab.begin(), tab.end(),
                   [](const ControlDescription* a, const ControlDescription* b) {
                     return a->tab_index < b->tab_index;
                   });
  const auto element = [&](const ControlDescription* c) -> val& {
    return elements[static_cast<std::size_t>(c - d.controls.data())];
  };
  const Reading reading = ReadingOrder(d, tab);
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
