// Labels: no window of their own; the form paints each on its surface,
// beneath the child windows, filling its rectangle with its colour and
// starting its caption at the top edge. Never focused.
#include "runtime/win32/controls_win32.h"

namespace egn::runtime {

std::unique_ptr<Control> MakeLabel(const ControlDescription& d, FormWindow& window, int) {
  window.AddLabel(d);
  return std::make_unique<CaptionedControl>(d);
}

}  // namespace egn::runtime
