#include "calc/check_digit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <random>
#include <string>

#include "runtime/core/error.h"

namespace egn::calc {
namespace {

using runtime::ErrorNumber;
using runtime::RuntimeError;

const PositionTexts kWeights = {u"2", u"4", u"8", u"5", u"10", u"9", u"7", u"3", u"6"};

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::u16string SumLine(int sum) {
  return u"Изчислена сума: " + Ascii(std::to_string(sum)) + u"\r\n";
}
std::u16string DigitLine(int d) { return u"Последно число: " + Ascii(std::to_string(d)) + u"\r\n"; }

struct EdgeCase {
  const char* name;
  PositionTexts digits;
  int sum;
  int digit;
};

void PrintTo(const EdgeCase& c, std::ostream* os) { *os << c.name; }

class CheckDigitEdges : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(CheckDigitEdges, SumDigitAndLines) {
  const EdgeCase& c = GetParam();
  const CheckDigitResult r = ComputeCheckDigit(c.digits, kWeights);
  EXPECT_EQ(r.sum, c.sum);
  EXPECT_EQ(r.digit, c.digit);
  EXPECT_EQ(r.sum_line, SumLine(c.sum));
  EXPECT_EQ(r.digit_line, DigitLine(c.digit));
  EXPECT_EQ(r.digit_text, Ascii(std::to_string(c.digit)));
}

INSTANTIATE_TEST_SUITE_P(
    Rule, CheckDigitEdges,
    ::testing::Values(
        EdgeCase{"AllEmpty", {}, 0, 0},
        EdgeCase{"OneToNine", {u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9"}, 285, 0},
        EdgeCase{"AllNines", {u"9", u"9", u"9", u"9", u"9", u"9", u"9", u"9", u"9"}, 486, 2},
        EdgeCase{"OneAtFirst", {u"1"}, 2, 2},
        EdgeCase{"OneAtWeightTen", {u"0", u"0", u"0", u"0", u"1", u"0", u"0", u"0", u"0"}, 10, 0},
        EdgeCase{"LettersSignsPointsBlanksAreZero",
                 {u"a", u"-", u".", u" ", u"+", u"Я", u"\xD83D", u"1", u"x"},
                 3,
                 3},
        EdgeCase{
            "RemainderBelowTen", {u"7", u"5", u"0", u"1", u"0", u"1", u"1", u"2", u"3"}, 79, 2},
        EdgeCase{"MonthThirteenDayZeroComputedAlike",
                 {u"9", u"9", u"1", u"3", u"0", u"0", u"0", u"0", u"0"},
                 77,
                 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CheckDigit, SameInputTwiceGivesTheSameResult) {
  const PositionTexts digits = {u"8", u"0", u"1", u"2", u"3", u"1", u"4", u"5", u"6"};
  const CheckDigitResult first = ComputeCheckDigit(digits, kWeights);
  const CheckDigitResult second = ComputeCheckDigit(digits, kWeights);
  EXPECT_EQ(first.sum, second.sum);
  EXPECT_EQ(first.sum_line, second.sum_line);
  EXPECT_EQ(first.digit_line, second.digit_line);
  // And an earlier, different call leaves no trace.
  ComputeCheckDigit({u"9", u"9", u"9", u"9", u"9", u"9", u"9", u"9", u"9"}, kWeights);
  EXPECT_EQ(ComputeCheckDigit(digits, kWeights).sum, first.sum);
}

TEST(CheckDigit, NegativeSumKeepsTheSignOfTheRemainder) {
  const PositionTexts weights = {u"-2", u"4", u"8", u"5", u"10", u"9", u"7", u"3", u"6"};
  const CheckDigitResult r = ComputeCheckDigit({u"9"}, weights);
  EXPECT_EQ(r.sum, -18);
  EXPECT_EQ(r.digit, -7);
  EXPECT_EQ(r.digit_text, u"-7");
}

TEST(CheckDigit, FractionalTermsRoundHalfToEvenAtEachPosition) {
  // 0.5 × 1 → 0 (tie to even), then 0 + 1.5 × 1 → 2, then 2 + 2.5 × 1 = 4.5 → 4.
  const PositionTexts weights = {u"0.5", u"1.5", u"2.5", u"0", u"0", u"0", u"0", u"0", u"0"};
  EXPECT_EQ(ComputeCheckDigit({u"1", u"1", u"1"}, weights).sum, 4);
}

struct FailureCase {
  const char* name;
  PositionTexts weights;
  ErrorNumber number;
  const char* what;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class CheckDigitFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CheckDigitFailures, RaiseTheRuntimeError) {
  const FailureCase& c = GetParam();
  const PositionTexts nines = {u"9", u"9", u"9", u"9", u"9", u"9", u"9", u"9", u"9"};
  try {
    ComputeCheckDigit(nines, c.weights);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), c.number);
    EXPECT_STREQ(e.what(), c.what);
  }
}

constexpr const char* kFloatingPointWhat =
    "Грешка 1002: Грешка при изчисление с плаваща запетая: недопустима операция, деление на нула "
    "или препълване.";
constexpr const char* kOverflowWhat =
    "Грешка 1001: Препълване: стойността е извън обхвата на цяло число (от -32768 до 32767).";

INSTANTIATE_TEST_SUITE_P(
    Weights, CheckDigitFailures,
    ::testing::Values(FailureCase{"ProductOverflowsDouble",
                                  {u"1e308", u"4", u"8", u"5", u"10", u"9", u"7", u"3", u"6"},
                                  ErrorNumber::kFloatingPointFault,
                                  kFloatingPointWhat},
                      FailureCase{"SumLeavesSixteenBits",
                                  {u"40000", u"4", u"8", u"5", u"10", u"9", u"7", u"3", u"6"},
                                  ErrorNumber::kOverflow,
                                  kOverflowWhat},
                      FailureCase{"SumOverflowsLater",
                                  {u"3000", u"1000", u"0", u"0", u"0", u"0", u"0", u"0", u"0"},
                                  ErrorNumber::kOverflow,
                                  kOverflowWhat},
                      FailureCase{"InfiniteWeightIsOverflow",
                                  {u"1e999", u"4", u"8", u"5", u"10", u"9", u"7", u"3", u"6"},
                                  ErrorNumber::kOverflow,
                                  kOverflowWhat}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CheckDigit, InfinityTimesZeroIsInvalid) {
  const PositionTexts weights = {u"1e999", u"4", u"8", u"5", u"10", u"9", u"7", u"3", u"6"};
  try {
    ComputeCheckDigit({u"0"}, weights);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), ErrorNumber::kFloatingPointFault);
  }
}

// The rule stated independently: exact integer arithmetic, a running sum
// that must stay in 16 bits after every term, the remainder with the sign of
// the sum, 10 becoming 0. nullopt means overflow.
std::optional<std::pair<int, int>> Reference(const int (&d)[kPositions],
                                             const int (&w)[kPositions]) {
  long long sum = 0;
  for (std::size_t i = 0; i < kPositions; ++i) {
    sum += static_cast<long long>(w[i]) * d[i];
    if (sum < -32768 || sum > 32767) return std::nullopt;
  }
  const int r = static_cast<int>(sum - 11 * (sum / 11));
  return std::pair<int, int>{static_cast<int>(sum), r == 10 ? 0 : r};
}

TEST(CheckDigit, AgreesWithAnIndependentFormulationOnRandomInputs) {
  std::mt19937 random(8122026);
  const std::u16string junk[] = {u"", u" ", u"-", u"+", u".", u"a", u"Ж", u"\xDC00"};
  std::uniform_int_distribution<int> kind(0, 3);
  std::uniform_int_distribution<int> digit(0, 9);
  std::uniform_int_distribution<int> junk_pick(0, 7);
  std::uniform_int_distribution<int> weight(-4000, 4000);
  int overflows = 0;
  for (int n = 0; n < 20'000; ++n) {
    PositionTexts digit_texts, weight_texts;
    int d[kPositions], w[kPositions];
    const bool published = n % 2 == 0;
    for (std::size_t i = 0; i < kPositions; ++i) {
      if (kind(random) == 0) {
        digit_texts[i] = junk[junk_pick(random)];
        d[i] = 0;
      } else {
        d[i] = digit(random);
        digit_texts[i] = Ascii(std::to_string(d[i]));
      }
      w[i] = published ? std::stoi(std::string(kWeights[i].begin(), kWeights[i].end()))
                       : weight(random);
      weight_texts[i] = Ascii(std::to_string(w[i]));
    }
    const auto expected = Reference(d, w);
    if (!expected) {
      ++overflows;
      EXPECT_THROW(ComputeCheckDigit(digit_texts, weight_texts), RuntimeError);
      continue;
    }
    const CheckDigitResult r = ComputeCheckDigit(digit_texts, weight_texts);
    ASSERT_EQ(r.sum, expected->first) << n;
    ASSERT_EQ(r.digit, expected->second) << n;
    ASSERT_EQ(r.sum_line, SumLine(expected->first));
    ASSERT_EQ(r.digit_line, DigitLine(expected->second));
  }
  EXPECT_GT(overflows, 0);  // the random weights did reach the overflow path
}

}  // namespace
}  // namespace egn::calc
