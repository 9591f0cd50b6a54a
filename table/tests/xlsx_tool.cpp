// The .xlsx reader and writer as a program, for the test that holds them to
// workbooks other programs write (openpyxl, LibreOffice):
//
//   xlsx_tool read FILE              each sheet's name, then its rows: the
//                                    row's number, then each cell as
//                                    column:kind:text, separated by tabs
//   xlsx_tool write IN OUT SHEET COLUMN  the workbook written again with, in
//                                    sheet SHEET (from 0), one cell from
//                                    column COLUMN (from 0) in each row that
//                                    holds a cell: "ред N", flagged in even rows
//
// What the reader or writer refuses goes to standard error, with status 2.
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>

#include "table/byte_stream.h"
#include "table/xlsx.h"
#include "table/zip_reader.h"

namespace {

using namespace egn::table;

int Refused(const std::string& problem) {
  std::cerr << problem << '\n';
  return 2;
}

class RowNumbers final : public RowResults {
 public:
  void For(const SheetRow& row, std::vector<ResultCell>& cells) override {
    cells.push_back({"ред " + std::to_string(row.number), row.number % 2 == 0});
  }
};

int Read(ZipReader& zip) {
  std::string problem;
  const std::unique_ptr<SheetReader> reader = OpenXlsx(zip, problem);
  if (reader == nullptr) return Refused(problem);
  static constexpr const char* kKinds[] = {"text", "number", "date", "boolean", "error"};
  for (std::size_t sheet = 0; sheet < reader->sheets().size(); ++sheet) {
    std::cout << "sheet " << reader->sheets()[sheet] << '\n';
    if (!reader->Select(sheet)) return Refused(reader->problem());
    SheetRow row;
    while (reader->Next(row)) {
      std::cout << row.number;
      for (const Cell& cell : row.cells) {
        std::cout << '\t' << cell.column << ':' << kKinds[static_cast<int>(cell.kind)] << ':'
                  << cell.text;
      }
      std::cout << '\n';
    }
    if (!reader->problem().empty()) return Refused(reader->problem());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (!((command == "read" && argc == 3) || (command == "write" && argc == 6))) {
    std::cerr << "usage: xlsx_tool read FILE | write IN OUT SHEET COLUMN\n";
    return 1;
  }
  std::ifstream in(argv[2], std::ios::binary);
  if (!in) return Refused(std::string("cannot open ") + argv[2]);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  MemorySource source(bytes);
  ZipReader zip;
  if (!zip.Open(source)) return Refused(zip.problem());
  if (command == "read") return Read(zip);

  RowNumbers results;
  StringSink out;
  std::string problem;
  if (!WriteXlsxWithResults(zip, std::stoul(argv[4]),
                            static_cast<std::uint32_t>(std::stoul(argv[5])), results, out,
                            problem)) {
    return Refused(problem);
  }
  std::ofstream file(argv[3], std::ios::binary);
  file << out.bytes();
  return file ? 0 : Refused(std::string("cannot write ") + argv[3]);
}
