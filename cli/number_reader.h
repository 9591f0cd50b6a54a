// Reading numbers for egn-digit: the lines of a stream of any size in
// bounded memory, in UTF-8 or UTF-16, and the check of one line (or
// argument) as the first nine or all ten digits of an ЕГН.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "table/byte_stream.h"
#include "table/encodings.h"

namespace egn::cli {

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

// Where a LineReader's bytes come from.
using table::ByteSource;

// The bytes of a file descriptor.
// The bytes of a file descriptor. Those of a regular file can be read
// again, from where the first read began.
class FileSource : public ByteSource {
 public:
  explicit FileSource(int fd) : fd_(fd) {}
  long Read(char* into, std::size_t size) override;
  std::string Problem() const override { return table::SystemProblem(error_); }
  bool CanReadAgain() const override;
  bool ReadAgain() override;

 private:
  void Begin() const;

  int fd_;
  int error_ = 0;  // errno of the call that failed
  mutable bool begun_ = false;
  mutable long long start_ = -1;  // the offset of a regular file's first read
};

// UTF-16 characters read a piece at a time by `read` (on Windows the
// console's ReadConsoleW: up to `size` units into `into`, how many, 0 at the
// end, -1 on an error), given on as UTF-16LE bytes. U+001A (Ctrl+Z) ends the
// input, as it does for every console program; what came before it counts.
class WideSource : public ByteSource {
 public:
  using ReadWide = std::function<long(char16_t* into, std::size_t size)>;
  explicit WideSource(ReadWide read) : read_(std::move(read)) {}
  long Read(char* into, std::size_t size) override;
  bool IsUtf16() const override { return true; }
  std::string Problem() const override { return table::SystemProblem(error_); }

 private:
  ReadWide read_;
  int error_ = 0;  // errno of the read that failed
  std::vector<char16_t> units_;
  bool ended_ = false;
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
// to ED BF BF for a surrogate, FF for the odd byte), which CheckLine names.
class LineReader {
 public:
  explicit LineReader(int fd, std::function<void()> before_read = {},
                      std::size_t buffer_size = 1 << 16);
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

  std::unique_ptr<ByteSource> owned_;
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

enum class Verdict {
  kNothing,    // an empty or blank line: no number, no output
  kNine,       // nine digits: the control digit is to be computed
  kTen,        // ten digits: the tenth is to be compared with the computed one
  kMalformed,  // anything else; `problem` says what is wrong
};

struct Checked {
  Verdict verdict = Verdict::kNothing;
  // The digits, without the blanks around them, whenever the line holds
  // digits alone: always for kNine and kTen, and for kMalformed when there
  // are too few or too many (eight may be a number whose zeros were lost).
  std::string_view digits;
  std::string problem;  // kMalformed: in words, for the user
};

// The blank that `text` (UTF-8) begins with, or ends with: its size in
// bytes, 0 for none. Spaces and tabs, and the no-break spaces U+00A0 and
// U+202F that spreadsheets and text copied from the web put around numbers
// and names.
inline std::size_t LeadingBlank(std::string_view text) {
  if (text.starts_with(' ') || text.starts_with('\t')) return 1;
  if (text.starts_with("\xC2\xA0")) return 2;
  return text.starts_with("\xE2\x80\xAF") ? 3 : 0;
}
inline std::size_t TrailingBlank(std::string_view text) {
  if (text.ends_with(' ') || text.ends_with('\t')) return 1;
  if (text.ends_with("\xC2\xA0")) return 2;
  return text.ends_with("\xE2\x80\xAF") ? 3 : 0;
}

// `text` (UTF-8) without the blanks around it.
inline std::string_view TrimBlanks(std::string_view text) {
  while (const std::size_t n = LeadingBlank(text)) text.remove_prefix(n);
  while (const std::size_t n = TrailingBlank(text)) text.remove_suffix(n);
  return text;
}

// Blanks (spaces, tabs, no-break spaces) around the number and one CR before the line's end
// are ignored. The problem names what the line's encoding (`line.encoding`)
// makes wrong. `blank_is_nothing`: a blank line is no number (lines of a
// file) rather than a malformed one (an argument).
Checked CheckLine(const Line& line, bool blank_is_nothing);

}  // namespace egn::cli
