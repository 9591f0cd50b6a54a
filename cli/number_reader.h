// Reading numbers for egn-digit: the lines of a stream of any size in
// bounded memory, and the check of one line (or argument) as the first nine
// or all ten digits of an ЕГН.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace egn::cli {

// No number needs more bytes than this, blanks around it included; of a
// longer line only its length is kept.
inline constexpr std::size_t kLongestLine = 256;

struct Line {
  std::string_view text;  // the line's first bytes, at most kLongestLine, without its '\n'
  std::size_t length;     // the whole line's length in bytes, without its '\n'
};

// Splits a stream into lines at '\n'; a last line without one counts too.
// Memory stays bounded by the buffer, whatever the lengths of the lines.
// It reads what the file descriptor has ready, so that lines typed or piped
// one at a time are answered one at a time; `before_read` runs before every
// read that may wait (to send out what has been answered so far).
class LineReader {
 public:
  explicit LineReader(int fd, std::function<void()> before_read = {},
                      std::size_t buffer_size = 1 << 16);

  // The next line, valid until the next call; false at the end of the input
  // or on a read error (then failed() is true).
  bool Next(Line& line);
  bool failed() const { return failed_; }

 private:
  bool Fill();

  int fd_;
  std::function<void()> before_read_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool at_end_ = false;
  bool failed_ = false;
  std::string partial_;  // the kept start of a line that crosses the buffer's end
};

enum class Verdict {
  kNothing,    // an empty or blank line: no number, no output
  kNine,       // nine digits: the control digit is to be computed
  kTen,        // ten digits: the tenth is to be compared with the computed one
  kMalformed,  // anything else; `problem` says what is wrong
};

struct Checked {
  Verdict verdict = Verdict::kNothing;
  std::string_view digits;  // kNine, kTen: the digits, without the blanks around them
  std::string problem;      // kMalformed: in words, for the user
};

// Blanks (spaces, tabs) around the number and one CR before the line's end
// are ignored. `blank_is_nothing`: a blank line is no number (lines of a
// file) rather than a malformed one (an argument).
Checked CheckLine(const Line& line, bool blank_is_nothing);

}  // namespace egn::cli
