#include "calc/check_digit.h"

#include "runtime/core/conversions.h"

namespace egn::calc {

namespace rt = egn::runtime;

CheckDigitResult ComputeCheckDigit(const PositionTexts& digits, const PositionTexts& weights) {
  CheckDigitResult result;
  std::int16_t sum = 0;
  for (std::size_t i = 0; i < kPositions; ++i) {
    const double d = rt::TextToNumber(digits[i]);
    const double w = rt::TextToNumber(weights[i]);
    sum = rt::DoubleToInteger(rt::CheckedMultiplyAdd(w, d, static_cast<double>(sum)));
  }
  auto digit = static_cast<std::int16_t>(sum % 11);
  if (digit == 10) digit = 0;

  result.sum = sum;
  result.digit = digit;
  result.digit_text = rt::IntegerToText(digit);
  // The number and its line break are joined first: that short text needs no
  // allocation, so each line costs one.
  result.sum_line = rt::Concat(u"Изчислена сума: ", rt::Concat(rt::IntegerToText(sum), u"\r\n"));
  result.digit_line = rt::Concat(u"Последно число: ", rt::Concat(result.digit_text, u"\r\n"));
  return result;
}

}  // namespace egn::calc
