#include "runtime/forms/code_page.h"

#include <gtest/gtest.h>

namespace egn::runtime {
namespace {

TEST(CodePage, CharacterSetsSelectTheirWindowsCodePage) {
  const struct {
    int charset;
    int code_page;
  } cases[] = {{0, 1252},   {161, 1253}, {162, 1254}, {177, 1255},
               {178, 1256}, {186, 1257}, {204, 1251}, {238, 1250}};
  for (const auto& c : cases) {
    const std::optional<CodePage> page = CodePageOf(c.charset);
    ASSERT_TRUE(page) << c.charset;
    EXPECT_EQ(page->number, c.code_page);
    EXPECT_EQ(page->name, "windows-" + std::to_string(c.code_page));
    // Every code page the runtime names is one the platform can decode.
    CodePageDecoder decode(*page);
    EXPECT_TRUE(decode("\xE0")) << page->name;
  }
  for (const int unknown : {1, 2, 128, 255}) EXPECT_FALSE(CodePageOf(unknown)) << unknown;
}

TEST(CodePage, DecodesWindows1251AndRefusesWhatIsNoText) {
  CodePageDecoder decode(*CodePageOf(204));
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
