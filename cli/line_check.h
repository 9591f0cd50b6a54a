// The check of one line (or argument) as the first nine or all ten digits
// of an ЕГН.
#pragma once

#include <string>
#include <string_view>

#include "table/line_reader.h"

namespace egn::cli {

using table::kLongestLine;
using table::Line;

enum class Verdict {
  kNothing,    // an empty or blank line: no number, no output
  kNine,       // nine digits: the control digit is to be computed
  kTen,        // ten digits: the tenth is to be compared with the computed one
  kMalformed,  // anything else; `problem` says what is wrong
};

struct Checked {
  Verdict verdict = Verdict::kNothing;
  // The digits, without the blanks around them, whenever the line holds
  // digits alone: always for kNine and kTen, and for kMalformed when there
  // are too few or too many (eight may be a number whose zeros were lost).
  std::string_view digits;
  std::string problem;  // kMalformed: in words, for the user
};

// Blanks (spaces, tabs, no-break spaces) around the number and one CR before the line's end
// are ignored. The problem names what the line's encoding (`line.encoding`)
// makes wrong. `blank_is_nothing`: a blank line is no number (lines of a
// file) rather than a malformed one (an argument).
Checked CheckLine(const Line& line, bool blank_is_nothing);

}  // namespace egn::cli
