#include "cli/line_check.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cli/byte_sources.h"
#include "number/digits.h"
#include "table/line_reader.h"
#include "table/tests/piece_source.h"

namespace egn::cli {
namespace {

using table::Encoding;
using table::LineReader;
using table::PieceSource;
using table::Utf16;

Checked Check(std::string_view text, bool blank_is_nothing = true) {
  return CheckLine({text.substr(0, kLongestLine), text.size()}, blank_is_nothing);
}

// The one test of digits alone that the line check, a column given by its
// number and --generate's dates share.
TEST(Digits, WhereTheFirstOtherByteIs) {
  const struct {
    std::string_view text;
    std::size_t first_other;
    bool digits;
  } cases[] = {
      {"0123456789", std::string_view::npos, true},
      {"7", std::string_view::npos, true},
      {"", std::string_view::npos, false},  // no digit: not a number
      {"12a4", 2, false},
      {" 1", 0, false},
      {"1/", 1, false},  // the bytes beside '0' and '9'
      {"9:", 1, false},
      {"1\xD9\xA1", 1, false},  // an Arabic-Indic one is no digit 0-9
  };
  for (const auto& c : cases) {
    EXPECT_EQ(number::FirstNonDigit(c.text), c.first_other) << c.text;
    EXPECT_EQ(number::IsDigits(c.text), c.digits) << c.text;
  }
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
      {"12\xC2\xA0"
       "34",
       Verdict::kMalformed, "знакът U+00A0 не е цифра от 0 до 9"},
      {"\xC2\xA0 8001010008\xE2\x80\xAF\xC2\xA0\r", Verdict::kTen, "8001010008"},  // no-break
      {"\xE2\x80\xAF\t", Verdict::kNothing, ""},
      {"\xE2\x80\xAF"
       "8001010008\xE2\x80",
       Verdict::kMalformed, "редът не е текст в UTF-8"},
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

// What a file adds to a source (the splitting into lines is the line
// reader's, tested with it): a regular file's bytes come through reads of
// any size as they were written, the end as 0, and reading again starts
// where the first read started, which for a file handed over part-read is
// not its beginning.
TEST(FileSource, ReadsAFileAndReadsItAgainFromWhereItStarted) {
  std::string bytes = "\xd0\x95\xd0\x93\xd0\x9d\r\n8001010008\n";
  for (int i = 0; i < 20; ++i) bytes += "8001010009\r\n";
  // A file with a name, as egn-digit is given one (an unnamed temporary file
  // is no regular file to every system's emulation of one).
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "egn-digit-file-source-test.csv";
  std::ofstream(path, std::ios::binary) << bytes;
  for (const long skipped : {0, 5}) {
    for (const std::size_t buffer : {3, 64, 1 << 16}) {
      SCOPED_TRACE(std::to_string(skipped) + " skipped, reads of " + std::to_string(buffer));
      const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
          std::fopen(path.string().c_str(), "rb"), &std::fclose);
      ASSERT_NE(file, nullptr);
      // Nothing read through the stream yet: the seek moves the descriptor.
      ASSERT_EQ(std::fseek(file.get(), skipped, SEEK_SET), 0);
      FileSource source(fileno(file.get()));
      const auto read_all = [&source, buffer] {
        std::string got, piece(buffer, '\0');
        long n = 0;
        while ((n = source.Read(piece.data(), buffer)) > 0) got.append(piece.data(), n);
        EXPECT_EQ(n, 0);
        return got;
      };
      EXPECT_EQ(read_all(), bytes.substr(skipped));
      ASSERT_TRUE(source.CanReadAgain());
      ASSERT_TRUE(source.ReadAgain());
      EXPECT_EQ(read_all(), bytes.substr(skipped));
    }
  }
  std::filesystem::remove(path);
}

struct Read {
  std::vector<std::string> lines;  // as CheckLine sees them: the kept text
  std::vector<std::string> problems;
  Encoding encoding = Encoding::kUtf8;
  bool failed = false;
};

Read ReadAll(ByteSource& source, std::size_t buffer) {
  LineReader reader(source, {}, buffer);
  Read read;
  Line line{};
  while (reader.Next(line)) {
    read.lines.emplace_back(line.text);
    read.problems.push_back(CheckLine(line, true).problem);
    read.encoding = line.encoding;
  }
  read.failed = reader.failed();
  return read;
}

// A surrogate without its other half, an odd byte at the end and U+0000
// are named on their own line; the lines around them are read as they are.
TEST(CheckLine, NamesWhatIsWrongWithUtf16OnItsLine) {
  const struct {
    std::string bytes;  // after FF FE
    std::vector<std::string> problems;
  } cases[] = {
      {Utf16(u"123456789\n1\xD800"
             u"2\n",
             false),
       {"", "редът не е текст в UTF-16: сурогатът U+D800 е без двойката си"}},
      {Utf16(u"1\xDC00\n123456789", false),
       {"редът не е текст в UTF-16: сурогатът U+DC00 е без двойката си", ""}},
      {Utf16(u"123456789\n1\xDBFF", false),
       {"", "редът не е текст в UTF-16: сурогатът U+DBFF е без двойката си"}},
      {Utf16(u"123456789\n", false) + "7",
       {"", "редът не е текст в UTF-16: входът свършва с нечетен байт"}},
      {Utf16(u"\xD83D", false) + "7",
       {"редът не е текст в UTF-16: сурогатът U+D83D е без двойката си"}},
      {Utf16(std::u16string(u"12\0", 3), false), {"редът съдържа нулев знак U+0000"}},
      {Utf16(u"12345678а\n", false), {"знакът „а“ (U+0430) не е цифра от 0 до 9"}},
  };
  for (const auto& c : cases) {
    for (const std::size_t chunk : {1, 3, 1 << 16}) {
      PieceSource source("\xFF\xFE" + c.bytes, chunk);
      EXPECT_EQ(ReadAll(source, 64).problems, c.problems)
          << testing::PrintToString(c.bytes) << ", chunk " << chunk;
    }
  }
}

// A console's characters (ReadConsoleW's pieces) come out as UTF-8 lines,
// a surrogate pair cut between two pieces included; Ctrl+Z ends the input.
TEST(WideSource, GivesAConsolesCharactersAsUtf8Lines) {
  const std::vector<std::u16string> pieces = {u"123456789\r\n", u"Ивана \xD83D", u"\xDE00\r\n",
                                              u"1\u001A2\r\n", u"7501010010\r\n"};
  std::size_t next = 0;
  WideSource source([&](char16_t* into, std::size_t size) -> long {
    if (next == pieces.size()) return 0;
    EXPECT_GE(size, pieces[next].size());
    pieces[next].copy(into, size);
    return static_cast<long>(pieces[next++].size());
  });
  const Read read = ReadAll(source, 64);
  EXPECT_EQ(read.lines, (std::vector<std::string>{"123456789\r", "Ивана 😀\r", "1"}));
  EXPECT_EQ(read.encoding, Encoding::kUtf16Le);
  EXPECT_FALSE(read.failed);
  EXPECT_EQ(next, 4u);  // nothing is read after Ctrl+Z
}

TEST(WideSource, AFailedReadFailsTheReader) {
  WideSource source([](char16_t*, std::size_t) -> long {
    errno = EIO;
    return -1;
  });
  const Read read = ReadAll(source, 64);
  EXPECT_TRUE(read.lines.empty());
  EXPECT_TRUE(read.failed);
}

}  // namespace
}  // namespace egn::cli
