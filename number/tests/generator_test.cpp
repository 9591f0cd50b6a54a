#include "number/generator.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace egn::number {
namespace {

std::string NextNumber(Generator& g) {
  std::string ten(10, ' ');
  g.Next(ten.data());
  return ten;
}

TEST(Generator, EveryNumberIsValidAndKeepsItsFilters) {
  Filters all;
  Filters women_in_sliven{Date{1999, 12, 1}, Date{2000, 3, 1}, Sex::kFemale, FindRegion("Сливен")};
  Filters men_of_1800{Date{1800, 1, 1}, Date{1800, 12, 31}, Sex::kMale, nullptr};
  Filters one_day{Date{2000, 2, 29}, Date{2000, 2, 29}, std::nullopt, FindRegion("Ямбол")};
  for (const Filters& f : {all, women_in_sliven, men_of_1800, one_day}) {
    Generator g(f, 7);
    ASSERT_FALSE(g.empty());
    for (int n = 0; n < 20'000; ++n) {
      const std::string ten = NextNumber(g);
      const Decoded d = Decode(ten);
      ASSERT_TRUE(d.valid()) << ten;
      ASSERT_NE(d.region, nullptr) << ten;
      ASSERT_TRUE(*d.birth >= f.born_from && *d.birth <= f.born_to) << ten;
      ASSERT_TRUE(!f.sex || d.sex == *f.sex) << ten;
      ASSERT_TRUE(!f.region || d.region == f.region) << ten;
    }
  }
}

TEST(Generator, DrawsEvenlyAndReproducibly) {
  // Видин has 14 codes, 7 for each sex; on one day every code is a number.
  const Filters f{Date{1990, 5, 17}, Date{1990, 5, 17}, std::nullopt, FindRegion("Видин")};
  Generator g(f, 42), same(f, 42), other(f, 43);
  std::map<std::string, int> seen;
  bool differs = false;
  for (int n = 0; n < 14'000; ++n) {
    const std::string ten = NextNumber(g);
    ASSERT_EQ(NextNumber(same), ten);
    differs |= NextNumber(other) != ten;
    ++seen[ten];
  }
  EXPECT_TRUE(differs);
  ASSERT_EQ(seen.size(), 14u);
  for (const auto& [number, count] : seen) EXPECT_NEAR(count, 1000, 150) << number;
}

TEST(Generator, FiltersThatAllowNothing) {
  EXPECT_TRUE(
      Generator(Filters{Date{2000, 1, 2}, Date{2000, 1, 1}, std::nullopt, nullptr}, 1).empty());
  EXPECT_FALSE(Generator(Filters{}, 1).empty());
}

TEST(ParseBorn, DatesMonthsYearsAndTheirRanges) {
  struct Case {
    const char* text;
    const char* result;  // "FROM TO", or the problem
  };
  const Case cases[] = {
      {"1990", "1990-01-01 1990-12-31"},
      {"2000-02", "2000-02-01 2000-02-29"},
      {"1900-02", "1900-02-01 1900-02-28"},
      {"1985-07-14", "1985-07-14 1985-07-14"},
      {"1800..2099", "1800-01-01 2099-12-31"},
      {"1990-03..1991", "1990-03-01 1991-12-31"},
      {"1999-02-29", "„1999-02-29“: няма такъв ден"},
      {"1990-13", "„1990-13“: няма месец 13"},
      {"1799-12-31", "„1799-12-31“ е извън обхвата от 1800-01-01 до 2099-12-31"},
      {"1990..2100", "„2100“ е извън обхвата от 1800-01-01 до 2099-12-31"},
      {"90-01-01", "„90-01-01“ не е дата ГГГГ-ММ-ДД, месец ГГГГ-ММ или година ГГГГ"},
      {"", "„“ не е дата ГГГГ-ММ-ДД, месец ГГГГ-ММ или година ГГГГ"},
  };
  for (const Case& c : cases) {
    std::string problem;
    const auto range = ParseBorn(c.text, problem);
    EXPECT_EQ(range ? ToText(range->first) + " " + ToText(range->second) : problem, c.result)
        << c.text;
  }
}

}  // namespace
}  // namespace egn::number
