#include "runtime/web/css_number.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace egn::runtime {

namespace {

constexpr std::uint64_t kMillion = 1'000'000;

// The fraction's millionths, rounded to nearest, ties to even, computed from
// the double's own bits. `fraction` is in [0, 1): it is m × 2^-shift with m
// below 2^53, so m × 10^6 (below 2^73) is held exactly in 128 bits.
std::uint64_t Millionths(double fraction) {
  if (fraction == 0.0) return 0;
  std::uint64_t bits = 0;
  std::memcpy(&bits, &fraction, sizeof bits);       // the browser's C++ library has no bit_cast
  const int biased = static_cast<int>(bits >> 52);  // the sign bit is clear
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int shift = 1074;  // a subnormal: m × 2^-1074
  if (biased != 0) {
    mantissa |= std::uint64_t{1} << 52;
    shift = 1075 - biased;
  }
  // Below 2^-21 (shift > 74 for any m) the value is under half a millionth.
  if (shift > 100) return 0;
  const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * kMillion;
  auto quotient = static_cast<std::uint64_t>(scaled >> shift);
  const unsigned __int128 rest = scaled - (static_cast<unsigned __int128>(quotient) << shift);
  const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
  if (rest > half || (rest == half && (quotient & 1) != 0)) ++quotient;
  return quotient;
}

}  // namespace

std::string CssNumber(double value) {
  const double magnitude = std::fabs(value);
  if (!(magnitude < 0x1p63)) return "0";
  auto whole = static_cast<std::uint64_t>(magnitude);                         // truncated: exact
  std::uint64_t places = Millionths(magnitude - static_cast<double>(whole));  // exact difference
  if (places == kMillion) {
    ++whole;
    places = 0;
  }
  if (whole == 0 && places == 0) return "0";
  std::string text = std::signbit(value) ? "-" : "";
  text += std::to_string(whole);
  if (places != 0) {
    char digits[7] = {};
    for (int i = 5; i >= 0; --i, places /= 10) digits[i] = static_cast<char>('0' + places % 10);
    int length = 6;
    while (digits[length - 1] == '0') --length;
    text.append(".").append(digits, static_cast<std::size_t>(length));
  }
  return text;
}

}  // namespace egn::runtime
