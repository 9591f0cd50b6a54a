#include "runtime/win32/control_makers.h"

#include <array>
#include <string>

#include "runtime/core/error.h"
#include "runtime/forms/control_kinds.h"

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
  throw RuntimeError(
      ErrorNumber::kInternal,
      "the Win32 backend has no maker for the control kind " + std::string(InfoFor(kind).keyword));
}

}  // namespace egn::runtime
