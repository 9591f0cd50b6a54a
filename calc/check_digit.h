// The control digit (tenth digit) of an ЕГН.
//
// The weights are not constants here: they arrive as texts, exactly as the
// window shows them under the digit boxes, and go through the same number
// rule as the digits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace egn::calc {

inline constexpr std::size_t kPositions = 9;

// Texts for positions 0 to 8, in the order of the number's first nine digits.
using PositionTexts = std::array<std::u16string, kPositions>;

struct CheckDigitResult {
  std::int16_t sum = 0;       // the weighted sum
  std::int16_t digit = 0;     // the control digit
  std::u16string sum_line;    // "Изчислена сума: <sum>\r\n"
  std::u16string digit_line;  // "Последно число: <digit>\r\n"
  std::u16string digit_text;  // "<digit>"
};

// Forms sum = Σ weight(i) × digit(i), each term in double precision and the
// running sum kept as a 16-bit integer, then digit = sum mod 11 (truncating,
// so it takes the sign of the sum) with 10 replaced by 0.
//
// Raises the floating-point fault when a term signals invalid or overflow and
// the overflow error when the running sum leaves the 16-bit range; either
// leaves at that position and builds no text. Holds no state.
CheckDigitResult ComputeCheckDigit(const PositionTexts& digits, const PositionTexts& weights);

// The same into `result`, whose texts keep their storage from one call to the
// next: for many numbers in a row, the lines then cost no allocation. On an
// error `result` is left as it was.
void ComputeCheckDigit(const PositionTexts& digits, const PositionTexts& weights,
                       CheckDigitResult& result);

}  // namespace egn::calc
