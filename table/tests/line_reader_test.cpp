#include "table/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "table/tests/piece_source.h"

namespace egn::table {
namespace {

// Lines across buffer boundaries, of every length, with and without a final
// newline, come back whole (up to the kept length) with their true length.
TEST(LineReader, SplitsAnyStreamIntoItsLines) {
  const std::string long_line(3 * kLongestLine + 5, 'x');
  const std::vector<std::string> lines = {"123456789", "", "12\r", long_line, "1234567890", "z"};
  std::string stream;
  for (const std::string& line : lines) stream += line + "\n";
  stream.pop_back();  // the last line has no newline
  for (const std::size_t buffer : {4, 5, 7, 64, 1 << 16}) {
    PieceSource source(stream, stream.size());  // as much as is asked for, as a file gives
    int reads = 0;
    LineReader reader(
        source, [&reads] { ++reads; }, buffer);
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

struct Read {
  std::vector<std::string> lines;  // the kept text
  Encoding encoding = Encoding::kUtf8;
  bool failed = false;
};

Read ReadAll(ByteSource& source, std::size_t buffer) {
  LineReader reader(source, {}, buffer);
  Read read;
  Line line{};
  while (reader.Next(line)) {
    read.lines.emplace_back(line.text);
    read.encoding = line.encoding;
  }
  read.failed = reader.failed();
  return read;
}

// The same lines in UTF-8 and UTF-16, with and without a byte-order mark,
// come out as the same UTF-8 lines, however the bytes arrive.
TEST(LineReader, ReadsUtf8AndUtf16Alike) {
  const std::u16string text =
      u"123456789\r\n7501010010\n\n  8032056031 \r\nЕГН 😀\n" + std::u16string(300, u'я') + u"\n1";
  const std::string utf8 = "123456789\r\n7501010010\n\n  8032056031 \r\nЕГН 😀\n" + [] {
    std::string a;
    for (int i = 0; i < 300; ++i) a += "я";
    return a;
  }() + "\n1";
  const std::vector<std::string> expected = {"123456789\r",
                                             "7501010010",
                                             "",
                                             "  8032056031 \r",
                                             "ЕГН 😀",
                                             utf8.substr(utf8.find("я"), kLongestLine),
                                             "1"};
  const struct {
    const char* name;
    std::string bytes;
    Encoding encoding;
  } forms[] = {
      {"UTF-8", utf8, Encoding::kUtf8},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8, Encoding::kUtf8},
      {"UTF-16LE with its mark", "\xFF\xFE" + Utf16(text, false), Encoding::kUtf16Le},
      {"UTF-16LE", Utf16(text, false), Encoding::kUtf16Le},
      {"UTF-16BE with its mark", "\xFE\xFF" + Utf16(text, true), Encoding::kUtf16Be},
      {"UTF-16BE", Utf16(text, true), Encoding::kUtf16Be},
  };
  for (const auto& form : forms) {
    for (const std::size_t chunk : {1, 2, 3, 5, 1 << 16}) {
      for (const std::size_t buffer : {4, 7, 64, 1 << 16}) {
        PieceSource source(form.bytes, chunk);
        const Read read = ReadAll(source, buffer);
        EXPECT_EQ(read.lines, expected)
            << form.name << ", chunk " << chunk << ", buffer " << buffer;
        EXPECT_EQ(read.encoding, form.encoding) << form.name;
        EXPECT_FALSE(read.failed);
      }
    }
  }
}

// What does not tell an encoding stays UTF-8: a mark cut short, a zero
// byte after a byte that is no ASCII, a stream of one byte.
TEST(LineReader, TakesUtf16OnlyFromItsMarkOrAZeroByteBesideAscii) {
  const struct {
    std::string bytes;
    std::vector<std::string> lines;
    Encoding encoding;
  } cases[] = {
      {"\xEF\xBB", {"\xEF\xBB"}, Encoding::kUtf8},
      {"\xEF\xBB\xBF", {}, Encoding::kUtf8},
      {"\xFF\xFE", {}, Encoding::kUtf16Le},
      {"7", {"7"}, Encoding::kUtf8},
      {std::string("\x80\0", 2), {std::string("\x80\0", 2)}, Encoding::kUtf8},
      {std::string("\0\0", 2), {std::string("\0\0", 2)}, Encoding::kUtf8},
      {std::string("\n\0", 2), {""}, Encoding::kUtf16Le},
      {"\xFE\xFE", {"\xFE\xFE"}, Encoding::kUtf8},
  };
  for (const auto& c : cases) {
    for (const std::size_t chunk : {1, 64}) {
      PieceSource source(c.bytes, chunk);
      const Read read = ReadAll(source, 64);
      EXPECT_EQ(read.lines, c.lines) << testing::PrintToString(c.bytes) << ", chunk " << chunk;
      if (!c.lines.empty()) {
        EXPECT_EQ(read.encoding, c.encoding) << testing::PrintToString(c.bytes);
      }
    }
  }
}

}  // namespace
}  // namespace egn::table
