// The runtime's own code-page tables against the system's converter (glibc's
// iconv): every byte of the upper half of every code page decodes to the
// same text, or both refuse it. Built on Linux only.
#include <gtest/gtest.h>
#include <iconv.h>

#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include "runtime/forms/code_page.h"

namespace egn::runtime {
namespace {

// iconv's reading of one byte: nothing for an error, a C1 control code or
// U+FFFD, which are no text either.
std::optional<std::u16string> IconvDecode(iconv_t cd, unsigned char byte) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char in_byte = static_cast<char>(byte);
  char* in = &in_byte;
  std::size_t in_left = 1;
  std::array<char16_t, 4> units{};
  char* out = reinterpret_cast<char*>(units.data());
  std::size_t out_left = sizeof units;
  constexpr auto kFailed = static_cast<std::size_t>(-1);
  // Converters that combine characters (Windows-1255) hold a letter back
  // until told the input has ended.
  if (iconv(cd, &in, &in_left, &out, &out_left) == kFailed ||
      iconv(cd, nullptr, nullptr, &out, &out_left) == kFailed) {
    return std::nullopt;
  }
  std::u16string text(units.data(), (sizeof units - out_left) / sizeof(char16_t));
  for (const char16_t c : text) {
    if ((c >= 0x80 && c <= 0x9F) || c == 0xFFFD) return std::nullopt;
  }
  return text;
}

TEST(CodePageTables, AgreeWithIconvOnEveryByteOfEveryCodePage) {
  for (const int charset : {0, 161, 162, 177, 178, 186, 204, 238}) {
    const CodePage page = *CodePageOf(charset);
    const std::string name(page.name);
    // UTF-16 in little-endian order, as this machine stores char16_t.
    const iconv_t cd = iconv_open("UTF-16LE", name.c_str());
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << name;  // NOLINT(performance-no-int-to-ptr)
    const CodePageDecoder decode(page);
    std::string differences;
    int decoded = 0;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
      const char bytes[] = {static_cast<char>(byte)};
      const std::optional<std::u16string> ours = decode(std::string_view(bytes, 1));
      if (ours != IconvDecode(cd, static_cast<unsigned char>(byte))) {
        char hex[8];
        std::snprintf(hex, sizeof hex, " 0x%02X", byte);
        differences += hex;
      }
      decoded += ours ? 1 : 0;
    }
    iconv_close(cd);
    EXPECT_EQ(differences, "") << name;
    // Each page gives most of its upper half a character (Windows-1255, the
    // fewest, 105): agreeing by refusing all would be no agreement.
    EXPECT_GE(decoded, 100) << name;
  }
}

}  // namespace
}  // namespace egn::runtime
