#include "runtime/web/css_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace egn::runtime {
namespace {

// What printf's "%.6f" gives, with the trailing zeros, the point and the
// sign of a zero taken off: the reference the page's own writer must equal.
std::string Reference(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.6f", value);
  std::string text = buffer;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

TEST(CssNumber, WholeNumbersAndTwips) {
  EXPECT_EQ(CssNumber(0), "0");
  EXPECT_EQ(CssNumber(12), "12");
  EXPECT_EQ(CssNumber(-3), "-3");
  EXPECT_EQ(CssNumber(7395 / 15.0), "493");
  EXPECT_EQ(CssNumber(100 / 15.0), "6.666667");
  EXPECT_EQ(CssNumber(-0.25), "-0.25");
  EXPECT_EQ(CssNumber(9.75), "9.75");
  EXPECT_EQ(CssNumber(360 / 493.0), "0.730223");
}

TEST(CssNumber, TiesGoToTheEvenMillionth) {
  EXPECT_EQ(CssNumber(0.0078125), "0.007812");  // 1/128: 7812.5 millionths
  EXPECT_EQ(CssNumber(0.0234375), "0.023438");  // 3/128: 23437.5 millionths
  EXPECT_EQ(CssNumber(-0.0078125), "-0.007812");
}

TEST(CssNumber, RoundingCarriesIntoTheWholePart) {
  EXPECT_EQ(CssNumber(0.9999996), "1");
  EXPECT_EQ(CssNumber(41.9999999), "42");
  EXPECT_EQ(CssNumber(-1.9999995001), "-2");
}

TEST(CssNumber, WhatRoundsToZeroOrCannotBeWritten) {
  EXPECT_EQ(CssNumber(-0.0), "0");
  EXPECT_EQ(CssNumber(4e-7), "0");
  EXPECT_EQ(CssNumber(-4e-7), "0");
  EXPECT_EQ(CssNumber(5e-7), "0");  // the double is a little below half a millionth
  EXPECT_EQ(CssNumber(5.000001e-7), "0.000001");
  EXPECT_EQ(CssNumber(std::numeric_limits<double>::denorm_min()), "0");
  EXPECT_EQ(CssNumber(std::numeric_limits<double>::quiet_NaN()), "0");
  EXPECT_EQ(CssNumber(std::numeric_limits<double>::infinity()), "0");
  EXPECT_EQ(CssNumber(-std::numeric_limits<double>::infinity()), "0");
  EXPECT_EQ(CssNumber(0x1p63), "0");
  EXPECT_EQ(CssNumber(0x1p62), "4611686018427387904");
}

TEST(CssNumber, EqualsPrintfOnEveryTwipsValueOfAWindow) {
  for (int twips = -20000; twips <= 20000; ++twips) {
    ASSERT_EQ(CssNumber(twips / 15.0), Reference(twips / 15.0)) << twips;
  }
}

TEST(CssNumber, EqualsPrintfOnRandomValues) {
  std::mt19937_64 draw(20261208);
  std::uniform_real_distribution<double> small(-2.0, 2.0);
  std::uniform_real_distribution<double> exponent(-30.0, 40.0);
  for (int i = 0; i < 200000; ++i) {
    const double a = small(draw);
    const double b = std::copysign(std::exp2(exponent(draw)), small(draw));
    ASSERT_EQ(CssNumber(a), Reference(a)) << a;
    ASSERT_EQ(CssNumber(b), Reference(b)) << b;
  }
  // Values a few units of the last place from a tie between two millionths.
  for (std::int64_t n = 0; n < 20000; ++n) {
    const double tie = (static_cast<double>(n) + 0.5) / 1e6;
    double v = std::nextafter(tie, 0.0);
    for (int k = 0; k < 3; ++k, v = std::nextafter(v, 1.0)) {
      ASSERT_EQ(CssNumber(v), Reference(v)) << v;
    }
  }
}

}  // namespace
}  // namespace egn::runtime
