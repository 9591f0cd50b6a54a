#include "cli/console.h"

#include <gtest/gtest.h>

#include <string>

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
  };
  for (const auto& [bytes, wide] : cases) {
    FakeSink console(true);
    std::string pending;
    WriteUtf8(console, bytes, pending);
    EXPECT_EQ(console.wide_, wide) << bytes;
  }
}

}  // namespace
}  // namespace egn::cli
