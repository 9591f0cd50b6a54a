// The web backend's side of forms: event delivery with the default handling
// of run-time errors (an in-page modal dialog), and start-up
// (egn::runtime::Start, declared with the forms).
#pragma once

#include <functional>

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

}  // namespace egn::runtime
