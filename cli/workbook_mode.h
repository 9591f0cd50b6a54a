// egn-digit --column on a workbook (.xlsx or .ods): the numbers of one
// column of one of its sheets, checked or decoded as those of a CSV file
// are, and given back as CSV (every row of the sheet a line, the results in
// columns after its last used one), as JSON records, or as the same
// workbook with the results in cells after the sheet's last used column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cli/csv_mode.h"
#include "table/byte_stream.h"
#include "table/sheet.h"

namespace egn::cli {

// What a cell gives to check: the text of its number, or, where it holds
// none (a date, a fraction, a formula's error, TRUE or FALSE), why, in
// words for the user.
struct CellText {
  std::string text;
  std::string problem;  // not empty: no number
};
CellText TextOfCell(const table::Cell& cell);

// What a file is by its first bytes (never by its name).
enum class FileKind {
  kText,      // anything else: read as CSV
  kZip,       // a ZIP package: a workbook (.xlsx, .ods), or some other archive
  kCompound,  // a compound file: an .xls, or an .xlsx protected by a password
};
FileKind KindOfHead(std::string_view head);

// Whether the compound file in `file` holds a stream named
// "EncryptedPackage" (what an .xlsx protected by a password is), found by
// its directory: its header's sector size, the first sector of the
// directory and the sectors of the allocation table its header lists.
bool HoldsEncryptedPackage(table::RandomAccessSource& file);

// The messages that refuse a file egn-digit does not read, without the
// program's name.
inline constexpr std::string_view kOldWorkbook =
    "файлът е работна книга .xls (от по-стар формат), която не се чете: отворете я в "
    "програмата за таблици и я запишете като .xlsx или .ods";
inline constexpr std::string_view kProtectedWorkbook =
    "работната книга е защитена с парола: отворете я в програмата за таблици, махнете паролата "
    "и я запишете отново";
inline constexpr std::string_view kOtherArchive =
    "файлът е архив ZIP, но не е работна книга (.xlsx или .ods)";

// Where the run's records and messages go: records are appended to
// buffer() (Done() after each); a message is said after the records before
// it.
class RunSink {
 public:
  virtual ~RunSink() = default;
  virtual std::string& buffer() = 0;
  virtual void Done() = 0;
  virtual void Warn(const std::string& message) = 0;
  virtual void Flush() = 0;
  // The run's status so far, for a reader of the output that goes away.
  virtual void Status(int status) { (void)status; }
};

struct WorkbookOptions {
  ColumnOptions column;              // its separator, if given, is the CSV's
  std::optional<std::string> sheet;  // a name exactly as the workbook has it, or a number from 1
  bool mark = true;                  // the CSV after UTF-8's byte-order mark
};

// Writes the workbook with, in sheet `index`, `results` from column
// `first_column` on: false where it cannot (`problem` then says why).
using WriteBack = std::function<bool(std::size_t index, std::uint32_t first_column,
                                     table::RowResults& results, std::string& problem)>;

// Reads the sheet the options name from `reader` twice: for the header row
// and the last used column, then for the results, which go to `sink` as CSV
// or JSON, or through `write_back` (when given) into the workbook. Returns
// the exit status as RunColumn does; `whole` tells whether all of the output
// was written.
int RunWorkbook(const WorkbookOptions& options, table::SheetReader& reader, RunSink& sink,
                const WriteBack& write_back, bool& whole);

}  // namespace egn::cli
