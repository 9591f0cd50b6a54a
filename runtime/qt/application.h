// The Qt backend's side of forms: loading a window with its code, event
// delivery with the default handling of run-time errors, and start-up
// (egn::runtime::Start, declared with the forms).
#pragma once

#include <functional>
#include <memory>

#include "runtime/core/error.h"
#include "runtime/forms/controls.h"
#include "runtime/forms/forms.h"

class QWidget;

namespace egn::runtime {

class LoadedForm {
 public:
  LoadedForm(std::unique_ptr<QWidget> window, std::unique_ptr<Form> form);
  ~LoadedForm();

  QWidget& window() const { return *window_; }
  Form& form() const { return *form_; }
  FormModule& module() const { return *module_; }
  void SetModule(std::unique_ptr<FormModule> module) { module_ = std::move(module); }

 private:
  std::unique_ptr<QWidget> window_;
  std::unique_ptr<Form> form_;
  std::unique_ptr<FormModule> module_;
};

// Reads the description, builds the window (not shown) with its code and
// connects its events. Throws DescriptionError for a malformed description
// and std::runtime_error when it cannot be read or an event names no control
// that can raise it.
std::unique_ptr<LoadedForm> LoadForm(const FormClass& form_class);

// Runs `procedure`; a RuntimeError (or any other exception) that leaves it is
// given to the default handling, with `window` as the message box's parent.
void DeliverEvent(QWidget* window, const std::function<void()>& procedure);

// The default handling of a run-time error: a modal message box.
void ShowRuntimeError(QWidget* window, const RuntimeError& error);

}  // namespace egn::runtime
