// Builds the window and its controls from a description model.
#pragma once

#include <memory>
#include <string_view>

#include "runtime/forms/controls.h"
#include "runtime/forms/form_model.h"

class QWidget;

namespace egn::runtime {

struct BuiltForm {
  std::unique_ptr<QWidget> window;  // owns the controls' widgets
  std::unique_ptr<Form> form;       // control access over those widgets
};

// Makes the top-level window: caption, fixed frame with title, window menu
// and close button only, client size, background, font, icon; every control
// through its kind's maker; labels beneath the windowed controls; the tab
// order by tab index and the first focus; the first position. Does not show
// the window. `icon` holds the bytes of the window's icon image (any format
// Qt reads), or nothing.
BuiltForm BuildForm(const FormDescription& description, std::string_view icon);

}  // namespace egn::runtime
