#include "cli/workbook_mode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace egn::cli {
namespace {

using table::Cell;
using table::CellKind;
using table::SheetRow;

// A workbook in memory: its sheets' rows, given as SheetReader gives them.
class FakeReader final : public table::SheetReader {
 public:
  struct Sheet {
    std::string name;
    std::vector<SheetRow> rows;
  };
  explicit FakeReader(std::vector<Sheet> sheets) : sheets_(std::move(sheets)) {
    for (const Sheet& sheet : sheets_) names_.push_back(sheet.name);
  }
  table::WorkbookKind kind() const override { return table::WorkbookKind::kXlsx; }
  const std::vector<std::string>& sheets() const override { return names_; }
  bool Select(std::size_t index) override {
    selected_ = index;
    next_ = 0;
    ++selects_;
    return true;
  }
  bool Next(SheetRow& row) override {
    const std::vector<SheetRow>& rows = sheets_[selected_].rows;
    if (next_ == rows.size()) {
      problem_ = next_ == broken_at_ ? "частта е повредена" : "";
      return false;
    }
    if (next_ == broken_at_) {
      problem_ = "частта е повредена";
      return false;
    }
    row = rows[next_++];
    return true;
  }
  const std::string& problem() const override { return problem_; }
  std::optional<std::uint32_t> DeclaredLastColumn() const override { return declared_; }

  std::optional<std::uint32_t> declared_;  // the sheet's claim of its last column
  std::size_t broken_at_ = SIZE_MAX;       // the row whose reading fails
  int selects_ = 0;

 private:
  std::vector<Sheet> sheets_;
  std::vector<std::string> names_;
  std::size_t selected_ = 0;
  std::size_t next_ = 0;
  std::string problem_;
};

// What the run gives: its records, and its messages after them.
class StringSink final : public RunSink {
 public:
  std::string& buffer() override { return out; }
  void Done() override {}
  void Warn(const std::string& message) override { err += message + "\n"; }
  void Flush() override {}
  std::string out, err;
};

Cell Text(std::uint32_t column, std::string text) {
  return {column, CellKind::kText, std::move(text)};
}
Cell Number(std::uint32_t column, std::string text) {
  return {column, CellKind::kNumber, std::move(text)};
}

// A register: a title, a header in row 3, numbers in rows 4 to 8, a row
// left out (9), and a note far to the right in row 10.
std::vector<SheetRow> Register() {
  return {
      {1, {Text(0, "Справка")}},
      {3, {Text(0, "Име"), Text(1, " ЕГН ")}},
      {4, {Text(0, "А"), Number(1, "8001010008")}},
      {5, {Text(0, "Б; В"), Text(1, "8001010009")}},
      {6, {Text(0, "Г"), Number(1, "551267871")}},
      {7, {Text(0, "Д"), {1, CellKind::kDate, "2024-01-05"}}},
      {8, {Text(0, "Е")}},
      {10, {Text(3, "бел\"ка")}},
  };
}

struct RunCase {
  const char* name;
  std::vector<FakeReader::Sheet> sheets;
  std::string column;
  std::optional<std::size_t> number;
  bool decode = false;
  Format format = Format::kText;
  std::optional<std::string> sheet;
  std::string out;
  std::string err;
  int status = 0;
};

std::vector<RunCase> RunCases() {
  const std::string mark = "\xEF\xBB\xBF";
  return {
      {"every row a line, the results after the header's last column, a cell further after them",
       {{"Лист1", Register()}},
       "егн",
       {},
       false,
       Format::kText,
       {},
       mark + "Справка\r\n\r\nИме; ЕГН ;Резултат;Вярна цифра;Бележка\r\n"
              "А;8001010008;вярна;;\r\n\"Б; В\";8001010009;невярна;8;\r\n"
              "Г;551267871;вярна;;водещата нула е изгубена: 0551267871\r\n"
              "Д;2024-01-05;грешка;;клетката е дата, а не ЕГН\r\n"
              "Е;;;;\r\n\r\n;;;;;;\"бел\"\"ка\"\r\n",
       "egn-digit: ред 7: клетката е дата, а не ЕГН\n",
       2},
      {"one JSON record a row under the header, rows left out too",
       {{"Лист1", Register()}},
       "ЕГН",
       {},
       false,
       Format::kJson,
       {},
       R"({"line":4,"input":"8001010008","check_digit_ok":true,"check_digit":"8"})"
       "\n"
       R"({"line":5,"input":"8001010009","check_digit_ok":false,"check_digit":"8"})"
       "\n"
       R"({"line":6,"input":"0551267871","check_digit_ok":true,"check_digit":"1","lost_leading_zeros":1})"
       "\n"
       R"({"line":7,"error":"клетката е дата, а не ЕГН"})"
       "\n"
       R"({"line":8,"input":""})"
       "\n"
       R"({"line":9,"input":""})"
       "\n"
       R"({"line":10,"input":""})"
       "\n",
       "egn-digit: ред 7: клетката е дата, а не ЕГН\n",
       2},
      {"decoded, a wrong number makes the status 1",
       {{"Лист1", {{1, {Text(0, "ЕГН")}}, {2, {Number(0, "8001010009")}}}}},
       "ЕГН",
       {},
       true,
       Format::kText,
       {},
       mark + "ЕГН;Валидност;Дата на раждане;Пол;Област;Бележка\r\n"
              "8001010009;невалидно;1980-01-01;мъж;Благоевград;контролната цифра трябва да е 8\r\n",
       "",
       1},
      {"a sheet chosen by its name",
       {{"Първи", {{1, {Text(0, "x")}}}},
        {"Втори", {{1, {Text(0, "ЕГН")}}, {2, {Number(0, "8001010008")}}}}},
       "ЕГН",
       {},
       false,
       Format::kText,
       "Втори",
       mark + "ЕГН;Резултат;Вярна цифра;Бележка\r\n8001010008;вярна;;\r\n",
       "",
       0},
      {"a sheet chosen by its number",
       {{"Първи", {{1, {Text(0, "x")}}}},
        {"Втори", {{1, {Text(0, "ЕГН")}}, {2, {Number(0, "8001010008")}}}}},
       "ЕГН",
       {},
       false,
       Format::kText,
       "2",
       mark + "ЕГН;Резултат;Вярна цифра;Бележка\r\n8001010008;вярна;;\r\n",
       "",
       0},
      {"an unknown sheet, the sheets listed",
       {{"Първи", {}}, {"Втори", {}}},
       "ЕГН",
       {},
       false,
       Format::kText,
       "3",
       "",
       "egn-digit: няма лист „3“; листовете са „Първи“, „Втори“\n",
       2},
      {"an empty sheet",
       {{"Лист1", {}}},
       "ЕГН",
       {},
       false,
       Format::kText,
       {},
       "",
       "egn-digit: няма заглавен ред: листът „Лист1“ е празен\n",
       2},
      {"a name with a Latin letter named",
       {{"Лист1", {{2, {Text(0, "Име"), Text(1, "EГН")}}}}},
       "ЕГН",
       {},
       false,
       Format::kText,
       {},
       "",
       "egn-digit: няма колона „ЕГН“; на ред 2 колона 2 е „EГН“: различава се само по латинската "
       "буква „E“ в нея на мястото на кирилската\n",
       2},
      {"no column of that number",
       {{"Лист1", {{1, {Text(0, "Име"), Text(1, "ЕГН")}}}}},
       "3",
       3,
       false,
       Format::kText,
       {},
       "",
       "egn-digit: няма колона 3; заглавният ред има 2: „Име“, „ЕГН“\n",
       2},
      {"a column by its number over numbers alone: no header row",
       {{"Лист1",
         {{1, {Text(0, "а"), Number(1, "8001010008")}},
          {2, {Text(0, "б"), Number(1, "551267871")}}}}},
       "2",
       2,
       false,
       Format::kText,
       {},
       mark + "а;8001010008;вярна;;\r\nб;551267871;вярна;;водещата нула е изгубена: 0551267871\r\n",
       "",
       0},
      {"the header looked for in the first 100 rows only",
       {{"Лист1", {{1, {Text(0, "x")}}, {101, {Text(0, "ЕГН")}}}}},
       "ЕГН",
       {},
       false,
       Format::kText,
       {},
       "",
       "egn-digit: няма колона „ЕГН“; заглавният ред има 1: „x“\n",
       2},
      {"nothing in the first 100 rows",
       {{"Лист1", {{150, {Text(0, "ЕГН")}}}}},
       "ЕГН",
       {},
       false,
       Format::kText,
       {},
       "",
       "egn-digit: няма заглавен ред: първите 100 реда на листа „Лист1“ са празни\n",
       2},
      {"a formula's error and TRUE hold no number; the header in row 100",
       {{"Лист1",
         {{100, {Text(0, "ЕГН")}},
          {101, {{0, CellKind::kError, "#DIV/0!"}}},
          {102, {{0, CellKind::kBoolean, "TRUE"}}}}}},
       "ЕГН",
       {},
       false,
       Format::kJson,
       {},
       R"({"line":101,"error":"клетката е грешка на формула (#DIV/0!), а не ЕГН"})"
       "\n"
       R"({"line":102,"error":"клетката е логическа стойност (TRUE), а не ЕГН"})"
       "\n",
       "egn-digit: ред 101: клетката е грешка на формула (#DIV/0!), а не ЕГН\n"
       "egn-digit: ред 102: клетката е логическа стойност (TRUE), а не ЕГН\n",
       2},
  };
}

TEST(WorkbookRun, SheetsComeBackAsCsvOrJsonWithTheirMessagesAndStatus) {
  for (const RunCase& c : RunCases()) {
    SCOPED_TRACE(c.name);
    FakeReader reader(c.sheets);
    StringSink sink;
    WorkbookOptions options;
    options.column.column = c.column;
    // Set only when there is one: GCC 12 at -O3 takes the copy of an empty
    // optional for a read of an uninitialized one.
    if (c.number) options.column.number = *c.number;
    options.column.decode = c.decode;
    options.column.format = c.format;
    if (c.sheet) options.sheet = *c.sheet;
    options.mark = c.format == Format::kText;
    bool whole = false;
    const int status = RunWorkbook(options, reader, sink, {}, whole);
    EXPECT_EQ(sink.out, c.out);
    EXPECT_EQ(sink.err, c.err);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(whole, !c.out.empty());
  }
}

TEST(WorkbookRun, TheSeparatorGivenAndTheExplainedColumns) {
  FakeReader reader({{"Лист1",
                      {{1, {Text(0, "Име, фамилия"), Text(2, "ЕГН")}},
                       {2, {Text(0, "Иванов, Иван"), Number(2, "800101000")}}}}});
  StringSink sink;
  WorkbookOptions options;
  options.column.column = "ЕГН";
  options.column.separator = ',';
  options.column.explain = true;
  options.mark = false;
  bool whole = false;
  EXPECT_EQ(RunWorkbook(options, reader, sink, {}, whole), 0);
  EXPECT_TRUE(whole);
  EXPECT_EQ(sink.out,
            "\"Име, фамилия\",,ЕГН,Резултат,Вярна цифра,Изчислена сума,Последно число,Бележка\r\n"
            "\"Иванов, Иван\",,800101000,8001010008,,30,8,\r\n");
  EXPECT_EQ(sink.err, "");
}

// The sheet is read once: the rows before the damage are out when it is
// found, and the run is not whole (a file of --output is then dropped).
TEST(WorkbookRun, ASheetThatCannotBeReadIsSaidAndTheRunNotWhole) {
  const struct {
    std::size_t broken_at;  // the row whose reading fails
    std::string out;
  } cases[] = {
      {0, ""},
      {1, ""},
      {3,
       "\xEF\xBB\xBFСправка\r\n\r\nИме; ЕГН ;Резултат;Вярна "
       "цифра;Бележка\r\nА;8001010008;вярна;;\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.broken_at);
    FakeReader reader({{"Лист1", Register()}});
    reader.broken_at_ = c.broken_at;
    StringSink sink;
    WorkbookOptions options;
    options.column.column = "ЕГН";
    bool whole = true;
    EXPECT_EQ(RunWorkbook(options, reader, sink, {}, whole), 2);
    EXPECT_FALSE(whole);
    EXPECT_EQ(sink.out, c.out);
    EXPECT_EQ(sink.err, "egn-digit: листът „Лист1“ не се чете: частта е повредена\n");
  }
}

// The workbook written back: the writer asks for each row's cells, from the
// column after the last used one.
TEST(WorkbookRun, TheWorkbookGetsEachRowsResultsFlaggedWhereWrong) {
  FakeReader reader({{"Лист1", Register()}});
  StringSink sink;
  WorkbookOptions options;
  options.column.column = "ЕГН";
  std::vector<std::string> written;
  std::uint32_t first = 0;
  const WriteBack back = [&](std::size_t index, std::uint32_t first_column,
                             table::RowResults& results, std::string&) {
    EXPECT_EQ(index, 0u);
    first = first_column;
    for (const SheetRow& row : Register()) {
      std::vector<table::ResultCell> cells;
      results.For(row, cells);
      std::string line = std::to_string(row.number) + ":";
      for (const table::ResultCell& cell : cells) line += (cell.flagged ? "!" : "|") + cell.text;
      written.push_back(line);
    }
    return true;
  };
  bool whole = false;
  EXPECT_EQ(RunWorkbook(options, reader, sink, back, whole), 2);
  EXPECT_TRUE(whole);
  EXPECT_EQ(first, 4u);
  EXPECT_EQ(written, (std::vector<std::string>{
                         "1:",
                         "3:|Резултат|Вярна цифра|Бележка",
                         "4:|вярна",
                         "5:!невярна!8",
                         "6:|вярна||водещата нула е изгубена: 0551267871",
                         "7:!грешка!!клетката е дата, а не ЕГН",
                         "8:",
                         "10:",
                     }));
  EXPECT_EQ(sink.out, "");
  EXPECT_EQ(sink.err, "egn-digit: ред 7: клетката е дата, а не ЕГН\n");
}

// The results go after the last column of any cell, or the one the sheet
// says it uses, if further: Excel counts a styled cell without a value.
TEST(WorkbookRun, TheWorkbooksResultsGoAfterItsLastUsedOrDeclaredColumn) {
  const struct {
    std::optional<std::uint32_t> declared;
    std::uint32_t first;
  } cases[] = {{std::nullopt, 4}, {1, 4}, {3, 4}, {6, 7}};
  for (const auto& c : cases) {
    FakeReader reader({{"Лист1", Register()}});
    reader.declared_ = c.declared;
    StringSink sink;
    WorkbookOptions options;
    options.column.column = "ЕГН";
    std::uint32_t first = 0;
    const WriteBack back = [&](std::size_t, std::uint32_t first_column, table::RowResults&,
                               std::string&) {
      first = first_column;
      return true;
    };
    bool whole = false;
    RunWorkbook(options, reader, sink, back, whole);
    EXPECT_EQ(first, c.first) << c.declared.value_or(99);
  }
}

TEST(WorkbookRun, AFailedWriteIsSaid) {
  FakeReader reader({{"Лист1", Register()}});
  StringSink sink;
  WorkbookOptions options;
  options.column.column = "ЕГН";
  const WriteBack back = [](std::size_t, std::uint32_t, table::RowResults&, std::string& problem) {
    problem = "дискът е пълен";
    return false;
  };
  bool whole = true;
  EXPECT_EQ(RunWorkbook(options, reader, sink, back, whole), 2);
  EXPECT_FALSE(whole);
  EXPECT_EQ(sink.err, "egn-digit: работната книга не се записа: дискът е пълен\n");
}

TEST(WorkbookCells, EachKindGivesItsTextOrWhyItHoldsNoNumber) {
  // Plain texts in the table, made cells in the loop (GCC 12 at -O3 takes
  // an array of cells for one read uninitialized).
  const struct {
    CellKind kind;
    const char* cell;
    const char* text;
    const char* problem;
  } cases[] = {
      {CellKind::kText, " 8001010008 ", " 8001010008 ", ""},
      {CellKind::kNumber, "8001010008", "8001010008", ""},
      {CellKind::kNumber, "551267871", "551267871", ""},
      {CellKind::kNumber, "8001010008.5", "", "клетката е дробно число (8001010008.5), а не ЕГН"},
      {CellKind::kNumber, "8.001010008E9", "", "клетката е дробно число (8.001010008E9), а не ЕГН"},
      {CellKind::kDate, "1980-01-01", "", "клетката е дата, а не ЕГН"},
      {CellKind::kBoolean, "TRUE", "", "клетката е логическа стойност (TRUE), а не ЕГН"},
      {CellKind::kError, "#N/A", "", "клетката е грешка на формула (#N/A), а не ЕГН"},
      {CellKind::kError, "Err:502\x1b", "",
       "клетката е грешка на формула (Err:502\\x1B), а не ЕГН"},
  };
  for (const auto& c : cases) {
    const CellText got = TextOfCell({0, c.kind, c.cell});
    EXPECT_EQ(got.text, c.text) << c.cell;
    EXPECT_EQ(got.problem, c.problem) << c.cell;
  }
}

// A compound file of one 512-byte sector of its allocation table and one of
// its directory, whose entries after the root are `streams`.
std::string CompoundFile(const std::vector<std::u16string>& streams, std::uint16_t shift = 9) {
  std::string file(std::size_t{512} * 3, '\0');
  const auto put16 = [&](std::size_t at, std::uint16_t value) {
    file[at] = static_cast<char>(value & 0xFF);
    file[at + 1] = static_cast<char>(value >> 8);
  };
  const auto put32 = [&](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  file.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
  put16(0x1E, shift);
  put32(0x2C, 1);
  put32(0x30, 1);  // the directory in sector 1
  for (std::size_t i = 0; i < 109; ++i) put32(0x4C + 4 * i, 0xFFFFFFFF);
  put32(0x4C, 0);  // the allocation table in sector 0
  for (std::size_t i = 0; i < 128; ++i) put32(512 + 4 * i, 0xFFFFFFFF);
  put32(512, 0xFFFFFFFD);
  put32(516, 0xFFFFFFFE);
  std::vector<std::pair<std::u16string, std::uint8_t>> entries{{u"Root Entry", 5}};
  for (const std::u16string& stream : streams) entries.emplace_back(stream, 2);
  for (std::size_t e = 0; e < entries.size(); ++e) {
    const std::size_t at = 1024 + 128 * e;
    const std::u16string& name = entries[e].first;
    for (std::size_t i = 0; i < name.size(); ++i) put16(at + 2 * i, name[i]);
    put16(at + 0x40, static_cast<std::uint16_t>(2 * name.size() + 2));
    file[at + 0x42] = static_cast<char>(entries[e].second);
  }
  return file;
}

TEST(WorkbookFiles, KindsAreToldByTheFirstBytes) {
  EXPECT_EQ(KindOfHead("PK\x03\x04\x14\x00"), FileKind::kZip);
  EXPECT_EQ(KindOfHead("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"), FileKind::kCompound);
  EXPECT_EQ(KindOfHead("ЕГН;Име"), FileKind::kText);
  EXPECT_EQ(KindOfHead("PK"), FileKind::kText);
  EXPECT_EQ(KindOfHead(""), FileKind::kText);
}

TEST(WorkbookFiles, APasswordIsToldByTheCompoundFilesDirectory) {
  const struct {
    const char* name;
    std::string file;
    bool encrypted;
  } cases[] = {
      {"protected", CompoundFile({u"EncryptionInfo", u"EncryptedPackage"}), true},
      {"an .xls", CompoundFile({u"Workbook", u"\x05SummaryInformation"}), false},
      {"a longer name", CompoundFile({u"EncryptedPackages"}), false},
      {"a bad sector size", CompoundFile({u"EncryptedPackage"}, 7), false},
      {"cut short", CompoundFile({u"EncryptedPackage"}).substr(0, 1024), false},
      {"the header alone", CompoundFile({}).substr(0, 100), false},
  };
  for (const auto& c : cases) {
    table::MemorySource source(c.file);
    EXPECT_EQ(HoldsEncryptedPackage(source), c.encrypted) << c.name;
  }
}

}  // namespace
}  // namespace egn::cli
