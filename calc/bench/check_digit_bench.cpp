// Cost of one calculation as the window makes it: nine one-digit texts, the
// nine published weight captions.
#include <benchmark/benchmark.h>

#include "calc/check_digit.h"
#include "runtime/core/conversions.h"

namespace {

const egn::calc::PositionTexts kWeights = {u"2", u"4", u"8", u"5", u"10", u"9", u"7", u"3", u"6"};

void BM_ComputeCheckDigit(benchmark::State& state) {
  const egn::calc::PositionTexts digits = {u"8", u"0", u"1", u"2", u"3", u"1", u"4", u"5", u"6"};
  for (auto _ : state) {
    benchmark::DoNotOptimize(egn::calc::ComputeCheckDigit(digits, kWeights));
  }
}
BENCHMARK(BM_ComputeCheckDigit);

// As a program that checks many numbers makes it: one result, reused.
void BM_ComputeCheckDigitInto(benchmark::State& state) {
  const egn::calc::PositionTexts digits = {u"8", u"0", u"1", u"2", u"3", u"1", u"4", u"5", u"6"};
  egn::calc::CheckDigitResult result;
  for (auto _ : state) {
    egn::calc::ComputeCheckDigit(digits, kWeights, result);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_ComputeCheckDigitInto);

void BM_ComputeCheckDigitEmptyBoxes(benchmark::State& state) {
  const egn::calc::PositionTexts digits{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(egn::calc::ComputeCheckDigit(digits, kWeights));
  }
}
BENCHMARK(BM_ComputeCheckDigitEmptyBoxes);

void BM_TextToNumberGeneral(benchmark::State& state) {
  const std::u16string text = u"  -12.5e+2xyz";
  for (auto _ : state) benchmark::DoNotOptimize(egn::runtime::TextToNumber(text));
}
BENCHMARK(BM_TextToNumberGeneral);

}  // namespace

BENCHMARK_MAIN();
