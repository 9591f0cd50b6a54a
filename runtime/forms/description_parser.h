// Reads a window description into the description model.
//
// The format, one statement a line ('#' starts a comment line):
//
//   form MainForm                     opens the window's block
//     caption = "Some text"          a setting: key = value
//     client-size = 7395, 4875
//     control textbox Text2(3)        opens a control: kind, name, index
//       rect = 1560, 1200, 375, 405
//       text = "first part"
//              " second part"         a line that starts with a text continues
//     end                             the text of the setting above it
//   end
//
// Values: integers (optional '-'), decimal numbers (font-size), colours as
// 0x00BBGGRR (exactly eight hex digits), yes/no, keywords, and texts in
// double quotes with the escapes \" \\ \r \n \t. Texts are bytes in the code
// page of the window's character set (charset = 204 is Windows-1251) and are
// decoded once the whole description has been read.
//
// Form settings: caption, border (fixed-single | sizable), position
// (center-screen | default), back-color, client-size (width, height), font-name,
// font-size, font-weight, font-italic, font-underline, font-strike, charset,
// icon. Control settings are those that the table of control kinds accepts for
// the kind: rect (left, top, width, height), tab-index, back-color,
// max-length, align (left | center | right), read-only, multi-line,
// scroll-bars (none | horizontal | vertical | both), visible, style
// (standard | graphical), caption, text, item (repeated, in order),
// accessible-name and accessible-description (what a screen reader says).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "runtime/forms/form_model.h"

namespace egn::runtime {

// A malformed description. what() is "line N: <what is wrong>".
class DescriptionError : public std::runtime_error {
 public:
  DescriptionError(int line, const std::string& problem);
  int line() const noexcept { return line_; }

 private:
  int line_;
};

FormDescription ParseDescription(std::string_view bytes);

}  // namespace egn::runtime
