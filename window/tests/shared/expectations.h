// What the window tests of every backend hold a window to, in one place:
// the window's own facts as the runtime reads them from its description, and
// what a user sees and does (what_users_see.tsv, compiled in). Standard C++
// and the toolkit-neutral runtime only, so that every backend's tests share
// it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/forms/form_model.h"

namespace egn::window::testing {

// The window's description, read by the runtime from the program's own
// embedded copy.
const runtime::FormDescription& Described();
// One control of it by the name a backend gives it: "Text2(3)", "List1".
// Throws std::out_of_range for a name the description does not have.
const runtime::ControlDescription& Described(std::string_view control);

struct Calculation {
  std::u16string typed;  // into the digit boxes, one character a box
  int sum, digit;
};

struct Paste {
  std::u16string pasted, kept;
};

struct WhatUsersSee {
  std::string first_focus;
  std::vector<std::string> tab_order;  // the stops after the first focus
  std::vector<std::string> digit_boxes;
  std::string tenth_box, results_box, calculate, clear;
  std::u16string results;  // with {sum} and {digit}
  std::vector<Calculation> calculations;
  std::vector<Paste> pastes;
  std::string error_edit_from, error_edit_to;
  std::u16string error_title, run_time_error;

  // The results box after "Изчисли" with this sum and digit.
  std::u16string Results(int sum, int digit) const;
};

// The table, read once. Throws std::runtime_error naming the line of a
// malformed row.
const WhatUsersSee& Expected();

// Reads a table from its text (UTF-8); what Expected() does with the
// compiled-in file.
WhatUsersSee ReadWhatUsersSee(std::string_view text);

// UTF-8 to UTF-16, for the tables' texts.
std::u16string Utf16(std::string_view utf8);

}  // namespace egn::window::testing
