// libFuzzer target: the .xlsx reader and writer on any parts of a workbook.
// The input is a sheet's XML, then, each after a NUL byte (which XML never
// holds), the shared strings, the styles and the workbook's XML; the
// package is made of them (defaults for those not given) with its parts
// stored, so that every byte mutated is one the XML reader sees. Opening
// takes the workbook or says why not; every sheet is read to its end or
// refused with words. Where the first sheet is read whole and the
// workbook is written again with a result in every row (the text of the
// row's first cell, whatever it holds), the package written opens, and its
// first sheet reads as the original did with the result cells after each
// row's own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "table/byte_stream.h"
#include "table/tests/zip_maker.h"
#include "table/xlsx.h"
#include "table/zip_reader.h"

namespace {

using namespace egn::table;

void Require(bool condition) {
  if (!condition) std::abort();
}

constexpr std::uint32_t kFirstColumn = 20;

constexpr std::string_view kWorkbook =
    R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
    R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
    R"(<sheets><sheet name="Лист1" r:id="rId1"/></sheets></workbook>)";
constexpr std::string_view kRels =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="x/worksheet" Target="worksheets/sheet1.xml"/>)"
    R"(<Relationship Id="rId2" Type="x/sharedStrings" Target="sharedStrings.xml"/>)"
    R"(<Relationship Id="rId3" Type="x/styles" Target="styles.xml"/></Relationships>)";
constexpr std::string_view kShared =
    R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<si><t>име</t></si><si><r><t>Ив</t></r><r><t>ан</t></r></si></sst>)";
constexpr std::string_view kStyles =
    R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<numFmts><numFmt numFmtId="164" formatCode="dd.mm.yyyy"/></numFmts>)"
    R"(<fills count="1"><fill/></fills><cellXfs count="3"><xf/><xf numFmtId="14"/>)"
    R"(<xf numFmtId="164"/></cellXfs></styleSheet>)";

class Results final : public RowResults {
 public:
  void For(const SheetRow& row, std::vector<ResultCell>& cells) override {
    cells.push_back({row.cells.front().text, row.number % 2 == 0});
  }
};

// The rows of sheet `index`; false where they cannot all be read.
bool Rows(SheetReader& reader, std::size_t index, std::vector<SheetRow>& rows) {
  if (!reader.Select(index)) {
    Require(!reader.problem().empty());
    return false;
  }
  for (SheetRow row; reader.Next(row);) {
    Require(!row.cells.empty());
    for (std::size_t i = 1; i < row.cells.size(); ++i) {
      Require(row.cells[i - 1].column <= row.cells[i].column);
    }
    rows.push_back(row);
  }
  return reader.problem().empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> given;
  for (std::size_t from = 0; given.size() < 4;) {
    const std::size_t to = std::min(input.find('\0', from), input.size());
    given.emplace_back(
        input.substr(std::min(from, input.size()), to - std::min(from, input.size())));
    if (to == input.size()) break;
    from = to + 1;
  }
  const auto part = [&](std::size_t i, std::string_view fallback) {
    return i < given.size() ? given[i] : std::string(fallback);
  };
  using egn::table::testing::Part;
  const std::string bytes =
      egn::table::testing::MakeZip(
          std::vector<Part>{
              {.name = "xl/workbook.xml", .data = part(3, kWorkbook), .method = 0},
              {.name = "xl/_rels/workbook.xml.rels", .data = std::string(kRels), .method = 0},
              {.name = "xl/worksheets/sheet1.xml", .data = part(0, ""), .method = 0},
              {.name = "xl/sharedStrings.xml", .data = part(1, kShared), .method = 0},
              {.name = "xl/styles.xml", .data = part(2, kStyles), .method = 0},
          })
          .bytes;
  MemorySource source(bytes);
  ZipReader zip;
  ZipLimits limits;
  limits.max_size = 1 << 22;
  zip.SetLimits(limits);
  if (!zip.Open(source)) return 0;
  std::string problem;
  const std::unique_ptr<SheetReader> reader = OpenXlsx(zip, problem);
  if (reader == nullptr) {
    Require(!problem.empty());
    return 0;
  }
  std::vector<std::vector<SheetRow>> sheets(reader->sheets().size());
  bool first_read = false;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const bool read = Rows(*reader, i, sheets[i]);
    if (i == 0) first_read = read;
  }
  if (!first_read) return 0;
  for (const SheetRow& row : sheets[0]) {
    if (row.cells.back().column >= kFirstColumn) return 0;
  }

  Results results;
  StringSink out;
  if (!WriteXlsxWithResults(zip, 0, kFirstColumn, results, out, problem)) {
    Require(!problem.empty());
    return 0;
  }
  MemorySource written_source(out.bytes());
  ZipReader written;
  written.SetLimits(limits);
  Require(written.Open(written_source));
  const std::unique_ptr<SheetReader> again = OpenXlsx(written, problem);
  Require(again != nullptr);
  std::vector<SheetRow> rows;
  Require(Rows(*again, 0, rows));
  Require(rows.size() == sheets[0].size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const SheetRow& before = sheets[0][i];
    const SheetRow& after = rows[i];
    Require(after.number == before.number);
    Require(after.cells.size() == before.cells.size() + 1);
    for (std::size_t c = 0; c < before.cells.size(); ++c) {
      Require(after.cells[c].column == before.cells[c].column);
      Require(after.cells[c].kind == before.cells[c].kind);
      Require(after.cells[c].text == before.cells[c].text);
    }
    Require(after.cells.back().column == kFirstColumn);
    Require(after.cells.back().text == before.cells.front().text);
  }
  return 0;
}
