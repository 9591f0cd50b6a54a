// Eight bytes at a time: the word tests that the CSV reader and writer use
// to find a few bytes in long texts without looking at each one.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace egn::table::words {

inline constexpr std::uint64_t kOnes = 0x0101010101010101U;
inline constexpr std::uint64_t kHighs = 0x8080808080808080U;

// The bytes p[0..7] as a word, p[0] lowest.
inline std::uint64_t Load(const char* p) {
  std::uint64_t word = 0;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// The high bit of every zero byte of `word`: nonzero exactly when there is
// one, and its lowest set bit is that of the first.
inline std::uint64_t Zeros(std::uint64_t word) { return (word - kOnes) & ~word & kHighs; }

// Likewise for the bytes equal to `byte`.
inline std::uint64_t Matches(std::uint64_t word, unsigned char byte) {
  return Zeros(word ^ (kOnes * byte));
}

// The high bit of every byte of `word` equal to `byte`, and of no other:
// slower than Matches, but every mark can be taken in turn.
inline std::uint64_t Exactly(std::uint64_t word, unsigned char byte) {
  constexpr std::uint64_t kLows = ~kHighs;
  const std::uint64_t x = word ^ (kOnes * byte);
  return ~(((x & kLows) + kLows) | x | kLows);
}

// The index of the first byte that a Zeros, Matches or Exactly answer marks.
inline int First(std::uint64_t marks) { return std::countr_zero(marks) / 8; }

}  // namespace egn::table::words
