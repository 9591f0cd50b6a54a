// Reading a CSV file (RFC 4180) for egn-digit --column: its rows exactly as
// they were written, with where their fields lie, in bounded memory
// whatever the file's size.
//
// The encoding is told by the first bytes: a byte-order mark of UTF-8,
// UTF-16LE or UTF-16BE; without one, a first character of ASCII with a zero
// byte after it (UTF-16LE) or before it (UTF-16BE); otherwise the start of
// the file (as much as the longest row, 1 MiB) is UTF-8 if it is well-formed
// UTF-8, else Windows-1251, what spreadsheets set up for Bulgarian save as
// CSV. A start of ASCII alone tells neither: a file that can be read again
// is read on to its first byte beyond ASCII, which tells, then again from
// its start; standard input from a pipe is taken for UTF-8. Rows are then read in that encoding,
// and a row that is no text in it (a zero byte, malformed UTF-8, the byte 0x98 of Windows-1251,
// half a surrogate pair) ends the reading.
//
// Fields are separated by one character of ASCII; a field that begins with
// a quote runs to the next lone quote (a doubled one is a quote of its
// text), separators and line breaks included. A quote anywhere else, and
// text after a closing quote, is kept as text, and the row is marked as
// quoted against RFC 4180: such a quote may have swallowed rows.
// Rows end in LF, CR LF or CR alone (as some spreadsheets still write for
// old systems); a CR outside quotes always ends a row.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table/byte_stream.h"
#include "table/encodings.h"

namespace egn::table {

// How a row's quotes stand to RFC 4180.
enum class Quoting {
  kRight,
  kTextAfterQuote,  // text after a field's closing quote, before its separator
  kQuoteInText,     // a quote in a field that does not begin with one
};

// A row as read: its bytes in the file's encoding, unchanged.
struct CsvRow {
  std::string_view bytes;             // without its line end
  std::string_view line_end;          // LF, CR LF or CR; empty for a last row without one
  std::size_t line = 0;               // the line of the input it begins on, from 1
  std::size_t fields = 0;             // how many; 0 for an empty row (no bytes at all)
  bool all_quoted = false;            // every field in quotes
  std::string_view cell;              // the selected column's field as written, quotes included;
                                      // empty when the row has too few fields
  Quoting quoting = Quoting::kRight;  // the first fault of its quotes,
  std::size_t quoting_line = 0;       // on this line
};

class CsvReader {
 public:
  // The longest row it takes, line end included.
  static constexpr std::size_t kLongestRow = std::size_t{1} << 20;

  enum class Problem {
    kNone,
    kReadFailed,       // what() says why, in the source's words
    kNotText,          // what() says why, at line()
    kOpenQuote,        // the input ends in a quoted field opened at line()
    kTooLong,          // the row of line() is longer than the longest row
    kTooLongInQuotes,  // so is the quoted field opened at line()
  };

  // `before_read` runs before every read that may wait (to send out what
  // has been answered so far). `longest_row`: for tests of its limits.
  explicit CsvReader(ByteSource& source, std::function<void()> before_read = {},
                     std::size_t longest_row = kLongestRow);

  // Reads the start of the input and tells its encoding, and the separator
  // from the first rows unless `separator` is given: of ';', tab and ',' the
  // one that splits each of the first 20 rows it splits into as many fields,
  // and the most rows (in that order when as many); when none does, the one
  // found most often outside quotes, and ';' when none is there (a single
  // column). False on a read error.
  // `encoding`, when given, overrides what the start tells.
  bool Start(std::optional<char> separator, std::optional<Encoding> encoding = std::nullopt);

  // The next row, valid until the next call; false at the end of the input
  // or on a problem (then problem() says which). For kOpenQuote `row.bytes`
  // holds what is left of the input, from the start of its row, to be kept.
  bool Next(CsvRow& row);

  // The column (from 0) whose field CsvRow::cell gives.
  void Select(std::size_t column) { column_ = column; }

  // The fields of `row` as they were written, quotes included.
  std::vector<std::string_view> Fields(const CsvRow& row) const;

  Encoding encoding() const { return encoding_; }
  // The input is a console's characters, not a file's bytes.
  bool typed() const { return source_.IsUtf16(); }
  // The first bytes of the input, as Start() read them (up to the longest
  // row, or more); valid until the first Next().
  std::string_view head() const { return {buffer_.data(), end_}; }
  // The byte-order mark the input began with, as its bytes; empty for none.
  std::string_view mark() const { return mark_; }
  char separator() const { return separator_; }

  Problem problem() const { return problem_; }
  std::size_t line() const { return problem_line_; }
  const std::string& what() const { return what_; }

 private:
  enum class Step { kRow, kMore, kOpenQuote };
  // Where a row's parts lie, in bytes from its start; while the row needs
  // more bytes (kMore), where its reading stands, to go on from there.
  struct Parsed {
    std::size_t size = 0;      // the row, without its line end
    std::size_t line_end = 0;  // its line end
    std::size_t lines = 0;     // line breaks inside quoted fields
    std::size_t fields = 0;
    bool all_quoted = true;
    std::size_t cell_begin = 0, cell_end = 0;  // the selected field, when there are enough
    bool in_quotes = false;                    // kMore, kOpenQuote: the bytes end in a quoted field
    std::size_t quote_lines = 0;        // line breaks before the last quoted field's opening quote
    Quoting quoting = Quoting::kRight;  // the first fault of the row's quotes,
    std::size_t quoting_lines = 0;      // after this many line breaks
    std::vector<std::string_view>* all = nullptr;  // when given: every field
    // kMore: the bytes looked at (0: none, the row is begun anew), where
    // the current field begins, the way the row is read (kQuick: a row
    // without quotes, so far) and the state of its quotes.
    std::size_t at = 0, field = 0;
    enum class State : unsigned char { kQuick, kStart, kPlain, kQuoted, kClosed };
    State state = State::kQuick;
    bool quoted = false;  // the current field began with a quote
  };

  bool Fill();
  void Check();
  void DetectEncoding();
  bool ReadOnToTell();
  char DetectSeparator() const;
  template <class Units>
  Step Parse(const char* begin, const char* end, bool at_end, Parsed& parsed) const;
  Step ParseAny(const char* begin, const char* end, bool at_end, Parsed& parsed) const;
  bool Fail(Problem problem, std::size_t line);

  ByteSource& source_;
  std::function<void()> before_read_;
  std::size_t longest_row_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // of the bytes not yet given as rows
  std::size_t end_ = 0;
  bool at_end_ = false;  // the source has nothing more
  static constexpr std::size_t kNoBad = std::string_view::npos;
  std::size_t checked_ = 0;   // the bytes before it are known to be text
  std::size_t bad_ = kNoBad;  // the first byte that is not
  bool encoding_known_ = false;
  bool guessed_ = false;  // UTF-8 for a start of ASCII that could not be read on
  Encoding encoding_ = Encoding::kUtf8;
  std::string mark_;
  char separator_ = ';';
  std::size_t column_ = 0;
  std::size_t next_line_ = 1;
  Parsed partial_;  // the row being read, while it needs more bytes
  Problem problem_ = Problem::kNone;
  std::size_t problem_line_ = 0;
  std::string what_;
};

}  // namespace egn::table
