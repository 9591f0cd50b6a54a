// Forms, their code, event delivery and start-up.
//
// A form class pairs a stored description with the code of the window: the
// code receives the window's control access when the window is built and
// names the events it handles. The runtime builds the window, connects the
// events, shows it and runs the message loop. A run-time error that leaves an
// event procedure stops at the event boundary and goes to the default
// handling: a message box with the error's number and message, after which
// the window goes on with the writes already made.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/controls.h"
#include "runtime/error.h"

class QWidget;

namespace egn::runtime {

// One event procedure: Click on each member of the array (or the single
// control) `control`. The handler receives the member's index (0 for a
// single control).
struct EventBinding {
  std::string control;
  std::string event;
  std::function<void(std::int16_t index)> handler;
};

class FormModule {
 public:
  virtual ~FormModule();
  virtual std::vector<EventBinding> Events() = 0;
};

struct FormClass {
  std::string name;         // the window's name in its description
  std::string description;  // the Qt resource holding the description
  std::function<std::unique_ptr<FormModule>(Form&)> create;
};

// What start-up needs: the start-up object is a window of the project; there
// is no start-up procedure. The application's name, version and desktop
// entry id are what the desktop and the window manager see.
struct Project {
  std::string startup_form;
  std::vector<FormClass> forms;
  std::string application_name;
  std::string version;
  std::string desktop_file_name;
};

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
// and std::runtime_error when the resource is missing or an event names no
// control that can raise it.
std::unique_ptr<LoadedForm> LoadForm(const FormClass& form_class);

// Runs `procedure`; a RuntimeError (or any other exception) that leaves it is
// given to the default handling, with `window` as the message box's parent.
void DeliverEvent(QWidget* window, const std::function<void()>& procedure);

// The default handling of a run-time error: a modal message box.
void ShowRuntimeError(QWidget* window, const RuntimeError& error);

// Creates the application, builds and shows the start-up window, runs the
// message loop until the window closes and ends the process with the loop's
// exit code. The command line is not read: neither the program nor Qt sees
// any argument.
[[noreturn]] void Start(const Project& project);

}  // namespace egn::runtime
