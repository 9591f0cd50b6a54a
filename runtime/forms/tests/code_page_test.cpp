#include "runtime/forms/code_page.h"

#include <gtest/gtest.h>

namespace egn::runtime {
namespace {

TEST(CodePage, CharacterSetsSelectTheirWindowsCodePageAndItsTable) {
  // Each page with a letter of its own script and, where the page has one,
  // a byte without a character (every byte of Windows-1256 has one).
  const struct {
    int charset;
    int code_page;
    std::string_view letter;
    std::u16string_view decoded;
    std::string_view unassigned;
  } cases[] = {
      {0, 1252, "\x80", u"€", "\x81"},   {161, 1253, "\xC1", u"Α", "\xAA"},
      {162, 1254, "\xD0", u"Ğ", "\x8E"}, {177, 1255, "\xE0", u"א", "\xFF"},
      {178, 1256, "\x81", u"پ", ""},     {186, 1257, "\xC0", u"Ą", "\xA1"},
      {204, 1251, "\xC0", u"А", "\x98"}, {238, 1250, "\x8A", u"Š", "\x81"},
  };
  for (const auto& c : cases) {
    const std::optional<CodePage> page = CodePageOf(c.charset);
    ASSERT_TRUE(page) << c.charset;
    EXPECT_EQ(page->number, c.code_page);
    EXPECT_EQ(page->name, "windows-" + std::to_string(c.code_page));
    const CodePageDecoder decode(*page);
    EXPECT_EQ(decode(c.letter), c.decoded) << page->name;
    if (!c.unassigned.empty()) {
      EXPECT_EQ(decode(c.unassigned), std::nullopt) << page->name;
    }
  }
  for (const int unknown : {1, 2, 128, 255}) EXPECT_FALSE(CodePageOf(unknown)) << unknown;
  // A code page the runtime has no table for still passes ASCII.
  const CodePageDecoder thai({874, "windows-874"});
  EXPECT_EQ(thai("OK"), u"OK");
  EXPECT_EQ(thai("\xA1"), std::nullopt);
}

TEST(CodePage, DecodesWindows1251AndRefusesWhatIsNoText) {
  const CodePageDecoder decode(*CodePageOf(204));
  const struct {
    std::string_view bytes;
    std::optional<std::u16string> text;
  } cases[] = {
      {"", u""},
      {"ASCII \r\n", u"ASCII \r\n"},
      {"\xC5\xC3\xCD", u"ЕГН"},
      {"\xC8\xE7\xF7\xE8\xF1\xEB\xE8", u"Изчисли"},
      {"\xA8\xB8\xB9\x96", u"Ёё№–"},
      {"\x98", std::nullopt},          // unassigned in Windows-1251
      {"abc\x98xyz", std::nullopt},    // anywhere in the text
      {"\xC5\x98\xC5", std::nullopt},  // and the decoder is fine afterwards:
      {"\xC5", u"Е"},
  };
  for (const auto& c : cases) EXPECT_EQ(decode(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace egn::runtime
