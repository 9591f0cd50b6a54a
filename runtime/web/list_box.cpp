// List boxes: the items in order, none selected, scrolling vertically; the
// arrow keys move the selection (the browser's own list box). One the page
// carries keeps its items and whatever the user selected in it.
#include "runtime/web/control_makers.h"
#include "runtime/web/values.h"

namespace egn::runtime {

WebControl MakeListBox(const ControlDescription& d) {
  const auto [list, carried] = MakeElement("select", "list", d);
  if (!carried) {
    // A size above one makes a list box rather than a drop-down; the height
    // comes from the rectangle.
    list.SetNumber("size", static_cast<double>(d.items.size() > 1 ? d.items.size() : 2));
    for (const std::u16string& item : d.items) {
      PageObject option = CreateElement("option");
      option.Set("textContent", item);
      list.Call("appendChild", option);
    }
    list.SetNumber("selectedIndex", -1);
  }
  return {std::make_unique<Control>(d.kind, d.DisplayName()), list};
}

}  // namespace egn::runtime
