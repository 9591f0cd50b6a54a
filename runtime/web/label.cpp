// Labels: beneath every other control, never focused; each fills its
// rectangle with its colour and wraps its caption from the top edge.
#include "runtime/web/control_makers.h"
#include "runtime/web/values.h"

namespace egn::runtime {

WebControl MakeLabel(const ControlDescription& d) {
  const auto [label, carried] = MakeElement("div", "label", d);
  if (!carried) {
    label.Set("textContent", d.text);
    if (d.alignment == Alignment::kCenter) label.SetStyle("text-align", "center");
    if (d.alignment == Alignment::kRight) label.SetStyle("text-align", "right");
  }
  return {std::make_unique<CaptionedControl>(d), label};
}

}  // namespace egn::runtime
