#include "table/csv_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "table/encodings.h"
#include "table/tests/piece_source.h"

namespace egn::table {
namespace {

using namespace std::string_literals;

// The encodings a file comes in: its mark and its text.
struct Form {
  const char* name;
  Encoding encoding;
  std::string mark;
};

const Form kForms[] = {
    {"UTF-8", Encoding::kUtf8, ""},
    {"UTF-8 with its mark", Encoding::kUtf8, "\xEF\xBB\xBF"},
    {"Windows-1251", Encoding::kWindows1251, ""},
    {"UTF-16LE", Encoding::kUtf16Le, "\xFF\xFE"},
    {"UTF-16BE", Encoding::kUtf16Be, "\xFE\xFF"},
};

std::string In(const Form& form, std::string_view utf8) {
  std::string bytes;
  AppendEncoded(bytes, utf8, form.encoding);
  return bytes;
}

// A row as the tests write it, in UTF-8: bytes, line end, line, fields,
// whether all are quoted, the field of column 1.
struct Row {
  std::string bytes, line_end;
  std::size_t line, fields;
  bool all_quoted;
  std::string cell;
  Quoting quoting = Quoting::kRight;  // and where its quotes go wrong
  std::size_t quoting_line = 0;
};

struct Case {
  const char* text;  // the file, in UTF-8; Windows-1251 where it holds Cyrillic
  char separator;    // found in its first row
  std::vector<Row> rows;
};

std::vector<Case> Cases() {
  return {
      {"Име;ЕГН;Град\r\nИван;0551267871;Русе\r\n",
       ';',
       {{"Име;ЕГН;Град", "\r\n", 1, 3, false, "ЕГН"},
        {"Иван;0551267871;Русе", "\r\n", 2, 3, false, "0551267871"}}},
      // Quotes: separators, doubled quotes and line breaks inside; the row
      // after one of two lines begins on line 3; no line end at the end.
      {"\"x;y\";\"той каза \"\"да\"\"\";\"два\nреда\"\n1;2;3",
       ';',
       {{"\"x;y\";\"той каза \"\"да\"\"\";\"два\nреда\"", "\n", 1, 3, true,
         "\"той каза \"\"да\"\"\""},
        {"1;2;3", "", 3, 3, false, "2"}}},
      // Empty rows, LF and CR LF; a comma between.
      {"a,b\n\n\r\n1,\n",
       ',',
       {{"a,b", "\n", 1, 2, false, "b"},
        {"", "\n", 2, 0, false, ""},
        {"", "\r\n", 3, 0, false, ""},
        {"1,", "\n", 4, 2, false, ""}}},
      // Text after a closing quote is text, and a quote inside a field that
      // does not begin with one too, each marked where it stands; a quote
      // opened by mistake runs over a row.
      {"\"ab\"c;d\r\nb;c\"d\"\r\n\"q\";\"r\"\r\n\"И, П;1;Р\n\"Г\" П;2;В\nx;\"\";\"\"\"\"\n",
       ';',
       {{"\"ab\"c;d", "\r\n", 1, 2, false, "d", Quoting::kTextAfterQuote, 1},
        {"b;c\"d\"", "\r\n", 2, 2, false, "c\"d\"", Quoting::kQuoteInText, 2},
        {R"("q";"r")", "\r\n", 3, 2, true, "\"r\""},
        {"\"И, П;1;Р\n\"Г\" П;2;В", "\n", 4, 3, false, "2", Quoting::kTextAfterQuote, 5},
        {R"(x;"";"""")", "\n", 6, 3, false, "\"\""}}},
      // CR alone ends a row, after a quote too; CR, LF and CR LF mixed, each
      // row with its own; a CR in quotes is a line of the field's text.
      {"ЕГН;Име\r8001010009;Иван\r123;Ана\r",
       ';',
       {{"ЕГН;Име", "\r", 1, 2, false, "Име"},
        {"8001010009;Иван", "\r", 2, 2, false, "Иван"},
        {"123;Ана", "\r", 3, 2, false, "Ана"}}},
      {"\"a\";\"b\"\r\r\n\"c\r\rd\";e\n\rx;y",
       ';',
       {{R"("a";"b")", "\r", 1, 2, true, "\"b\""},
        {"", "\r\n", 2, 0, false, ""},
        {"\"c\r\rd\";e", "\n", 3, 2, false, "e"},
        {"", "\r", 6, 0, false, ""},
        {"x;y", "", 7, 2, false, "y"}}},
      // Whether every field is quoted does not hang on the row's end: an
      // empty last field is not quoted, at the input's end as before a LF.
      {"\"y\";\n\"y\";", ';', {{"\"y\";", "\n", 1, 2, false, ""}, {"\"y\";", "", 2, 2, false, ""}}},
      // The separator: the one that splits the first rows into as many
      // fields each, not the one the header holds most often; rows it does
      // not split (a title) aside; the most rows when two do; found most
      // often when none does; separators in quotes do not count; none at
      // all gives ';'; a CR in quotes is the field's.
      {"a\tb\tc;d\n1\t2\t3\n",
       '\t',
       {{"a\tb\tc;d", "\n", 1, 3, false, "b"}, {"1\t2\t3", "\n", 2, 3, false, "2"}}},
      {"Име, презиме, фамилия;ЕГН;Адрес (град, улица, №)\r\nИван Петров;8001010008;Русе, ул. 1\r\n",
       ';',
       {{"Име, презиме, фамилия;ЕГН;Адрес (град, улица, №)", "\r\n", 1, 3, false, "ЕГН"},
        {"Иван Петров;8001010008;Русе, ул. 1", "\r\n", 2, 3, false, "8001010008"}}},
      {"Справка, 2024\rA;B\r1;2",
       ';',
       {{"Справка, 2024", "\r", 1, 1, false, ""},
        {"A;B", "\r", 2, 2, false, "B"},
        {"1;2", "", 3, 2, false, "2"}}},
      {"a,b,c;d\n1,2;3\n4;5;6,7,8\n",
       ',',
       {{"a,b,c;d", "\n", 1, 3, false, "b"},
        {"1,2;3", "\n", 2, 2, false, "2;3"},
        {"4;5;6,7,8", "\n", 3, 3, false, "7"}}},
      {"\"a,b,c\";x\n", ';', {{"\"a,b,c\";x", "\n", 1, 2, false, "x"}}},
      {"ЕГН\n\"0551267871\r\n\";\n",
       ';',
       {{"ЕГН", "\n", 1, 1, false, ""}, {"\"0551267871\r\n\";", "\n", 2, 2, false, ""}}},
      {"", ';', {}},
  };
}

std::vector<Row> ReadAll(CsvReader& reader, const Form& form) {
  std::vector<Row> rows;
  CsvRow row;
  while (reader.Next(row)) {
    std::string bytes, line_end, cell;
    AppendUtf8(bytes, row.bytes, form.encoding);
    AppendUtf8(line_end, row.line_end, form.encoding);
    AppendUtf8(cell, row.cell, form.encoding);
    rows.push_back({bytes, line_end, row.line, row.fields, row.all_quoted, cell, row.quoting,
                    row.quoting == Quoting::kRight ? 0 : row.quoting_line});
  }
  return rows;
}

TEST(CsvReader, RowsAndFieldsAsWrittenInEveryEncodingReadInAnyPieces) {
  for (const Case& c : Cases()) {
    for (const Form& form : kForms) {
      for (const std::size_t piece : {1, 3, 1 << 16}) {
        SCOPED_TRACE(std::string(form.name) + ", pieces of " + std::to_string(piece) + ": " +
                     c.text);
        PieceSource source(form.mark + In(form, c.text), piece);
        CsvReader reader(source, {}, 128);  // rows longer than a first read of 1 or 3
        ASSERT_TRUE(reader.Start(std::nullopt));
        // Without a mark, an empty file or one of ASCII alone is UTF-8.
        const bool ascii = std::all_of(c.text, c.text + std::strlen(c.text),
                                       [](char ch) { return (ch & 0x80) == 0; });
        EXPECT_EQ(reader.encoding(),
                  form.mark.empty() && ascii && form.encoding == Encoding::kWindows1251
                      ? Encoding::kUtf8
                      : form.encoding);
        EXPECT_EQ(reader.mark(), form.mark);
        EXPECT_EQ(reader.separator(), c.separator);
        reader.Select(1);
        const std::vector<Row> rows = ReadAll(reader, form);
        EXPECT_EQ(reader.problem(), CsvReader::Problem::kNone);
        ASSERT_EQ(rows.size(), c.rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
          EXPECT_EQ(rows[i].bytes, c.rows[i].bytes) << i;
          EXPECT_EQ(rows[i].line_end, c.rows[i].line_end) << i;
          EXPECT_EQ(rows[i].line, c.rows[i].line) << i;
          EXPECT_EQ(rows[i].fields, c.rows[i].fields) << i;
          EXPECT_EQ(rows[i].all_quoted, c.rows[i].all_quoted) << i;
          EXPECT_EQ(rows[i].cell, c.rows[i].cell) << i;
          EXPECT_EQ(rows[i].quoting, c.rows[i].quoting) << i;
          EXPECT_EQ(rows[i].quoting_line, c.rows[i].quoting_line) << i;
        }
      }
    }
  }
}

TEST(CsvReader, FieldsOfAHeaderAndAGivenSeparator) {
  PieceSource source("\"Име, презиме\",ЕГН;\"\"\"x\"\"\"\n", 5);
  CsvReader reader(source);
  ASSERT_TRUE(reader.Start(','));
  CsvRow row;
  ASSERT_TRUE(reader.Next(row));
  const std::vector<std::string_view> fields = reader.Fields(row);
  EXPECT_EQ(fields, (std::vector<std::string_view>{"\"Име, презиме\"", "ЕГН;\"\"\"x\"\"\""}));
  EXPECT_EQ(row.fields, 2u);
}

std::string Repeated(std::string_view text, std::size_t times) {
  std::string repeated;
  for (std::size_t i = 0; i < times; ++i) repeated += text;
  return repeated;
}

// A start of ASCII alone does not tell the encoding: a file is read on to
// its first byte beyond ASCII, and again from its start; --encoding
// overrides every guess, and a mark is a mark only of its own encoding.
TEST(CsvReader, TheEncodingOfAStartOfAsciiAndAGivenOne) {
  const std::string ascii = "a;b\n" + Repeated("x;1\n", 20000);
  const struct {
    const char* name;
    std::string bytes;
    std::optional<Encoding> given;
    Encoding encoding;
    std::string mark, first_row;  // the first row as read
    std::size_t rows;
    std::string last_cell;
  } cases[] = {
      {"Windows-1251 after 80 000 bytes of ASCII", ascii + "\xC8\xE2\xE0\xED;2\n", std::nullopt,
       Encoding::kWindows1251, "", "a;b", 20002, "2"},
      {"UTF-8 after them", ascii + "Иван;3\n", std::nullopt, Encoding::kUtf8, "", "a;b", 20002,
       "3"},
      {"ASCII alone", ascii, std::nullopt, Encoding::kUtf8, "", "a;b", 20001, "1"},
      {"Windows-1251 given for well-formed UTF-8", "ЕГН;x\n", Encoding::kWindows1251,
       Encoding::kWindows1251, "", "ЕГН;x", 1, "x"},
      {"UTF-8 given, with its mark",
       "\xEF\xBB\xBF"
       "a;b\n",
       Encoding::kUtf8, Encoding::kUtf8, "\xEF\xBB\xBF", "a;b", 1, "b"},
      {"Windows-1251 given for a file with UTF-8's mark",
       "\xEF\xBB\xBF"
       "a;b\n",
       Encoding::kWindows1251, Encoding::kWindows1251, "",
       "\xEF\xBB\xBF"
       "a;b",
       1, "b"},
      {"UTF-16BE given without a mark", "\0a\0;\0b\0\n"s, Encoding::kUtf16Be, Encoding::kUtf16Be,
       "", "\0a\0;\0b"s, 1, "\0b"s},
  };
  for (const auto& c : cases) {
    for (const std::size_t piece : {7, 1 << 16}) {
      SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
      PieceSource source(c.bytes, piece, false, true);
      CsvReader reader(source, {}, 64);
      ASSERT_TRUE(reader.Start(std::nullopt, c.given));
      EXPECT_EQ(reader.encoding(), c.encoding);
      EXPECT_EQ(reader.mark(), c.mark);
      reader.Select(1);
      CsvRow row;
      std::size_t rows = 0;
      std::string first, last;
      while (reader.Next(row)) {
        if (rows++ == 0) first = row.bytes;
        last = row.cell;
      }
      EXPECT_EQ(reader.problem(), CsvReader::Problem::kNone) << reader.what();
      EXPECT_EQ(first, c.first_row);
      EXPECT_EQ(rows, c.rows);
      EXPECT_EQ(last, c.last_cell);
    }
  }
}

// A row read in small pieces, as a slow pipe gives it, goes on from where its
// reading stood after every read: rows of 300 KB, with quotes and without,
// in pieces of 16 bytes, come out whole with their lines. (How long it
// takes is for a benchmark to say, not for a test.)
TEST(CsvReader, ALongRowInSmallPiecesComesOutWhole) {
  const std::string plain = std::string(300'000, 'x') + ";8001010008\r\n";
  // Appended, not added with '+': GCC 12 at -O3 takes a C string before a
  // temporary string for an overlapping copy (-Wrestrict).
  const std::string quoted = std::string("\"").append(300'000, 'y').append("\n\";8001010008\r");
  PieceSource source(std::string("a;b\n").append(quoted).append(plain).append(quoted).append(plain),
                     16);
  CsvReader reader(source, {}, 400'000);  // the start read at once ends in the first plain row
  ASSERT_TRUE(reader.Start(std::nullopt));
  reader.Select(1);
  CsvRow row;
  std::vector<std::pair<std::size_t, std::string>> rows;  // line and cell
  while (reader.Next(row)) rows.emplace_back(row.line, row.cell);
  EXPECT_EQ(reader.problem(), CsvReader::Problem::kNone);
  EXPECT_EQ(
      rows,
      (std::vector<std::pair<std::size_t, std::string>>{
          {1, "b"}, {2, "8001010008"}, {4, "8001010008"}, {5, "8001010008"}, {7, "8001010008"}}));
}

// Where a file stops being readable, and the line that says so.
TEST(CsvReader, ProblemsAndTheirLines) {
  const struct {
    const char* name;
    std::string bytes;
    bool fail;
    CsvReader::Problem problem;
    std::size_t line;
    std::size_t rows;  // read before it
    std::string what;
  } cases[] = {
      {"an open quote", "a;b\n1;\"2\n3", false, CsvReader::Problem::kOpenQuote, 2, 1, ""},
      {"a long row", "a;b\n" + std::string(40, 'x') + "\n", false, CsvReader::Problem::kTooLong, 2,
       1, ""},
      {"a long quoted field", "a;b\n1;\"\n\n" + std::string(40, 'x'), false,
       CsvReader::Problem::kTooLongInQuotes, 2, 1, ""},
      {"a zero byte", "a;b\n1;2\n3;\0\n4;5\n"s, false, CsvReader::Problem::kNotText, 3, 2,
       "файлът не е текст в UTF-8 (нулев байт)"},
      {"a zero byte on a row's second line", "a;\"b\n\0\"\n"s, false, CsvReader::Problem::kNotText,
       2, 0, "файлът не е текст в UTF-8 (нулев байт)"},
      // More ASCII than is read at first, from a pipe, which cannot be
      // read again: UTF-8 is a guess, and the message says so.
      {"Windows-1251 after a start of ASCII", "a;b\n" + Repeated("x\n", 35000) + "\xC8\xE2\n",
       false, CsvReader::Problem::kNotText, 35002, 35001,
       "файлът не е текст в UTF-8 (байтът 0xC8); ако е в Windows-1251, посочете го с --encoding "
       "windows-1251"},
      {"a byte Windows-1251 has no character for", "\xC5\xC3\xCD\n\x98\n", false,
       CsvReader::Problem::kNotText, 2, 1, "файлът не е текст в Windows-1251 (байтът 0x98)"},
      {"half a surrogate pair",
       std::string("\xFF\xFE"
                   "a\0\n\0\x00\xD8\n\0",
                   10),
       false, CsvReader::Problem::kNotText, 2, 1,
       "файлът не е текст в UTF-16 (сурогатът U+D800 е без двойката си)"},
      {"a zero unit",
       std::string("\xFF\xFE"
                   "a\0\n\0\0\0",
                   8),
       false, CsvReader::Problem::kNotText, 2, 1, "файлът не е текст в UTF-16 (нулев знак U+0000)"},
      {"an odd byte", "\xFE\xFF\0a\0\n\0"s, false, CsvReader::Problem::kNotText, 2, 1,
       "файлът не е текст в UTF-16 (входът свършва с нечетен байт)"},
      {"a read error", "a;b\n1;2\n3;4\n5;6\n7;8\n9;0\n1;2\n3;4\n5;6\n7;8\n", true,
       CsvReader::Problem::kReadFailed, 0, 10,
       std::strerror(EIO)},  // the source's own words, in the C library's language
  };
  for (const auto& c : cases) {
    for (const std::size_t piece : {1, 7, 1 << 16}) {
      SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
      PieceSource source(c.bytes, piece, c.fail);
      CsvReader reader(source, {}, 32);
      ASSERT_TRUE(reader.Start(std::nullopt));
      CsvRow row;
      std::size_t rows = 0;
      while (reader.Next(row)) ++rows;
      EXPECT_EQ(reader.problem(), c.problem);
      EXPECT_EQ(rows, c.rows);
      if (c.problem != CsvReader::Problem::kReadFailed) {
        EXPECT_EQ(reader.line(), c.line);
      }
      EXPECT_EQ(reader.what(), c.what);
      if (c.problem == CsvReader::Problem::kOpenQuote) {
        EXPECT_EQ(row.bytes, "1;\"2\n3");  // what is left, to be kept
      }
    }
  }
}

}  // namespace
}  // namespace egn::table
