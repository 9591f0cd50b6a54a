// The cells of a workbook's sheet, row by row, whatever kind of workbook
// holds them (.xlsx or .ods); and the same workbook written again with
// columns of results added to one of its sheets.
//
// A sheet is read as a stream: one row at a time, in memory that does not
// grow with the sheet (besides what the workbook shares between its sheets,
// such as an .xlsx's shared strings). Every part is read through the ZIP
// reader's limits and the XML reader's refusals (no DOCTYPE, no entity).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "table/byte_stream.h"
#include "table/zip_reader.h"

namespace egn::table {

enum class WorkbookKind { kXlsx, kOds };

// What a cell holds, as the workbook types it.
enum class CellKind {
  kText,     // a string: shared, inline, or the text a formula gave
  kNumber,   // a number (also a formula's): its text as written, but an
             // integral one as plain decimal digits (no exponent, no ".0")
  kDate,     // a number shown as a date or a time (by its style), or a date
             // or time typed so: as ISO 8601 writes it ("2024-01-02",
             // "2024-01-02T12:00:00"; an .xlsx's serial day made a date)
  kBoolean,  // "TRUE" or "FALSE"
  kError,    // an error value, as written: "#N/A", "#DIV/0!", "Err:502"
};

struct Cell {
  std::uint32_t column = 0;  // from 0 (column A)
  CellKind kind = CellKind::kText;
  std::string text;  // UTF-8
};

struct SheetRow {
  std::uint64_t number = 0;  // from 1, as the sheet numbers its rows
  std::vector<Cell> cells;   // the cells that hold something, by rising column
};

// The kind of workbook the package holds, told by its parts, never by a
// file's name: an .xlsx has xl/workbook.xml, an .ods a part "mimetype" of an
// OpenDocument spreadsheet (or a content.xml that says so). None for any
// other ZIP.
std::optional<WorkbookKind> KindOf(ZipReader& zip);

class SheetReader {
 public:
  virtual ~SheetReader() = default;
  virtual WorkbookKind kind() const = 0;
  // The names of the sheets, in the workbook's order.
  virtual const std::vector<std::string>& sheets() const = 0;
  // Reads sheet `index` (of sheets()) from its first row on, again if it was
  // read before. False where it cannot be read (problem() says why).
  virtual bool Select(std::size_t index) = 0;
  // The next row that holds a cell. False at the end of the sheet, or where
  // the sheet cannot be read further: problem() then says why.
  virtual bool Next(SheetRow& row) = 0;
  // The last column the sheet says it uses (an .xlsx's <dimension>), once
  // its first row has been read: a claim of whoever wrote the workbook,
  // which a reader must check against the cells. None where the sheet says
  // nothing.
  virtual std::optional<std::uint32_t> DeclaredLastColumn() const { return std::nullopt; }
  // After a call that returned false or null: what is wrong, in words for
  // the user (empty at the plain end of a sheet).
  virtual const std::string& problem() const = 0;
};

// The name a spreadsheet gives column `column` (from 0): "A", "Z", "AA", "XFD".
std::string ColumnName(std::uint32_t column);

// A reader of the workbook in `zip`, which must outlive it: null where the
// package is no workbook or a damaged one (`problem` then says why).
std::unique_ptr<SheetReader> OpenWorkbook(ZipReader& zip, std::string& problem);

// A cell written after a row's last: text, filled in a colour that stands
// out where `flagged` (a wrong or invalid number).
struct ResultCell {
  std::string text;
  bool flagged = false;
};

class RowResults {
 public:
  virtual ~RowResults() = default;
  // The cells to add to `row`, from the column WriteWithResults was given
  // on: none leaves the row as it is. Called for each row that holds a
  // cell, in order, with the row as SheetReader::Next gives it.
  virtual void For(const SheetRow& row, std::vector<ResultCell>& cells) = 0;
};

// Writes the workbook in `zip` to `out` with, in sheet `index`, each row's
// results (`results`) as text cells from column `first_column` on (after
// the sheet's last used one). Every other part is copied as it is stored,
// compressed bytes included; the sheet's part is written again with only
// the cells added, and the styles with one fill added for the flagged
// cells (no style changed). The same input gives the same bytes: no time
// of writing goes in. False where it cannot (`problem` then says why).
bool WriteWithResults(ZipReader& zip, std::size_t index, std::uint32_t first_column,
                      RowResults& results, ByteSink& out, std::string& problem);

}  // namespace egn::table
