#include "runtime/forms/appearance.h"

#include <algorithm>
#include <array>
#include <cmath>

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

// Relative luminance of one sRGB channel (0-255).
double Linear(unsigned channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

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
  constexpr double kReadable = 4.5;
  if (ContrastRatio(face, preferred) >= kReadable) return preferred;
  const Colour black = Rgb(0, 0, 0), white = Rgb(255, 255, 255);
  return ContrastRatio(face, black) >= ContrastRatio(face, white) ? black : white;
}

}  // namespace egn::runtime
