#include "cli/encodings.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cli/words.h"
#include "code_pages/code_page_tables.h"

namespace egn::cli {

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

void PutUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void PutUtf16(std::string& out, std::uint32_t c, bool big_endian) {
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

bool BigEndian(Encoding encoding) { return encoding == Encoding::kUtf16Be; }

std::uint32_t Unit(std::string_view bytes, std::size_t at, bool big_endian) {
  const auto b0 = static_cast<unsigned char>(bytes[at]);
  const auto b1 = static_cast<unsigned char>(bytes[at + 1]);
  return big_endian ? (b0 << 8 | b1) : (b1 << 8 | b0);
}

bool IsHigh(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLow(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

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

// In UTF-8 А…я are D0 90 … D0 BF and D1 80 … D1 8F, which with the lead's
// low bit added as 0x40 to the second byte run 0x90 … 0xCF, 0x30 below their
// bytes in Windows-1251 (0xC0 … 0xFF): no branch for a character, so that
// words that go from ASCII to Cyrillic and back cost no mispredictions. The
// second byte must be a continuation byte (10xxxxxx) as well: D0 C0 … CF and
// D1 50 … 7F would give the same sums, and are no characters.
std::size_t EncodeBulgarian(std::string_view text, char* to) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t written = 0;
  unsigned other = 0;
  for (std::size_t i = 0; i < n;) {
    const unsigned lead = in[i];
    const unsigned next = i + 1 < n ? in[i + 1] : 0;
    const unsigned ascii = lead < 0x80 ? 1 : 0;
    const unsigned letter = ((lead & 1U) << 6) + next;
    other |= (1 - ascii) & static_cast<unsigned>((lead & 0xFEU) != 0xD0 || (next & 0xC0U) != 0x80 ||
                                                 letter - 0x90 > 0x3F);
    to[written++] = static_cast<char>(ascii != 0 ? lead : letter + 0x30);
    i += 2 - ascii;
  }
  return other != 0 ? std::string_view::npos : written;
}

Character DecodeUtf8(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return {lead, 1};
  std::size_t extra = 0;
  long c = 0;
  long least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, c = lead & 0x07, least = 0x10000;
  } else {
    return {-1, 1};
  }
  for (std::size_t k = 1; k <= extra; ++k) {
    if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) return {-1, 1};
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {-1, 1};
  return {c, extra + 1};
}

void AppendUtf8(std::string& out, std::string_view bytes, Encoding encoding) {
  if (encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be) {
    const bool big = BigEndian(encoding);
    std::size_t i = 0;
    for (; i + 2 <= bytes.size(); i += 2) {
      const std::uint32_t unit = Unit(bytes, i, big);
      if (IsHigh(unit) && i + 4 <= bytes.size() && IsLow(Unit(bytes, i + 2, big))) {
        PutUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (Unit(bytes, i + 2, big) - 0xDC00));
        i += 2;
      } else {
        PutUtf8(out, IsHigh(unit) || IsLow(unit) ? 0xFFFD : unit);
      }
    }
    if (i < bytes.size()) PutUtf8(out, 0xFFFD);  // an odd byte
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
      PutUtf8(out, unit == 0 ? 0xFFFD : unit);
      ++i;
    } else {
      const Character c = DecodeUtf8(bytes, i);
      if (c.code < 0) {
        PutUtf8(out, 0xFFFD);
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
    if (const std::size_t written = EncodeBulgarian(text, out.data() + start);
        written != std::string_view::npos) {
      out.resize(start + written);
      return;
    }
    char* to = out.data() + start;
    for (std::size_t i = 0; i < text.size();) {
      const auto lead = static_cast<unsigned char>(text[i]);
      const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
      if (lead < 0x80) {
        *to++ = static_cast<char>(lead);
        ++i;
      } else if (lead == 0xD0 && next >= 0x90 && next <= 0xBF) {
        *to++ = static_cast<char>(0xC0 + (next - 0x90));
        i += 2;
      } else if (lead == 0xD1 && next >= 0x80 && next <= 0x8F) {
        *to++ = static_cast<char>(0xF0 + (next - 0x80));
        i += 2;
      } else {
        const Character c = DecodeUtf8(text, i);
        const int byte = Cp1251Byte(c.code < 0 ? 0xFFFD : c.code);
        *to++ = static_cast<char>(byte < 0 ? '?' : byte);
        i += c.size;
      }
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
    return;
  }
  for (std::size_t i = 0; i < text.size();) {
    const Character c = DecodeUtf8(text, i);
    i += c.size;
    PutUtf16(out, static_cast<std::uint32_t>(c.code < 0 ? 0xFFFD : c.code), BigEndian(encoding));
  }
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
        const Character c = DecodeUtf8(bytes, i);
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
      const bool big = BigEndian(encoding);
      std::size_t i = 0;
      for (; i + 2 <= bytes.size(); i += 2) {
        const std::uint32_t unit = Unit(bytes, i, big);
        if (unit == 0 || IsLow(unit)) return i;
        if (IsHigh(unit)) {
          if (i + 4 > bytes.size() || !IsLow(Unit(bytes, i + 2, big))) return i;
          i += 2;
        }
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
  if (encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be) {
    if (at + 2 > bytes.size()) return std::string(utf16_fault::kOddByte);
    const std::uint32_t unit = Unit(bytes, at, BigEndian(encoding));
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
    const Character c = DecodeUtf8(text, i);
    if (c.code < 0) {
      folded += text[i++];
      continue;
    }
    long code = c.code;
    if (code >= 'A' && code <= 'Z') code += 'a' - 'A';
    if (code >= 0x410 && code <= 0x42F) code += 0x20;  // А…Я
    if (code >= 0x400 && code <= 0x40F) code += 0x50;  // Ѐ…Џ
    PutUtf8(folded, static_cast<std::uint32_t>(code));
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

}  // namespace egn::cli
