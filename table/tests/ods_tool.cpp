// The .ods reader and writer as a program, for the test that holds them to
// LibreOffice Calc:
//
//   ods_tool sheets FILE          the names of the sheets, a line each
//   ods_tool read FILE SHEET      each row that holds a cell: its number, then
//                                 column:kind:text of each cell, by tabs
//                                 (tabs and line breaks in a text as \t, \n)
//   ods_tool results FILE SHEET FIRST OUT
//                                 the workbook written again with, in each row
//                                 that holds a cell, "р" and its number from
//                                 column FIRST (from 0), flagged in the even
//                                 rows, and "ok" after it
//
// What the reader or writer refuses goes to standard error, with status 2.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>

#include "table/byte_stream.h"
#include "table/ods.h"
#include "table/zip_reader.h"

namespace {

using namespace egn::table;

int Refused(const std::string& problem) {
  std::cerr << problem << '\n';
  return 2;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

const char* KindName(CellKind kind) {
  switch (kind) {
    case CellKind::kText:
      return "text";
    case CellKind::kNumber:
      return "number";
    case CellKind::kDate:
      return "date";
    case CellKind::kBoolean:
      return "boolean";
    case CellKind::kError:
      return "error";
  }
  return "?";
}

class Numbered final : public RowResults {
 public:
  void For(const SheetRow& row, std::vector<ResultCell>& cells) override {
    cells.push_back({"р" + std::to_string(row.number), row.number % 2 == 0});
    cells.push_back({"ok", false});
  }
};

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (argc < 3) return Refused("usage: ods_tool sheets|read|results FILE ...");
  std::ifstream in(argv[2], std::ios::binary);
  if (!in) return Refused(std::string("cannot open ") + argv[2]);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  MemorySource source(bytes);
  ZipReader zip;
  if (!zip.Open(source)) return Refused(zip.problem());
  std::string problem;

  if (command == "sheets" || (command == "read" && argc == 4)) {
    const std::unique_ptr<SheetReader> reader = OpenOds(zip, problem);
    if (reader == nullptr) return Refused(problem);
    if (command == "sheets") {
      for (const std::string& name : reader->sheets()) std::printf("%s\n", name.c_str());
      return 0;
    }
    if (!reader->Select(static_cast<std::size_t>(std::atoi(argv[3])))) {
      return Refused(reader->problem());
    }
    SheetRow row;
    while (reader->Next(row)) {
      std::printf("%llu", static_cast<unsigned long long>(row.number));
      for (const Cell& cell : row.cells) {
        std::printf("\t%u:%s:%s", cell.column, KindName(cell.kind), Escaped(cell.text).c_str());
      }
      std::printf("\n");
    }
    return reader->problem().empty() ? 0 : Refused(reader->problem());
  }
  if (command == "results" && argc == 6) {
    StringSink out;
    Numbered results;
    if (!WriteOdsWithResults(zip, static_cast<std::size_t>(std::atoi(argv[3])),
                             static_cast<std::uint32_t>(std::atoi(argv[4])), results, out,
                             problem)) {
      return Refused(problem);
    }
    std::ofstream file(argv[5], std::ios::binary);
    file.write(out.bytes().data(), static_cast<std::streamsize>(out.bytes().size()));
    return file.good() ? 0 : Refused(std::string("cannot write ") + argv[5]);
  }
  return Refused("usage: ods_tool sheets|read|results FILE ...");
}
