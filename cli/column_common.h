// What egn-digit --column does the same way whatever holds the table (a CSV
// file or a workbook's sheet): finding the header row and the column in it
// by the names of a row's fields, and the results of one field's text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/csv_mode.h"
#include "cli/line_check.h"
#include "cli/records.h"
#include "table/byte_stream.h"

namespace egn::cli {

// `text` (UTF-8) as a message shows it: a control character (C0, DEL, C1)
// escaped, never raw, so that it cannot move the cursor of a terminal and
// overwrite the line: \r, \n and \t, \xHH for the others of ASCII, \uHHHH
// for those of C1.
std::string Shown(std::string_view text);

// The names of one row of the table (UTF-8, without quotes and blanks), one
// a field or a column, and the row's number as the user sees it.
struct NamedRow {
  std::size_t line = 0;
  std::vector<std::string> names;
};

// Whether a row of these names tells where the table starts: it holds the
// column's name (in any case), or the column of the given number is not
// blank there (a header's name, or a first number, which means a table
// without a header row).
bool TellsHeader(const std::vector<std::string>& names, const ColumnOptions& options);

// The column (from 0) of the header row `names`; none where there is no
// such column or its name is there more than once, and then `problem` says
// so, in words for the user (without the program's name). `above` are the
// rows read while the header was looked for: one whose name differs from
// the column's only by look-alike Latin letters is named.
std::optional<std::size_t> FindColumn(const std::vector<std::string>& names,
                                      const ColumnOptions& options,
                                      const std::vector<NamedRow>& above, std::string& problem);

// What a field's number came to.
enum class FieldVerdict {
  kBlank,    // no number: nothing to say, empty columns
  kProblem,  // no number to check: `problem` says why
  kRight,    // a right control digit, or a valid number
  kWrong,    // a wrong control digit, or an invalid number
};

// Checks (or with options.decode decodes) what CheckLine made of the
// field of row `line`: the results into `columns`, or with `json` its JSON
// record appended there. Eight or nine digits of a number of 2000-2009
// whose zeros a spreadsheet dropped are read as that number, and the
// results say so; so are those of such a number whose control digit is
// wrong, where the digits hold no date as they stand. For kProblem nothing
// is written: `problem` says why. A number judged right or wrong is told to
// options.summary, where there is one.
FieldVerdict CheckField(const Checked& checked, const ColumnOptions& options, std::size_t line,
                        Columns& columns, std::string* json, std::string& problem);

// --summary: the rows of a table counted by what their numbers came to, and
// the --json record of each row to look at (its number malformed, its
// control digit wrong or the number invalid, its leading zeros lost), of
// the first `most` of them, written to `sink` as the rows are read, so that
// it needs no second reading with --json; Finish() ends it with the counts
// (the rows to look at among them), one JSON object on a line of its own.
class Summary {
 public:
  // `most`: the rows to look at whose records are written, the first ones
  // (every row is counted all the same).
  explicit Summary(table::ByteSink& sink, std::uint64_t most = UINT64_MAX)
      : sink_(sink), most_(most) {}
  // A field that CheckField judged right or wrong: what CheckLine read
  // (`read`), the number judged (its lost zeros restored, as `about` says)
  // and the verdict; counted, and its record written where it is one to
  // look at (and one of the first `most`): `record`, where the caller has
  // just made it for --json, or else made here.
  void Judged(const ColumnOptions& options, Verdict read, std::string_view digits,
              const About& about, bool right, std::string_view record = {});
  // A row with no number to check (the field's problem, or the row's own).
  void Problem(std::size_t line, std::string_view problem);
  // Writes what is left and the counts: false when the sink failed (its
  // Problem() says why), at any write.
  bool Finish();

 private:
  // Counts a row to look at: whether its record is written (one of the
  // first `most_`).
  bool Shown() { return ++looks_ <= most_; }
  void Put();

  table::ByteSink& sink_;
  bool failed_ = false;
  std::string records_;
  std::uint64_t most_;
  std::uint64_t rows_ = 0, right_ = 0, wrong_ = 0, computed_ = 0, malformed_ = 0, lost_ = 0;
  std::uint64_t looks_ = 0;  // the rows to look at, written or not
};

}  // namespace egn::cli
