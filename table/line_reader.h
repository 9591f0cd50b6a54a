// The lines of a stream of any size in bounded memory, in UTF-8 or UTF-16,
// given as UTF-8: the numbers egn-digit reads one a line.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "table/byte_stream.h"
#include "table/encodings.h"

namespace egn::table {

// No number needs more bytes than this, blanks around it included; of a
// longer line only its length is kept.
inline constexpr std::size_t kLongestLine = 256;

using table::Encoding;
using table::IsUtf16;

struct Line {
  std::string_view text;  // the line's first bytes, at most kLongestLine, without its '\n'
  std::size_t length;     // the whole line's length in bytes, without its '\n'
  Encoding encoding = Encoding::kUtf8;  // of the input, to say what is wrong with a line
};

// Splits a stream into lines at '\n'; a last line without one counts too.
// Memory stays bounded by the buffer, whatever the lengths of the lines.
// It reads what the source has ready, so that lines typed or piped one at a
// time are answered one at a time; `before_read` runs before every read that
// may wait (to send out what has been answered so far).
//
// The stream's first bytes tell its encoding: a byte-order mark of UTF-8
// (EF BB BF), UTF-16LE (FF FE) or UTF-16BE (FE FF), which is dropped, or,
// without one, a first character of ASCII with a zero byte after it
// (UTF-16LE) or before it (UTF-16BE): a zero byte is never part of a number,
// so no stream of numbers in UTF-8 is taken for UTF-16. UTF-16 is decoded
// to UTF-8 as it streams in; a surrogate without its other half, or an odd
// byte at the end, is kept in the line as bytes that are no UTF-8 (ED A0 80
// to ED BF BF for a surrogate, FF for the odd byte), which a check of the line can
// name.
class LineReader {
 public:
  explicit LineReader(ByteSource& source, std::function<void()> before_read = {},
                      std::size_t buffer_size = 1 << 16);

  // The next line, valid until the next call; false at the end of the input
  // or on a read error (then failed() is true).
  bool Next(Line& line);
  bool failed() const { return failed_; }

 private:
  bool Fill();
  bool Start();
  bool ReadUtf8();
  bool ReadUtf16();
  void UseUtf16(Encoding encoding);
  void Decode();

  ByteSource& source_;
  std::function<void()> before_read_;
  std::vector<char> buffer_;  // UTF-8, lines are cut from it
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool at_end_ = false;
  bool failed_ = false;
  bool started_ = false;  // the encoding is known
  Encoding encoding_ = Encoding::kUtf8;
  std::vector<char> raw_;     // UTF-16: the bytes read, not yet decoded
  std::size_t raw_end_ = 0;   // of which this many are there
  bool source_done_ = false;  // UTF-16: the source has nothing more
  std::string partial_;       // the kept start of a line that crosses the buffer's end
};

}  // namespace egn::table
