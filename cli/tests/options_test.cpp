#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace egn::cli {
namespace {

using Action = CommandLine::Action;

struct MisuseCase {
  std::vector<std::string> args;
  std::string problem;
};

// Every misuse gives its own message, exactly; the first one decides.
TEST(CommandLine, MisuseGivesItsMessage) {
  const MisuseCase cases[] = {
      {{"--frobnicate"}, "непозната опция „--frobnicate“"},
      {{"-x", "--help"}, "непозната опция „-x“"},
      {{"--column"}, "--column иска име или номер на колона"},
      {{"--column", " \t"}, "--column иска име или номер на колона"},
      {{"--column", "0"}, "--column иска номер на колона от 1 нагоре, а не „0“"},
      {{"--column", "000"}, "--column иска номер на колона от 1 нагоре, а не „000“"},
      {{"--separator"}, "--separator иска знак"},
      {{"--column", "1", "--separator", "a"},
       "--separator иска „;“, „,“, tab или друг знак от ASCII, който не е буква, цифра или "
       "кавички, а не „a“"},
      {{"--column", "1", "--separator", "\""},
       "--separator иска „;“, „,“, tab или друг знак от ASCII, който не е буква, цифра или "
       "кавички, а не „\"“"},
      {{"--column", "1", "--separator", ";;"},
       "--separator иска „;“, „,“, tab или друг знак от ASCII, който не е буква, цифра или "
       "кавички, а не „;;“"},
      {{"--encoding"}, "--encoding иска кодировка"},
      {{"--column", "1", "--encoding", "koi8-r"},
       "--encoding иска utf-8, windows-1251, utf-16le или utf-16be, а не „koi8-r“"},
      {{"--sheet"}, "--sheet иска име или номер на лист"},
      {{"--column", "1", "--sheet", ""}, "--sheet иска име или номер на лист"},
      {{"--output"}, "--output иска име на файл"},
      {{"--output", ""}, "--output иска име на файл"},
      {{"--column", "1", "--summary"}, "--summary иска име на файл"},
      {{"--summary", ""}, "--summary иска име на файл"},
      {{"--column", "1", "--summary", "с", "--summary-rows"}, "--summary-rows иска брой"},
      {{"--column", "1", "--summary", "с", "--summary-rows", "-1"},
       "--summary-rows иска цяло число от 0 нагоре, а не „-1“"},
      {{"--column", "1", "--summary", "с", "--summary-rows", "2x"},
       "--summary-rows иска цяло число от 0 нагоре, а не „2x“"},
      {{"--generate"}, "--generate иска брой"},
      {{"--generate", "0"}, "--generate иска положително цяло число, а не „0“"},
      {{"--generate", "-1"}, "--generate иска положително цяло число, а не „-1“"},
      {{"--generate", "99999999999999999999"},
       "--generate иска положително цяло число, а не „99999999999999999999“"},
      {{"--born"}, "--born иска дата или период"},
      {{"--generate", "1", "--born", "вчера"},
       "--born: „вчера“ не е дата ГГГГ-ММ-ДД, месец ГГГГ-ММ или година ГГГГ"},
      {{"--sex"}, "--sex иска пол"},
      {{"--generate", "1", "--sex", "x"}, "непознат пол „x“: мъж, жена, m или f"},
      {{"--region"}, "--region иска област"},
      {{"--generate", "1", "--region", "Атлантида"},
       "няма област „Атлантида“ в списъка (например „Варна“, „София - град“)"},
      {{"--seed"}, "--seed иска число"},
      {{"--generate", "1", "--seed", "1.5"}, "--seed иска цяло число от 0 нагоре, а не „1.5“"},
      {{"--seed", "1"}, "--born, --sex, --region и --seed са само за --generate"},
      {{"--sex", "f", "--decode"}, "--born, --sex, --region и --seed са само за --generate"},
      {{"--generate", "1", "7523169263"}, "--generate не чете числа"},
      {{"--decode", "--explain"}, "--explain е само за проверката на контролната цифра"},
      {{"--generate", "1", "--explain"}, "--explain е само за проверката на контролната цифра"},
      {{"--separator", ";"}, "--separator и --utf8 са само за --column"},
      {{"--utf8"}, "--separator и --utf8 са само за --column"},
      {{"--encoding", "utf-8"}, "--encoding е само за --column"},
      {{"--sheet", "1"}, "--sheet е само за --column"},
      {{"--summary", "сводка.jsonl"}, "--summary е само за --column"},
      {{"--column", "1", "--summary-rows", "5"}, "--summary-rows е само за --summary"},
      {{"--column", "1", "--generate", "1"}, "--generate не чете колона"},
      {{"--column", "1", "a.csv", "b.csv"}, "--column чете един файл, а са дадени 2"},
      {{"--column", "1", "--json", "--utf8"}, "--utf8 е за CSV, а не за --json"},
      {{"--column", "1", "--bom"}, "--bom не е за CSV: --utf8 го записва в UTF-8 с BOM"},
  };
  for (const MisuseCase& c : cases) {
    const CommandLine line = ReadCommandLine(c.args);
    EXPECT_EQ(line.action, Action::kMisuse) << c.problem;
    EXPECT_EQ(line.problem, c.problem);
  }
}

struct ShowCase {
  std::vector<std::string> args;
  Action action;
};

// --help and --version answer as soon as they come, before what follows
// them is read and before the options are checked together.
TEST(CommandLine, HelpAndVersionComeBeforeLaterMisuse) {
  const ShowCase cases[] = {
      {{"--help"}, Action::kHelp},
      {{"--version"}, Action::kVersion},
      {{"--help", "--version"}, Action::kHelp},
      {{"--version", "--help"}, Action::kVersion},
      {{"--help", "--frobnicate"}, Action::kHelp},
      {{"--decode", "--explain", "--help"}, Action::kHelp},
      {{"--seed", "1", "--version"}, Action::kVersion},
      {{"--", "--help"}, Action::kRun},
      {{"--output", "--help"}, Action::kRun},
  };
  for (const ShowCase& c : cases) {
    EXPECT_EQ(ReadCommandLine(c.args).action, c.action) << c.args.back();
  }
}

// Numbers, files and values as the run gets them.
TEST(CommandLine, RunGetsWhatWasAsked) {
  {
    const CommandLine line = ReadCommandLine({"7523169263", "-", "--", "--json", "-5"});
    ASSERT_EQ(line.action, Action::kRun);
    EXPECT_EQ(line.options.numbers, (std::vector<std::string>{"7523169263", "-", "--json", "-5"}));
    EXPECT_EQ(line.options.format, Format::kText);
    EXPECT_EQ(line.options.mode, Mode::kCheck);
  }
  {
    const CommandLine line =
        ReadCommandLine({"--column", "ЕГН", "--separator", "tab", "--encoding", "Windows-1251",
                         "--utf8", "--output", "изход.csv", "--summary", "сводка.jsonl",
                         "--summary-rows", "0", "--decode", "вход.csv"});
    ASSERT_EQ(line.action, Action::kRun) << line.problem;
    EXPECT_EQ(line.options.column, "ЕГН");
    EXPECT_FALSE(line.options.column_number.has_value());
    EXPECT_EQ(line.options.separator, '\t');
    EXPECT_EQ(line.options.encoding, Encoding::kWindows1251);
    EXPECT_TRUE(line.options.utf8);
    EXPECT_EQ(line.options.output, "изход.csv");
    EXPECT_EQ(line.options.summary, "сводка.jsonl");
    EXPECT_EQ(line.options.summary_rows, 0U);
    EXPECT_EQ(line.options.mode, Mode::kDecode);
    EXPECT_EQ(line.options.numbers, std::vector<std::string>{"вход.csv"});
  }
  {
    const std::pair<std::string, std::size_t> columns[] = {
        {"3", 3}, {"007", 7}, {"99999999999999999999999", SIZE_MAX}};
    for (const auto& [typed, number] : columns) {
      const CommandLine line = ReadCommandLine({"--column", typed, "--json", "--bom"});
      ASSERT_EQ(line.action, Action::kRun) << line.problem;
      EXPECT_EQ(line.options.column_number, number) << typed;
    }
  }
  {
    const CommandLine line = ReadCommandLine(
        {"--generate", "5", "--sex", "жена", "--seed", "0", "--born", "1990", "--json"});
    ASSERT_EQ(line.action, Action::kRun) << line.problem;
    EXPECT_EQ(line.options.mode, Mode::kGenerate);
    EXPECT_EQ(line.options.count, 5U);
    EXPECT_EQ(line.options.seed, 0U);
    EXPECT_EQ(line.options.filters.sex, number::Sex::kFemale);
    EXPECT_EQ(line.options.format, Format::kJson);
  }
}

}  // namespace
}  // namespace egn::cli
