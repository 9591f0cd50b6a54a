// Code pages of the character sets a window description may ask for, and
// the decoding of its texts through the tables of them built into the
// program (code_pages/code_page_tables.h), the same on every platform.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace egn::runtime {

struct CodePage {
  int number;             // the Windows code page: 1251
  std::string_view name;  // its name: "windows-1251"
};

// The code page of a description's character set (204 is Windows-1251);
// nothing for a character set the runtime does not know.
std::optional<CodePage> CodePageOf(int charset);

// Decodes texts of one code page; make once, use for many texts.
class CodePageDecoder {
 public:
  explicit CodePageDecoder(const CodePage& code_page);

  // The text of `bytes`; nothing when a byte has no character in the code
  // page (0x98 in Windows-1251) or decodes to a C1 control code. ASCII is
  // the same in every code page and is taken as it is. A code page without
  // a table decodes ASCII alone.
  std::optional<std::u16string> operator()(std::string_view bytes) const;

 private:
  const std::array<char16_t, 128>* upper_half_ = nullptr;
};

}  // namespace egn::runtime
