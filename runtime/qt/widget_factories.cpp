#include "runtime/qt/widget_factories.h"

#include <QWidget>

#include <array>
#include <cmath>

#include "runtime/qt/qt_values.h"

namespace egn::runtime {

namespace {

const std::array<std::pair<ControlKind, WidgetFactory>, 4> kFactories = {{
    {ControlKind::kLabel, &CreateLabel},
    {ControlKind::kTextBox, &CreateTextBox},
    {ControlKind::kListBox, &CreateListBox},
    {ControlKind::kButton, &CreateButton},
}};

}  // namespace

WidgetFactory FactoryFor(ControlKind kind) {
  for (const auto& [k, factory] : kFactories) {
    if (k == kind) return factory;
  }
  return kFactories.front().second;  // every kind has a row; not reached
}

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
