// The records of the ZIP format that ZipReader and ZipWriter share: their
// signatures and fixed sizes, little-endian numbers read and written, and
// the words that name a part in a message. Internal to table/.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace egn::table::zip {

inline constexpr std::uint32_t kLocalSignature = 0x04034b50;
inline constexpr std::uint32_t kCentralSignature = 0x02014b50;
inline constexpr std::uint32_t kEndSignature = 0x06054b50;
inline constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
inline constexpr std::uint32_t kDescriptorSignature = 0x08074b50;

inline constexpr std::size_t kLocalSize = 30;  // without name and extra field
inline constexpr std::size_t kCentralSize = 46;
inline constexpr std::size_t kEndSize = 22;  // without comment
inline constexpr std::size_t kZip64EndSize = 56;
inline constexpr std::size_t kZip64LocatorSize = 20;
inline constexpr std::uint16_t kZip64ExtraId = 0x0001;

// A field that holds this says that the value is in the ZIP64 extra field
// or record instead.
inline constexpr std::uint32_t kFull32 = 0xFFFFFFFF;
inline constexpr std::uint16_t kFull16 = 0xFFFF;

// Version 2.0 (deflate, folders, descriptors) and 4.5 (ZIP64) of the format.
inline constexpr std::uint16_t kVersionDeflate = 20;
inline constexpr std::uint16_t kVersionZip64 = 45;

inline std::uint16_t Get16(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}
inline std::uint32_t Get32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}
inline std::uint64_t Get64(const char* p) {
  return Get32(p) | static_cast<std::uint64_t>(Get32(p + 4)) << 32;
}

inline void Put16(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}
inline void Put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void Put64(std::string& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void Set32(std::string& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void Set64(std::string& out, std::size_t at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A part's name as a message shows it, in „“: well-formed UTF-8 as it is,
// any other byte and any control character as \xNN, so that a name never
// breaks a message's line or its encoding.
std::string Quoted(std::string_view name);

// "ZIP-ът е повреден: " + what.
std::string Damaged(std::string_view what);

// The same about the part `name`: "ZIP-ът е повреден: частта „name“ " + what.
std::string DamagedPart(std::string_view name, std::string_view what);

}  // namespace egn::table::zip
