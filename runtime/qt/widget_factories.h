// How the Qt backend makes each kind of control: one factory per kind, in one
// table (FactoryFor), each defined in the file of its control family. A
// factory makes the widget as a child of the window, applies the
// description's settings that belong to the kind, and returns the
// control-access object with the widget that shows it.
#pragma once

#include <memory>

#include "runtime/forms/controls.h"
#include "runtime/forms/form_model.h"

class QWidget;

namespace egn::runtime {

struct QtControl {
  std::unique_ptr<Control> control;
  QWidget* widget;
};

using WidgetFactory = QtControl (*)(const ControlDescription& description, QWidget& window);

QtControl CreateLabel(const ControlDescription& description, QWidget& window);
QtControl CreateTextBox(const ControlDescription& description, QWidget& window);
QtControl CreateListBox(const ControlDescription& description, QWidget& window);
QtControl CreateButton(const ControlDescription& description, QWidget& window);

WidgetFactory FactoryFor(ControlKind kind);

// Settings every kind shares: object name, place, size, visibility and what
// a screen reader says.
void ApplyCommon(const ControlDescription& description, QWidget& widget);

// 1440 twips to the inch against Qt's logical 96 dots per inch: 15 twips to
// a device-independent pixel, rounded to the nearest.
int TwipsToPixels(int twips);

}  // namespace egn::runtime
