// egn-digit --column: the numbers of one column of a CSV file (a
// spreadsheet's export), checked or decoded, and the file given back with
// the results in columns after its last, every byte of it kept; or, with
// --json, one record a row.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "cli/byte_sources.h"
#include "cli/records.h"
#include "table/encodings.h"

namespace egn::cli {

class Summary;

struct ColumnOptions {
  std::string column;  // as given: a name of the header row (in any case), or a number
  // The column's number from 1 when `column` is one (digits alone):
  // SIZE_MAX for one too large for the machine, which no file has.
  std::optional<std::size_t> number;
  bool decode = false;
  bool explain = false;
  Format format = Format::kText;            // kJson: one record a row instead of the file
  std::optional<char> separator;            // given; otherwise found in the first rows
  std::optional<table::Encoding> encoding;  // given; otherwise told by the file
  bool utf8 = false;                        // the file written in UTF-8 with a byte-order mark
  bool bom = false;                         // the records in JSON after a UTF-8 byte-order mark
  Summary* summary = nullptr;               // --summary's: told of every row under the header
};

// Reads the CSV file from `input` and writes to standard output. Returns
// the exit status: 0 when every number is right (valid), 1 when some
// control digit is wrong (some number invalid), 2 when some input is wrong.
// `whole` tells whether the output is the whole file with its results: not
// when nothing could be written, or the reading stopped short of the end.
int RunColumn(const ColumnOptions& options, ByteSource& input, bool& whole);

}  // namespace egn::cli
