// The sheets of an Office Open XML workbook (.xlsx): read as table/sheet.h
// has it, and written again with results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "table/sheet.h"

namespace egn::table {

// A reader of the workbook in `zip` (which must outlive it): its sheets as
// xl/workbook.xml names them, each found through xl/_rels/workbook.xml.rels;
// its shared strings and styles read at once (what every sheet shares), each
// sheet then a row at a time. A number is a date where its cell format's
// number format shows one (built-in 14-22 and 45-47, or a custom format with
// y, m, d, h or s outside quotes and brackets). Null, with `problem`, where
// xl/workbook.xml, its relationships or a part they name is missing or is no
// well-formed XML.
std::unique_ptr<SheetReader> OpenXlsx(ZipReader& zip, std::string& problem);

// WriteWithResults for an .xlsx: the sheet's part written again with its
// bytes as they were, each row given results closed by inline text cells
// written with the sheet's own prefix, its spans widened (dropped where they
// are several), and the dimension widened to the last result column of the
// first row given results (kept as it was where that row comes after more
// than 1 MiB of the part: it is only held back that far). The styles gain
// one solid light red fill and one cell format using it, the flagged cells'
// (none where the workbook has no styles, or styles without fills or cell
// formats: the cells are then written unfilled). A row that already has a
// cell from `first_column` on is refused.
bool WriteXlsxWithResults(ZipReader& zip, std::size_t index, std::uint32_t first_column,
                          RowResults& results, ByteSink& out, std::string& problem);

}  // namespace egn::table
