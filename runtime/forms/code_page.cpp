#include "runtime/forms/code_page.h"

#include <utility>

#include "code_pages/code_page_tables.h"

namespace egn::runtime {

namespace {

constexpr std::array<std::pair<int, CodePage>, 8> kCodePages = {{
    {0, {1252, "windows-1252"}},
    {161, {1253, "windows-1253"}},
    {162, {1254, "windows-1254"}},
    {177, {1255, "windows-1255"}},
    {178, {1256, "windows-1256"}},
    {186, {1257, "windows-1257"}},
    {204, {1251, "windows-1251"}},
    {238, {1250, "windows-1250"}},
}};

}  // namespace

std::optional<CodePage> CodePageOf(int charset) {
  for (const auto& [set, page] : kCodePages) {
    if (set == charset) return page;
  }
  return std::nullopt;
}

CodePageDecoder::CodePageDecoder(const CodePage& code_page)
    : upper_half_(code_pages::UpperHalfOf(code_page.number)) {}

std::optional<std::u16string> CodePageDecoder::operator()(std::string_view bytes) const {
  std::u16string text;
  text.reserve(bytes.size());  // one UTF-16 unit a byte
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text.push_back(byte);
      continue;
    }
    // The table holds 0 for a byte that is no text.
    const char16_t unit = upper_half_ == nullptr ? u'\0' : (*upper_half_)[byte - 0x80];
    if (unit == u'\0') return std::nullopt;
    text.push_back(unit);
  }
  return text;
}

}  // namespace egn::runtime
