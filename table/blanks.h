// The blanks around a number or a name in a table's text.
#pragma once

#include <cstddef>
#include <string_view>

namespace egn::table {

// The blank that `text` (UTF-8) begins with, or ends with: its size in
// bytes, 0 for none. Spaces and tabs, and the no-break spaces U+00A0 and
// U+202F that spreadsheets and text copied from the web put around numbers
// and names.
inline std::size_t LeadingBlank(std::string_view text) {
  if (text.starts_with(' ') || text.starts_with('\t')) return 1;
  if (text.starts_with("\xC2\xA0")) return 2;
  return text.starts_with("\xE2\x80\xAF") ? 3 : 0;
}
inline std::size_t TrailingBlank(std::string_view text) {
  if (text.ends_with(' ') || text.ends_with('\t')) return 1;
  if (text.ends_with("\xC2\xA0")) return 2;
  return text.ends_with("\xE2\x80\xAF") ? 3 : 0;
}

// `text` (UTF-8) without the blanks around it.
inline std::string_view TrimBlanks(std::string_view text) {
  while (const std::size_t n = LeadingBlank(text)) text.remove_prefix(n);
  while (const std::size_t n = TrailingBlank(text)) text.remove_suffix(n);
  return text;
}

}  // namespace egn::table
