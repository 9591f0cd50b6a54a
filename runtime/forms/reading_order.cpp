#include "runtime/forms/reading_order.h"

#include <algorithm>
#include <utility>

#include "runtime/forms/control_kinds.h"

namespace egn::runtime {

namespace {

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

}  // namespace

Reading ReadingOrder(const FormDescription& d) {
  Reading r;
  for (const ControlDescription& c : d.controls) {
    if (InfoFor(c.kind).takes_focus) r.tab.push_back(&c);
  }
  std::stable_sort(r.tab.begin(), r.tab.end(),
                   [](const ControlDescription* a, const ControlDescription* b) {
                     return a->tab_index < b->tab_index;
                   });
  const std::vector<const ControlDescription*>& tab = r.tab;
  r.before.resize(tab.size());
  r.after.resize(tab.size());
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

}  // namespace egn::runtime
