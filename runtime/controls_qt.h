// The widgets behind the control kinds, one factory per kind (the table of
// control kinds names them). Each factory makes the widget as a child of the
// window, applies the description's settings that belong to the kind, and
// returns the control-access object that wraps it.
#pragma once

#include <memory>

#include "runtime/controls.h"
#include "runtime/form_model.h"

class QWidget;

namespace egn::runtime {

std::unique_ptr<Control> CreateLabel(const ControlDescription& description, QWidget& window);
std::unique_ptr<Control> CreateTextBox(const ControlDescription& description, QWidget& window);
std::unique_ptr<Control> CreateListBox(const ControlDescription& description, QWidget& window);
std::unique_ptr<Control> CreateButton(const ControlDescription& description, QWidget& window);

// 1440 twips to the inch against Qt's logical 96 dots per inch: 15 twips to
// a device-independent pixel, rounded to the nearest.
int TwipsToPixels(int twips);

}  // namespace egn::runtime
