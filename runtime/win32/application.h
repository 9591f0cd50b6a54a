// The Win32 backend's side of forms: loading a window with its code, event
// delivery with the default handling of run-time errors, and start-up
// (egn::runtime::Start, declared with the forms).
#pragma once

#include <functional>
#include <memory>

#include "runtime/core/error.h"
#include "runtime/forms/forms.h"
#include "runtime/win32/form_window.h"

namespace egn::runtime {

class LoadedForm {
 public:
  explicit LoadedForm(std::unique_ptr<FormWindow> window) : window_(std::move(window)) {}
  ~LoadedForm() { module_.reset(); }  // the code goes first, then the window

  FormWindow& window() const { return *window_; }
  Form& form() const { return window_->form(); }
  FormModule& module() const { return *module_; }
  void SetModule(std::unique_ptr<FormModule> module) { module_ = std::move(module); }

 private:
  std::unique_ptr<FormWindow> window_;
  std::unique_ptr<FormModule> module_;
};

// Reads the description, builds the window (not shown) with its code and
// connects its events. The window's icon is the executable's (resource 1).
// Throws DescriptionError for a malformed description and std::runtime_error
// when it cannot be read or an event names no control that can raise it.
std::unique_ptr<LoadedForm> LoadForm(const FormClass& form_class);

// Runs `procedure`; a RuntimeError (or any other exception) that leaves it is
// given to the default handling, with `window` as the message box's owner.
void DeliverEvent(HWND window, const std::function<void()>& procedure);

// The default handling of a run-time error: a modal message box with the
// error's number and message.
void ShowRuntimeError(HWND window, const RuntimeError& error);

}  // namespace egn::runtime
