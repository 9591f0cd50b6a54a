#include "runtime/core/conversions.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "runtime/core/error.h"

namespace egn::runtime {

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// The numeric prefix of a text, found by one bounded scan.
struct NumberSyntax {
  bool negative = false;
  std::size_t mantissa_begin = 0;  // first character of the digits-and-point run
  std::size_t mantissa_end = 0;
  std::size_t exponent_end = 0;  // == mantissa_end when there is no exponent
  bool has_digits = false;
};

NumberSyntax Scan(std::u16string_view text) {
  NumberSyntax s;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) {
    s.negative = text[i] == u'-';
    ++i;
  }
  s.mantissa_begin = i;
  bool seen_point = false;
  for (; i < n; ++i) {
    if (IsDigit(text[i])) {
      s.has_digits = true;
    } else if (text[i] == u'.' && !seen_point) {
      seen_point = true;
    } else {
      break;
    }
  }
  s.mantissa_end = s.exponent_end = i;
  if (s.has_digits && i < n && (text[i] == u'e' || text[i] == u'E')) {
    std::size_t j = i + 1;
    if (j < n && (text[j] == u'+' || text[j] == u'-')) ++j;
    if (j < n && IsDigit(text[j])) {
      while (j < n && IsDigit(text[j])) ++j;
      s.exponent_end = j;
    }
  }
  return s;
}

// Decimal exponent of the leading significant digit ("123.4" gives 2,
// "0.001" gives -3) plus the written exponent, saturated far outside the range
// of a double; INT64_MIN when every digit is zero. Used only to tell overflow
// from underflow and to keep absurd exponents away from from_chars.
long long Magnitude(std::u16string_view text, const NumberSyntax& s) {
  constexpr long long kSaturation = 1'000'000'000'000LL;
  long long integer_digits = 0;
  long long first_nonzero = -1;  // index among the digits, the point not counted
  long long digit_index = 0;
  bool point = false;
  for (std::size_t i = s.mantissa_begin; i < s.mantissa_end; ++i) {
    if (text[i] == u'.') {
      point = true;
      continue;
    }
    if (!point) ++integer_digits;
    if (first_nonzero < 0 && text[i] != u'0') first_nonzero = digit_index;
    ++digit_index;
  }
  if (first_nonzero < 0) return std::numeric_limits<long long>::min();

  long long exponent = 0;
  bool exponent_negative = false;
  std::size_t i = s.mantissa_end + 1;
  if (s.exponent_end > s.mantissa_end) {
    if (text[i] == u'+' || text[i] == u'-') exponent_negative = text[i++] == u'-';
    for (; i < s.exponent_end; ++i) {
      if (exponent < kSaturation) exponent = exponent * 10 + (text[i] - u'0');
    }
  }
  return integer_digits - 1 - first_nonzero + (exponent_negative ? -exponent : exponent);
}

}  // namespace

double TextToNumber(std::u16string_view text) {
  // The common cases of the window: one digit, and the weight captions. Up to
  // 15 digits the integer is exact in a double.
  if (text.size() == 1) return IsDigit(text[0]) ? text[0] - u'0' : 0.0;
  if (!text.empty() && text.size() <= 15) {
    std::int64_t whole = 0;
    std::size_t i = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) whole = whole * 10 + (text[i] - u'0');
    if (i == text.size()) return static_cast<double>(whole);
  }

  const NumberSyntax s = Scan(text);
  if (!s.has_digits) return 0.0;
  const double sign = s.negative ? -1.0 : 1.0;
  const long long magnitude = Magnitude(text, s);
  if (magnitude == std::numeric_limits<long long>::min()) return sign * 0.0;
  if (magnitude > 400) return sign * std::numeric_limits<double>::infinity();
  if (magnitude < -400) return sign * 0.0;

  // The prefix is ASCII by construction; narrow it for from_chars, on the
  // stack when it is short.
  const std::size_t length = s.exponent_end - s.mantissa_begin;
  std::array<char, 64> small{};
  std::string large;
  char* buffer = small.data();
  if (length > small.size()) {
    large.resize(length);
    buffer = large.data();
  }
  for (std::size_t i = 0; i < length; ++i) {
    buffer[i] = static_cast<char>(text[s.mantissa_begin + i]);
  }
  double value = 0.0;
#if EGN_HAVE_FLOAT_FROM_CHARS
  const auto [end, error] = std::from_chars(buffer, buffer + length, value);
  (void)end;
  const bool out_of_range = error == std::errc::result_out_of_range;
  const bool failed = error != std::errc();
#else
  // A C++ library without the floating-point from_chars (the browser's):
  // strtod on the same scanned prefix. Its C locale is never changed there.
  std::string terminated(buffer, length);
  char* end = nullptr;
  errno = 0;
  value = std::strtod(terminated.c_str(), &end);
  // ERANGE also marks a subnormal result, which is a value all the same.
  const bool out_of_range = errno == ERANGE && (std::isinf(value) || value == 0.0);
  const bool failed = end != terminated.c_str() + length;
#endif
  if (out_of_range) {
    value = magnitude >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (failed) {
    value = 0.0;  // cannot happen for the scanned syntax; stay total all the same
  }
  return sign * value;
}

std::u16string IntegerToText(std::int16_t value) {
  std::array<char, 8> digits{};
  const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  (void)error;  // eight characters always hold "-32768"
  return std::u16string(digits.data(), end);
}

std::u16string Concat(std::u16string_view left, std::u16string_view right) {
  std::u16string result;
  result.reserve(left.size() + right.size());
  result.append(left).append(right);
  return result;
}

std::int16_t DoubleToInteger(double value) {
  // Outside this window no rounding can bring the value into range; inside
  // it, truncation to int is defined, and NaN fails the comparisons.
  if (!(value > -32769.0 && value < 32768.0)) RaiseOverflow();
  int truncated = static_cast<int>(value);
  const double fraction = value - truncated;  // exact, in (-1, 1)
  const bool odd = (truncated & 1) != 0;
  if (fraction > 0.5 || (fraction == 0.5 && odd)) ++truncated;
  if (fraction < -0.5 || (fraction == -0.5 && odd)) --truncated;
  if (truncated < -32768 || truncated > 32767) RaiseOverflow();
  return static_cast<std::int16_t>(truncated);
}

double CheckedMultiplyAdd(double a, double b, double c) {
  const double product = a * b;
  const bool inputs_finite = std::isfinite(a) && std::isfinite(b);
  if (std::isnan(product) || (std::isinf(product) && inputs_finite)) RaiseFloatingPointFault();
  const double result = product + c;
  if (std::isnan(result) || (std::isinf(result) && std::isfinite(product) && std::isfinite(c))) {
    RaiseFloatingPointFault();
  }
  return result;
}

bool HasLoneSurrogate(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (text[i] >= 0xD800 && text[i] <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace egn::runtime
