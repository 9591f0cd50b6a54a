// Any UTF-16 text (the input's bytes taken two at a time) through the number
// rule: it must never fail, never read out of bounds, never give NaN, and
// must agree with the one-digit rule on texts of one unit.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "runtime/core/conversions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  const double value = egn::runtime::TextToNumber(text);
  if (std::isnan(value)) std::abort();
  if (text.size() == 1) {
    const double expected = (text[0] >= u'0' && text[0] <= u'9') ? text[0] - u'0' : 0.0;
    if (value != expected) std::abort();
  }
  return 0;
}
