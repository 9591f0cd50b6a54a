#include "cli/console.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace egn::cli {
namespace {

class FakeSink : public TextSink {
 public:
  explicit FakeSink(bool console, bool crlf = false) : console_(console), crlf_(crlf) {}
  bool IsConsole() const override { return console_; }
  bool EndsLinesWithCrLf() const override { return crlf_; }
  bool WriteBytes(std::string_view bytes) override {
    bytes_ += bytes;
    return true;
  }
  bool WriteWide(std::u16string_view text) override {
    wide_ += text;
    return true;
  }
  std::string bytes_;
  std::u16string wide_;

 private:
  bool console_;
  bool crlf_;
};

TEST(Console, PipesAndFilesGetTheBytesAsTheyAre) {
  FakeSink file(false);
  std::string pending;
  const std::string text = "8032056031\tвалидно\t\xFF\n";
  ASSERT_TRUE(WriteUtf8(file, text, pending));
  EXPECT_EQ(file.bytes_, text);
  EXPECT_TRUE(file.wide_.empty());
}

// Pipes and files on Windows get CR LF for every LF, and nothing else
// changes; a console keeps LF, which it shows as a new line.
TEST(Console, ByteStreamsThatWantCrLfGetIt) {
  const struct {
    bool console, crlf;
    std::string_view text;
    std::string_view bytes;
    std::u16string_view wide;
  } cases[] = {
      {false, true, "123456789\t1234567890\nгрешка\n", "123456789\t1234567890\r\nгрешка\r\n", u""},
      {false, true, "\n\n", "\r\n\r\n", u""},
      {false, true, "без край", "без край", u""},
      {false, false, "a\nb\n", "a\nb\n", u""},
      {true, false, "a\nб\n", "", u"a\nб\n"},
  };
  for (const auto& c : cases) {
    FakeSink sink(c.console, c.crlf);
    std::string pending;
    ASSERT_TRUE(WriteUtf8(sink, c.text, pending));
    EXPECT_EQ(sink.bytes_, c.bytes) << c.text;
    EXPECT_EQ(sink.wide_, c.wide) << c.text;
  }
}

// A console gets the same text in UTF-16 however the output is cut into
// buffers: every character whole, whatever byte a buffer ends on.
TEST(Console, AConsoleGetsUtf16WhereverTheBuffersEnd) {
  const std::string text = "грешка „Изчислена сума: “ 😀 ЕГН\n";
  const std::u16string expected = u"грешка „Изчислена сума: “ 😀 ЕГН\n";
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    FakeSink console(true);
    std::string pending;
    ASSERT_TRUE(WriteUtf8(console, std::string_view(text).substr(0, cut), pending));
    ASSERT_TRUE(WriteUtf8(console, std::string_view(text).substr(cut), pending));
    EXPECT_EQ(console.wide_, expected) << "cut at " << cut;
    EXPECT_TRUE(pending.empty());
    EXPECT_TRUE(console.bytes_.empty());
  }
}

TEST(Console, MalformedBytesBecomeTheReplacementCharacter) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"a\xFF"
       "b",
       u"a\uFFFDb"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},  // an overlong "/"
      {"\xED\xA0\x80", u"\uFFFD"},    // a surrogate
      {"\xE2\x82"
       "x",
       u"\uFFFDx"},                     // cut inside the text
      {"\xF4\x90\x80\x80", u"\uFFFD"},  // past U+10FFFF
      {"\xE0\x80\x80", u"\uFFFD"},      // an overlong NUL of three bytes
      {"\xF0\x80\x80\xAF", u"\uFFFD"},  // an overlong "/" of four
      {"\x80\xBF", u"\uFFFD\uFFFD"},    // continuation bytes with no lead
      {"\xF0\x9F\x98"
       "\xF0\x9F\x98\x80",
       u"\uFFFD\U0001F600"},  // a sequence cut by the next one
  };
  for (const auto& [bytes, wide] : cases) {
    FakeSink console(true);
    std::string pending;
    WriteUtf8(console, bytes, pending);
    EXPECT_EQ(console.wide_, wide) << bytes;
  }
}

// A sequence cut by the end of a buffer waits for the next; when the next
// shows it malformed, it becomes one U+FFFD there.
TEST(Console, ACutSequenceIsJudgedWithWhatFollows) {
  const std::tuple<std::string, std::string, std::u16string> cases[] = {
      {"a\xE2", "\x82\xAC", u"a\u20AC"},
      {"a\xE2", "\x82x", u"a\uFFFDx"},
      {"a\xED\xA0",
       "\x80"
       "b",
       u"a\uFFFDb"},              // a surrogate once whole
      {"\xF0\x9F", "\x98", u""},  // still cut: waits
  };
  for (const auto& [first, second, wide] : cases) {
    FakeSink console(true);
    std::string pending;
    ASSERT_TRUE(WriteUtf8(console, first, pending));
    ASSERT_TRUE(WriteUtf8(console, second, pending));
    EXPECT_EQ(console.wide_, wide) << first << second;
  }
}

// A file read at any place, as a workbook's ZIP is: exact ranges, never a
// short read.
TEST(RandomAccessFile, ReadsExactlyTheRangesAskedFor) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "egn-digit-random-access-test.bin";
  const std::string bytes = "PK\x03\x04 регистър";
  {
    std::ofstream file(path, std::ios::binary);
    file << bytes;
  }
  int error = 0;
  auto file = OpenRandomAccessFile(path.string(), error);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Size(), bytes.size());
  const struct {
    std::uint64_t offset;
    std::size_t size;
    bool read;
  } cases[] = {
      {0, 4, true},
      {5, bytes.size() - 5, true},
      {bytes.size(), 0, true},
      {bytes.size() - 1, 2, false},
      {bytes.size() + 1, 0, false},
      {UINT64_MAX, 1, false},
  };
  for (const auto& c : cases) {
    std::string into(c.size, '?');
    EXPECT_EQ(file->ReadAt(c.offset, into.data(), c.size), c.read) << c.offset << "+" << c.size;
    if (c.read) {
      EXPECT_EQ(into, bytes.substr(static_cast<std::size_t>(c.offset), c.size));
    } else {
      EXPECT_EQ(file->Problem(), "четене след края на файла");
    }
  }
  file.reset();  // closed first: Windows removes no open file
  std::filesystem::remove(path);
}

TEST(RandomAccessFile, WhatIsNoRegularFileIsLeftToTheStream) {
  int error = 0;
  EXPECT_EQ(OpenRandomAccessFile("/no/such/file.xlsx", error), nullptr);
  EXPECT_EQ(error, ENOENT);
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)  // the browser's file system makes no FIFO
  const std::filesystem::path fifo =
      std::filesystem::temp_directory_path() / "egn-digit-random-access-test.fifo";
  std::filesystem::remove(fifo);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Opened for reading, a FIFO waits for a writer: one opened beside it
  // for reading and writing (which does not wait) lets the open through.
  std::FILE* writer = std::fopen(fifo.c_str(), "r+");
  ASSERT_NE(writer, nullptr);
  error = 0;
  EXPECT_EQ(OpenRandomAccessFile(fifo.string(), error), nullptr);
  EXPECT_EQ(error, ESPIPE);
  std::fclose(writer);
  std::filesystem::remove(fifo);
#endif
#ifndef _WIN32
  error = 0;
  EXPECT_EQ(OpenRandomAccessFile(std::filesystem::temp_directory_path().string(), error), nullptr);
  EXPECT_EQ(error, ESPIPE);  // a directory
#endif
}

}  // namespace
}  // namespace egn::cli
