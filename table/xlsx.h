// The sheets of an Office Open XML workbook (.xlsx): read as table/sheet.h
// has it, and written again with results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "table/sheet.h"

namespace egn::table {

std::unique_ptr<SheetReader> OpenXlsx(ZipReader& zip, std::string& problem);
bool WriteXlsxWithResults(ZipReader& zip, std::size_t index, std::uint32_t first_column,
                          RowResults& results, ByteSink& out, std::string& problem);

}  // namespace egn::table
