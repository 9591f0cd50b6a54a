#include "runtime/forms/appearance.h"

#include <algorithm>
#include <array>

namespace egn::runtime {

namespace {

struct Twins {
  std::string_view face;
  std::array<std::string_view, 2> twins;
};
constexpr std::array<Twins, 3> kTwins = {{
    {"Times New Roman", {"Liberation Serif", "Tinos"}},
    {"Arial", {"Liberation Sans", "Arimo"}},
    {"Courier New", {"Liberation Mono", "Cousine"}},
}};

// x^(1/5) by Newton's method, for the table below (compile time only).
constexpr double FifthRoot(double x) {
  double y = 1.0;
  for (int i = 0; i < 60; ++i) y = (4.0 * y + x / (y * y * y * y)) / 5.0;
  return y;
}

// The linear light of each sRGB channel value 0-255 (c^2.4 is c^2 times
// the square of its fifth root). Made at compile time, so that measuring a
// contrast at start-up calls into no maths library (glibc's pow alone maps
// about 240 KiB of tables).
constexpr std::array<double, 256> MakeLinear() {
  std::array<double, 256> table{};
  for (std::size_t i = 0; i < table.size(); ++i) {
    const double c = static_cast<double>(i) / 255.0;
    const double x = (c + 0.055) / 1.055;
    const double root = FifthRoot(x);
    table[i] = c <= 0.04045 ? c / 12.92 : x * x * root * root;
  }
  return table;
}
constexpr std::array<double, 256> kLinear = MakeLinear();

double Linear(unsigned channel) { return kLinear[channel & 0xFF]; }

double Luminance(Colour c) {
  return 0.2126 * Linear(c & 0xFF) + 0.7152 * Linear((c >> 8) & 0xFF) +
         0.0722 * Linear((c >> 16) & 0xFF);
}

}  // namespace

std::span<const std::string_view> MetricTwins(std::string_view face) {
  for (const Twins& t : kTwins) {
    if (t.face == face) return t.twins;
  }
  return {};
}

bool BundledFaceServes(std::string_view face) {
  return face == kTwins[0].face || face == kBundledFamily;
}

double ContrastRatio(Colour a, Colour b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Colour ReadableTextOn(Colour face, Colour preferred) {
  if (ContrastRatio(face, preferred) >= kReadableContrast) return preferred;
  const Colour black = Rgb(0, 0, 0), white = Rgb(255, 255, 255);
  return ContrastRatio(face, black) >= ContrastRatio(face, white) ? black : white;
}

}  // namespace egn::runtime
