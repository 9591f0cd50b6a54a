#include "table/csv_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "table/words.h"

namespace egn::table {

void CsvWriter::Row(std::string& out, const CsvRow& row, const Columns* columns,
                    std::size_t padding) {
  if (columns != nullptr && from_ == to_ && InPlace() && !row.all_quoted &&
      !NeedsQuotes(columns->all())) {
    // Mostly: the row, its columns and its line end, written in one piece.
    AppendInPlace(out, row.bytes, *columns, padding, row.line_end);
    return;
  }
  Keep(out, row.bytes);
  if (columns != nullptr) Append(out, row.all_quoted, *columns, padding);
  Keep(out, row.line_end);
}

void CsvWriter::RowWithColumnsAt(std::string& out, const CsvRow& row, const Columns& columns,
                                 std::size_t at) {
  Keep(out, row.bytes.substr(0, at));
  Append(out, row.all_quoted, columns, 0);
  Keep(out, row.bytes.substr(at));
  Keep(out, row.line_end);
}

void CsvWriter::Keep(std::string& out, std::string_view bytes) {
  if (from_ == to_) {
    out += bytes;
  } else {
    AppendUtf8(out, bytes, from_);
  }
}

bool CsvWriter::InPlace() const { return to_ == Encoding::kUtf8 || to_ == Encoding::kWindows1251; }

// `before` and `after` as they are, and between them the columns after
// `padding` empty fields, none of them quoted: written in place, in one
// piece (Windows-1251 takes no more bytes than UTF-8).
void CsvWriter::AppendInPlace(std::string& out, std::string_view before, const Columns& columns,
                              std::size_t padding, std::string_view after) {
  const std::size_t at = out.size();
  out.resize(at + before.size() + padding + columns.size() + columns.all().size() + after.size(),
             separator_);
  char* to = out.data() + at;
  to = std::copy(before.begin(), before.end(), to) + padding;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string_view column = columns[i];
    *to++ = separator_;
    if (to_ == Encoding::kUtf8) {
      std::memcpy(to, column.data(), column.size());
      to += column.size();
    } else {
      to += EncodeWindows1251(column, to);
    }
  }
  to = std::copy(after.begin(), after.end(), to);
  out.resize(static_cast<std::size_t>(to - out.data()));
}

// The columns after `padding` empty fields.
void CsvWriter::Append(std::string& out, bool quote_all, const Columns& columns,
                       std::size_t padding) {
  const bool quote_some = quote_all || NeedsQuotes(columns.all());
  if (!quote_some && InPlace()) {
    AppendInPlace(out, {}, columns, padding, {});
    return;
  }
  // Otherwise put together in UTF-8, each column quoted where it must be
  // (or in a row that quotes every field), and encoded at once.
  block_.assign(padding, separator_);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string_view text = columns[i];
    block_ += separator_;
    if (!quote_all && (!quote_some || !NeedsQuotes(text))) {
      block_ += text;
      continue;
    }
    AppendQuoted(block_, text);
  }
  if (to_ == Encoding::kUtf8) {
    out += block_;
  } else {
    AppendEncoded(out, block_, to_);
  }
}

bool CsvWriter::NeedsQuotes(std::string_view text) const {
  return table::NeedsQuotes(text, separator_);
}

// Eight bytes at a time.
bool NeedsQuotes(std::string_view text, char separator) {
  std::uint64_t special = 0;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    const std::uint64_t word = words::Load(text.data() + i);
    special |= words::Matches(word, separator) | words::Matches(word, '"') |
               words::Matches(word, '\r') | words::Matches(word, '\n');
  }
  for (; i < text.size(); ++i) {
    const char c = text[i];
    special |= static_cast<std::uint64_t>(c == separator || c == '"' || c == '\r' || c == '\n');
  }
  return special != 0;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    out += c;
    if (c == '"') out += c;
  }
  out += '"';
}

}  // namespace egn::table
