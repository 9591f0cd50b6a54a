// How the Qt backend makes each kind of control: one maker per kind, in one
// table (MakerFor), each defined in the file of its control family. A
// maker makes the widget as a child of the window, applies the
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

using ControlMaker = QtControl (*)(const ControlDescription& description, QWidget& window);

QtControl MakeLabel(const ControlDescription& description, QWidget& window);
QtControl MakeTextBox(const ControlDescription& description, QWidget& window);
QtControl MakeListBox(const ControlDescription& description, QWidget& window);
QtControl MakeButton(const ControlDescription& description, QWidget& window);

// The maker of `kind`; a kind of the neutral table without one is the
// runtime's own fault (RuntimeError 9001), never a silent stand-in.
ControlMaker MakerFor(ControlKind kind);

// Settings every kind shares: object name, place, size, visibility and what
// a screen reader says.
void ApplyCommon(const ControlDescription& description, QWidget& widget);

// 1440 twips to the inch against Qt's logical 96 dots per inch: 15 twips to
// a device-independent pixel, rounded to the nearest.
int TwipsToPixels(int twips);

}  // namespace egn::runtime
