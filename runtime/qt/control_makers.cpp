#include "runtime/qt/control_makers.h"

#include <QWidget>

#include <array>
#include <cmath>

#include "runtime/forms/control_kinds.h"
#include "runtime/qt/values.h"

namespace egn::runtime {

namespace {

const std::array<std::pair<ControlKind, ControlMaker>, 4> kMakers = {{
    {ControlKind::kLabel, &MakeLabel},
    {ControlKind::kTextBox, &MakeTextBox},
    {ControlKind::kListBox, &MakeListBox},
    {ControlKind::kButton, &MakeButton},
}};

}  // namespace

ControlMaker MakerFor(ControlKind kind) { return MakerIn(kMakers, kind, "Qt"); }

void ApplyCommon(const ControlDescription& d, QWidget& widget) {
  widget.setObjectName(QString::fromStdString(d.DisplayName()));
  widget.setGeometry(TwipsToPixels(d.rect.left), TwipsToPixels(d.rect.top),
                     TwipsToPixels(d.rect.width), TwipsToPixels(d.rect.height));
  if (!d.visible) widget.hide();
  if (!d.accessible_name.empty()) widget.setAccessibleName(ToQString(d.accessible_name));
  if (!d.accessible_description.empty()) {
    widget.setAccessibleDescription(ToQString(d.accessible_description));
  }
}

int TwipsToPixels(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

}  // namespace egn::runtime
