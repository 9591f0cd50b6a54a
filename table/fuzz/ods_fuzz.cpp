// libFuzzer target: the .ods reader and writer on any content.xml. The
// reader either takes the package or says why not; where it takes it, its
// first sheet written again with a result in each row that holds a cell,
// after the last used column, reads back as the same rows, each with its
// result in that column and nothing else changed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "table/byte_stream.h"
#include "table/ods.h"
#include "table/zip_reader.h"
#include "table/zip_writer.h"

namespace {

using namespace egn::table;

void Require(bool condition) {
  if (!condition) std::abort();
}

// Rows enough to hold every finding; a sheet that repeats more is legal
// but only slow.
constexpr std::size_t kMaxCells = 20000;

// The rows of sheet 0, or false where there are more than `limit` cells.
bool ReadRows(SheetReader& reader, std::vector<SheetRow>& rows, std::size_t limit) {
  Require(reader.Select(0));
  std::size_t cells = 0;
  SheetRow row;
  while (reader.Next(row)) {
    cells += row.cells.size();
    if (cells > limit) return false;
    rows.push_back(row);
  }
  Require(reader.problem().empty());
  return true;
}

class Numbered final : public RowResults {
 public:
  void For(const SheetRow& row, std::vector<ResultCell>& cells) override {
    cells.push_back({"r" + std::to_string(row.number), row.number % 2 == 1});
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  StringSink package;
  ZipWriter writer(package);
  ZipEntry content;
  content.name = "content.xml";
  ByteSink* part = writer.Begin(content);
  Require(part != nullptr);
  Require(part->Write(std::string_view(reinterpret_cast<const char*>(data), size)));
  Require(writer.End() && writer.Finish());

  MemorySource source(package.bytes());
  ZipReader zip;
  Require(zip.Open(source));
  std::string problem;
  const std::unique_ptr<SheetReader> reader = OpenOds(zip, problem);
  if (reader == nullptr) {
    Require(!problem.empty());
    return 0;
  }
  std::vector<SheetRow> rows;
  if (!ReadRows(*reader, rows, kMaxCells)) return 0;
  std::uint32_t first_column = 0;
  for (const SheetRow& row : rows) {
    for (const Cell& cell : row.cells) first_column = std::max(first_column, cell.column + 1);
  }

  StringSink written;
  Numbered results;
  if (!WriteOdsWithResults(zip, 0, first_column, results, written, problem)) {
    Require(!problem.empty());
    return 0;
  }
  MemorySource again_source(written.bytes());
  ZipReader again;
  Require(again.Open(again_source));
  const std::unique_ptr<SheetReader> again_reader = OpenOds(again, problem);
  Require(again_reader != nullptr);
  Require(again_reader->sheets() == reader->sheets());
  std::vector<SheetRow> again_rows;
  Require(ReadRows(*again_reader, again_rows, 2 * kMaxCells));
  Require(again_rows.size() == rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SheetRow want = rows[i];
    if (first_column < 16384) {
      want.cells.push_back({first_column, CellKind::kText, "r" + std::to_string(want.number)});
    }
    const SheetRow& got = again_rows[i];
    Require(got.number == want.number && got.cells.size() == want.cells.size());
    for (std::size_t c = 0; c < want.cells.size(); ++c) {
      Require(got.cells[c].column == want.cells[c].column &&
              got.cells[c].kind == want.cells[c].kind && got.cells[c].text == want.cells[c].text);
    }
  }
  return 0;
}
