#include "calc/check_digit.h"

#include <string_view>

#include "runtime/core/conversions.h"

namespace egn::calc {

namespace rt = egn::runtime;

void ComputeCheckDigit(const PositionTexts& digits, const PositionTexts& weights,
                       CheckDigitResult& result) {
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
  // Each line is the fixed text, the number and CR LF, built in the line's
  // own storage, which is made large enough for any number at once: one
  // allocation for a fresh result, none for a reused one.
  constexpr std::u16string_view kSum = u"Изчислена сума: ";
  constexpr std::u16string_view kDigit = u"Последно число: ";
  constexpr std::size_t kNumberAndBreak = 8;  // "-32768" and CR LF
  result.sum_line.reserve(kSum.size() + kNumberAndBreak);
  result.sum_line.assign(kSum).append(rt::IntegerToText(sum)).append(u"\r\n");
  result.digit_line.reserve(kDigit.size() + kNumberAndBreak);
  result.digit_line.assign(kDigit).append(result.digit_text).append(u"\r\n");
}

CheckDigitResult ComputeCheckDigit(const PositionTexts& digits, const PositionTexts& weights) {
  CheckDigitResult result;
  ComputeCheckDigit(digits, weights, result);
  return result;
}

}  // namespace egn::calc
