#include "cli/number_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace egn::cli {
namespace {

Checked Check(std::string_view text, bool blank_is_nothing = true) {
  return CheckLine({text.substr(0, kLongestLine), text.size()}, blank_is_nothing);
}

TEST(CheckLine, TellsNumbersFromEverythingElse) {
  const struct {
    std::string_view line;
    Verdict verdict;
    std::string_view digits_or_problem;
  } cases[] = {
      {"123456789", Verdict::kNine, "123456789"},
      {"1234567890", Verdict::kTen, "1234567890"},
      {" \t0000000000 \r", Verdict::kTen, "0000000000"},
      {"123456789\r", Verdict::kNine, "123456789"},
      {"", Verdict::kNothing, ""},
      {" \t \r", Verdict::kNothing, ""},
      {"12345678", Verdict::kMalformed, "очакват се 9 или 10 цифри, а са 8"},
      {"12345678901", Verdict::kMalformed, "очакват се 9 или 10 цифри, а са 11"},
      {"+123456789", Verdict::kMalformed, "знакът „+“ (U+002B) не е цифра от 0 до 9"},
      {"12345678a", Verdict::kMalformed, "знакът „a“ (U+0061) не е цифра от 0 до 9"},
      {"123 456 789", Verdict::kMalformed, "знакът U+0020 не е цифра от 0 до 9"},
      {"12345678\r9", Verdict::kMalformed, "знакът U+000D не е цифра от 0 до 9"},
      {"١٢٣٤٥٦٧٨٩", Verdict::kMalformed, "знакът „١“ (U+0661) не е цифра от 0 до 9"},
      {"12345678９", Verdict::kMalformed, "знакът „９“ (U+FF19) не е цифра от 0 до 9"},
      {"1234\xC2\xA0", Verdict::kMalformed, "знакът U+00A0 не е цифра от 0 до 9"},
      {"1234😀", Verdict::kMalformed, "знакът „😀“ (U+1F600) не е цифра от 0 до 9"},
      {std::string_view("1234\0 6789", 10), Verdict::kMalformed, "редът съдържа нулев байт"},
      {"1234\xFF", Verdict::kMalformed, "редът не е текст в UTF-8"},
      {"1234\xC0\xB1", Verdict::kMalformed, "редът не е текст в UTF-8"},      // overlong '1'
      {"1234\xED\xA0\x80", Verdict::kMalformed, "редът не е текст в UTF-8"},  // a surrogate
      {"1234\xE2\x82", Verdict::kMalformed, "редът не е текст в UTF-8"},      // cut short
  };
  for (const auto& c : cases) {
    const Checked checked = Check(c.line);
    EXPECT_EQ(checked.verdict, c.verdict) << c.line;
    EXPECT_EQ(c.verdict == Verdict::kMalformed ? checked.problem : std::string(checked.digits),
              c.digits_or_problem)
        << c.line;
  }
}

TEST(CheckLine, ABlankArgumentAndALongLineAreMalformed) {
  EXPECT_EQ(Check(" ", false).problem, "очакват се 9 или 10 цифри, а са 0");
  const std::string long_line(1'000'000, '7');
  EXPECT_EQ(Check(long_line).problem,
            "редът е твърде дълъг (1000000 байта), очакват се 9 или 10 цифри");
}

// Lines across buffer boundaries, of every length, with and without a final
// newline, come back whole (up to the kept length) with their true length.
TEST(LineReader, SplitsAnyStreamIntoItsLines) {
  const std::string long_line(3 * kLongestLine + 5, 'x');
  const std::vector<std::string> lines = {"123456789", "", "12\r", long_line, "1234567890", "z"};
  std::string stream;
  for (const std::string& line : lines) stream += line + "\n";
  stream.pop_back();  // the last line has no newline
  for (const std::size_t buffer : {1, 2, 7, 64, 1 << 16}) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
    ASSERT_EQ(std::fwrite(stream.data(), 1, stream.size(), file.get()), stream.size());
    std::fflush(file.get());
    std::rewind(file.get());
    int reads = 0;
    LineReader reader(
        fileno(file.get()), [&reads] { ++reads; }, buffer);
    Line line{};
    for (const std::string& expected : lines) {
      ASSERT_TRUE(reader.Next(line)) << buffer;
      EXPECT_EQ(line.length, expected.size()) << buffer;
      EXPECT_EQ(line.text, std::string_view(expected).substr(0, kLongestLine)) << buffer;
    }
    EXPECT_FALSE(reader.Next(line));
    EXPECT_FALSE(reader.failed());
    EXPECT_EQ(reads, static_cast<int>((stream.size() + buffer - 1) / buffer) + 1) << buffer;
  }
}

}  // namespace
}  // namespace egn::cli
