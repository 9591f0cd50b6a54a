#include "table/encodings.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "number/utf8.h"

namespace egn::table {
namespace {

using namespace std::string_literals;

TEST(Encodings, Windows1251AndUtf16RoundTrip) {
  for (int byte = 0x01; byte <= 0xFF; ++byte) {
    if (byte == 0x98) continue;  // no character
    const std::string one(1, static_cast<char>(byte));
    std::string utf8, back;
    AppendUtf8(utf8, one, Encoding::kWindows1251);
    AppendEncoded(back, utf8, Encoding::kWindows1251);
    EXPECT_EQ(back, one) << byte;
  }
  const std::string text = "ЕГН „0551267871“ € 😀";
  for (const Encoding e : {Encoding::kUtf8, Encoding::kUtf16Le, Encoding::kUtf16Be}) {
    std::string bytes, back;
    AppendEncoded(bytes, text, e);
    AppendUtf8(back, bytes, e);
    EXPECT_EQ(back, text);
  }
  EXPECT_EQ(FoldCase("ЕГН Ѐ Егн ABC я"), "егн ѐ егн abc я");
}

// UTF-8 into Windows-1251, appended and in place alike: ASCII and А…я,
// everything else, and where a character that Windows-1251 lacks and every
// byte of malformed UTF-8 become '?'.
TEST(Encodings, Windows1251FromUtf8) {
  const struct {
    std::string utf8, cp1251;
  } cases[] = {
      {"ЕГН: аяАЯ 42", "\xC5\xC3\xCD: \xE0\xFF\xC0\xDF 42"},
      {"ѝ😀a", "??a"},
      {"Џ", "\x8F"},                 // in Windows-1251, not among А…я
      {"\xD0\xC0\xD0\xCF", "????"},  // a lead and no continuation after it
      {"\xD1\x50\xD1\x7F", "?P?\x7F"},
      {"я\xD1", "\xFF?"},  // cut short
      {"яa",
       "\xFF"
       "a"},  // ASCII last, alone
      {"a", "a"},
      {"", ""},
      {"ЕГН € я", "\xC5\xC3\xCD \x88 \xFF"},  // another character after А…я: from the start
  };
  for (const auto& c : cases) {
    std::string out = "x";
    AppendEncoded(out, c.utf8, Encoding::kWindows1251);
    EXPECT_EQ(out, "x" + c.cp1251) << testing::PrintToString(c.utf8);
    std::string in_place(c.utf8.size(), '\0');
    const std::size_t n = EncodeWindows1251(c.utf8, in_place.data());
    ASSERT_LE(n, c.utf8.size());
    EXPECT_EQ(in_place.substr(0, n), c.cp1251) << testing::PrintToString(c.utf8);
  }
}

// What the first bytes say: a mark of each encoding, or a zero byte beside
// a first character of ASCII; nothing for UTF-8 without a mark or anything
// else.
TEST(Encodings, TheStartOfAStreamTellsItsEncoding) {
  const struct {
    std::string start;
    std::optional<Encoding> encoding;
    std::size_t mark;
  } cases[] = {
      {"\xEF\xBB\xBF"
       "1",
       Encoding::kUtf8, 3},
      {"\xFF\xFE\x31\x00"s, Encoding::kUtf16Le, 2},
      {"\xFE\xFF\x00\x31"s, Encoding::kUtf16Be, 2},
      {"1\0"s, Encoding::kUtf16Le, 0},
      {"\0"
       "1"s,
       Encoding::kUtf16Be, 0},
      {"12", std::nullopt, 0},
      {"1", std::nullopt, 0},
      {"", std::nullopt, 0},
      {"\0\0"s, std::nullopt, 0},     // no character of ASCII beside the zero
      {"\xC0\0"s, std::nullopt, 0},   // nor one beyond it
      {"\xEF\xBB", std::nullopt, 0},  // UTF-8's mark cut short
      {"\xE0\xFF", std::nullopt, 0},  // Windows-1251 "ая"
  };
  for (const auto& c : cases) {
    const std::optional<Marked> marked = EncodingOfStart(c.start);
    ASSERT_EQ(marked.has_value(), c.encoding.has_value()) << testing::PrintToString(c.start);
    if (!marked) continue;
    EXPECT_EQ(marked->encoding, *c.encoding) << testing::PrintToString(c.start);
    EXPECT_EQ(marked->mark, c.mark) << testing::PrintToString(c.start);
  }
}

// Where bytes stop being text in each encoding, and the words that say why.
TEST(Encodings, WhereBytesStopBeingTextAndWhy) {
  constexpr std::size_t kNone = std::string_view::npos;
  const struct {
    Encoding encoding;
    std::string bytes;
    std::size_t at;
    std::string problem;
  } cases[] = {
      {Encoding::kUtf8, "ЕГН 0551267871", kNone, ""},
      {Encoding::kUtf8, "0123456789abcdefЕГН\0"s, 22, "нулев байт"},
      {Encoding::kUtf8, "ab\xC0\x80", 2, "байтът 0xC0"},            // an overlong form
      {Encoding::kUtf8, "abcdefgh\xED\xA0\x80", 8, "байтът 0xED"},  // a surrogate
      {Encoding::kUtf8, "я\xD1", 2, "байтът 0xD1"},                 // cut short
      {Encoding::kUtf8, "😀\xF5\x80\x80\x80", 4, "байтът 0xF5"},     // past U+10FFFF
      {Encoding::kWindows1251, "\xC5\xC3\xCD \x88", kNone, ""},
      {Encoding::kWindows1251, "ab\x98", 2, "байтът 0x98"},
      {Encoding::kWindows1251, "a\0\x98"s, 1, "нулев байт"},
      {Encoding::kUtf16Le,
       "1\0"
       "2\0"s,
       kNone, ""},
      {Encoding::kUtf16Le, "1\0\0\0"s, 2, "нулев знак U+0000"},
      {Encoding::kUtf16Le,
       "1\0\x00\xD8"
       "2\0"s,
       2, "сурогатът U+D800 е без двойката си"},
      {Encoding::kUtf16Be, "\xDC\x00"s, 0, "сурогатът U+DC00 е без двойката си"},
      {Encoding::kUtf16Be, "\xD8\x3D\xDE\x00"s, kNone, ""},  // a pair: one character
      {Encoding::kUtf16Be,
       "\0"
       "1\0"s,
       2, "входът свършва с нечетен байт"},
  };
  for (const auto& c : cases) {
    const std::size_t at = FirstNonText(c.bytes, c.encoding);
    EXPECT_EQ(at, c.at) << EncodingName(c.encoding) << " " << testing::PrintToString(c.bytes);
    if (at != kNone && at == c.at) {
      EXPECT_EQ(NonTextProblem(c.bytes, at, c.encoding), c.problem);
    }
  }
}

// The one table of UTF-8's lead bytes, which the decoder and the CSV
// reader's test for a character cut short by a read both use.
TEST(Encodings, Utf8LengthsByLeadByte) {
  const struct {
    unsigned char lead;
    std::size_t length;
  } cases[] = {
      {0x00, 1}, {0x7F, 1}, {0x80, 0}, {0xBF, 0}, {0xC0, 0}, {0xC1, 0}, {0xC2, 2},
      {0xDF, 2}, {0xE0, 3}, {0xEF, 3}, {0xF0, 4}, {0xF4, 4}, {0xF5, 0}, {0xFF, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(number::Utf8Length(c.lead), c.length) << int{c.lead};
  }
  // A well-formed character is as long as its lead says.
  for (const std::string_view text : {"a", "я", "€", "😀"}) {
    EXPECT_EQ(number::DecodeUtf8(text, 0).size,
              number::Utf8Length(static_cast<unsigned char>(text[0])));
  }
}

TEST(Encodings, Names) {
  const struct {
    Encoding encoding;
    std::string_view name;
  } cases[] = {
      {Encoding::kUtf8, "UTF-8"},
      {Encoding::kUtf16Le, "UTF-16"},
      {Encoding::kUtf16Be, "UTF-16"},
      {Encoding::kWindows1251, "Windows-1251"},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodingName(c.encoding), c.name);
}

}  // namespace
}  // namespace egn::table
