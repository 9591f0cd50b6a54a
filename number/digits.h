// Digits 0-9 alone: what a number is written in, wherever it is read (an
// argument, a line, a table's field, a date of --generate).
#pragma once

#include <cstddef>
#include <string_view>

namespace egn::number {

// Where the first byte of `text` that is no digit 0-9 lies; npos for none.
inline std::size_t FirstNonDigit(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i] - '0') > 9) return i;
  }
  return std::string_view::npos;
}

// Whether `text` is digits 0-9 alone (and not empty).
inline bool IsDigits(std::string_view text) {
  return !text.empty() && FirstNonDigit(text) == std::string_view::npos;
}

}  // namespace egn::number
