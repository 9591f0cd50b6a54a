#include "table/encodings.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "code_pages/code_page_tables.h"
#include "number/utf8.h"
#include "table/words.h"

namespace egn::table {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

const std::array<char16_t, 128>& Cp1251() {
  static const std::array<char16_t, 128>* const table = code_pages::UpperHalfOf(1251);
  return *table;
}

// The Windows-1251 byte of a character, -1 for one it lacks. Its Cyrillic
// А…я are the bytes 0xC0…0xFF in order; the rest is looked up.
int Cp1251Byte(long code) {
  if (code < 0x80) return static_cast<int>(code);
  if (code >= 0x410 && code <= 0x44F) return static_cast<int>(0xC0 + (code - 0x410));
  for (std::size_t i = 0; i < 128; ++i) {
    if (Cp1251()[i] == code) return static_cast<int>(0x80 + i);
  }
  return -1;
}

// `c` appended to `out` in UTF-8.
void AppendCharacter(std::string& out, std::uint32_t c) {
  char bytes[4];
  out.append(bytes, PutUtf8(bytes, c));
}

void PutUtf16(std::string& out, std::uint32_t c, Encoding encoding) {
  const bool big_endian = encoding == Encoding::kUtf16Be;
  const auto unit = [&](std::uint32_t u) {
    const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
    out += big_endian ? high : low;
    out += big_endian ? low : high;
  };
  if (c >= 0x10000) {
    unit(0xD800 + ((c - 0x10000) >> 10));
    unit(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    unit(c);
  }
}

// How many bytes from `bytes[at]` are UTF-8 with no zero byte, taken eight
// at a time while they are ASCII and two-byte characters (Cyrillic among
// them): whole characters only; where it stops a closer look is needed (a
// longer character, a zero byte, or what is wrong). Every word is taken as
// it comes, with only whether the one before it ended in a lead carried
// over, so that the processor can go on to the next before it is done with
// one.
std::size_t PlainUtf8(std::string_view bytes, std::size_t at) {
  std::uint64_t carried = 0;  // 0x80: the word before ended in a lead
  std::size_t i = at;
  for (; i + 8 <= bytes.size(); i += 8) {
    const std::uint64_t word = words::Load(bytes.data() + i);
    const std::uint64_t high = word & words::kHighs;
    const std::uint64_t bit6 = (word << 1) & words::kHighs;  // each byte's bit 6, at its bit 7
    const std::uint64_t bit5 = (word << 2) & words::kHighs;
    const std::uint64_t lead = high & bit6;   // 11xxxxxx
    const std::uint64_t next = high & ~bit6;  // 10xxxxxx
    // No lead of 0xC0 or 0xC1 (an overlong form): bits 1-4 not all zero.
    const std::uint64_t bits = word & 0x1E1E1E1E1E1E1E1EU;
    const std::uint64_t some = ((bits + 0x7F7F7F7F7F7F7F7FU) | bits) & words::kHighs;
    // No zero byte, no lead of three or four bytes (111xxxxx); every lead
    // followed by a continuation byte, and every one of those after a lead.
    const std::uint64_t wrong =
        words::Zeros(word) | (lead & bit5) | (lead & ~some) | (((lead << 8) | carried) ^ next);
    if (wrong != 0) break;
    carried = lead >> 56;
  }
  return i - at - (carried != 0 ? 1 : 0);  // a lead cut off by the last word: back to it
}

}  // namespace

// Text that holds ASCII and the Cyrillic А…я alone, as Bulgarian words
// do, is written in one pass. In UTF-8 А…я are D0 90 … D0 BF and D1 80 …
// D1 8F, which with the lead's low bit added as 0x40 to the second byte run
// 0x90 … 0xCF, 0x30 below their bytes in Windows-1251 (0xC0 … 0xFF). So do
// D0 C0 … CF and D1 50 … 7F, which are no characters: a sum in the range is
// a letter only when its second byte is a continuation byte, which with a
// sum there means one whose bit 6 is clear. Any other character sends the
// whole text through the loop that looks each one up, from its start.
// An ASCII byte takes a branch of its own: without it the next character's
// place waits for this one's byte to be read and tested, which in
// WebAssembly made the pass twice as slow; natively the two are as fast
// (words go from ASCII to Cyrillic and back at the same places row after
// row, which the branch predictor learns).
std::size_t EncodeWindows1251(std::string_view text, char* to) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t written = 0;
  unsigned other = 0;
  std::size_t i = 0;
  while (i + 1 < n) {
    const unsigned lead = in[i];
    if (lead < 0x80) {
      to[written++] = static_cast<char>(lead);
      ++i;
      continue;
    }
    const unsigned next = in[i + 1];
    const unsigned letter = ((lead & 1U) << 6) + next;
    other |=
        static_cast<unsigned>((lead & 0xFEU) != 0xD0 || ((letter - 0x90) | (next & 0x40U)) > 0x3F);
    to[written++] = static_cast<char>(letter + 0x30);
    i += 2;
  }
  if (i < n) {  // a last byte alone: ASCII, or a character cut short
    other |= in[i] >> 7;
    to[written++] = static_cast<char>(in[i]);
  }
  if (other == 0) return written;
  char* out = to;
  for (std::size_t i = 0; i < n;) {
    const unsigned lead = in[i];
    const unsigned next = i + 1 < n ? in[i + 1] : 0;
    if (lead < 0x80) {
      *out++ = static_cast<char>(lead);
      ++i;
    } else if (lead == 0xD0 && next >= 0x90 && next <= 0xBF) {
      *out++ = static_cast<char>(0xC0 + (next - 0x90));
      i += 2;
    } else if (lead == 0xD1 && next >= 0x80 && next <= 0x8F) {
      *out++ = static_cast<char>(0xF0 + (next - 0x80));
      i += 2;
    } else {
      const number::Character c = number::DecodeUtf8(text, i);
      const int byte = Cp1251Byte(c.code < 0 ? 0xFFFD : c.code);
      *out++ = static_cast<char>(byte < 0 ? '?' : byte);
      i += c.size;
    }
  }
  return static_cast<std::size_t>(out - to);
}

void AppendUtf8(std::string& out, std::string_view bytes, Encoding encoding) {
  if (IsUtf16(encoding)) {
    std::size_t i = 0;
    while (i + 2 <= bytes.size()) {
      const Utf16Character c = Utf16CharacterAt(bytes.data() + i, bytes.size() - i, encoding);
      AppendCharacter(out, IsSurrogate(c.code) ? 0xFFFD : c.code);
      i += c.size;
    }
    if (i < bytes.size()) AppendCharacter(out, 0xFFFD);  // an odd byte
    return;
  }
  for (std::size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) {
      std::size_t ascii = i + 1;  // the whole run at once
      while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80) ++ascii;
      out.append(bytes.substr(i, ascii - i));
      i = ascii;
    } else if (encoding == Encoding::kWindows1251) {
      const char16_t unit = Cp1251()[byte - 0x80];
      AppendCharacter(out, unit == 0 ? 0xFFFD : unit);
      ++i;
    } else {
      const number::Character c = number::DecodeUtf8(bytes, i);
      if (c.code < 0) {
        AppendCharacter(out, 0xFFFD);
      } else {
        out.append(bytes.substr(i, c.size));
      }
      i += c.size;
    }
  }
}

void AppendEncoded(std::string& out, std::string_view text, Encoding encoding) {
  if (encoding == Encoding::kUtf8) {
    AppendUtf8(out, text, encoding);  // as it is, but for malformed UTF-8
    return;
  }
  if (encoding == Encoding::kWindows1251) {
    // Written in place: never more bytes than the UTF-8.
    const std::size_t start = out.size();
    out.resize(start + text.size());
    out.resize(start + EncodeWindows1251(text, out.data() + start));
    return;
  }
  for (std::size_t i = 0; i < text.size();) {
    const number::Character c = number::DecodeUtf8(text, i);
    i += c.size;
    PutUtf16(out, static_cast<std::uint32_t>(c.code < 0 ? 0xFFFD : c.code), encoding);
  }
}

std::optional<Marked> EncodingOfStart(std::string_view start) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(start[i]); };
  const auto ascii = [&](std::size_t i) { return byte(i) != 0 && byte(i) < 0x80; };
  if (start.starts_with("\xEF\xBB\xBF")) return Marked{Encoding::kUtf8, 3};
  if (start.size() < 2) return std::nullopt;
  if (byte(0) == 0xFF && byte(1) == 0xFE) return Marked{Encoding::kUtf16Le, 2};
  if (byte(0) == 0xFE && byte(1) == 0xFF) return Marked{Encoding::kUtf16Be, 2};
  if (ascii(0) && byte(1) == 0) return Marked{Encoding::kUtf16Le, 0};
  if (byte(0) == 0 && ascii(1)) return Marked{Encoding::kUtf16Be, 0};
  return std::nullopt;
}

std::size_t FirstNonText(std::string_view bytes, Encoding encoding) {
  switch (encoding) {
    case Encoding::kUtf8: {
      std::size_t i = 0;
      while (i < bytes.size()) {
        i += PlainUtf8(bytes, i);
        if (i == bytes.size()) break;
        // One character the long way.
        if (bytes[i] == '\0') return i;
        const number::Character c = number::DecodeUtf8(bytes, i);
        if (c.code < 0) return i;
        i += c.size;
      }
      return kNone;
    }
    case Encoding::kWindows1251: {
      const void* zero = std::memchr(bytes.data(), 0, bytes.size());
      const void* none = std::memchr(bytes.data(), 0x98, bytes.size());
      const auto at = [&](const void* p) {
        return p == nullptr ? kNone
                            : static_cast<std::size_t>(static_cast<const char*>(p) - bytes.data());
      };
      return std::min(at(zero), at(none));
    }
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be: {
      std::size_t i = 0;
      while (i + 2 <= bytes.size()) {
        const Utf16Character c = Utf16CharacterAt(bytes.data() + i, bytes.size() - i, encoding);
        if (c.code == 0 || IsSurrogate(c.code)) return i;
        i += c.size;
      }
      return i < bytes.size() ? i : kNone;
    }
  }
  return kNone;
}

std::string utf16_fault::LoneSurrogate(unsigned unit) {
  char text[64];
  std::snprintf(text, sizeof text, "сурогатът U+%04X е без двойката си", unit);
  return text;
}

std::string NonTextProblem(std::string_view bytes, std::size_t at, Encoding encoding) {
  if (IsUtf16(encoding)) {
    if (at + 2 > bytes.size()) return std::string(utf16_fault::kOddByte);
    const std::uint32_t unit = Utf16Unit(bytes.data() + at, encoding);
    if (unit == 0) return std::string(utf16_fault::kZero);
    return utf16_fault::LoneSurrogate(unit);
  }
  const auto byte = static_cast<unsigned char>(bytes[at]);
  if (byte == 0) return "нулев байт";
  char text[32];
  std::snprintf(text, sizeof text, "байтът 0x%02X", byte);
  return text;
}

std::string FoldCase(std::string_view text) {
  std::string folded;
  folded.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const number::Character c = number::DecodeUtf8(text, i);
    if (c.code < 0) {
      folded += text[i++];
      continue;
    }
    AppendCharacter(folded, number::LowerCase(static_cast<char32_t>(c.code)));
    i += c.size;
  }
  return folded;
}

std::string_view EncodingName(Encoding encoding) {
  switch (encoding) {
    case Encoding::kUtf8:
      return "UTF-8";
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be:
      return "UTF-16";
    case Encoding::kWindows1251:
      return "Windows-1251";
  }
  return "";
}

}  // namespace egn::table
