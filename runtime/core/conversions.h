// Text and number conversions of the forms runtime (standard library only).
//
// Text is UTF-16, as the window holds it. None of these functions reads past
// its input or has undefined behaviour on any input; only DoubleToInteger and
// the arithmetic check can fail, and they fail with a RuntimeError.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace egn::runtime {

// The value of a text. Never fails. The rule:
//   - leading blanks (U+0020, U+0009) are skipped;
//   - then an optional sign '+' or '-';
//   - then ASCII decimal digits with at most one '.' among or before them
//     (at least one digit in all), optionally followed by an exponent 'e' or
//     'E', an optional sign and at least one digit;
//   - the longest such prefix gives the value, correctly rounded to double;
//     everything after it is ignored; a text with no such prefix gives 0.
//   - a magnitude beyond the range of a double gives +/- infinity, one below
//     its smallest subnormal gives +/- 0.
// So "0" ... "9" give 0 ... 9, "10" gives 10, and the empty text, a blank, a
// lone sign or point, a letter and every non-ASCII character (digits of other
// scripts and surrogates included) give 0.
double TextToNumber(std::u16string_view text);

// Shortest decimal form: "0", "285", "-32768".
std::u16string IntegerToText(std::int16_t value);

// The left operand followed by the right one.
std::u16string Concat(std::u16string_view left, std::u16string_view right);

// Whether the text holds half a surrogate pair (a high surrogate not followed
// by a low one, or a low one alone): what an edit box with a one-unit limit
// would keep of a character outside the Basic Multilingual Plane.
bool HasLoneSurrogate(std::u16string_view text);

// UTF-16 to UTF-8, for text that leaves the program as bytes; a lone
// surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

// Rounds to the nearest integer, a tie going to the even neighbour, and
// raises the overflow error when the result lies outside -32768 ... 32767
// (NaN and the infinities included).
std::int16_t DoubleToInteger(double value);

// The IEEE 754 exceptions that the multiply-add `product = a * b` then
// `result = product + c` signals, derived from the operands and results:
// invalid (a NaN from non-NaN operands) and overflow (an infinity from finite
// operands). Division by zero cannot arise from these two operations.
// Deriving them from values rather than reading the floating-point status
// word keeps the check immune to the optimiser moving the arithmetic across
// the status calls. Raises the floating-point fault when either is signalled
// and returns the result otherwise.
double CheckedMultiplyAdd(double a, double b, double c);

}  // namespace egn::runtime
