// Bytes as a pipe may give them, for the readers' tests and fuzz targets: at
// most `piece` at a time, so that a byte-order mark, a code unit, a
// character or a row is cut anywhere (the readers must not care); then the
// end of the input, or a read error. Standard library only, without a test
// framework, so that a fuzz target can use it as well.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>

#include "table/byte_stream.h"

namespace egn::table {

// `text` as the bytes of UTF-16, little- or big-endian, without a mark.
inline std::string Utf16(std::u16string_view text, bool big_endian) {
  std::string bytes;
  for (const char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

class PieceSource : public ByteSource {
 public:
  // `again`: the bytes can be read again from their start, as a file's.
  PieceSource(std::string_view bytes, std::size_t piece, bool fail = false, bool again = false)
      : bytes_(bytes), piece_(piece), fail_(fail), again_(again) {}
  bool CanReadAgain() const override { return again_; }
  bool ReadAgain() override {
    at_ = 0;
    return again_;
  }
  long Read(char* into, std::size_t size) override {
    const std::size_t n = std::min({size, piece_, bytes_.size() - at_});
    if (n == 0 && fail_) return -1;
    std::copy_n(bytes_.data() + at_, n, into);
    at_ += n;
    return static_cast<long>(n);
  }
  std::string Problem() const override { return SystemProblem(EIO); }

 private:
  std::string bytes_;
  std::size_t piece_, at_ = 0;
  bool fail_, again_;
};

}  // namespace egn::table
