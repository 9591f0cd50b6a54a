#include "table/csv_writer.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "table/columns.h"
#include "table/csv_reader.h"
#include "table/encodings.h"

namespace egn::table {
namespace {

using namespace std::string_literals;

// A row as the reader gives it, its bytes and line end in `encoding`.
struct RowText {
  std::string bytes, line_end;
  bool all_quoted = false;
};

std::string In(Encoding encoding, std::string_view utf8) {
  std::string bytes;
  AppendEncoded(bytes, utf8, encoding);
  return bytes;
}

CsvRow Row(const RowText& text) {
  CsvRow row;
  row.bytes = text.bytes;
  row.line_end = text.line_end;
  row.fields = text.bytes.empty() ? 0 : 1;
  row.all_quoted = text.all_quoted;
  return row;
}

Columns Of(const std::vector<std::string>& texts) {
  Columns columns;
  for (const std::string& text : texts) columns.Add(text);
  return columns;
}

// The appended fields after the row's bytes, before its line end: quoted
// where they must be, or all of them in a row that quotes every field; the
// separator and the line end the row's own. (UTF-8 to UTF-8.)
// One field as the sheets of a workbook go out as CSV: quoted only where it
// must be, found eight bytes at a time and in the bytes after them.
TEST(CsvField, QuotedWhereItMustBe) {
  const struct {
    std::string text;
    char separator;
    std::string field;
  } cases[] = {
      {"", ';', ""},
      {"Иван Петров", ';', "Иван Петров"},
      {"Иван; Петров", ';', "\"Иван; Петров\""},
      {"Иван; Петров", ',', "Иван; Петров"},
      {"бел\"ка", ';', "\"бел\"\"ка\""},
      {"12345678\r", ';', "\"12345678\r\""},
      {"1234567\n9", ';', "\"1234567\n9\""},
      {"1234567890\t", '\t', "\"1234567890\t\""},
  };
  for (const auto& c : cases) {
    std::string out;
    if (NeedsQuotes(c.text, c.separator)) {
      AppendQuoted(out, c.text);
    } else {
      out += c.text;
    }
    EXPECT_EQ(out, c.field) << c.text;
  }
}

TEST(CsvWriter, QuotingSeparatorsAndLineEnds) {
  const struct {
    const char* name;
    char separator;
    RowText row;
    std::vector<std::string> columns;
    std::size_t padding;
    std::string written;
  } cases[] = {
      {"plain", ';', {"a;b", "\n"}, {"валиден", "7"}, 0, "a;b;валиден;7\n"},
      {"CR LF kept", ';', {"a;b", "\r\n"}, {"x"}, 0, "a;b;x\r\n"},
      {"CR alone kept", ',', {"a,b", "\r"}, {"x"}, 0, "a,b,x\r"},
      {"a last row without its end", '\t', {"a\tb", ""}, {"x", "y"}, 0, "a\tb\tx\ty"},
      {"the separator quoted", ',', {"a,b", "\n"}, {"1,5", "y"}, 0, "a,b,\"1,5\",y\n"},
      {"another separator not", ';', {"a;b", "\n"}, {"1,5", "y"}, 0, "a;b;1,5;y\n"},
      {"a quote doubled", ';', {"a", "\n"}, {"знакът „\"“"}, 0, "a;\"знакът „\"\"“\"\n"},
      {"a line break quoted", ';', {"a", "\n"}, {"1\n2", "3\r"}, 0, "a;\"1\n2\";\"3\r\"\n"},
      {"a tab quoted where it separates", '\t', {"a", "\n"}, {"1\t2", "3"}, 0, "a\t\"1\t2\"\t3\n"},
      {"every field of a quoted row",
       ';',
       {R"("a";"b")", "\n", true},
       {"x", ""},
       0,
       "\"a\";\"b\";\"x\";\"\"\n"},
      {"padding before them", ';', {"a", "\n"}, {"x"}, 2, "a;;;x\n"},
      {"padding, quoted", ';', {"a", "\n"}, {"x;y"}, 1, "a;;\"x;y\"\n"},
      {"none appended", ';', {"a", "\n"}, {}, 0, "a\n"},
  };
  for (const auto& c : cases) {
    CsvWriter writer(Encoding::kUtf8, Encoding::kUtf8, c.separator);
    const Columns columns = Of(c.columns);
    std::string out = "before|";
    writer.Row(out, Row(c.row), &columns, c.padding);
    EXPECT_EQ(out, "before|" + c.written) << c.name;
  }
}

// The row's bytes kept in the file's encoding, the appended fields written
// in it; or everything in UTF-8 when that is asked for.
TEST(CsvWriter, Encodings) {
  const struct {
    Encoding from, to;
  } cases[] = {
      {Encoding::kUtf8, Encoding::kUtf8},        {Encoding::kWindows1251, Encoding::kWindows1251},
      {Encoding::kWindows1251, Encoding::kUtf8}, {Encoding::kUtf16Le, Encoding::kUtf16Le},
      {Encoding::kUtf16Be, Encoding::kUtf16Be},  {Encoding::kUtf16Le, Encoding::kUtf8},
      {Encoding::kUtf16Be, Encoding::kUtf8},
  };
  // Plain fields (in place), one with a character А…я lacks, and quoted ones.
  const struct {
    std::vector<std::string> columns;
    std::string written;
  } rows[] = {
      {{"валиден", "7"}, "ЕГН;Име;валиден;7\r\n"},
      {{"ѝ € „х“", "😀"}, "ЕГН;Име;ѝ € „х“;😀\r\n"},
      {{"a;b", "\"к\""}, "ЕГН;Име;\"a;b\";\"\"\"к\"\"\"\r\n"},
  };
  for (const auto& c : cases) {
    for (const auto& r : rows) {
      const std::string bytes = In(c.from, "ЕГН;Име"), line_end = In(c.from, "\r\n");
      CsvWriter writer(c.from, c.to, ';');
      const Columns columns = Of(r.columns);
      std::string out;
      writer.Row(out, Row({bytes, line_end}), &columns, 0);
      std::string expected;
      if (c.to == Encoding::kWindows1251) {
        // What Windows-1251 lacks is a question mark.
        AppendEncoded(expected, r.written, c.to);
      } else {
        expected = In(c.to, r.written);
      }
      EXPECT_EQ(out, expected) << EncodingName(c.from) << " " << static_cast<int>(c.from) << " → "
                               << static_cast<int>(c.to) << " " << r.written;
    }
  }
  // Windows-1251's question marks, exactly.
  CsvWriter writer(Encoding::kWindows1251, Encoding::kWindows1251, ';');
  const Columns columns = Of({"ѝ € я", "😀"});
  std::string out;
  writer.Row(out, Row({"1", "\n"}), &columns, 0);
  EXPECT_EQ(out, "1;? \x88 \xFF;?\n");
}

// A row longer than the header row: the columns where the header's fields
// end, its other fields after them; and bytes kept as they are.
TEST(CsvWriter, ColumnsInsideALongRowAndBytesKept) {
  const struct {
    Encoding from, to;
    std::string row;
    std::size_t at;
    std::string written;
  } cases[] = {
      {Encoding::kUtf8, Encoding::kUtf8, "a;b;c", 3, "a;b;x;\"y;z\";c\n"},
      {Encoding::kWindows1251, Encoding::kUtf8, "\xE0;\xFF", 1, "а;x;\"y;z\";я\n"},
      {Encoding::kUtf16Le, Encoding::kUtf16Le, "a\0;\0b\0"s, 2,
       In(Encoding::kUtf16Le, "a;x;\"y;z\";b\n")},
  };
  for (const auto& c : cases) {
    CsvWriter writer(c.from, c.to, ';');
    const Columns columns = Of({"x", "y;z"});
    const std::string line_end = In(c.from, "\n");
    std::string out;
    writer.RowWithColumnsAt(out, Row({c.row, line_end}), columns, c.at);
    EXPECT_EQ(out, c.written) << static_cast<int>(c.from);
  }
  CsvWriter same(Encoding::kWindows1251, Encoding::kWindows1251, ';');
  std::string out;
  same.Keep(out, "\xE0\x98\0"s);  // as it is, what is no text too
  EXPECT_EQ(out, "\xE0\x98\0"s);
  CsvWriter to_utf8(Encoding::kWindows1251, Encoding::kUtf8, ';');
  out.clear();
  to_utf8.Keep(out, "\xE0\x98");
  EXPECT_EQ(out, "а\xEF\xBF\xBD");  // no character: U+FFFD
  // An empty row stays empty.
  out.clear();
  same.Row(out, Row({"", "\r\n"}), nullptr, 0);
  EXPECT_EQ(out, "\r\n");
}

}  // namespace
}  // namespace egn::table
