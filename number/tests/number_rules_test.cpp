#include "number/number_rules.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "calc/check_digit.h"
#include "runtime/core/conversions.h"
#include "runtime/forms/forms.h"
#include "window/main_form.h"

namespace egn::number {
namespace {

std::string Text(const std::optional<Date>& date) { return date ? ToText(*date) : "-"; }

// --- the date of birth -------------------------------------------------------

struct DateCase {
  const char* six;
  const char* date;  // "-": impossible
};

class BirthDateTable : public testing::TestWithParam<DateCase> {};

TEST_P(BirthDateTable, MonthTellsTheCenturyAndTheDayMustExist) {
  EXPECT_EQ(Text(BirthDate(GetParam().six)), GetParam().date) << GetParam().six;
}

INSTANTIATE_TEST_SUITE_P(
    Rule, BirthDateTable,
    testing::Values(
        // every edge of the three month ranges
        DateCase{"990001", "-"}, DateCase{"990101", "1999-01-01"}, DateCase{"991201", "1999-12-01"},
        DateCase{"991301", "-"}, DateCase{"992001", "-"}, DateCase{"992101", "1899-01-01"},
        DateCase{"993201", "1899-12-01"}, DateCase{"993301", "-"}, DateCase{"994001", "-"},
        DateCase{"994101", "2099-01-01"}, DateCase{"995201", "2099-12-01"}, DateCase{"995301", "-"},
        DateCase{"999901", "-"},
        // 29 February: 1900 and 1800 are not leap years, 2000 is
        DateCase{"000229", "-"}, DateCase{"004229", "2000-02-29"}, DateCase{"002229", "-"},
        DateCase{"960229", "1996-02-29"}, DateCase{"970229", "-"}, DateCase{"964229", "2096-02-29"},
        DateCase{"000228", "1900-02-28"},
        // days the month has, and has not
        DateCase{"800100", "-"}, DateCase{"800131", "1980-01-31"}, DateCase{"800431", "-"},
        DateCase{"801231", "1980-12-31"}, DateCase{"801232", "-"},
        DateCase{"803230", "1880-12-30"}));

TEST(Calendar, EveryDayFrom1800To2099RoundTrips) {
  Date previous{1799, 12, 31};
  for (int n = 0; n < DayNumber({2099, 12, 31}) + 1; ++n) {
    const Date d = DateOfDay(n);
    ASSERT_EQ(DayNumber(d), n);
    ASSERT_TRUE(d > previous) << ToText(d);
    ASSERT_TRUE(d.day <= DaysInMonth(d.year, d.month)) << ToText(d);
    char six[6];
    WriteBirthDigits(d, six);
    ASSERT_EQ(BirthDate(std::string_view(six, 6)), d) << ToText(d);
    previous = d;
  }
  EXPECT_EQ(DayNumber({2099, 12, 31}), 109572);  // 300 years, 73 leap days
}

// --- regions and sex -----------------------------------------------------------

TEST(Regions, AreTheItemsOfTheWindowsList) {
  const runtime::ReadForm form = runtime::ReadFormClass(window::MainFormClass());
  const runtime::ControlDescription* list = nullptr;
  for (const auto& c : form.description.controls) {
    if (c.name == "List1") list = &c;
  }
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->items.size(), Regions().size());
  for (std::size_t i = 0; i < Regions().size(); ++i) {
    EXPECT_EQ(Regions()[i].item, runtime::ToUtf8(list->items[i])) << i;
  }
  EXPECT_EQ(Regions()[18].name, "Сливен");
  EXPECT_EQ(Regions()[20].name, "София - град");
  // The ranges follow each other from 000 to 925 with no gap and no overlap.
  int next = 0;
  for (const Region& r : Regions()) {
    EXPECT_EQ(r.first, next) << r.item;
    EXPECT_LE(r.first, r.last) << r.item;
    next = r.last + 1;
  }
  EXPECT_EQ(next, 926);
}

TEST(Regions, EdgesOfTheCodes) {
  const std::pair<int, const char*> cases[] = {
      {0, "Благоевград"}, {43, "Благоевград"}, {44, "Бургас"}, {576, "Сливен"}, {601, "Сливен"},
      {602, "Смолян"},    {925, "Ямбол"},      {926, nullptr}, {999, nullptr},
  };
  for (const auto& [code, name] : cases) {
    const Region* r = RegionOfCode(code);
    EXPECT_EQ(r ? std::string(r->name) : "none", name ? name : "none") << code;
  }
  EXPECT_EQ(FindRegion("Варна"), RegionOfCode(100));
  EXPECT_EQ(FindRegion("Варна [094 - 139]"), nullptr);
}

TEST(Sex, TheParityOfTheNinthDigit) {
  for (char c = '0'; c <= '9'; ++c) {
    EXPECT_EQ(SexOfDigit(c), (c - '0') % 2 == 0 ? Sex::kMale : Sex::kFemale) << c;
  }
}

// --- whole numbers ---------------------------------------------------------------

TEST(Decode, NumbersWorkedByHand) {
  struct Case {
    const char* number;
    const char* date;
    Sex sex;
    const char* region;
  };
  for (const Case& c : {Case{"8032056031", "1880-12-05", Sex::kFemale, "Смолян"},
                        Case{"7542011030", "2075-02-01", Sex::kFemale, "Варна"},
                        Case{"8001010008", "1980-01-01", Sex::kMale, "Благоевград"}}) {
    const Decoded d = Decode(c.number);
    EXPECT_TRUE(d.valid()) << c.number;
    EXPECT_EQ(Text(d.birth), c.date) << c.number;
    EXPECT_EQ(d.sex, c.sex) << c.number;
    ASSERT_NE(d.region, nullptr);
    EXPECT_EQ(d.region->name, c.region) << c.number;
  }
  const Decoded wrong = Decode("8032056032");
  EXPECT_FALSE(wrong.control_digit_ok);
  EXPECT_EQ(wrong.control_digit, 1);
  const Decoded impossible = Decode("8013010000");  // month 13
  EXPECT_FALSE(impossible.birth.has_value());
  EXPECT_FALSE(impossible.valid());
  EXPECT_EQ(Decode("8001019990").region, nullptr);  // unknown, yet valid
  EXPECT_TRUE(Decode("800101999" + std::to_string(ControlDigit("800101999"))).valid());
}

TEST(WithLostZeros, OnlyANumberOf2000To2009WithItsZerosPutBack) {
  const std::pair<const char*, const char*> cases[] = {
      {"551267871", "0551267871"},  // 2005-11-26
      {"442290005", "0442290005"},  // 2004-02-29, a leap day
      {"952310004", "0952310004"},  // 2009-12-31
      {"41010002", "0041010002"},   // 2000-01-01: both zeros lost
      {"041010002", "0041010002"},  // one of the two lost
      {"551267870", "-"},           // the control digit is wrong
      {"553267871", "-"},           // month 53
      {"542290009", "-"},           // 2005-02-29
      {"501010001", "-"},           // 1905-01-01: valid, yet no one born 1900-1909 is meant
      {"521010006", "-"},           // 1805-01-01
      {"5512678711", "-"},          // ten digits lose nothing
      {"1010002", "-"},             // nor do seven
  };
  for (const auto& [digits, ten] : cases) {
    const auto restored = WithLostZeros(digits);
    EXPECT_EQ(restored ? std::string(restored->data(), 10) : "-", ten) << digits;
  }
}

// A wrong control digit, when the digits hold no date as they stand but one
// of 2000-2009 with their zeros.
TEST(WithLostZerosAndWrongDigit, OnlyWhereTheDigitsHoldNoDateAsTheyStand) {
  const std::pair<const char*, const char*> cases[] = {
      {"551267872", "0551267872"},  // 55-12-67 is no date; 2005-11-26 is
      {"41010003", "0041010003"},   // 41-01-00 is no date; 2000-01-01 is
      {"041010003", "-"},           // 04-10-10 is a date (1904-10-10)
      {"551267871", "-"},           // right: WithLostZeros's
      {"441210008", "-"},           // 44-12-10 is a date (1944-12-10)
      {"553267872", "-"},           // month 53
      {"542290008", "-"},           // 2005-02-29
      {"5512678720", "-"},          // ten digits lose nothing
  };
  for (const auto& [digits, ten] : cases) {
    const auto restored = WithLostZerosAndWrongDigit(digits);
    EXPECT_EQ(restored ? std::string(restored->data(), 10) : "-", ten) << digits;
  }
}

// Every day of 2000-2009, in a number with some region and its right digit:
// without its zero (or either of the two of 2000) it comes back whole, so
// that no month or day of the decade is turned away by the quick test of
// the month and day (MayHaveLostZeros) or by the rest.
TEST(WithLostZeros, EveryDayOf2000To2009ComesBack) {
  for (int day = DayNumber({2000, 1, 1}); day <= DayNumber({2009, 12, 31}); ++day) {
    std::string ten(10, '0');
    WriteBirthDigits(DateOfDay(day), ten.data());
    const int code = day % 1000;
    ten[6] = static_cast<char>('0' + code / 100);
    ten[7] = static_cast<char>('0' + code / 10 % 10);
    ten[8] = static_cast<char>('0' + code % 10);
    ten[9] = static_cast<char>('0' + ControlDigit(ten.data()));
    for (std::size_t lost = 1; lost <= (ten.starts_with("00") ? 2U : 1U); ++lost) {
      const auto restored = WithLostZeros(std::string_view(ten).substr(lost));
      ASSERT_TRUE(restored.has_value()) << ten << " without " << lost;
      EXPECT_EQ(std::string(restored->data(), 10), ten);
    }
  }
}

// --- the fast control digit against the window's calculation --------------------

void ExpectSameAsTheWindow(const std::string& nine) {
  calc::PositionTexts digits, weights{u"2", u"4", u"8", u"5", u"10", u"9", u"7", u"3", u"6"};
  for (std::size_t i = 0; i < 9; ++i) digits[i] = std::u16string(1, static_cast<char16_t>(nine[i]));
  const calc::CheckDigitResult window = calc::ComputeCheckDigit(digits, weights);
  ASSERT_EQ(WeightedSum(nine.data()), window.sum) << nine;
  ASSERT_EQ(ControlDigit(nine.data()), window.digit) << nine;
}

TEST(ControlDigit, AgreesWithTheWindowOnEdgeSums) {
  // 0 and 486 are the smallest and largest sums; 285 and 10 leave 10.
  for (const char* nine : {"000000000", "999999999", "123456789", "000010000", "100000000",
                           "000000001", "990000000", "000000019"}) {
    ExpectSameAsTheWindow(nine);
  }
  // every sum that can occur: one digit at a time from 0 up to all nines
  std::string nine = "000000000";
  for (int i = 0; i < 9; ++i) {
    for (char d = '0'; d <= '9'; ++d) {
      nine[static_cast<std::size_t>(i)] = d;
      ExpectSameAsTheWindow(nine);
    }
  }
}

TEST(ControlDigit, AgreesWithTheWindowOnRandomNumbers) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> digit(0, 9);
  std::string nine(9, '0');
  for (int n = 0; n < 200'000; ++n) {
    for (char& c : nine) c = static_cast<char>('0' + digit(random));
    ExpectSameAsTheWindow(nine);
  }
}

}  // namespace
}  // namespace egn::number
