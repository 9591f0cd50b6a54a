// How the web backend makes each kind of control: one maker per kind, in one
// table (MakerFor), each defined in the file of its control family. A maker
// takes the control's element from the window the page carries, or creates
// it where there is none, applies the description's settings and returns it
// with the control-access object; the page places it. What a carried element
// holds from the user (what was typed, the focus, the caret, a selection) is
// kept.
#pragma once

#include <memory>

#include "runtime/forms/controls.h"
#include "runtime/forms/form_model.h"
#include "runtime/web/page_object.h"

namespace egn::runtime {

struct WebControl {
  std::unique_ptr<Control> control;
  PageObject element;
};

using ControlMaker = WebControl (*)(const ControlDescription& description);

WebControl MakeLabel(const ControlDescription& description);
WebControl MakeTextBox(const ControlDescription& description);
WebControl MakeListBox(const ControlDescription& description);
WebControl MakeButton(const ControlDescription& description);

// The maker of `kind`; a kind of the neutral table without one is the
// runtime's own fault (RuntimeError 9001), never a silent stand-in.
ControlMaker MakerFor(ControlKind kind);

// Whether a text box asks for one digit: a single-line box the user may type
// one character into and no more holds one place of a number (a wider box
// would be wanted for a letter or a word). Phones then offer their digit
// keyboard; a physical keyboard or a paste still puts in any character, as
// on the desktop.
bool AsksForOneDigit(const ControlDescription& description);

// What every control's element takes from its description: the class that
// styles its kind, its rectangle, its colour, whether it is shown, and what a
// screen reader calls it. Where the page carries an element of that id and
// tag, it is that one, as it is (`carried`): the page's markup was made by
// this same code (prerender.js), so it has all of that already, and only
// what the user did to it since is news.
struct MadeElement {
  PageObject element;
  bool carried;
};
MadeElement MakeElement(const char* tag, const char* css_class,
                        const ControlDescription& description);

}  // namespace egn::runtime
