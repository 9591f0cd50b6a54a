// Labels: beneath every other control, never focused; each fills its
// rectangle with its colour and wraps its caption from the top edge.
#include "runtime/web/control_makers.h"
#include "runtime/web/values.h"

namespace egn::runtime {

WebControl MakeLabel(const ControlDescription& d) {
  emscripten::val label = MakeElement("div", "label", d);
  label.set("textContent", ToJs(d.text));
  if (d.alignment == Alignment::kCenter) SetStyle(label, "text-align", "center");
  if (d.alignment == Alignment::kRight) SetStyle(label, "text-align", "right");
  return {std::make_unique<CaptionedControl>(d), label};
}

}  // namespace egn::runtime
