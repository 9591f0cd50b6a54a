#include "runtime/core/conversions.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>

#include "runtime/core/error.h"

namespace egn::runtime {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// --- text to number ---------------------------------------------------------

TEST(TextToNumber, EverySingleUtf16UnitGivesItsDigitValueOrZero) {
  for (std::uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
    const std::u16string text(1, static_cast<char16_t>(unit));
    const double expected = (unit >= u'0' && unit <= u'9') ? unit - u'0' : 0.0;
    ASSERT_EQ(TextToNumber(text), expected) << "unit U+" << std::hex << unit;
  }
}

TEST(TextToNumber, EmptyTextIsZero) { EXPECT_EQ(TextToNumber(u""), 0.0); }

struct NumberCase {
  std::u16string text;
  double value;
};

void PrintTo(const NumberCase& c, std::ostream* os) {
  *os << c.text.size() << " units, value " << c.value;
}

class TextToNumberTable : public ::testing::TestWithParam<NumberCase> {};

TEST_P(TextToNumberTable, GivesTheDocumentedValue) {
  const NumberCase& c = GetParam();
  const double got = TextToNumber(c.text);
  EXPECT_EQ(got, c.value);
  EXPECT_EQ(std::signbit(got), std::signbit(c.value));
}

INSTANTIATE_TEST_SUITE_P(
    Rule, TextToNumberTable,
    ::testing::Values(
        // the weight captions
        NumberCase{u"2", 2}, NumberCase{u"10", 10}, NumberCase{u"6", 6},
        // blanks, signs, points, exponents
        NumberCase{u"  42", 42}, NumberCase{u"\t7", 7}, NumberCase{u"-7", -7}, NumberCase{u"+3", 3},
        NumberCase{u"-0", -0.0}, NumberCase{u"1.5", 1.5}, NumberCase{u".5", 0.5},
        NumberCase{u"5.", 5}, NumberCase{u"-.25", -0.25}, NumberCase{u"1e3", 1000},
        NumberCase{u"1E-2", 0.01}, NumberCase{u"2.5e+1", 25}, NumberCase{u"007", 7},
        NumberCase{u"0.000125e4", 1.25},
        // a prefix that stops early, trailing garbage ignored
        NumberCase{u"12abc", 12}, NumberCase{u"1e", 1}, NumberCase{u"1e+", 1},
        NumberCase{u"1.2.3", 1.2}, NumberCase{u"3 4", 3}, NumberCase{u"9\xD800", 9},
        NumberCase{u"4\xDC00\xD800", 4},
        // no number at the start
        NumberCase{u"--1", 0}, NumberCase{u"- 1", 0}, NumberCase{u"+", 0}, NumberCase{u".", 0},
        NumberCase{u"-.", 0}, NumberCase{u"e5", 0}, NumberCase{u"abc", 0},
        NumberCase{u"\x0661\x0662", 0}, NumberCase{u"\xFF11", 0}, NumberCase{u"\xD83D\xDE00", 0},
        NumberCase{u"\u00A07", 0},
        // the ends of the double range
        NumberCase{u"1e308", 1e308}, NumberCase{u"1.7976931348623157e308", 1.7976931348623157e308},
        NumberCase{u"1e309", kInf}, NumberCase{u"-1e999", -kInf},
        NumberCase{u"1e99999999999999999999999", kInf}, NumberCase{u"4.9e-324", 4.9e-324},
        NumberCase{u"1e-400", 0}, NumberCase{u"-1e-99999999999999999999", -0.0},
        NumberCase{u"0e99999999999999999999", 0}, NumberCase{u"0.0000", 0},
        NumberCase{u"0.001e311", 1e308}, NumberCase{u"1000e-311", 1e-308}));

TEST(TextToNumber, HugeTextsAreReadWithoutFailing) {
  EXPECT_EQ(TextToNumber(std::u16string(1'000'000, u'9')), kInf);
  EXPECT_EQ(TextToNumber(std::u16string(1'000'000, u' ')), 0.0);
  EXPECT_EQ(TextToNumber(std::u16string(1'000'000, u'\xD800')), 0.0);

  // A long mantissa whose value is still ordinary: 0.000…0001 × 10^N.
  const std::u16string zeros(100'000, u'0');
  EXPECT_DOUBLE_EQ(TextToNumber(u"0." + zeros + u"1e100003"), 100.0);
  EXPECT_DOUBLE_EQ(TextToNumber(u"1" + zeros + u"e-100000"), 1.0);
  EXPECT_EQ(TextToNumber(u"5" + std::u16string(1'000'000, u'x')), 5.0);
}

// --- integer to text, concatenation ------------------------------------------

TEST(IntegerToText, ShortestDecimalForm) {
  const std::pair<std::int16_t, std::u16string> cases[] = {
      {0, u"0"}, {7, u"7"}, {285, u"285"}, {-1, u"-1"}, {32767, u"32767"}, {-32768, u"-32768"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(IntegerToText(value), text) << value;
}

TEST(Concat, LeftOperandFirst) {
  EXPECT_EQ(Concat(u"Изчислена сума: ", u"285"), u"Изчислена сума: 285");
  EXPECT_EQ(Concat(u"", u"x"), u"x");
  EXPECT_EQ(Concat(u"x", u""), u"x");
  EXPECT_EQ(Concat(u"\r", u"\n"), u"\r\n");
}

// --- double to integer -------------------------------------------------------

TEST(ToUtf8, EncodesEveryPlaneAndReplacesLoneSurrogates) {
  const struct {
    std::u16string_view text;
    std::string_view utf8;
  } cases[] = {
      {u"", ""},
      {u"285\r\n", "285\r\n"},
      {u"Изчислена сума: ", "Изчислена сума: "},
      {u"\u00E9\u20AC\U0001F600", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {std::u16string_view(u"a\xD800"
                           u"b",
                           3),
       "a\xEF\xBF\xBD"
       "b"},
      {std::u16string_view(u"\xDC00", 1), "\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToUtf8(c.text), c.utf8);
}

TEST(HasLoneSurrogate, OnlyHalfPairsCount) {
  const struct {
    std::u16string_view text;
    bool lone;
  } cases[] = {
      {u"", false},
      {u"7", false},
      {u"\U0001F600", false},
      {u"7\U0001F600\U0001F600", false},
      {std::u16string_view(u"\xD83D", 1), true},
      {std::u16string_view(u"7\xDE00", 2), true},
      {std::u16string_view(u"\xDE00\xD83D", 2), true},
      {std::u16string_view(u"\xD83D"
                           u"7",
                           2),
       true},
  };
  for (const auto& c : cases) EXPECT_EQ(HasLoneSurrogate(c.text), c.lone) << c.text.size();
}

TEST(DoubleToInteger, RoundsToNearestWithTiesToEven) {
  const std::pair<double, std::int16_t> cases[] = {
      {0.0, 0},           {-0.0, 0},          {0.5, 0},         {1.5, 2},         {2.5, 2},
      {3.5, 4},           {-0.5, 0},          {-1.5, -2},       {-2.5, -2},       {0.49999999, 0},
      {0.50000001, 1},    {-2.50000001, -3},  {285.0, 285},     {32767.0, 32767}, {32767.4, 32767},
      {-32768.0, -32768}, {-32768.5, -32768}, {32766.5, 32766}, {4.9e-324, 0},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(DoubleToInteger(value), expected) << value;
}

TEST(DoubleToInteger, OutsideTheRangeIsOverflow) {
  const double cases[] = {32767.5,  32768.0, -32768.51,
                          -32769.0, 1e308,   -1e308,
                          kInf,     -kInf,   std::numeric_limits<double>::quiet_NaN()};
  for (const double value : cases) {
    try {
      DoubleToInteger(value);
      ADD_FAILURE() << "no error for " << value;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.number(), ErrorNumber::kOverflow) << value;
      EXPECT_STREQ(e.what(),
                   "Грешка 1001: Препълване: стойността е извън обхвата на цяло число "
                   "(от -32768 до 32767).");
    }
  }
}

// --- the arithmetic check ----------------------------------------------------

// What the floating-point status word says after the same two operations,
// read the direct way. volatile keeps each operation between the status
// calls.
// WebAssembly has no status word: there the derived check stands alone, and
// the fixed cases below still hold it to the faults it must report.
#if defined(FE_INVALID) && defined(FE_DIVBYZERO) && defined(FE_OVERFLOW)
#define EGN_HAS_STATUS_WORD 1
#else
#define EGN_HAS_STATUS_WORD 0
#endif

[[gnu::noinline]] bool StatusWordReportsFault(double a, double b, double c) {
#if !EGN_HAS_STATUS_WORD
  (void)a, (void)b, (void)c;
  return false;
#else
  std::feclearexcept(FE_ALL_EXCEPT);
  volatile double first = a, second = b, third = c;
  volatile double product = first * second;
  volatile double result = product + third;
  (void)result;
  return std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW) != 0;
#endif
}

bool DerivedCheckReportsFault(double a, double b, double c) {
  try {
    CheckedMultiplyAdd(a, b, c);
    return false;
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), ErrorNumber::kFloatingPointFault);
    return true;
  }
}

TEST(CheckedMultiplyAdd, AgreesWithTheStatusWordOnSpecialValues) {
  if (!EGN_HAS_STATUS_WORD) GTEST_SKIP() << "no floating-point status word";
  const double specials[] = {
      0.0,      -0.0, 1.0,  -1.0, 9.0, 486.0, 32767.0, 1e154, 1e308, -1e308, 1.7976931348623157e308,
      4.9e-324, kInf, -kInf};
  for (const double a : specials) {
    for (const double b : specials) {
      for (const double c : specials) {
        EXPECT_EQ(DerivedCheckReportsFault(a, b, c), StatusWordReportsFault(a, b, c))
            << a << " * " << b << " + " << c;
      }
    }
  }
}

TEST(CheckedMultiplyAdd, AgreesWithTheStatusWordOnRandomValues) {
  if (!EGN_HAS_STATUS_WORD) GTEST_SKIP() << "no floating-point status word";
  std::mt19937_64 random(20261208);
  std::uniform_int_distribution<int> exponent(-330, 320);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  for (int n = 0; n < 100'000; ++n) {
    const double a = mantissa(random) * std::pow(10.0, exponent(random));
    const double b = mantissa(random) * std::pow(10.0, exponent(random));
    const double c = mantissa(random) * std::pow(10.0, exponent(random));
    ASSERT_EQ(DerivedCheckReportsFault(a, b, c), StatusWordReportsFault(a, b, c))
        << a << " * " << b << " + " << c;
  }
}

TEST(CheckedMultiplyAdd, FaultCarriesItsNumberAndMessage) {
  try {
    CheckedMultiplyAdd(1e308, 9.0, 0.0);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.code(), 1002);
    EXPECT_EQ(e.message(),
              "Грешка при изчисление с плаваща запетая: недопустима операция, деление на нула "
              "или препълване.");
  }
  EXPECT_EQ(CheckedMultiplyAdd(6.0, 9.0, 432.0), 486.0);
}

}  // namespace
}  // namespace egn::runtime
