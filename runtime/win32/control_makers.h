// How the Win32 backend makes each kind of control: one maker per kind, in
// one table (MakerFor), each defined in the file of its control family. A
// maker creates the control's window,
// applies the description's settings and returns the control-access object.
#pragma once

#include <memory>
#include <string>

#include "runtime/forms/controls.h"
#include "runtime/forms/form_model.h"
#include "runtime/win32/form_window.h"

namespace egn::runtime {

using ControlMaker = std::unique_ptr<Control> (*)(const ControlDescription& description,
                                                  FormWindow& window, int id);

std::unique_ptr<Control> MakeLabel(const ControlDescription& description, FormWindow& window,
                                   int id);
std::unique_ptr<Control> MakeTextBox(const ControlDescription& description, FormWindow& window,
                                     int id);
std::unique_ptr<Control> MakeListBox(const ControlDescription& description, FormWindow& window,
                                     int id);
std::unique_ptr<Control> MakeButton(const ControlDescription& description, FormWindow& window,
                                    int id);

// The maker of `kind`; a kind of the neutral table without one is the
// runtime's own fault (RuntimeError 9001), never a silent stand-in.
ControlMaker MakerFor(ControlKind kind);

// The text a window shows, as UTF-16 (GetWindowTextW, whatever its length).
std::u16string WindowText(HWND hwnd);

}  // namespace egn::runtime
