#include "../icon_scale.h"

// GCC 12 at -O3 takes the vectors of a list of aggregates for uninitialised
// where the list is destroyed (a false alarm of its own).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace {

using egn::icon::Image;
using egn::icon::ScaleByArea;

struct Case {
  std::string name;
  Image from;
  int size;
  std::vector<std::uint32_t> expected;
};

constexpr std::uint32_t kRed = 0xffff0000, kBlue = 0xff0000ff, kWhite = 0xffffffff;
constexpr std::uint32_t kBlack = 0xff000000, kNone = 0x00000000;

std::vector<Case> Cases() {
  return {
      // The mean of a 2 x 2 block, rounded to nearest: red (0 + 3 * 255) / 4.
      {"half_is_the_rounded_mean", {2, {kBlack, kRed, kRed, kRed}}, 1, {0xffbf0000}},
      // A transparent pixel lends coverage but no colour: red stays pure red
      // at a quarter of the alpha (63.75 rounds to 64), not darkened to 0x40.
      {"transparency_lends_no_colour", {2, {kRed, kNone, kNone, kNone}}, 1, {0x40ff0000}},
      {"all_transparent_is_zero", {2, {kNone, 0x00ffffff, kNone, kNone}}, 1, {kNone}},
      // A whole multiple repeats each pixel as a block, alpha and all.
      {"whole_multiple_repeats",
       {1, {0x80123456}},
       2,
       {0x80123456, 0x80123456, 0x80123456, 0x80123456}},
      // 2 -> 3, as 32 -> 48: the middle row and column are half and half, the
      // centre the mean of all four; the corners stay the old pixels.
      {"one_and_a_half_blends_only_the_seams",
       {2, {kRed, kBlue, kBlack, kWhite}},
       3,
       {kRed, 0xff800080, kBlue,  //
        0xff800000, 0xff804080, 0xff8080ff, kBlack, 0xff808080, kWhite}},
      // 3 -> 2, as 32 -> 24: each new pixel takes two thirds of one old
      // pixel's width and one third of the next one's.
      {"three_quarters_weighs_by_area",
       {3, {kWhite, kBlack, kBlack, kBlack, kBlack, kBlack, kBlack, kBlack, kWhite}},
       2,
       {0xff717171, 0xff000000, 0xff000000, 0xff717171}},
  };
}

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class ScaleByAreaTest : public testing::TestWithParam<Case> {};

TEST_P(ScaleByAreaTest, GivesTheExpectedPixels) {
  const Case& c = GetParam();
  const Image scaled = ScaleByArea(c.from, c.size);
  EXPECT_EQ(scaled.size, c.size);
  EXPECT_EQ(scaled.pixels, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScaleByAreaTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
