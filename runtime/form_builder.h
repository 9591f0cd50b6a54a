// Builds the window and its controls from a description model.
#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "runtime/controls.h"
#include "runtime/form_model.h"

class QWidget;

namespace egn::runtime {

struct BuiltForm {
  std::unique_ptr<QWidget> window;  // owns the controls' widgets
  std::unique_ptr<Form> form;       // control access over those widgets
};

// Resolves an image name of the description (its icon) to a file Qt can read.
using ImageResolver = std::function<QString(const std::string& name)>;

// Makes the top-level window: caption, fixed frame with title, window menu
// and close button only, client size, background, font, icon; every control
// through its kind's factory; labels beneath the windowed controls; the tab
// order by tab index and the first focus; the first position. Does not show
// the window.
BuiltForm BuildForm(const FormDescription& description, const ImageResolver& images);

}  // namespace egn::runtime
