#include "table/ods.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "table/tests/part_bytes.h"
#include "table/tests/zip_maker.h"
#include "table/zip_reader.h"

namespace egn::table {
namespace {

using testing::Inflated;
using testing::MakeZip;
using testing::Part;
using testing::Stored;

constexpr char kHead[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>)"
    "\n"
    R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
    R"( xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0")"
    R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
    R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
    R"( xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0")"
    R"( xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0")"
    R"( office:version="1.3">)";

constexpr char kStyles[] =
    R"(<office:automatic-styles><style:style style:name="ce1" style:family="table-cell"/>)"
    R"(</office:automatic-styles>)";

// content.xml of a spreadsheet of `tables`.
std::string Content(const std::string& tables, const std::string& styles = kStyles) {
  return std::string(kHead) + styles + "<office:body><office:spreadsheet>" + tables +
         "</office:spreadsheet></office:body></office:document-content>";
}

std::string Table(const std::string& rows, const std::string& name = "Лист1") {
  return R"(<table:table table:name=")" + name + R"(">)" + rows + "</table:table>";
}

constexpr char kManifest[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>)"
    R"(<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
    R"(<manifest:file-entry manifest:full-path="/" )"
    R"(manifest:media-type="application/vnd.oasis.opendocument.spreadsheet"/>)"
    R"(<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>)"
    R"(</manifest:manifest>)";

constexpr char kCommonStyles[] =
    R"(<office:document-styles xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
    R"( xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"><office:styles>)"
    R"(<style:style style:name="Default" style:family="table-cell"/></office:styles>)"
    R"(</office:document-styles>)";

std::vector<Part> Package(const std::string& content, const std::string& manifest = kManifest,
                          const std::string& styles = kCommonStyles) {
  return {
      {.name = "mimetype", .data = "application/vnd.oasis.opendocument.spreadsheet", .method = 0},
      {.name = "content.xml", .data = content},
      {.name = "styles.xml", .data = styles, .descriptor = true},
      {.name = "META-INF/manifest.xml", .data = manifest},
  };
}

char Letter(CellKind kind) {
  switch (kind) {
    case CellKind::kText:
      return 't';
    case CellKind::kNumber:
      return 'n';
    case CellKind::kDate:
      return 'd';
    case CellKind::kBoolean:
      return 'b';
    case CellKind::kError:
      return 'e';
  }
  return '?';
}

// The rows of sheet `index`, a line each: "number: column kind text | ...".
std::string Rows(SheetReader& reader, std::size_t index = 0) {
  if (!reader.Select(index)) return "! " + reader.problem();
  std::string out;
  SheetRow row;
  while (reader.Next(row)) {
    out += std::to_string(row.number) + ":";
    for (const Cell& cell : row.cells) {
      // Appended piece by piece: GCC 12 for Windows takes " " + string for
      // an overlapping copy at -O3 (-Wrestrict).
      out += ' ';
      out += std::to_string(cell.column);
      out += Letter(cell.kind);
      out += '[';
      out += cell.text;
      out += ']';
    }
    out += "\n";
  }
  if (!reader.problem().empty()) out += "! " + reader.problem();
  return out;
}

std::string ReadSheet(const std::string& content, std::size_t index = 0) {
  const std::string bytes = MakeZip(Package(content)).bytes;
  MemorySource source(bytes);
  ZipReader zip;
  if (!zip.Open(source)) return "! " + zip.problem();
  std::string problem;
  const std::unique_ptr<SheetReader> reader = OpenOds(zip, problem);
  if (reader == nullptr) return "! " + problem;
  return Rows(*reader, index);
}

std::string Cell1(const std::string& attributes, const std::string& inside = "") {
  return R"(<table:table-row><table:table-cell )" + attributes + ">" + inside +
         "</table:table-cell></table:table-row>";
}

// --- Reading -----------------------------------------------------------------

struct ReadCase {
  const char* name;
  std::string rows;  // of one table
  std::string expected;
};

std::vector<ReadCase> ReadCases() {
  const std::string number = R"(office:value-type="float" office:value=)";
  return {
      {"plain number", Cell1(number + R"("551267871")", "<text:p>551 267 871</text:p>"),
       "1: 0n[551267871]\n"},
      {"number with exponent", Cell1(number + R"("5.51267871E8")"), "1: 0n[551267871]\n"},
      {"number with zero fraction", Cell1(number + R"("42.000")"), "1: 0n[42]\n"},
      {"small exponent", Cell1(number + R"("4.2e1")"), "1: 0n[42]\n"},
      {"negative", Cell1(number + R"("-7.0")"), "1: 0n[-7]\n"},
      {"fraction as written", Cell1(number + R"("0.125")"), "1: 0n[0.125]\n"},
      {"fraction with exponent as written", Cell1(number + R"("1.25E-1")"), "1: 0n[1.25E-1]\n"},
      {"percentage", Cell1(R"(office:value-type="percentage" office:value="0.5")"), "1: 0n[0.5]\n"},
      {"currency", Cell1(R"(office:value-type="currency" office:currency="BGN" office:value="12")"),
       "1: 0n[12]\n"},
      {"string", Cell1(R"(office:value-type="string")", "<text:p>Иван Петров</text:p>"),
       "1: 0t[Иван Петров]\n"},
      {"paragraphs joined by a line",
       Cell1(R"(office:value-type="string")", "<text:p>а</text:p><text:p>б</text:p>"),
       "1: 0t[а\nб]\n"},
      {"spaces, tab and line break",
       Cell1(R"(office:value-type="string")",
             R"(<text:p>а<text:s/>б<text:s text:c="3"/>в<text:tab/>г<text:line-break/>д</text:p>)"),
       "1: 0t[а б   в\tг\nд]\n"},
      {"spans and links",
       Cell1(R"(office:value-type="string")",
             R"(<text:p>85<text:span text:style-name="T1">01</text:span>)"
             R"(<text:a xlink:href="x" xmlns:xlink="http://www.w3.org/1999/xlink">0112</text:a>)"
             "</text:p>"),
       "1: 0t[85010112]\n"},
      {"a note is not the value",
       Cell1(R"(office:value-type="string")",
             "<office:annotation><text:p>бележка</text:p></office:annotation><text:p>ЕГН</text:p>"),
       "1: 0t[ЕГН]\n"},
      {"date", Cell1(R"(office:value-type="date" office:date-value="2024-02-29")"),
       "1: 0d[2024-02-29]\n"},
      {"time", Cell1(R"(office:value-type="time" office:time-value="PT10H30M00S")"),
       "1: 0d[PT10H30M00S]\n"},
      {"true", Cell1(R"(office:value-type="boolean" office:boolean-value="true")"),
       "1: 0b[TRUE]\n"},
      {"false", Cell1(R"(office:value-type="boolean" office:boolean-value="false")"),
       "1: 0b[FALSE]\n"},
      {"formula's error without a type",
       Cell1(R"(table:formula="of:=[.B1]")", "<text:p>Err:502</text:p>"), "1: 0e[Err:502]\n"},
      {"error typed so",
       Cell1(R"(table:formula="of:=1/0" office:value-type="float" office:value="0" )"
             R"(calcext:value-type="error")",
             "<text:p>#DIV/0!</text:p>"),
       "1: 0e[#DIV/0!]\n"},
      {"empty cells not given",
       "<table:table-row><table:table-cell/><table:table-cell office:value-type=\"string\">"
       "<text:p/></table:table-cell><table:table-cell table:style-name=\"ce1\"/>"
       "</table:table-row>",
       ""},
      {"repeated empty cells advance the column",
       R"(<table:table-row><table:table-cell table:number-columns-repeated="3"/>)"
       R"(<table:table-cell office:value-type="float" office:value="1"/></table:table-row>)",
       "1: 3n[1]\n"},
      {"a repeated value gives each cell",
       R"(<table:table-row><table:table-cell table:number-columns-repeated="3" )"
       R"(office:value-type="float" office:value="7"/></table:table-row>)",
       "1: 0n[7] 1n[7] 2n[7]\n"},
      {"covered cells",
       R"(<table:table-row><table:table-cell table:number-columns-spanned="2" )"
       R"(office:value-type="string"><text:p>а</text:p></table:table-cell>)"
       R"(<table:covered-table-cell/><table:table-cell office:value-type="string">)"
       R"(<text:p>б</text:p></table:table-cell></table:table-row>)",
       "1: 0t[а] 2t[б]\n"},
      {"sparse rows keep their numbers",
       Cell1(R"(office:value-type="string")", "<text:p>а</text:p>") +
           R"(<table:table-row table:number-rows-repeated="4"><table:table-cell/></table:table-row>)" +
           Cell1(R"(office:value-type="string")", "<text:p>б</text:p>"),
       "1: 0t[а]\n6: 0t[б]\n"},
      {"a repeated row with cells given once per repeat",
       R"(<table:table-row table:number-rows-repeated="3"><table:table-cell )"
       R"(office:value-type="float" office:value="5"/></table:table-row>)",
       "1: 0n[5]\n2: 0n[5]\n3: 0n[5]\n"},
      {"the last empty row repeated to the end costs nothing",
       Cell1(R"(office:value-type="string")", "<text:p>а</text:p>") +
           R"(<table:table-row table:number-rows-repeated="1048575">)"
           R"(<table:table-cell table:number-columns-repeated="1024"/></table:table-row>)",
       "1: 0t[а]\n"},
      {"rows past the last are not given",
       R"(<table:table-row table:number-rows-repeated="1048574"><table:table-cell/>)"
       R"(</table:table-row><table:table-row table:number-rows-repeated="5">)"
       R"(<table:table-cell office:value-type="float" office:value="1"/></table:table-row>)",
       "1048575: 0n[1]\n1048576: 0n[1]\n"},
      {"cells past the last column are not given",
       R"(<table:table-row><table:table-cell table:number-columns-repeated="16382"/>)"
       R"(<table:table-cell table:number-columns-repeated="5" office:value-type="float" )"
       R"(office:value="1"/><table:table-cell office:value-type="float" office:value="2"/>)"
       R"(</table:table-row>)",
       "1: 16382n[1] 16383n[1]\n"},
      {"wrappers of rows are transparent",
       "<table:table-column/><table:table-header-rows>" +
           Cell1(R"(office:value-type="string")", "<text:p>ЕГН</text:p>") +
           "</table:table-header-rows><table:table-row-group><table:table-rows>" +
           Cell1(number + R"("8001010000")") + "</table:table-rows></table:table-row-group>",
       "1: 0t[ЕГН]\n2: 0n[8001010000]\n"},
  };
}

TEST(OdsReaderTest, ReadsEveryKindOfCell) {
  for (const ReadCase& c : ReadCases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadSheet(Content(Table(c.rows))), c.expected);
  }
}

TEST(OdsReaderTest, NamesTheSheetsAndReadsTheOneSelected) {
  const std::string bytes =
      MakeZip(
          Package(Content(Table(Cell1(R"(office:value-type="float" office:value="1")"), "Първи") +
                          Table(Cell1(R"(office:value-type="float" office:value="2")"), "Втори"))))
          .bytes;
  MemorySource source(bytes);
  ZipReader zip;
  ASSERT_TRUE(zip.Open(source)) << zip.problem();
  std::string problem;
  const std::unique_ptr<SheetReader> reader = OpenOds(zip, problem);
  ASSERT_NE(reader, nullptr) << problem;
  EXPECT_EQ(reader->kind(), WorkbookKind::kOds);
  EXPECT_EQ(reader->sheets(), (std::vector<std::string>{"Първи", "Втори"}));
  EXPECT_EQ(Rows(*reader, 1), "1: 0n[2]\n");
  EXPECT_EQ(Rows(*reader, 0), "1: 0n[1]\n");
  EXPECT_EQ(Rows(*reader, 0), "1: 0n[1]\n");  // again, from its first row
  EXPECT_EQ(Rows(*reader, 2), "! в работната книга няма лист с номер 3");
}

// Rows read in pieces of the part, a row held at a time: every one given.
TEST(OdsReaderTest, ReadsALargeSheetRowByRow) {
  std::string rows;
  for (int r = 1; r <= 30000; ++r) {
    rows += R"(<table:table-row><table:table-cell office:value-type="float" office:value=")" +
            std::to_string(8000000000 + r) + R"("/></table:table-row>)";
  }
  const std::string bytes = MakeZip(Package(Content(Table(rows)))).bytes;
  MemorySource source(bytes);
  ZipReader zip;
  ASSERT_TRUE(zip.Open(source)) << zip.problem();
  std::string problem;
  const std::unique_ptr<SheetReader> reader = OpenOds(zip, problem);
  ASSERT_NE(reader, nullptr) << problem;
  SheetRow row;
  EXPECT_FALSE(reader->Next(row));  // none before a sheet is selected
  ASSERT_TRUE(reader->Select(0));
  std::uint64_t count = 0;
  while (reader->Next(row)) {
    ++count;
    ASSERT_EQ(row.number, count);
    ASSERT_EQ(row.cells.size(), 1u);
    ASSERT_EQ(row.cells[0].text, std::to_string(8000000000 + count));
  }
  EXPECT_EQ(count, 30000u);
  EXPECT_EQ(reader->problem(), "");
}

struct Refusal {
  const char* name;
  std::vector<Part> parts;
  std::string expected;
};

std::vector<Refusal> Refusals() {
  std::vector<Part> no_content = Package(Content(Table("")));
  no_content.erase(no_content.begin() + 1);
  const std::string encrypted_manifest =
      R"(<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
      R"(<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml">)"
      R"(<manifest:encryption-data manifest:checksum-type="SHA1/1K" manifest:checksum="x"/>)"
      R"(</manifest:file-entry></manifest:manifest>)";
  const std::string other_encrypted =
      R"(<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
      R"(<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>)"
      R"(<manifest:file-entry manifest:full-path="Thumbnails/x.png" manifest:media-type="">)"
      R"(<manifest:encryption-data manifest:checksum-type="SHA1/1K" manifest:checksum="x"/>)"
      R"(</manifest:file-entry></manifest:manifest>)";
  return {
      {"another part encrypted, content.xml not", Package(Content(""), other_encrypted),
       "в частта „content.xml“ няма нито един лист"},
      {"no content.xml", no_content, "в работната книга няма част „content.xml“: тя е повредена"},
      {"encrypted", Package("\x8f\x12 not XML", encrypted_manifest),
       "работната книга е защитена с парола: запишете я отново без парола и опитайте пак"},
      {"no sheets", Package(Content("")), "в частта „content.xml“ няма нито един лист"},
      {"malformed", Package(Content(Table("<table:table-row>\n</table:table-cell>"))),
       "частта „content.xml“ не е правилен XML: ред 3: затварящият елемент не отговаря на "
       "отворения"},
      {"doctype", Package("<!DOCTYPE x [<!ENTITY a \"b\">]>\n" + Content(Table(""))),
       "частта „content.xml“ съдържа DOCTYPE, каквото работна книга няма: не е прочетена"},
  };
}

TEST(OdsReaderTest, RefusesWhatItCannotRead) {
  for (const Refusal& refusal : Refusals()) {
    SCOPED_TRACE(refusal.name);
    const std::string bytes = MakeZip(refusal.parts).bytes;
    MemorySource source(bytes);
    ZipReader zip;
    ASSERT_TRUE(zip.Open(source)) << zip.problem();
    std::string problem;
    EXPECT_EQ(OpenOds(zip, problem), nullptr);
    EXPECT_EQ(problem, refusal.expected);

    StringSink out;
    struct None final : RowResults {
      void For(const SheetRow&, std::vector<ResultCell>&) override {}
    } none;
    problem.clear();
    EXPECT_FALSE(WriteOdsWithResults(zip, 0, 1, none, out, problem));
    // The writer reads no list of sheets first: one without any is not
    // found.
    EXPECT_EQ(problem, refusal.expected == "в частта „content.xml“ няма нито един лист"
                           ? "в работната книга няма лист с номер 1"
                           : refusal.expected);
  }
}

// --- Writing -----------------------------------------------------------------

// Results from a table: the cells for each row number; "!" before a text
// flags it. Each row it is asked about is noted.
class TableResults final : public RowResults {
 public:
  explicit TableResults(std::map<std::uint64_t, std::vector<std::string>> cells)
      : cells_(std::move(cells)) {}
  void For(const SheetRow& row, std::vector<ResultCell>& cells) override {
    asked += std::to_string(row.number) + " ";
    const auto found = cells_.find(row.number);
    if (found == cells_.end()) return;
    for (const std::string& text : found->second) {
      if (text.starts_with("!")) {
        cells.push_back({text.substr(1), true});
      } else {
        cells.push_back({text, false});
      }
    }
  }
  std::string asked;

 private:
  std::map<std::uint64_t, std::vector<std::string>> cells_;
};

struct Written {
  std::string package;
  std::string content;  // its content.xml, or "! problem"
};

Written Write(const std::string& content, std::uint32_t first_column, TableResults& results,
              std::size_t index = 0, const std::string& styles = kCommonStyles) {
  const std::string bytes = MakeZip(Package(content, kManifest, styles)).bytes;
  MemorySource source(bytes);
  ZipReader zip;
  if (!zip.Open(source)) return {"", "! " + zip.problem()};
  StringSink out;
  std::string problem;
  if (!WriteOdsWithResults(zip, index, first_column, results, out, problem)) {
    return {"", "! " + problem};
  }
  MemorySource written(out.bytes());
  ZipReader again;
  if (!again.Open(written)) return {out.bytes(), "! " + again.problem()};
  const ZipEntry* part = again.Find("content.xml");
  if (part == nullptr) return {out.bytes(), "! no content.xml"};
  return {out.bytes(), Inflated(again, *part)};
}

constexpr char kFlag[] =
    R"(<style:style style:name="egn_flag" style:family="table-cell">)"
    R"(<style:table-cell-properties fo:background-color="#ffc7ce"/></style:style>)";

std::string StylesWithFlag() {
  return std::string(R"(<office:automatic-styles><style:style style:name="ce1" )"
                     R"(style:family="table-cell"/>)") +
         kFlag + "</office:automatic-styles>";
}

std::string Result(const std::string& paragraphs, bool flagged = false) {
  return std::string(
             R"(<table:table-cell office:value-type="string" calcext:value-type="string")") +
         (flagged ? R"( table:style-name="egn_flag")" : "") + ">" + paragraphs +
         "</table:table-cell>";
}

struct WriteCase {
  const char* name;
  std::string rows;  // of the first table
  std::uint32_t first_column;
  std::map<std::uint64_t, std::vector<std::string>> results;
  std::string expected;  // the rows written
  std::string asked;     // the rows the results were asked for
};

std::vector<WriteCase> WriteCases() {
  const std::string a = R"(<table:table-cell office:value-type="string"><text:p>а</text:p>)"
                        "</table:table-cell>";
  const std::string n = R"(<table:table-cell office:value-type="float" office:value="1"/>)";
  return {
      {"result after the last cell",
       "<table:table-row>" + a + "</table:table-row>",
       1,
       {{1, {"наред"}}},
       "<table:table-row>" + a + Result("<text:p>наред</text:p>") + "</table:table-row>",
       "1 "},
      {"a gap before the results",
       "<table:table-row>" + a + "</table:table-row><table:table-row>" + a + n + n +
           "</table:table-row>",
       3,
       {{1, {"x", "!y"}}},
       "<table:table-row>" + a + R"(<table:table-cell table:number-columns-repeated="2"/>)" +
           Result("<text:p>x</text:p>") + Result("<text:p>y</text:p>", true) +
           "</table:table-row><table:table-row>" + a + n + n + "</table:table-row>",
       "1 2 "},
      {"a gap of one column",
       "<table:table-row>" + a + "</table:table-row>",
       2,
       {{1, {"x"}}},
       "<table:table-row>" + a + "<table:table-cell/>" + Result("<text:p>x</text:p>") +
           "</table:table-row>",
       "1 "},
      {"trailing empty cells cut down to the results",
       "<table:table-row>" + a +
           R"(<table:table-cell table:style-name="ce1" table:number-columns-repeated="1023"/>)"
           "</table:table-row>",
       3,
       {{1, {"x"}}},
       "<table:table-row>" + a +
           R"(<table:table-cell table:style-name="ce1" table:number-columns-repeated="2"/>)" +
           Result("<text:p>x</text:p>") + "</table:table-row>",
       "1 "},
      {"a trailing cell cut down to one, and empty cells past it left out",
       "<table:table-row>" + a +
           R"(<table:table-cell table:number-columns-repeated="3"/>)"
           R"(<table:table-cell table:style-name="ce1"/></table:table-row>)",
       2,
       {{1, {"x"}}},
       "<table:table-row>" + a + "<table:table-cell/>" + Result("<text:p>x</text:p>") +
           "</table:table-row>",
       "1 "},
      {"a repeated row split into rows of their own",
       R"(<table:table-row table:style-name="ro1" table:number-rows-repeated="3">)" + a +
           "</table:table-row>",
       1,
       {{2, {"x"}}},
       R"(<table:table-row table:style-name="ro1">)" + a + "</table:table-row>" +
           R"(<table:table-row table:style-name="ro1">)" + a + Result("<text:p>x</text:p>") +
           "</table:table-row>" + R"(<table:table-row table:style-name="ro1">)" + a +
           "</table:table-row>",
       "1 2 3 "},
      {"empty rows as they were",
       R"(<table:table-row table:number-rows-repeated="1048575"><table:table-cell )"
       R"(table:number-columns-repeated="1024"/></table:table-row>)"
       "<table:table-row>" +
           a + "</table:table-row>",
       1,
       {{1048576, {"x"}}},
       R"(<table:table-row table:number-rows-repeated="1048575"><table:table-cell )"
       R"(table:number-columns-repeated="1024"/></table:table-row>)"
       "<table:table-row>" +
           a + Result("<text:p>x</text:p>") + "</table:table-row>",
       "1048576 "},
      {"text escaped, its spaces and lines kept",
       "<table:table-row>" + a + "</table:table-row>",
       1,
       {{1, {" a  <b> & c \nd\te "}}},
       "<table:table-row>" + a +
           Result("<text:p><text:s/>a <text:s/>&lt;b&gt; &amp; c<text:s/></text:p>"
                  "<text:p>d<text:tab/>e<text:s/></text:p>") +
           "</table:table-row>",
       "1 "},
      {"a merged cell merged up to the results only",
       R"(<table:table-row><table:table-cell table:number-columns-spanned="4" )"
       R"(office:value-type="string"><text:p>а</text:p></table:table-cell>)"
       R"(<table:covered-table-cell table:number-columns-repeated="3"/></table:table-row>)",
       2,
       {{1, {"x"}}},
       R"(<table:table-row><table:table-cell table:number-columns-spanned="2" )"
       R"(office:value-type="string"><text:p>а</text:p></table:table-cell>)"
       R"(<table:covered-table-cell/>)" +
           Result("<text:p>x</text:p>") + "</table:table-row>",
       "1 "},
      {"a merged cell unmerged where the results begin next to it",
       R"(<table:table-row><table:table-cell table:number-columns-spanned="3" )"
       R"(office:value-type="string"><text:p>а</text:p></table:table-cell>)"
       R"(<table:covered-table-cell table:number-columns-repeated="2"/></table:table-row>)",
       1,
       {{1, {"x"}}},
       R"(<table:table-row><table:table-cell office:value-type="string"><text:p>а</text:p>)"
       "</table:table-cell>" +
           Result("<text:p>x</text:p>") + "</table:table-row>",
       "1 "},
      {"declared columns extended past the results",
       R"(<table:table-column table:number-columns-repeated="2"/>)"
       "<table:table-row>" +
           a + "</table:table-row>",
       1,
       {{1, {"x"}}},
       R"(<table:table-column table:number-columns-repeated="2"/>)"
       R"(<table:table-column table:number-columns-repeated="15"/>)"
       "<table:table-row>" +
           a + Result("<text:p>x</text:p>") + "</table:table-row>",
       "1 "},
      {"declared columns enough as they are",
       R"(<table:table-columns><table:table-column table:number-columns-repeated="1024"/>)"
       "</table:table-columns><table:table-row>" +
           a + "</table:table-row>",
       1,
       {{1, {"x"}}},
       R"(<table:table-columns><table:table-column table:number-columns-repeated="1024"/>)"
       "</table:table-columns><table:table-row>" +
           a + Result("<text:p>x</text:p>") + "</table:table-row>",
       "1 "},
  };
}

TEST(OdsWriterTest, InsertsTheResultsAtTheirColumn) {
  for (const WriteCase& c : WriteCases()) {
    SCOPED_TRACE(c.name);
    TableResults results(c.results);
    const Written written =
        Write(Content(Table(c.rows) + Table(c.rows, "Друг")), c.first_column, results);
    EXPECT_EQ(written.content,
              Content(Table(c.expected) + Table(c.rows, "Друг"), StylesWithFlag()));
    EXPECT_EQ(results.asked, c.asked);
  }
}

TEST(OdsWriterTest, WritesTheSecondSheetOnly) {
  const std::string row = R"(<table:table-row><table:table-cell office:value-type="float" )"
                          R"(office:value="1"/></table:table-row>)";
  TableResults results({{1, {"x"}}});
  const Written written = Write(Content(Table(row) + Table(row, "Втори")), 1, results, 1);
  EXPECT_EQ(
      written.content,
      Content(Table(row) + Table(R"(<table:table-row><table:table-cell office:value-type="float" )"
                                 R"(office:value="1"/>)" +
                                     Result("<text:p>x</text:p>") + "</table:table-row>",
                                 "Втори"),
              StylesWithFlag()));
  TableResults none({});
  EXPECT_EQ(Write(Content(Table(row)), 1, none, 1).content,
            "! в работната книга няма лист с номер 2");
}

TEST(OdsWriterTest, AddsTheStyleOnceWithANameNotTaken) {
  const std::string row = R"(<table:table-row><table:table-cell office:value-type="float" )"
                          R"(office:value="1"/></table:table-row>)";
  struct StyleCase {
    const char* name;
    std::string styles, expected;
    std::string common = kCommonStyles;  // styles.xml
  };
  const std::string taken =
      R"(<office:automatic-styles><style:style style:name="egn_flag" style:family="table-cell"/>)"
      "</office:automatic-styles>";
  const std::string flag2 =
      R"(<style:style style:name="egn_flag2" style:family="table-cell">)"
      R"(<style:table-cell-properties fo:background-color="#ffc7ce"/></style:style>)";
  std::vector<StyleCase> cases = {
      {"none before", "",
       std::string("<office:automatic-styles>") + kFlag + "</office:automatic-styles>"},
      {"written empty", "<office:automatic-styles/>",
       std::string("<office:automatic-styles>") + kFlag + "</office:automatic-styles>"},
      {"name taken", taken,
       R"(<office:automatic-styles><style:style style:name="egn_flag" )"
       R"(style:family="table-cell"/>)" +
           flag2 + "</office:automatic-styles>"},
  };
  std::string common_taken = kCommonStyles;
  common_taken.replace(common_taken.find("Default"), 7, "egn_flag");
  cases.push_back({"name taken by a common style", "<office:automatic-styles/>",
                   "<office:automatic-styles>" + flag2 + "</office:automatic-styles>",
                   common_taken});
  for (const StyleCase& c : cases) {
    SCOPED_TRACE(c.name);
    TableResults results({{1, {"!x"}}});
    const std::string flagged = R"(<table:table-row><table:table-cell office:value-type="float" )"
                                R"(office:value="1"/>)" +
                                Result("<text:p>x</text:p>", true) + "</table:table-row>";
    std::string expected = Content(Table(flagged), c.expected);
    if (c.styles == taken || c.common != kCommonStyles) {
      const std::string from = R"(table:style-name="egn_flag")";
      expected.replace(expected.find(from), from.size(), R"(table:style-name="egn_flag2")");
    }
    EXPECT_EQ(Write(Content(Table(row), c.styles), 1, results, 0, c.common).content, expected);
  }
}

TEST(OdsWriterTest, CopiesTheOtherPartsAsStoredAndWritesTheSameBytesAgain) {
  const std::string rows =
      R"(<table:table-row><table:table-cell office:value-type="float" office:value="1"/>)"
      "</table:table-row>";
  const std::string content = Content(Table(rows));
  const std::string bytes = MakeZip(Package(content)).bytes;
  MemorySource source(bytes);
  ZipReader zip;
  ASSERT_TRUE(zip.Open(source)) << zip.problem();
  TableResults results({{1, {"x"}}});
  const Written first = Write(content, 1, results);
  const Written second = Write(content, 1, results);
  ASSERT_FALSE(first.package.empty()) << first.content;
  EXPECT_EQ(first.package, second.package);

  MemorySource written(first.package);
  ZipReader again;
  ASSERT_TRUE(again.Open(written)) << again.problem();
  ASSERT_EQ(again.entries().size(), zip.entries().size());
  for (std::size_t i = 0; i < zip.entries().size(); ++i) {
    const ZipEntry& entry = zip.entries()[i];
    EXPECT_EQ(again.entries()[i].name, entry.name);
    if (entry.name == "content.xml") continue;
    EXPECT_EQ(Stored(again, again.entries()[i]), Stored(zip, entry)) << entry.name;
  }
  EXPECT_EQ(again.entries()[0].method, kStored);

  // What was written reads back with the results in their column.
  std::string problem;
  const std::unique_ptr<SheetReader> reader = OpenOds(again, problem);
  ASSERT_NE(reader, nullptr) << problem;
  EXPECT_EQ(Rows(*reader), "1: 0n[1] 1t[x]\n");
}

TEST(OdsWriterTest, RefusesAPartWithoutPrefixesForItsNamespaces) {
  const std::string content =
      R"(<document-content xmlns="urn:oasis:names:tc:opendocument:xmlns:office:1.0"><body>)"
      R"(<spreadsheet><table xmlns="urn:oasis:names:tc:opendocument:xmlns:table:1.0" name="x">)"
      R"(<table-row><table-cell/></table-row></table></spreadsheet></body></document-content>)";
  TableResults results({});
  EXPECT_EQ(Write(content, 1, results).content,
            "! частта „content.xml“ не обявява пространствата от имена на таблица OpenDocument с "
            "представки: не може да бъде записана отново");
}

TEST(OdsWriterTest, RefusesAMalformedStylesPart) {
  TableResults results({});
  EXPECT_EQ(Write(Content(Table("")), 1, results, 0, "<a></b>").content,
            "! частта „styles.xml“ не е правилен XML: ред 1: затварящият елемент не отговаря "
            "на отворения");
}

TEST(OdsWriterTest, RefusesResultsOverAValue) {
  const std::string rows =
      R"(<table:table-row><table:table-cell office:value-type="float" office:value="1" )"
      R"(table:number-columns-repeated="3"/></table:table-row>)";
  TableResults results({{1, {"x"}}});
  EXPECT_EQ(Write(Content(Table(rows)), 2, results).content,
            "! ред 1: в колона 3, където се записват резултатите, има стойност");
}

// A large sheet goes through in pieces: every row written with its result.
TEST(OdsWriterTest, WritesALargeSheetThroughInPieces) {
  std::string rows;
  std::map<std::uint64_t, std::vector<std::string>> cells;
  std::string expected;
  for (int r = 1; r <= 20000; ++r) {
    const std::string row = R"(<table:table-row><table:table-cell office:value-type="float" )"
                            R"(office:value=")" +
                            std::to_string(8000000000 + r) + R"("/>)";
    rows += row + "</table:table-row>\n";
    cells[static_cast<std::uint64_t>(r)] = {std::to_string(r % 10)};
    expected +=
        row + Result("<text:p>" + std::to_string(r % 10) + "</text:p>") + "</table:table-row>\n";
  }
  TableResults results(cells);
  EXPECT_EQ(Write(Content(Table(rows)), 1, results).content,
            Content(Table(expected), StylesWithFlag()));
}

}  // namespace
}  // namespace egn::table
