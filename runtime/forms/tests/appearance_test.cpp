#include "runtime/forms/appearance.h"

#include <gtest/gtest.h>

#include <cmath>

namespace egn::runtime {
namespace {

// The compile-time sRGB table against the formula, through the ratio with black.
TEST(Appearance, ContrastRatioFollowsTheFormulaForEveryGrey) {
  for (unsigned v = 0; v < 256; ++v) {
    const double c = v / 255.0;
    const double linear = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    EXPECT_NEAR(ContrastRatio(Rgb(v, v, v), Rgb(0, 0, 0)), (linear + 0.05) / 0.05, 1e-9) << v;
  }
}

TEST(Appearance, ContrastRatioByWcag) {
  EXPECT_NEAR(ContrastRatio(Rgb(0, 0, 0), Rgb(255, 255, 255)), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(Rgb(255, 255, 255), Rgb(0, 0, 0)), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(Rgb(118, 118, 118), Rgb(255, 255, 255)), 4.54, 0.01);
  EXPECT_NEAR(ContrastRatio(Rgb(50, 90, 200), Rgb(50, 90, 200)), 1.0, 1e-9);
}

// The window's pale faces under the text colours of a light, a dark and a
// high-contrast scheme.
TEST(Appearance, TextStaysReadableOnEveryFixedFace) {
  const Colour faces[] = {0x0080C0FF, 0x0080FFFF, 0x0080FF80, 0x008080FF, 0x00FFC0C0};
  const Colour texts[] = {Rgb(0, 0, 0), Rgb(239, 240, 241), Rgb(255, 255, 255), Rgb(255, 255, 0)};
  for (const Colour face : faces) {
    for (const Colour text : texts) {
      const Colour chosen = ReadableTextOn(face, text);
      EXPECT_GE(ContrastRatio(face, chosen), 4.5) << std::hex << face << " " << text;
      EXPECT_TRUE(ContrastRatio(face, text) < 4.5 || chosen == text);  // the system's, where it can
    }
  }
  EXPECT_EQ(ReadableTextOn(Rgb(20, 20, 20), Rgb(30, 30, 30)), Rgb(255, 255, 255));
}

TEST(Appearance, TwinsAndTheBundledFace) {
  ASSERT_EQ(MetricTwins("Times New Roman").size(), 2u);
  EXPECT_EQ(MetricTwins("Times New Roman")[0], "Liberation Serif");
  EXPECT_TRUE(MetricTwins("Comic Sans MS").empty());
  EXPECT_TRUE(BundledFaceServes("Times New Roman"));
  EXPECT_FALSE(BundledFaceServes("Arial"));
}

}  // namespace
}  // namespace egn::runtime
