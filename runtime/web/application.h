// The web backend's side of forms: event delivery with the default handling
// of run-time errors (an in-page modal dialog), and start-up
// (egn::runtime::Start, declared with the forms).
#pragma once

#include <functional>
#include <string>

#include "runtime/core/error.h"
#include "runtime/forms/forms.h"

namespace egn::runtime {

// Runs `procedure`; a RuntimeError (or any other exception) that leaves it is
// given to the default handling.
void DeliverEvent(const std::function<void()>& procedure);

// The default handling of a run-time error: a modal dialog in the page with
// the error's number and message and an OK button. The focus goes back where
// it was when the dialog closes, and the window goes on.
void ShowRuntimeError(const RuntimeError& error);

// The second step of the start (Start reads the description, then leaves
// the rest to a task of its own): builds the window, or takes the one the
// page carries, with its code; where that fails, the page's message takes
// its place. Catches every exception, as Start does.
void FinishStart(const std::string& application_name, const FormClass& form_class,
                 const FormDescription& description);

}  // namespace egn::runtime
