#include "number/utf8.h"

namespace egn::number {

std::size_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  return lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
}

Character DecodeUtf8(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return {lead, 1};
  const std::size_t length = Utf8Length(lead);
  if (length == 0) return {-1, 1};
  // The lead's bits of the character, and the least character of its length
  // (anything less is an overlong form).
  constexpr unsigned char kLeadBits[] = {0, 0, 0x1F, 0x0F, 0x07};
  constexpr long kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  const std::size_t extra = length - 1;
  long c = lead & kLeadBits[length];
  const long least = kLeast[length];
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
