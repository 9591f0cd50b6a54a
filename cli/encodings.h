// Texts between UTF-8, which egn-digit works in, and the encodings of the
// files it reads: UTF-16 in either byte order, and Windows-1251, the code
// page of Bulgarian spreadsheet exports (from the shared tables of
// code_pages/).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "cli/number_reader.h"

namespace egn::cli {

struct Character {
  long code;         // -1: the bytes there are no well-formed UTF-8
  std::size_t size;  // its bytes
};

// The character that starts at `text[i]`. Overlong forms, surrogates and
// values past U+10FFFF are not well-formed.
Character DecodeUtf8(std::string_view text, std::size_t i);

// Appends the text of `bytes`, in `encoding`, to `out` as UTF-8. What is no
// text there (see FirstNonText) becomes U+FFFD.
void AppendUtf8(std::string& out, std::string_view bytes, Encoding encoding);

// Appends UTF-8 `text` to `out` in `encoding`; a character that
// Windows-1251 lacks becomes '?', malformed UTF-8 U+FFFD (or '?').
void AppendEncoded(std::string& out, std::string_view text, Encoding encoding);

// `text` in Windows-1251 at `to` (room for text.size() bytes), when it
// holds ASCII and the Cyrillic А…я alone, as Bulgarian words do: how many
// bytes; npos for anything else (then AppendEncoded).
std::size_t EncodeBulgarian(std::string_view text, char* to);

// Where `bytes` in `encoding` stop being text: the offset of the first
// byte that is none, or npos. A zero byte (a zero unit in UTF-16) is no
// text in any; in UTF-8 neither is malformed UTF-8, in Windows-1251 the
// byte 0x98, which has no character, and in UTF-16 a surrogate without its
// other half or an odd byte at the end.
std::size_t FirstNonText(std::string_view bytes, Encoding encoding);

// What is wrong at `bytes[at]`, FirstNonText's answer: "нулев байт",
// "байтът 0x98", "сурогатът U+D800 е без двойката си" and the like, in the
// words of utf16_fault for UTF-16.
std::string NonTextProblem(std::string_view bytes, std::size_t at, Encoding encoding);

// What is wrong with UTF-16, in the same words wherever it is found (the
// line reader's and the CSV reader's messages, which scripts may match):
// a zero unit, a surrogate without its other half, an odd byte at the end.
namespace utf16_fault {
inline constexpr std::string_view kZero = "нулев знак U+0000";
inline constexpr std::string_view kOddByte = "входът свършва с нечетен байт";
// "сурогатът U+D800 е без двойката си".
std::string LoneSurrogate(unsigned unit);
}  // namespace utf16_fault

// UTF-8 `text` with its Latin and Cyrillic capitals made small, for names
// that are the same in any case ("ЕГН", "егн").
std::string FoldCase(std::string_view text);

// "UTF-8", "UTF-16", "Windows-1251".
std::string_view EncodingName(Encoding encoding);

}  // namespace egn::cli
