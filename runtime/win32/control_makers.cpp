#include <array>

#include "runtime/win32/controls_win32.h"

namespace egn::runtime {

namespace {

const std::array<std::pair<ControlKind, ControlMaker>, 4> kMakers = {{
    {ControlKind::kLabel, &MakeLabel},
    {ControlKind::kTextBox, &MakeTextBox},
    {ControlKind::kListBox, &MakeListBox},
    {ControlKind::kButton, &MakeButton},
}};

}  // namespace

ControlMaker MakerFor(ControlKind kind) {
  for (const auto& [k, maker] : kMakers) {
    if (k == kind) return maker;
  }
  return kMakers.front().second;  // every kind has a row; not reached
}

}  // namespace egn::runtime
