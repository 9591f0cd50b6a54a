// Writing a CSV file again as a CsvReader read it, with fields appended to
// its rows: every byte of the rows kept, in the file's encoding or in UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "table/columns.h"
#include "table/csv_reader.h"
#include "table/encodings.h"

namespace egn::table {

// Writes rows as they were read, with columns appended: in the file's
// encoding `from`, or in UTF-8 (`to`, which is `from` or UTF-8: a console
// takes characters, and a program may ask for UTF-8); the separator, the
// quoting of each row and its line end are the row's own. An appended field
// is quoted when its row quotes every field, or when it must be (it holds
// the separator, a quote, CR or LF), a quote in it doubled.
class CsvWriter {
 public:
  CsvWriter(Encoding from, Encoding to, char separator)
      : from_(from), to_(to), separator_(separator) {}

  // `row`, with `columns` (when given) after `padding` empty fields.
  void Row(std::string& out, const CsvRow& row, const Columns* columns, std::size_t padding);

  // A row with more fields than the header row: the columns after its
  // first `at` bytes (as many fields as the header's), its other fields
  // after them.
  void RowWithColumnsAt(std::string& out, const CsvRow& row, const Columns& columns,
                        std::size_t at);

  // Bytes of the file as they are, in the output's encoding.
  void Keep(std::string& out, std::string_view bytes);

 private:
  void Append(std::string& out, bool quote_all, const Columns& columns, std::size_t padding);
  // Whether columns that need no quotes are written in place, each in one
  // pass: in UTF-8 and Windows-1251.
  bool InPlace() const;
  void AppendInPlace(std::string& out, std::string_view before, const Columns& columns,
                     std::size_t padding, std::string_view after);
  bool NeedsQuotes(std::string_view text) const;

  Encoding from_, to_;
  char separator_;
  std::string block_;
};

// Whether `text` holds `separator`, a quote, CR or LF, and must be quoted
// as a field of CSV (RFC 4180).
bool NeedsQuotes(std::string_view text, char separator);

// `text` as a quoted field: between quotes, each quote in it doubled.
void AppendQuoted(std::string& out, std::string_view text);

}  // namespace egn::table
