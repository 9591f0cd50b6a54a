// List boxes: the items in order, none selected, scrolling vertically; the
// arrow keys move the selection (the browser's own list box).
#include "runtime/web/control_makers.h"
#include "runtime/web/values.h"

namespace egn::runtime {

WebControl MakeListBox(const ControlDescription& d) {
  emscripten::val list = MakeElement("select", "list", d);
  // A size above one makes a list box rather than a drop-down; the height
  // comes from the rectangle.
  list.set("size", static_cast<int>(d.items.size() > 1 ? d.items.size() : 2));
  for (const std::u16string& item : d.items) {
    emscripten::val option = CreateElement("option");
    option.set("textContent", ToJs(item));
    list.call<void>("appendChild", option);
  }
  list.set("selectedIndex", -1);
  return {std::make_unique<Control>(d.kind, d.DisplayName()), list};
}

}  // namespace egn::runtime
