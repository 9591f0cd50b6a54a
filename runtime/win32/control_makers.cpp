#include "runtime/win32/control_makers.h"

#include <array>

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

ControlMaker MakerFor(ControlKind kind) { return MakerIn(kMakers, kind, "Win32"); }

}  // namespace egn::runtime
