// Forms, their code and events: what every backend shares.
//
// A form class pairs a stored description with the code of the window: the
// code receives the window's control access when the window is built and
// names the events it handles. A backend builds the window, connects the
// events through ConnectEvents, shows it and runs the message loop. A
// run-time error that leaves an event procedure stops at the event boundary
// (RunEventProcedure) and goes to the backend's default handling, after
// which the window goes on with the writes already made.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/forms/controls.h"
#include "runtime/forms/form_model.h"

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

// A file compiled into the program. Its name starts with ":/", so that it is
// never taken for a path on disk.
struct EmbeddedFile {
  std::string_view name;
  std::string_view bytes;
};

struct FormClass {
  std::string name;         // the window's name in its description
  std::string description;  // the description: the name of one of `files`, or a path on disk
  std::function<std::unique_ptr<FormModule>(Form&)> create;
  std::span<const EmbeddedFile> files = {};  // what the program carries
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

// The project's start-up window. Throws std::runtime_error when the project
// has no form of that name.
const FormClass& StartupForm(const Project& project);

// A form class's description, read and parsed, with the bytes of its icon
// (an image named in the description, beside it; empty when there is none).
struct ReadForm {
  FormDescription description;
  std::string icon;
};

// Throws DescriptionError for a malformed description and std::runtime_error
// when it cannot be read or describes another window.
ReadForm ReadFormClass(const FormClass& form_class);

// Connects every event procedure of `module` to the controls it names;
// `deliver` runs a procedure at the event boundary. Throws
// std::runtime_error when an event names no control that can raise it.
using Deliver = std::function<void(const std::function<void()>& procedure)>;
void ConnectEvents(const Form& form, FormModule& module, const Deliver& deliver);

// Runs `procedure` and returns the run-time error that left it, if any; any
// other exception becomes the runtime's internal error.
std::optional<RuntimeError> RunEventProcedure(const std::function<void()>& procedure);

// Builds and shows the start-up window, runs the message loop until the
// window closes and ends the process. The command line is not read. Each
// backend defines it; a program gets the one it links.
[[noreturn]] void Start(const Project& project);

}  // namespace egn::runtime
