#include "number/utf8.h"

namespace egn::number {

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

char32_t LowerCase(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 0x20;
  if (c >= U'\u0410' && c <= U'\u042F') return c + 0x20;  // А…Я
  if (c >= U'\u0400' && c <= U'\u040F') return c + 0x50;  // Ѐ…Џ, Ѝ among them
  return c;
}

}  // namespace egn::number
