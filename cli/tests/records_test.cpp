#include "cli/records.h"

#include <gtest/gtest.h>

#include <string>

#include "calc/check_digit.h"
#include "runtime/core/conversions.h"

namespace egn::cli {
namespace {

TEST(Records, JsonStringsEscapeWhatJsonRequires) {
  const std::pair<std::string, std::string> cases[] = {
      {"Смолян", "\"Смолян\""},
      {"a\"b\\c", R"("a\"b\\c")"},
      {std::string("\x01\t\n\x1f\x7f", 5), R"("\u0001\u0009\u000a\u001f\u007f")"},
      {"„x“ 😀", "\"„x“ 😀\""},
  };
  for (const auto& [text, json] : cases) {
    std::string out;
    AppendJsonString(out, text);
    EXPECT_EQ(out, json) << text;
  }
}

// The window's two lines, as egn-digit --explain gives them, are exactly the
// window's own, without their CR LF.
TEST(Records, ExplainGivesTheWindowsOwnLines) {
  for (const char* nine : {"123456789", "000000000", "999999999", "800101000"}) {
    calc::PositionTexts digits, weights{u"2", u"4", u"8", u"5", u"10", u"9", u"7", u"3", u"6"};
    for (std::size_t i = 0; i < 9; ++i)
      digits[i] = std::u16string(1, static_cast<char16_t>(nine[i]));
    const calc::CheckDigitResult window = calc::ComputeCheckDigit(digits, weights);
    const std::string sum_line = runtime::ToUtf8(window.sum_line);
    const std::string digit_line = runtime::ToUtf8(window.digit_line);
    std::string out;
    AppendCheck(out, Format::kText, nine, true);
    EXPECT_EQ(out, std::string(nine) + "\t" + nine + runtime::ToUtf8(window.digit_text) + "\t" +
                       sum_line.substr(0, sum_line.size() - 2) + "\t" +
                       digit_line.substr(0, digit_line.size() - 2) + "\n");
  }
}

TEST(Records, DecodeRecordsInTextAndJson) {
  std::string text, json;
  EXPECT_FALSE(AppendDecode(text, Format::kText, "8013010000"));
  EXPECT_EQ(text,
            "8013010000\tневалидно\t-\tмъж\tБлагоевград\t"
            "контролната цифра трябва да е 4; датата на раждане е невъзможна\n");
  EXPECT_TRUE(AppendDecode(json, Format::kJson, "8001019983"));
  EXPECT_EQ(json, R"({"number":"8001019983","valid":true,"birth_date":"1980-01-01","sex":"мъж",)"
                  R"("region":null,"check_digit_ok":true,"date_ok":true})"
                  "\n");
}

// The columns appended to a row of a CSV file, joined here by '|'.
TEST(Records, ColumnsOfEveryKindOfNumber) {
  const auto joined = [](const Columns& columns) {
    std::string text;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) text += '|';  // (not "|" + a string: GCC 12 at -O3 warns of that)
      text += columns[i];
    }
    return text;
  };
  const struct {
    bool decode, explain;
    const char* digits;
    std::size_t lost_zeros;
    const char* columns;
    bool right;
  } cases[] = {
      {false, false, "123456789", 0, "1234567890||", true},
      {false, false, "1234567890", 0, "вярна||", true},
      {false, true, "1234567891", 0, "невярна|0|285|0|", false},
      {false, false, "0551267871", 1, "вярна||водещата нула е изгубена: 0551267871", true},
      {true, false, "0041010002", 2,
       "валидно|2000-01-01|мъж|Благоевград|двете водещи нули са изгубени: 0041010002", true},
      {true, false, "8013010000", 0,
       "невалидно|-|мъж|Благоевград|контролната цифра трябва да е 4; датата на раждане е "
       "невъзможна",
       false},
      {true, false, "8001019983", 0, "валидно|1980-01-01|мъж|неизвестна област|", true},
  };
  for (const auto& c : cases) {
    Columns columns;
    const bool right = c.decode ? DecodeColumns(columns, c.digits, {0, c.lost_zeros})
                                : CheckColumns(columns, c.digits, c.explain, {0, c.lost_zeros});
    EXPECT_EQ(joined(columns), c.columns) << c.digits;
    EXPECT_EQ(right, c.right) << c.digits;
    // As many as their names, and as an error's.
    Columns names, error;
    ColumnNames(names, c.decode, c.explain);
    ErrorColumns(error, c.decode, c.explain, "защо");
    EXPECT_EQ(names.size(), columns.size());
    EXPECT_EQ(error.size(), columns.size());
    EXPECT_EQ(error[0], "грешка");
    EXPECT_EQ(error[error.size() - 1], "защо");
  }
  Columns names;
  ColumnNames(names, true, false);
  EXPECT_EQ(joined(names), "Валидност|Дата на раждане|Пол|Област|Бележка");
  ColumnNames(names, false, true);
  EXPECT_EQ(joined(names), "Резултат|Вярна цифра|Изчислена сума|Последно число|Бележка");
}

}  // namespace
}  // namespace egn::cli
