// Texts between UTF-8, which the readers and writers of tables work in, and
// the encodings of the files they read and write: UTF-16 in either byte
// order, and Windows-1251, the code page of Bulgarian spreadsheet exports
// (from the shared tables of code_pages/).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace egn::table {

// What a stream was written in. The line reader gives UTF-8 whatever it
// was, and reads no Windows-1251 (a CSV file may be in it).
enum class Encoding { kUtf8, kUtf16Le, kUtf16Be, kWindows1251 };

inline bool IsUtf16(Encoding encoding) {
  return encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be;
}

// What the first bytes of a file or stream say of its encoding: a
// byte-order mark of UTF-8 (EF BB BF), UTF-16LE (FF FE) or UTF-16BE
// (FE FF), or, without one, a first character of ASCII with a zero byte
// after it (UTF-16LE) or before it (UTF-16BE): a zero byte is never text,
// so no file of text in UTF-8 is taken for UTF-16. `mark` is the mark's
// size, 0 for none. Nothing when the bytes say neither: UTF-8 without a
// mark (or, for a CSV file, perhaps Windows-1251).
struct Marked {
  Encoding encoding;
  std::size_t mark;
};
std::optional<Marked> EncodingOfStart(std::string_view start);

// The UTF-16 code unit at `p` in `encoding`'s byte order (UTF-16BE's, or
// else UTF-16LE's).
inline std::uint32_t Utf16Unit(const char* p, Encoding encoding) {
  const std::uint32_t b0 = static_cast<unsigned char>(p[0]), b1 = static_cast<unsigned char>(p[1]);
  return encoding == Encoding::kUtf16Be ? (b0 << 8 | b1) : (b1 << 8 | b0);
}

inline bool IsHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool IsSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// The character of UTF-16 at `p`, with `size` bytes there (at least 2): a
// surrogate pair as the one character it makes, anything else as its unit
// (a surrogate without its other half too); `size` its bytes, 2 or 4.
struct Utf16Character {
  std::uint32_t code;
  std::size_t size;
};
inline Utf16Character Utf16CharacterAt(const char* p, std::size_t size, Encoding encoding) {
  const std::uint32_t unit = Utf16Unit(p, encoding);
  if (IsHighSurrogate(unit) && size >= 4) {
    const std::uint32_t low = Utf16Unit(p + 2, encoding);
    if (low >= 0xDC00 && low <= 0xDFFF)
      return {0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), 4};
  }
  return {unit, 2};
}

// Writes `c` at `to` in UTF-8 (a surrogate, too, as its three bytes ED A0 80
// to ED BF BF, which are no UTF-8) and returns the end: at most 4 bytes.
inline char* PutUtf8(char* to, std::uint32_t c) {
  if (c < 0x80) {
    *to++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *to++ = static_cast<char>(0xC0 | c >> 6);
    *to++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *to++ = static_cast<char>(0xE0 | c >> 12);
    *to++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *to++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *to++ = static_cast<char>(0xF0 | c >> 18);
    *to++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
    *to++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *to++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return to;
}

// Appends the text of `bytes`, in `encoding`, to `out` as UTF-8. What is no
// text there (see FirstNonText) becomes U+FFFD.
void AppendUtf8(std::string& out, std::string_view bytes, Encoding encoding);

// Appends UTF-8 `text` to `out` in `encoding`; a character that
// Windows-1251 lacks becomes '?', malformed UTF-8 U+FFFD (or '?').
void AppendEncoded(std::string& out, std::string_view text, Encoding encoding);

// UTF-8 `text` in Windows-1251 at `to`, which has room for text.size()
// bytes (no character takes more bytes there than in UTF-8): how many
// bytes it wrote. A character that Windows-1251 lacks becomes '?', and so
// does each byte of malformed UTF-8. AppendEncoded's Windows-1251 is this.
std::size_t EncodeWindows1251(std::string_view text, char* to);

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

// UTF-8 `text` with its Latin and Cyrillic capitals made small
// (number::LowerCase), for names that are the same in any case ("ЕГН",
// "егн").
std::string FoldCase(std::string_view text);

// "UTF-8", "UTF-16", "Windows-1251".
std::string_view EncodingName(Encoding encoding);

}  // namespace egn::table
