// The sheets of an OpenDocument spreadsheet (.ods): read as table/sheet.h
// has it, and written again with results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "table/sheet.h"

namespace egn::table {

std::unique_ptr<SheetReader> OpenOds(ZipReader& zip, std::string& problem);
bool WriteOdsWithResults(ZipReader& zip, std::size_t index, std::uint32_t first_column,
                         RowResults& results, ByteSink& out, std::string& problem);

}  // namespace egn::table
