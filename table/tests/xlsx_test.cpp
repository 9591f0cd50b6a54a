#include "table/xlsx.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "table/tests/zip_maker.h"
#include "table/zip_reader.h"

namespace egn::table {
namespace {

using testing::MakeZip;
using testing::Part;

constexpr char kMain[] = R"(xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")";
constexpr char kRelNs[] =
    R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")";

std::string Sheet(const std::string& data, const std::string& before = "") {
  return std::string(R"(<?xml version="1.0" encoding="UTF-8"?><worksheet )") + kMain + ">" +
         before + "<sheetData>" + data + "</sheetData></worksheet>";
}

std::string Shared(const std::vector<std::string>& items) {
  std::string xml = std::string("<sst ") + kMain + ">";
  for (const std::string& item : items) xml += "<si>" + item + "</si>";
  return xml + "</sst>";
}

// Styles with cell formats of these number formats (numFmtId), and custom
// formats (id, code).
std::string Styles(const std::vector<int>& formats,
                   const std::vector<std::pair<int, std::string>>& custom = {}) {
  std::string xml = std::string("<styleSheet ") + kMain + ">";
  if (!custom.empty()) {
    xml += "<numFmts count=\"" + std::to_string(custom.size()) + "\">";
    for (const auto& [id, code] : custom) {
      std::string escaped;
      for (const char c : code) escaped += c == '"' ? std::string("&quot;") : std::string(1, c);
      xml += "<numFmt numFmtId=\"" + std::to_string(id) + "\" formatCode=\"" + escaped + "\"/>";
    }
    xml += "</numFmts>";
  }
  xml +=
      "<fonts count=\"1\"><font/></fonts><fills count=\"2\"><fill><patternFill "
      "patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></fills>"
      "<cellXfs count=\"" +
      std::to_string(formats.size()) + "\">";
  for (const int id : formats) {
    xml.append(R"(<xf numFmtId=")").append(std::to_string(id)).append(R"(" fontId="0"/>)");
  }
  return xml + "</cellXfs></styleSheet>";
}

struct Book {
  std::string workbook =
      std::string("<workbook ") + kMain + " " + kRelNs +
      R"(><sheets><sheet name="Лист1" sheetId="1" r:id="rId1"/></sheets></workbook>)";
  std::string rels =
      R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
      R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
      R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>)"
      R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="/xl/styles.xml"/>)"
      "</Relationships>";
  std::string sheet = Sheet("");
  std::string shared = Shared({"<t>нула</t>", "<t>едно</t>"});
  std::string styles = Styles({0, 14});
  std::vector<Part> extra = {};
  bool with_styles = true;

  std::string Zip() const {
    std::vector<Part> parts = {{.name = "[Content_Types].xml", .data = "<Types/>"}};
    if (!workbook.empty()) parts.push_back({.name = "xl/workbook.xml", .data = workbook});
    if (!rels.empty()) parts.push_back({.name = "xl/_rels/workbook.xml.rels", .data = rels});
    if (with_styles) parts.push_back({.name = "xl/styles.xml", .data = styles});
    parts.push_back({.name = "xl/worksheets/sheet1.xml", .data = sheet});
    parts.push_back({.name = "xl/sharedStrings.xml", .data = shared});
    parts.insert(parts.end(), extra.begin(), extra.end());
    return MakeZip(parts).bytes;
  }
};

// A reader of a book's bytes, opened as egn-digit opens one: the package,
// then the workbook in it. `reader` is null where either fails, and
// `problem` says why. `bytes` must outlive it.
struct OpenedBook {
  explicit OpenedBook(const std::string& bytes) : source(bytes) {
    if (zip.Open(source)) {
      reader = OpenXlsx(zip, problem);
    } else {
      problem = "zip: " + zip.problem();
    }
  }
  MemorySource source;
  ZipReader zip;
  std::string problem;
  std::unique_ptr<SheetReader> reader;
};

// The rows of a sheet as "row: column kind text; ..." lines, or the
// problem where reading stops.
std::string Read(const std::string& bytes, std::size_t sheet = 0) {
  const OpenedBook book(bytes);
  if (book.reader == nullptr) return book.problem;
  SheetReader* reader = book.reader.get();
  if (!reader->Select(sheet)) return reader->problem();
  std::string out;
  SheetRow row;
  while (reader->Next(row)) {
    out += std::to_string(row.number) + ":";
    for (const Cell& cell : row.cells) {
      static constexpr const char* kKinds[] = {"text", "number", "date", "boolean", "error"};
      // Appended piece by piece: GCC 12 for Windows takes " " + string for
      // an overlapping copy at -O3 (-Wrestrict).
      out += ' ';
      out += std::to_string(cell.column);
      out += ' ';
      out += kKinds[static_cast<int>(cell.kind)];
      out += ' ';
      out += cell.text;
      out += ';';
    }
    out += "\n";
  }
  return out + reader->problem();
}

// --- Reading ------------------------------------------------------------------

TEST(XlsxReadTest, CellsOfEveryKind) {
  struct Case {
    std::string cell;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {R"(<c r="A1" t="s"><v>1</v></c>)", "1: 0 text едно;\n"},
      {R"(<c r="B1" t="inlineStr"><is><t>Иван</t></is></c>)", "1: 1 text Иван;\n"},
      {R"(<c r="A1" t="inlineStr"><is><r><t>Ив</t></r><r><t>ан</t></r></is></c>)",
       "1: 0 text Иван;\n"},
      {R"(<c r="A1" t="str"><f>A2&amp;"x"</f><v>текст</v></c>)", "1: 0 text текст;\n"},
      {R"(<c r="A1" t="b"><v>1</v></c><c r="B1" t="b"><v>0</v></c>)",
       "1: 0 boolean TRUE; 1 boolean FALSE;\n"},
      {R"(<c r="A1" t="e"><v>#N/A</v></c>)", "1: 0 error #N/A;\n"},
      {R"(<c r="A1" t="d"><v>2024-03-01T00:00:00</v></c>)", "1: 0 date 2024-03-01T00:00:00;\n"},
      {R"(<c r="A1"><v>5.51267871E8</v></c>)", "1: 0 number 551267871;\n"},
      {R"(<c r="A1" t="n"><v>551267871.0</v></c>)", "1: 0 number 551267871;\n"},
      {R"(<c r="A1"><v>1.5</v></c>)", "1: 0 number 1.5;\n"},
      {R"(<c r="A1"><v>-1.2E-3</v></c>)", "1: 0 number -1.2E-3;\n"},
      {R"(<c r="A1"><v>7.5E1</v></c>)", "1: 0 number 75;\n"},
      {R"(<c r="A1"><v>0.0</v></c>)", "1: 0 number 0;\n"},
      {R"(<c r="A1"><f>1+1</f><v>2</v></c>)", "1: 0 number 2;\n"},
      {R"(<c r="A1" s="1"><v>45000</v></c>)", "1: 0 date 2023-03-15;\n"},
      {R"(<c r="A1" s="0"><v>45000</v></c>)", "1: 0 number 45000;\n"},
      {R"(<c r="A1" s="7"><v>45000</v></c>)", "1: 0 number 45000;\n"},
      {R"(<c r="A1" s="1"/><c r="B1"><f>A1</f></c><c r="C1" t="s"><v>0</v></c>)",
       "1: 2 text нула;\n"},
      {R"(<c r="A1" t="str"><v></v></c>)", ""},
      {R"(<c r="XFD1"><v>1</v></c>)", "1: 16383 number 1;\n"},
      {R"(<c r="A1" t="inlineStr"><is><t>a_x000D_b</t></is></c>)", "1: 0 text a\rb;\n"},
      {R"(<c r="A1" t="inlineStr"><is><t>_x005F_x000D_</t></is></c>)", "1: 0 text _x000D_;\n"},
      {R"(<c r="A1" t="inlineStr"><is><t>_x0416__xD800__xFFFF__x12_</t></is></c>)",
       "1: 0 text Ж_xD800__xFFFF__x12_;\n"},
      {R"(<c r="A1"><is><t>12</t></is></c>)", "1: 0 text 12;\n"},
      {R"(<c r="A1" t="inlineStr"><is><t>漢</t><rPh><t>かん</t></rPh></is></c>)",
       "1: 0 text 漢;\n"},
      {R"(<c r="B1"><v>2</v></c><c r="A1"><v>1</v></c>)", "1: 0 number 1; 1 number 2;\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cell);
    Book book;
    book.sheet = Sheet("<row r=\"1\">" + c.cell + "</row>");
    EXPECT_EQ(Read(book.Zip()), c.expected);
  }
}

TEST(XlsxReadTest, SharedStringsJoinRunsAndSkipPhonetics) {
  Book book;
  book.shared = Shared({"<t>просто</t>",
                        "<r><rPr><b/></rPr><t>бо</t></r><r><t xml:space=\"preserve\">лд </t></r>",
                        "<t>漢字</t><rPh sb=\"0\" eb=\"2\"><t>かんじ</t></rPh>", "<t/>"});
  book.sheet = Sheet(R"(<row r="1"><c t="s"><v>0</v></c><c t="s"><v>1</v></c><c t="s"><v>2</v></c>)"
                     R"(<c t="s"><v>3</v></c></row>)");
  EXPECT_EQ(Read(book.Zip()), "1: 0 text просто; 1 text болд ; 2 text 漢字;\n");
}

TEST(XlsxReadTest, RowsAndCellsLeftOutOrUnnumbered) {
  struct Case {
    std::string data;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {R"(<row r="2"><c r="C2"><v>1</v></c></row><row r="9"><c r="A9"><v>2</v></c></row>)",
       "2: 2 number 1;\n9: 0 number 2;\n"},
      {R"(<row><c><v>1</v></c><c><v>2</v></c></row><row><c r="D2"><v>3</v></c><c><v>4</v></c></row>)",
       "1: 0 number 1; 1 number 2;\n2: 3 number 3; 4 number 4;\n"},
      {R"(<row r="5"><c><v>1</v></c></row><row><c r="B6"><v>2</v></c></row>)",
       "5: 0 number 1;\n6: 1 number 2;\n"},
      {R"(<row r="1"/><row r="2"><c r="A2"/></row><row r="3"><c r="A3"><v>1</v></c></row>)",
       "3: 0 number 1;\n"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data);
    Book book;
    book.sheet = Sheet(c.data);
    EXPECT_EQ(Read(book.Zip()), c.expected);
  }
}

// The last column a sheet says it uses, read from its dimension with the
// first row, for a writer to put its results after: none where it is
// missing or no reference.
TEST(XlsxReadTest, TheDimensionsLastColumn) {
  const struct {
    const char* before;
    std::optional<std::uint32_t> last;
  } cases[] = {
      {R"(<dimension ref="A1:H20"/>)", 7},         {R"(<dimension ref="C3"/>)", 2},
      {R"(<dimension ref="A1:XFD1"/>)", 16383},    {R"(<dimension ref="A1:XFE1"/>)", std::nullopt},
      {R"(<dimension ref="A1:"/>)", std::nullopt}, {"", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    Book book;
    book.sheet = Sheet(R"(<row r="1"><c r="A1"><v>1</v></c></row>)", c.before);
    const std::string bytes = book.Zip();
    const OpenedBook opened(bytes);
    const std::unique_ptr<SheetReader>& reader = opened.reader;
    ASSERT_NE(reader, nullptr) << opened.problem;
    ASSERT_TRUE(reader->Select(0));
    SheetRow row;
    ASSERT_TRUE(reader->Next(row));
    EXPECT_EQ(reader->DeclaredLastColumn(), c.last);
  }
}

TEST(XlsxReadTest, DatesByTheirNumberFormat) {
  struct Case {
    int id;
    std::string code;  // a custom format's, empty for a built-in one
    bool date;
  };
  const std::vector<Case> cases = {
      {14, "", true},
      {22, "", true},
      {45, "", true},
      {47, "", true},
      {1, "", false},
      {49, "", false},
      {23, "", false},
      {164, "dd.mm.yyyy", true},
      {164, "[h]:mm", true},
      {164, "[h]", true},
      {164, "hh:mm:ss", true},
      {164, "General", false},
      {164, "0.00", false},
      {164, "#,##0\\ \"лв.\"", false},
      {164, "0 \"дни\"", false},
      {164, "[Red]0.00", false},
      {164, "[$-402]d mmmm yyyy", true},
      {164, "0\\d", false},
      {164, "0_)", false},
      {164, "0.00E+00", false},
      {14, "0.00", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.id) + " " + c.code);
    Book book;
    book.styles = c.code.empty() ? Styles({0, c.id}) : Styles({0, c.id}, {{c.id, c.code}});
    book.sheet = Sheet(R"(<row r="1"><c r="A1" s="1"><v>45000.25</v></c></row>)");
    EXPECT_EQ(
        Read(book.Zip()),
        std::string("1: 0 ") + (c.date ? "date 2023-03-15T06:00:00" : "number 45000.25") + ";\n");
  }
}

// A date is given as the workbook shows it, from the serial it stores: in
// the 1900 system with its 29th of February, or in the 1904 system.
TEST(XlsxReadTest, DatesAsTheWorkbookShowsThem) {
  const struct {
    const char* serial;
    bool from_1904;
    const char* text;
  } cases[] = {
      {"1", false, "1900-01-01"},
      {"59", false, "1900-02-28"},
      {"60", false, "1900-02-29"},
      {"61", false, "1900-03-01"},
      {"0", false, "1900-01-00"},
      {"45293", false, "2024-01-02"},
      {"36526", false, "2000-01-01"},
      {"2958465", false, "9999-12-31"},
      {"45293.5", false, "2024-01-02T12:00:00"},
      {"45293.999999999", false, "2024-01-03"},
      {"0.75", false, "18:00:00"},
      {"0.0000115740740740741", false, "00:00:01"},
      {"0", true, "1904-01-01"},
      {"43831", true, "2024-01-02"},
      {"-1", false, "-1"},
      {"4.5293E4", false, "4.5293E4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.serial);
    Book book;
    if (c.from_1904) {
      book.workbook = std::string("<workbook ") + kMain + " " + kRelNs +
                      R"(><workbookPr date1904="1"/><sheets>)"
                      R"(<sheet name="Лист1" sheetId="1" r:id="rId1"/></sheets></workbook>)";
    }
    book.sheet =
        Sheet(std::string(R"(<row r="1"><c r="A1" s="1"><v>)") + c.serial + "</v></c></row>");
    EXPECT_EQ(Read(book.Zip()), std::string("1: 0 date ") + c.text + ";\n");
  }
}

TEST(XlsxReadTest, SheetsByNameThroughTheirRelationships) {
  Book book;
  book.workbook = std::string("<workbook ") + kMain + " " + kRelNs +
                  R"(><sheets><sheet name="Първи" r:id="rId7"/><sheet name="Втори" r:id="rId1"/>)"
                  "</sheets></workbook>";
  book.rels =
      R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
      R"(<Relationship Id="rId1" Type="x/worksheet" Target="worksheets/sheet1.xml"/>)"
      R"(<Relationship Id="rId7" Type="x/worksheet" Target="/xl/worksheets/../other/Sheet.xml"/>)"
      R"(<Relationship Id="rId2" Type="x/sharedStrings" Target="./sharedStrings.xml"/>)"
      "</Relationships>";
  book.sheet = Sheet(R"(<row r="1"><c r="A1" t="s"><v>1</v></c></row>)");
  book.extra = {
      {.name = "xl/other/sheet.xml", .data = Sheet(R"(<row r="4"><c r="B4"><v>4</v></c></row>)")}};
  const std::string bytes = book.Zip();
  const OpenedBook opened(bytes);
  const std::unique_ptr<SheetReader>& reader = opened.reader;
  ASSERT_NE(reader, nullptr) << opened.problem;
  EXPECT_EQ(reader->kind(), WorkbookKind::kXlsx);
  EXPECT_EQ(reader->sheets(), (std::vector<std::string>{"Първи", "Втори"}));
  EXPECT_EQ(Read(bytes, 0), "4: 1 number 4;\n");
  EXPECT_EQ(Read(bytes, 1), "1: 0 text едно;\n");
  EXPECT_EQ(Read(bytes, 2), "работната книга няма лист с номер 3");

  // A sheet read again from its first row.
  SheetRow row;
  ASSERT_TRUE(reader->Select(1));
  ASSERT_TRUE(reader->Next(row));
  EXPECT_FALSE(reader->Next(row));
  EXPECT_EQ(reader->problem(), "");
  ASSERT_TRUE(reader->Select(1));
  ASSERT_TRUE(reader->Next(row));
  EXPECT_EQ(row.number, 1u);
}

TEST(XlsxReadTest, StrictNamespacesToo) {
  const std::string strict = R"(xmlns="http://purl.oclc.org/ooxml/spreadsheetml/main")";
  Book book;
  book.workbook = "<workbook " + strict +
                  R"( xmlns:r="http://purl.oclc.org/ooxml/officeDocument/relationships">)"
                  R"(<sheets><sheet name="Строг" r:id="rId1"/></sheets></workbook>)";
  book.shared = "<sst " + strict + "><si><t>низ</t></si></sst>";
  book.styles = "<styleSheet " + strict +
                R"(><cellXfs><xf numFmtId="0"/><xf numFmtId="14"/></cellXfs></styleSheet>)";
  book.sheet = "<worksheet " + strict +
               R"(><sheetData><row><c t="s"><v>0</v></c><c s="1"><v>1</v></c></row>)"
               "</sheetData></worksheet>";
  EXPECT_EQ(Read(book.Zip()), "1: 0 text низ; 1 date 1900-01-01;\n");
}

TEST(XlsxReadTest, ProblemsSaidExactly) {
  struct Case {
    std::string name;
    void (*damage)(Book&);
    std::string expected;  // the whole of Read's output
  };
  const std::vector<Case> cases = {
      {"no workbook", [](Book& b) { b.workbook.clear(); },
       "в работната книга липсва частта „xl/workbook.xml“"},
      {"no rels", [](Book& b) { b.rels.clear(); },
       "в работната книга липсва частта „xl/_rels/workbook.xml.rels“"},
      {"no sheet",
       [](Book& b) { b.workbook = std::string("<workbook ") + kMain + "><sheets/></workbook>"; },
       "работната книга няма лист"},
      {"no relationship",
       [](Book& b) {
         b.workbook = std::string("<workbook ") + kMain + " " + kRelNs +
                      R"(><sheets><sheet name="Лист1" r:id="rId9"/></sheets></workbook>)";
       },
       "листът „Лист1“ сочи връзка „rId9“, каквато частта „xl/_rels/workbook.xml.rels“ няма"},
      {"shared string past the end",
       [](Book& b) { b.sheet = Sheet(R"(<row r="7"><c r="B7" t="s"><v>42</v></c></row>)"); },
       "клетка B7 на листа „Лист1“ сочи споделен низ 42, а има 2"},
      {"shared string not a number",
       [](Book& b) { b.sheet = Sheet(R"(<row><c t="s"><v>x</v></c></row>)"); },
       "клетка A1 на листа „Лист1“ сочи споделен низ с неправилен номер „x“"},
      {"past XFD", [](Book& b) { b.sheet = Sheet(R"(<row r="3"><c r="XFE3"><v>1</v></c></row>)"); },
       "клетка XFE3 на листа „Лист1“ е след последната колона XFD"},
      {"past XFD unnumbered",
       [](Book& b) {
         b.sheet = Sheet(R"(<row r="3"><c r="XFD3"><v>1</v></c><c><v>2</v></c></row>)");
       },
       "ред 3 на листа „Лист1“ има клетка след последната колона XFD"},
      {"bad address", [](Book& b) { b.sheet = Sheet(R"(<row><c r="7B"><v>1</v></c></row>)"); },
       "клетка „7B“ на листа „Лист1“ има неправилен адрес"},
      {"bad row", [](Book& b) { b.sheet = Sheet(R"(<row r="0"><c><v>1</v></c></row>)"); },
       "ред „0“ на листа „Лист1“ има неправилен номер"},
      {"malformed sheet",
       [](Book& b) {
         b.sheet = Sheet(R"(<row r="1"><c r="A1"><v>1</v></c></row>)"
                         "\n<row></c>");
       },
       "1: 0 number 1;\n"
       "частта „xl/worksheets/sheet1.xml“ не е правилен XML: ред 2: затварящият елемент не "
       "отговаря на отворения"},
      {"doctype", [](Book& b) { b.shared = "<!DOCTYPE sst [<!ENTITY a \"b\">]><sst/>"; },
       "частта „xl/sharedStrings.xml“ съдържа DOCTYPE, каквото работна книга няма: не е "
       "прочетена"},
      {"missing shared strings",
       [](Book& b) { b.rels.insert(b.rels.find("sharedStrings.xml"), "missing"); },
       "в работната книга липсва частта „xl/missingsharedStrings.xml“"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Book book;
    c.damage(book);
    EXPECT_EQ(Read(book.Zip()), c.expected);
  }
}

TEST(XlsxReadTest, NextWithoutASheetSelected) {
  const std::string bytes = Book().Zip();
  const OpenedBook opened(bytes);
  const std::unique_ptr<SheetReader>& reader = opened.reader;
  ASSERT_NE(reader, nullptr) << opened.problem;
  SheetRow row;
  EXPECT_FALSE(reader->Next(row));
  EXPECT_EQ(reader->problem(), "не е избран лист");
}

// --- Writing ------------------------------------------------------------------

// Results for each row: its number's text, flagged in even rows, and a
// second cell where a row has two or more cells.
class NumberResults final : public RowResults {
 public:
  std::vector<std::uint64_t> seen;
  void For(const SheetRow& row, std::vector<ResultCell>& cells) override {
    seen.push_back(row.number);
    if (row.number == 4) return;  // no results: the row as it is
    cells.push_back({"№" + std::to_string(row.number), row.number % 2 == 0});
    if (row.cells.size() > 1) cells.push_back({" <a&b> ", false});
  }
};

struct Written {
  bool ok = false;
  std::string problem;
  std::string bytes;
};

Written Write(const std::string& bytes, std::uint32_t first_column, RowResults& results,
              std::size_t sheet = 0) {
  MemorySource source(bytes);
  ZipReader zip;
  Written written;
  if (!zip.Open(source)) {
    written.problem = zip.problem();
    return written;
  }
  StringSink out;
  written.ok = WriteXlsxWithResults(zip, sheet, first_column, results, out, written.problem);
  written.bytes = out.bytes();
  return written;
}

std::string PartOf(const std::string& bytes, const std::string& name, bool raw = false) {
  MemorySource source(bytes);
  ZipReader zip;
  if (!zip.Open(source)) return "zip: " + zip.problem();
  const ZipEntry* entry = zip.Find(name);
  if (entry == nullptr) return "none";
  const std::unique_ptr<ByteSource> part = raw ? zip.Raw(*entry) : zip.Inflate(*entry);
  std::string out, buffer(4096, '\0');
  for (long n; (n = part->Read(buffer.data(), buffer.size())) > 0;) {
    out.append(buffer.data(), static_cast<std::size_t>(n));
  }
  return out;
}

TEST(XlsxWriteTest, ResultCellsAddedToTheirRows) {
  struct Case {
    std::string name;
    std::string sheet;
    std::string expected;
  };
  const std::string kData =
      R"(<row r="1" spans="1:2"><c r="A1"><v>1</v></c><c r="B1"><v>2</v></c></row>)"
      R"(<row r="2" spans="1:2" ht="15"><c r="A2" t="s"><v>0</v></c></row>)"
      R"(<row r="3"/><row r="4"><c r="A4"><v>4</v></c></row>)"
      R"(<row r="5" spans="1:1 3:4"><c r="A5"><v>5</v></c></row>)";
  const std::string kOut =
      R"(<row r="1" spans="1:4"><c r="A1"><v>1</v></c><c r="B1"><v>2</v></c>)"
      R"(<c r="C1" t="inlineStr"><is><t>№1</t></is></c>)"
      R"(<c r="D1" t="inlineStr"><is><t xml:space="preserve"> &lt;a&amp;b&gt; </t></is></c></row>)"
      R"(<row r="2" spans="1:3" ht="15"><c r="A2" t="s"><v>0</v></c>)"
      R"(<c r="C2" t="inlineStr" s="2"><is><t>№2</t></is></c></row>)"
      R"(<row r="3"/><row r="4"><c r="A4"><v>4</v></c></row>)"
      R"(<row r="5"><c r="A5"><v>5</v></c><c r="C5" t="inlineStr"><is><t>№5</t></is></c></row>)";
  const std::vector<Case> cases = {
      {"default namespace", Sheet(kData, R"(<dimension ref="A1:B5"/>)"),
       Sheet(kOut, R"(<dimension ref="A1:D5"/>)")},
      {"no dimension", Sheet(kData), Sheet(kOut)},
      {"dimension of one cell", Sheet(kData, R"(<dimension ref="A1"/><sheetViews/>)"),
       Sheet(kOut, R"(<dimension ref="A1:D1"/><sheetViews/>)")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Book book;
    book.sheet = c.sheet;
    NumberResults results;
    const Written written = Write(book.Zip(), 2, results);
    ASSERT_TRUE(written.ok) << written.problem;
    EXPECT_EQ(PartOf(written.bytes, "xl/worksheets/sheet1.xml"), c.expected);
    EXPECT_EQ(results.seen, (std::vector<std::uint64_t>{1, 2, 4, 5}));
  }
}

// Results from row `from` on: the row's number, flagged where it is even.
class ResultsFrom final : public RowResults {
 public:
  explicit ResultsFrom(std::uint64_t from) : from_(from) {}
  void For(const SheetRow& row, std::vector<ResultCell>& cells) override {
    if (row.number >= from_) cells.push_back({std::to_string(row.number), row.number % 2 == 0});
  }

 private:
  std::uint64_t from_;
};

// Sheets of many rows, read and written a piece at a time, the places of
// their changes across the pieces' edges.
TEST(XlsxWriteTest, LongSheetsWrittenThroughout) {
  struct Case {
    std::string name;
    std::string bom;
    std::uint64_t rows;
    std::uint64_t from;     // the first row given results
    std::string dimension;  // as written again
  };
  const std::vector<Case> cases = {
      {"results from the first row", "", 30000, 1, "A1:B30000"},
      {"a byte order mark", "\xEF\xBB\xBF", 30000, 1, "A1:B30000"},
      {"results from row 1000", "", 30000, 1000, "A1:B30000"},
      // Past 1 MiB held back, the dimension is written as it was.
      {"results from row 40000", "", 45000, 40000, "A1:A45000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string data, expected;
    for (std::uint64_t r = 1; r <= c.rows; ++r) {
      const std::string n = std::to_string(r);
      std::string row = R"(<row r=")";
      row.append(n)
          .append(R"("><c r="A)")
          .append(n)
          .append(R"("><v>)")
          .append(n)
          .append("</v></c>");
      data += row + "</row>";
      expected += row;
      if (r >= c.from) {
        expected.append(R"(<c r="B)").append(n).append(R"(" t="inlineStr")");
        if (r % 2 == 0) expected.append(R"( s="2")");
        expected.append("><is><t>").append(n).append("</t></is></c>");
      }
      expected += "</row>";
    }
    Book book;
    book.sheet = c.bom + Sheet(data, "<dimension ref=\"A1:A" + std::to_string(c.rows) + "\"/>");
    ResultsFrom results(c.from);
    const Written written = Write(book.Zip(), 1, results);
    ASSERT_TRUE(written.ok) << written.problem;
    const std::string part = PartOf(written.bytes, "xl/worksheets/sheet1.xml");
    EXPECT_TRUE(part == c.bom + Sheet(expected, "<dimension ref=\"" + c.dimension + "\"/>"))
        << part.substr(0, 300);
  }
}

// Results of given texts, in the order given.
class TextResults final : public RowResults {
 public:
  explicit TextResults(std::vector<std::string> texts) : texts_(std::move(texts)) {}
  void For(const SheetRow&, std::vector<ResultCell>& cells) override {
    for (const std::string& text : texts_) cells.push_back({text, false});
  }

 private:
  std::vector<std::string> texts_;
};

TEST(XlsxWriteTest, ResultTextsReadBackAsGiven) {
  struct Case {
    std::string text;
    std::string written;  // the inserted cell's <t> element
  };
  const std::vector<Case> cases = {
      {"текст", "<t>текст</t>"},
      {"a<b>&c\"d'", "<t>a&lt;b&gt;&amp;c\"d'</t>"},
      {" отпред", R"(<t xml:space="preserve"> отпред</t>)"},
      {"отзад\n", "<t xml:space=\"preserve\">отзад\n</t>"},
      {"ред\r\nред", "<t>ред_x000D_\nред</t>"},
      {"a\x01"
       "b\x1F",
       "<t>a_x0001_b_x001F_</t>"},
      {"_x0041_ и _x41_", "<t>_x005F_x0041_ и _x41_</t>"},
      {"_xD800_", "<t>_x005F_xD800_</t>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Book book;
    book.sheet = Sheet(R"(<row r="1"><c r="A1"><v>1</v></c></row>)");
    TextResults results({c.text});
    const Written written = Write(book.Zip(), 1, results);
    ASSERT_TRUE(written.ok) << written.problem;
    EXPECT_EQ(PartOf(written.bytes, "xl/worksheets/sheet1.xml"),
              Sheet(R"(<row r="1"><c r="A1"><v>1</v></c><c r="B1" t="inlineStr"><is>)" + c.written +
                    "</is></c></row>"));
    EXPECT_EQ(Read(written.bytes), "1: 0 number 1; 1 text " + c.text + ";\n");
  }
}

TEST(XlsxWriteTest, TheSheetsPrefixUsedForTheCellsAdded) {
  Book book;
  book.sheet =
      R"(<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
      R"(<x:dimension ref="A1:A1" /><x:sheetData><x:row r="1"><x:c r="A1"><x:v>1</x:v></x:c>)"
      "</x:row></x:sheetData></x:worksheet>";
  NumberResults results;
  const Written written = Write(book.Zip(), 1, results);
  ASSERT_TRUE(written.ok) << written.problem;
  EXPECT_EQ(PartOf(written.bytes, "xl/worksheets/sheet1.xml"),
            R"(<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
            R"(<x:dimension ref="A1:B1"/><x:sheetData><x:row r="1"><x:c r="A1"><x:v>1</x:v></x:c>)"
            R"(<x:c r="B1" t="inlineStr"><x:is><x:t>№1</x:t></x:is></x:c>)"
            "</x:row></x:sheetData></x:worksheet>");
}

TEST(XlsxWriteTest, StylesGainOneFillAndOneCellFormat) {
  struct Case {
    std::string styles;
    std::string expected;
  };
  const std::string kHead = std::string("<styleSheet ") + kMain + ">";
  const std::string kFill = R"(<fill><patternFill patternType="solid"><fgColor rgb="FFFFC7CE"/>)"
                            R"(<bgColor indexed="64"/></patternFill></fill>)";
  const std::vector<Case> cases = {
      {kHead +
           R"(<fills count="2"><fill/><fill/></fills><cellStyleXfs count="1"><xf/></cellStyleXfs>)"
           R"(<cellXfs count="1"><xf/></cellXfs><cellStyles><xf/></cellStyles></styleSheet>)",
       kHead + R"(<fills count="3"><fill/><fill/>)" + kFill + "</fills>" +
           R"(<cellStyleXfs count="1"><xf/></cellStyleXfs><cellXfs count="2"><xf/><xf numFmtId="0" fontId="0" fillId="2" borderId="0" )"
           R"(xfId="0" applyFill="1"/></cellXfs><cellStyles><xf/></cellStyles></styleSheet>)"},
      {kHead + R"(<fills><fill/></fills><cellXfs count="0"/></styleSheet>)",
       kHead + "<fills><fill/>" + kFill + "</fills>" +
           R"(<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="1" borderId="0" )"
           R"(applyFill="1"/></cellXfs></styleSheet>)"},
      {R"(<x:styleSheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
       R"(<x:fills count="1"><x:fill/></x:fills><x:cellXfs count="1"><x:xf/></x:cellXfs>)"
       "</x:styleSheet>",
       R"(<x:styleSheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
       R"(<x:fills count="2"><x:fill/><x:fill><x:patternFill patternType="solid">)"
       R"(<x:fgColor rgb="FFFFC7CE"/><x:bgColor indexed="64"/></x:patternFill></x:fill></x:fills>)"
       R"(<x:cellXfs count="2"><x:xf/><x:xf numFmtId="0" fontId="0" fillId="1" borderId="0" )"
       R"(applyFill="1"/></x:cellXfs></x:styleSheet>)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.styles);
    Book book;
    book.styles = c.styles;
    NumberResults results;
    const Written written = Write(book.Zip(), 2, results);
    ASSERT_TRUE(written.ok) << written.problem;
    EXPECT_EQ(PartOf(written.bytes, "xl/styles.xml"), c.expected);
  }
}

TEST(XlsxWriteTest, OtherPartsCopiedAsStoredInTheirOrder) {
  Book book;
  book.sheet = Sheet(R"(<row r="2"><c r="A2"><v>1</v></c></row>)");
  book.extra = {{.name = "docProps/app.xml", .data = "<Properties/>", .method = 0},
                {.name = "xl/worksheets/sheet2.xml", .data = Sheet(""), .descriptor = true}};
  const std::string bytes = book.Zip();
  NumberResults results;
  const Written written = Write(bytes, 1, results);
  ASSERT_TRUE(written.ok) << written.problem;

  MemorySource in_source(bytes), out_source(written.bytes);
  ZipReader in, out;
  ASSERT_TRUE(in.Open(in_source));
  ASSERT_TRUE(out.Open(out_source)) << out.problem();
  ASSERT_EQ(in.entries().size(), out.entries().size());
  for (std::size_t i = 0; i < in.entries().size(); ++i) {
    const std::string& name = in.entries()[i].name;
    SCOPED_TRACE(name);
    EXPECT_EQ(out.entries()[i].name, name);
    const bool rewritten = name == "xl/worksheets/sheet1.xml" || name == "xl/styles.xml";
    EXPECT_EQ(PartOf(bytes, name, true) == PartOf(written.bytes, name, true), !rewritten);
  }
  EXPECT_EQ(Read(written.bytes), "2: 0 number 1; 1 text №2;\n");

  // The same input, the same bytes.
  NumberResults again;
  EXPECT_EQ(Write(bytes, 1, again).bytes, written.bytes);
}

TEST(XlsxWriteTest, AWorkbookWithoutStylesGetsUnfilledCells) {
  Book book;
  const std::size_t styles = book.rels.find("<Relationship Id=\"rId3\"");
  book.rels.erase(styles, book.rels.find("</Relationships>") - styles);
  book.with_styles = false;
  book.sheet = Sheet(R"(<row r="2"><c r="A2"><v>1</v></c></row>)");
  NumberResults results;
  const Written written = Write(book.Zip(), 1, results);
  ASSERT_TRUE(written.ok) << written.problem;
  EXPECT_EQ(PartOf(written.bytes, "xl/worksheets/sheet1.xml"),
            Sheet(R"(<row r="2"><c r="A2"><v>1</v></c>)"
                  R"(<c r="B2" t="inlineStr"><is><t>№2</t></is></c></row>)"));
  EXPECT_EQ(PartOf(written.bytes, "xl/styles.xml"), "none");
}

TEST(XlsxWriteTest, ProblemsSaidExactly) {
  struct Case {
    std::string name;
    std::string sheet;
    std::uint32_t first_column;
    std::size_t index;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"a cell where results go",
       Sheet(R"(<row r="3"><c r="A3"><v>1</v></c><c r="C3"><v>1</v></c></row>)"), 2, 0,
       "ред 3 на листа „Лист1“ вече има клетка в колона C, където се пишат резултатите"},
      {"a styled cell without a value where results go",
       Sheet(R"(<row r="3"><c r="A3"><v>1</v></c><c r="D3" s="1"/></row>)"), 2, 0,
       "ред 3 на листа „Лист1“ вече има клетка в колона D, където се пишат резултатите"},
      {"past XFD", Sheet(R"(<row r="3"><c r="A3"><v>1</v></c><c r="C3"><v>1</v></c></row>)"), 16383,
       0, "резултатите на ред 3 на листа „Лист1“ не се побират до последната колона XFD"},
      {"no such sheet", Sheet(""), 2, 1, "работната книга няма лист с номер 2"},
      {"styles unread", "", 2, 0,
       "частта „xl/styles.xml“ не е правилен XML: ред 1: затварящият елемент не отговаря на "
       "отворения"},
      {"a cell unread", Sheet(R"(<row r="3"><c r="A3" t="s"><v>5</v></c></row>)"), 2, 0,
       "клетка A3 на листа „Лист1“ сочи споделен низ 5, а има 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Book book;
    book.sheet = c.sheet;
    if (c.sheet.empty()) book.styles = "<styleSheet><fills></cellXfs></styleSheet>";
    NumberResults results;
    const Written written = Write(book.Zip(), c.first_column, results, c.index);
    EXPECT_FALSE(written.ok);
    EXPECT_EQ(written.problem, c.expected);
  }
}

}  // namespace
}  // namespace egn::table
