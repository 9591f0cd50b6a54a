// Arbitrary digit and weight texts: the calculation either raises one of its
// two run-time errors or gives a consistent result; it never crashes or hits
// undefined behaviour.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "calc/check_digit.h"
#include "runtime/core/conversions.h"
#include "runtime/core/error.h"

namespace {

std::u16string Text(FuzzedDataProvider& input) {
  const std::string bytes = input.ConsumeRandomLengthString(64);
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  egn::calc::PositionTexts digits, weights;
  for (std::size_t i = 0; i < egn::calc::kPositions; ++i) {
    digits[i] = Text(input);
    weights[i] = Text(input);
  }
  try {
    const egn::calc::CheckDigitResult r = egn::calc::ComputeCheckDigit(digits, weights);
    if (r.digit <= -11 || r.digit >= 10 || r.digit != (r.sum % 11 == 10 ? 0 : r.sum % 11))
      std::abort();
    if (r.digit_text != egn::runtime::IntegerToText(r.digit)) std::abort();
    if (r.sum_line != u"Изчислена сума: " + egn::runtime::IntegerToText(r.sum) + u"\r\n")
      std::abort();
    if (r.digit_line != u"Последно число: " + r.digit_text + u"\r\n") std::abort();
  } catch (const egn::runtime::RuntimeError& error) {
    if (error.number() != egn::runtime::ErrorNumber::kOverflow &&
        error.number() != egn::runtime::ErrorNumber::kFloatingPointFault) {
      std::abort();
    }
  }
  return 0;
}
