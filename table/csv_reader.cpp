#include "table/csv_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "number/utf8.h"
#include "table/encodings.h"
#include "table/words.h"

namespace egn::table {

namespace {

// Room for one more read beyond the longest row.
constexpr std::size_t kReadRoom = std::size_t{1} << 16;

// The code units of the encodings, for the parser: a byte, or two in the
// byte order of one of UTF-16's two encodings.
struct Bytes {
  static constexpr std::size_t kSize = 1;
  static unsigned At(const char* p) { return static_cast<unsigned char>(*p); }
};
template <Encoding kUtf16>
struct Utf16Units {
  static constexpr std::size_t kSize = 2;
  static unsigned At(const char* p) { return Utf16Unit(p, kUtf16); }
};

std::size_t UnitSize(Encoding encoding) { return IsUtf16(encoding) ? 2 : 1; }

unsigned UnitAt(std::string_view bytes, std::size_t at, Encoding encoding) {
  return IsUtf16(encoding) ? Utf16Unit(bytes.data() + at, encoding) : Bytes::At(bytes.data() + at);
}

// Whether the bytes at the end of what has been read may be a character
// that the next read completes: the start of a sequence of UTF-8, half a
// unit or a high surrogate of UTF-16.
bool MayGoOn(std::string_view tail, Encoding encoding) {
  if (tail.size() >= 4) return false;
  if (IsUtf16(encoding)) {
    return tail.size() % 2 == 1 || IsHighSurrogate(Utf16Unit(tail.data(), encoding));
  }
  if (encoding != Encoding::kUtf8) return false;
  const std::size_t length = number::Utf8Length(static_cast<unsigned char>(tail[0]));
  if (tail.size() >= length) return false;
  for (std::size_t i = 1; i < tail.size(); ++i) {
    if ((static_cast<unsigned char>(tail[i]) & 0xC0) != 0x80) return false;
  }
  return true;
}

// Whether `bytes` are UTF-8: well-formed but for a character that `cut`
// may have cut short at their end. (A zero byte is left for the rows to
// name.)
bool IsUtf8(std::string_view bytes, bool cut) {
  for (std::size_t at = 0;;) {
    const std::size_t bad = FirstNonText(bytes.substr(at), Encoding::kUtf8);
    if (bad == std::string_view::npos) return true;
    at += bad;
    if (bytes[at] != '\0') return cut && MayGoOn(bytes.substr(at), Encoding::kUtf8);
    ++at;
  }
}

// Where the first byte beyond ASCII lies in `bytes`, eight at a time;
// npos for none.
std::size_t FirstNonAscii(std::string_view bytes) {
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    if ((words::Load(bytes.data() + i) & words::kHighs) != 0) break;
  }
  for (; i < bytes.size(); ++i) {
    if ((static_cast<unsigned char>(bytes[i]) & 0x80) != 0) return i;
  }
  return std::string_view::npos;
}

}  // namespace

CsvReader::CsvReader(ByteSource& source, std::function<void()> before_read, std::size_t longest_row)
    : source_(source),
      before_read_(std::move(before_read)),
      longest_row_(std::max<std::size_t>(longest_row, 4)),
      buffer_(longest_row_ + kReadRoom) {}

bool CsvReader::Fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    checked_ -= begin_;
    if (bad_ != kNoBad) bad_ -= begin_;
    begin_ = 0;
  }
  if (before_read_) before_read_();
  const long got = source_.Read(buffer_.data() + end_, buffer_.size() - end_);
  if (got < 0) {
    problem_ = Problem::kReadFailed;
    what_ = source_.Problem();
    return false;
  }
  if (got == 0) at_end_ = true;
  end_ += static_cast<std::size_t>(got);
  if (encoding_known_) Check();
  return true;
}

// Finds the first byte that is no text in what has been read, once: every
// row is then known to be text but the one that holds it.
void CsvReader::Check() {
  if (bad_ != kNoBad) return;
  const std::string_view unchecked(buffer_.data() + checked_, end_ - checked_);
  const std::size_t bad = FirstNonText(unchecked, encoding_);
  if (bad == std::string_view::npos) {
    checked_ = end_;
  } else if (!at_end_ && MayGoOn(unchecked.substr(bad), encoding_)) {
    checked_ += bad;
  } else {
    bad_ = checked_ + bad;
    checked_ = end_;
  }
}

bool CsvReader::Start(std::optional<char> separator, std::optional<Encoding> encoding) {
  while (!at_end_ && end_ < longest_row_) {
    if (!Fill()) return false;
  }
  if (encoding) {
    // As given; a byte-order mark of that encoding is still its mark.
    encoding_ = *encoding;
    const std::optional<Marked> marked = EncodingOfStart({buffer_.data(), end_});
    const std::size_t mark = marked && marked->encoding == *encoding ? marked->mark : 0;
    mark_.assign(buffer_.data(), mark);
    begin_ = mark;
  } else {
    DetectEncoding();
    if (!ReadOnToTell()) return false;
  }
  encoding_known_ = true;
  checked_ = begin_;
  Check();
  separator_ = separator ? *separator : DetectSeparator();
  return true;
}

// A start of ASCII alone tells UTF-8 from Windows-1251 no better than an
// empty file: a register sorted with its Latin names first is Windows-1251
// all the same. An input that can be read again is read on to its first
// byte beyond ASCII, which tells, and then again from its start.
bool CsvReader::ReadOnToTell() {
  guessed_ = mark_.empty() && encoding_ == Encoding::kUtf8 && !source_.IsUtf16();
  if (!guessed_) return true;
  const std::string_view read(buffer_.data(), end_);
  if (const std::size_t at = FirstNonAscii(read); at != std::string_view::npos) {
    // Told by the first MiB, or by the bytes read beyond it.
    if (at >= longest_row_ && !IsUtf8(read.substr(at), !at_end_)) {
      encoding_ = Encoding::kWindows1251;
    }
    guessed_ = false;
    return true;
  }
  if (at_end_ || !source_.CanReadAgain()) return true;
  std::vector<char> ahead(kReadRoom);
  for (;;) {
    const long got = source_.Read(ahead.data(), ahead.size());
    if (got < 0) {
      problem_ = Problem::kReadFailed;
      what_ = source_.Problem();
      return false;
    }
    if (got == 0) break;  // ASCII to the end: UTF-8
    const std::string_view bytes(ahead.data(), static_cast<std::size_t>(got));
    if (const std::size_t at = FirstNonAscii(bytes); at != std::string_view::npos) {
      if (!IsUtf8(bytes.substr(at), true)) encoding_ = Encoding::kWindows1251;
      break;
    }
  }
  if (!source_.ReadAgain()) {
    problem_ = Problem::kReadFailed;
    what_ = source_.Problem();
    return false;
  }
  guessed_ = false;
  begin_ = end_ = 0;
  at_end_ = false;
  while (!at_end_ && end_ < longest_row_) {
    if (!Fill()) return false;
  }
  return true;
}

void CsvReader::DetectEncoding() {
  const std::string_view start(buffer_.data(), end_);
  std::size_t mark = 0;
  if (source_.IsUtf16()) {  // a console's characters
    encoding_ = Encoding::kUtf16Le;
  } else if (const std::optional<Marked> marked = EncodingOfStart(start)) {
    encoding_ = marked->encoding, mark = marked->mark;
  } else {
    // As much as the longest row, however it was read.
    const bool cut = !at_end_ || start.size() > longest_row_;
    encoding_ =
        IsUtf8(start.substr(0, longest_row_), cut) ? Encoding::kUtf8 : Encoding::kWindows1251;
  }
  mark_.assign(start.substr(0, mark));
  begin_ = mark;
}

char CsvReader::DetectSeparator() const {
  // How many times each of ';', tab and ',' stands outside quotes on each
  // of the first rows that have been read whole (empty rows aside).
  constexpr char kCandidates[] = {';', '\t', ','};
  constexpr std::size_t kRows = 20;
  const std::string_view text(buffer_.data() + begin_, end_ - begin_);
  const std::size_t k = UnitSize(encoding_);
  std::vector<std::array<std::size_t, 3>> rows;
  std::array<std::size_t, 3> counts{};
  bool in_quotes = false, empty = true;
  for (std::size_t i = 0; i + k <= text.size() && rows.size() < kRows; i += k) {
    const unsigned c = UnitAt(text, i, encoding_);
    if (c == '"') in_quotes = !in_quotes;
    if (in_quotes) continue;
    if (c == '\n' || c == '\r') {
      if (!empty) rows.push_back(counts);
      counts = {}, empty = true;
      continue;
    }
    empty = false;
    for (std::size_t j = 0; j < 3; ++j) counts[j] += c == static_cast<unsigned>(kCandidates[j]);
  }
  if (!empty && at_end_ && rows.size() < kRows)
    rows.push_back(counts);  // a last row without an end
  // The one that splits every row it splits into as many fields, and the
  // most rows; otherwise the one found most often.
  std::size_t best = 3, best_rows = 0;
  std::array<std::size_t, 3> totals{};
  for (std::size_t j = 0; j < 3; ++j) {
    std::size_t split = 0, fields = 0;
    bool same = true;
    for (const auto& row : rows) {
      totals[j] += row[j];
      if (row[j] == 0) continue;
      same = same && (split == 0 || row[j] == fields);
      fields = row[j];
      ++split;
    }
    if (same && split > best_rows) best = j, best_rows = split;
  }
  if (best == 3) {
    best = 0;
    for (std::size_t j = 1; j < 3; ++j) {
      if (totals[j] > totals[best]) best = j;
    }
  }
  return kCandidates[best];
}

// A row is looked at once, whatever the pieces its bytes come in: a row that
// needs more bytes (kMore) leaves in `parsed` where its reading stands, and
// the next call, given the same row with more bytes after, goes on from there.
template <class Units>
CsvReader::Step CsvReader::Parse(const char* begin, const char* end, bool at_end,
                                 Parsed& parsed) const {
  using State = Parsed::State;
  constexpr std::size_t k = Units::kSize;
  const unsigned separator = static_cast<unsigned char>(separator_);
  std::vector<std::string_view>* const all = parsed.all;
  if (parsed.at == 0) {  // a row begun anew
    parsed = Parsed{};
    parsed.all = all;
    parsed.state = k == 1 && all == nullptr ? State::kQuick : State::kStart;
  }
  if constexpr (k == 1) {
    // Most rows hold no quote: their fields are what lies between the
    // separators of one line.
    if (parsed.state == State::kQuick) {
      const char* field = begin + parsed.field;
      std::size_t fields = parsed.fields;
      const auto separated = [&](const char* at) {
        if (fields == column_) parsed.cell_begin = field - begin, parsed.cell_end = at - begin;
        ++fields;
        field = at + 1;
      };
      // More bytes are needed from `at` on.
      const auto more = [&](const char* at) {
        parsed.at = at - begin;
        parsed.field = field - begin;
        parsed.fields = fields;
        return Step::kMore;
      };
      // The row's end at `stop`: a CR, a CR LF, a LF, or the input's end.
      // A CR that the bytes end on may be the first half of a CR LF.
      const auto ended = [&](const char* stop) {
        std::size_t line_end = 0;
        if (stop != end) {
          if (*stop == '\r' && stop + 1 == end && !at_end) return more(stop);
          line_end = *stop == '\r' && stop + 1 != end && stop[1] == '\n' ? 2 : 1;
        }
        if (fields == column_) parsed.cell_begin = field - begin, parsed.cell_end = stop - begin;
        parsed.fields = fields + 1;
        parsed.all_quoted = false;
        parsed.size = stop - begin;
        parsed.line_end = line_end;
        return Step::kRow;
      };
      const auto sep = static_cast<unsigned char>(separator);
      const char* p = begin + parsed.at;
      bool quote = false;
      for (; end - p >= 8 && !quote; p += 8) {
        const std::uint64_t word = words::Load(p);
        std::uint64_t separators = words::Exactly(word, sep);
        // Only the first stop counts, and Matches marks it exactly (its
        // false marks come after a true one): cheaper than Exactly.
        const std::uint64_t stops =
            words::Matches(word, '"') | words::Matches(word, '\n') | words::Matches(word, '\r');
        const int stop = stops != 0 ? words::First(stops) : 8;
        if (stop < 8) separators &= (std::uint64_t{1} << (8 * stop)) - 1;  // those before it
        for (; separators != 0; separators &= separators - 1)
          separated(p + words::First(separators));
        if (stop == 8) continue;
        if (p[stop] != '"') return ended(p + stop);
        quote = true;  // the long way, from the start
        break;
      }
      for (; p < end && !quote; ++p) {
        if (static_cast<unsigned char>(*p) == sep) {
          separated(p);
        } else if (*p == '"') {
          quote = true;
        } else if (*p == '\n' || *p == '\r') {
          return ended(p);
        }
      }
      if (!quote && p == end) {
        if (!at_end) return more(end);
        return ended(end);
      }
      parsed = Parsed{};
      parsed.state = State::kStart;
    }
  }
  State state = parsed.state;
  const char* field = begin + parsed.field;  // where the current field begins
  bool quoted = parsed.quoted;
  const auto end_field = [&](const char* at) {
    if (parsed.fields == column_) parsed.cell_begin = field - begin, parsed.cell_end = at - begin;
    if (all != nullptr) all->emplace_back(field, at - field);
    ++parsed.fields;
    parsed.all_quoted = parsed.all_quoted && quoted;
    quoted = false;  // until the next field shows its first unit
    field = at + k;
  };
  const char* const last = begin + (end - begin) / k * k;  // whole units only
  // The line end of a CR at `p`: CR LF, or a CR alone; 0 when the bytes
  // end on it and the next read may bring its LF.
  const auto cr_end = [&](const char* p) -> std::size_t {
    if (p + k < last) return Units::At(p + k) == '\n' ? 2 * k : k;
    return at_end ? k : 0;
  };
  // At a CR or LF outside quotes: the row ends.
  const auto end_row = [&](const char* stop, std::size_t line_end) {
    end_field(stop);
    parsed.size = stop - begin;
    parsed.line_end = line_end;
    return Step::kRow;
  };
  const char* p = begin + parsed.at;
  for (; p < last; p += k) {
    const unsigned c = Units::At(p);
    if (state == State::kQuoted) {
      if (c == '"') {
        state = State::kClosed;
      } else if (c == '\n' || c == '\r') {
        // A line break of the field's text: CR LF, LF or CR counts once.
        parsed.lines += c == '\n' ? p == begin || Units::At(p - k) != '\r' : 1;
      }
      continue;
    }
    if (c == '\n') return end_row(p, k);
    if (c == '\r') {
      const std::size_t line_end = cr_end(p);
      if (line_end == 0) break;  // kMore, from the CR
      return end_row(p, line_end);
    }
    switch (state) {
      case State::kStart:
        quoted = c == '"';
        if (c == '"') {
          state = State::kQuoted;
          parsed.quote_lines = parsed.lines;
        } else if (c == separator) {
          end_field(p);
        } else {
          state = State::kPlain;
        }
        break;
      case State::kPlain:
        if (c == separator) {
          end_field(p);
          state = State::kStart;
        } else if (c == '"' && parsed.quoting == Quoting::kRight) {
          parsed.quoting = Quoting::kQuoteInText, parsed.quoting_lines = parsed.lines;
        }
        break;
      case State::kClosed:
        if (c == '"') {
          state = State::kQuoted;  // a doubled quote
        } else if (c == separator) {
          end_field(p);
          state = State::kStart;
        } else {
          quoted = false;  // text after the closing quote: taken as it is
          state = State::kPlain;
          if (parsed.quoting == Quoting::kRight) {
            parsed.quoting = Quoting::kTextAfterQuote, parsed.quoting_lines = parsed.lines;
          }
        }
        break;
      case State::kQuick:
      case State::kQuoted:
        break;
    }
  }
  parsed.in_quotes = state == State::kQuoted;
  if (!at_end) {
    parsed.at = static_cast<std::size_t>(p - begin);
    parsed.field = static_cast<std::size_t>(field - begin);
    parsed.state = state;
    parsed.quoted = quoted;
    return Step::kMore;
  }
  if (state == State::kQuoted) return Step::kOpenQuote;
  // The last row, without a line end (an odd byte of UTF-16 included).
  end_field(end);
  parsed.size = end - begin;
  return Step::kRow;
}

CsvReader::Step CsvReader::ParseAny(const char* begin, const char* end, bool at_end,
                                    Parsed& parsed) const {
  switch (encoding_) {
    case Encoding::kUtf16Le:
      return Parse<Utf16Units<Encoding::kUtf16Le>>(begin, end, at_end, parsed);
    case Encoding::kUtf16Be:
      return Parse<Utf16Units<Encoding::kUtf16Be>>(begin, end, at_end, parsed);
    case Encoding::kUtf8:
    case Encoding::kWindows1251:
      break;
  }
  return Parse<Bytes>(begin, end, at_end, parsed);
}

bool CsvReader::Fail(Problem problem, std::size_t line) {
  problem_ = problem;
  problem_line_ = line;
  return false;
}

bool CsvReader::Next(CsvRow& row) {
  if (problem_ != Problem::kNone) return false;
  for (;;) {
    const char* begin = buffer_.data() + begin_;
    const char* end = buffer_.data() + end_;
    if (begin_ == end_ && at_end_) return false;
    // A row that needed more bytes is read on from where it stood.
    Parsed& parsed = partial_;
    const Step step = begin_ == end_ ? Step::kMore : ParseAny(begin, end, at_end_, parsed);
    if (step != Step::kMore) parsed.at = 0;  // the next row is begun anew
    if (step == Step::kMore) {
      if (end_ - begin_ > longest_row_) {
        return parsed.in_quotes ? Fail(Problem::kTooLongInQuotes, next_line_ + parsed.quote_lines)
                                : Fail(Problem::kTooLong, next_line_);
      }
      if (!Fill()) return false;
      continue;
    }
    const std::string_view bytes(
        begin, step == Step::kRow ? parsed.size + parsed.line_end : end_ - begin_);
    if (bytes.size() > longest_row_) {
      return step == Step::kRow ? Fail(Problem::kTooLong, next_line_)
                                : Fail(Problem::kTooLongInQuotes, next_line_ + parsed.quote_lines);
    }
    const std::size_t bad = bad_ == kNoBad ? kNoBad : bad_ - begin_;
    if (bad < bytes.size()) {
      what_ = "файлът не е текст в " + std::string(EncodingName(encoding_)) + " (" +
              NonTextProblem(bytes, bad, encoding_) + ")";
      if (guessed_ && bytes[bad] != '\0') {
        // Standard input that could not be read again from its start.
        what_ += "; ако е в Windows-1251, посочете го с --encoding windows-1251";
      }
      std::size_t line = next_line_;
      // CR LF, LF and CR each end a line.
      const std::size_t k = UnitSize(encoding_);
      for (std::size_t i = 0; i < bad; i += k) {
        const unsigned c = UnitAt(bytes, i, encoding_);
        line += c == '\r' || (c == '\n' && (i == 0 || UnitAt(bytes, i - k, encoding_) != '\r'));
      }
      return Fail(Problem::kNotText, line);
    }
    if (step == Step::kOpenQuote) {
      // What is left is given as one row, for the caller to keep.
      row = {bytes, {}, next_line_, 0, false, {}, Quoting::kRight, 0};
      begin_ = end_;
      return Fail(Problem::kOpenQuote, next_line_ + parsed.quote_lines);
    }
    const bool empty = parsed.size == 0;
    row.bytes = bytes.substr(0, parsed.size);
    row.line_end = bytes.substr(parsed.size);
    row.line = next_line_;
    row.fields = empty ? 0 : parsed.fields;
    row.all_quoted = !empty && parsed.all_quoted;
    row.cell = !empty && parsed.fields > column_
                   ? bytes.substr(parsed.cell_begin, parsed.cell_end - parsed.cell_begin)
                   : std::string_view();
    row.quoting = parsed.quoting;
    if (parsed.quoting != Quoting::kRight) row.quoting_line = next_line_ + parsed.quoting_lines;
    next_line_ += parsed.lines + (parsed.line_end > 0 ? 1 : 0);
    begin_ += bytes.size();
    return true;
  }
}

std::vector<std::string_view> CsvReader::Fields(const CsvRow& row) const {
  std::vector<std::string_view> fields;
  if (row.bytes.empty()) return fields;
  Parsed parsed;
  parsed.all = &fields;
  ParseAny(row.bytes.data(), row.bytes.data() + row.bytes.size(), true, parsed);
  return fields;
}

}  // namespace egn::table
