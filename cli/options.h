// egn-digit's command line read into what a run needs, or into the one
// message that tells the user how it was misused. Nothing here writes or
// opens anything: --help and --version are answered by the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/number_reader.h"
#include "cli/records.h"
#include "number/generator.h"

namespace egn::cli {

enum class Mode { kCheck, kDecode, kGenerate };

struct Options {
  Mode mode = Mode::kCheck;
  bool explain = false;
  bool bom = false;
  Format format = Format::kText;
  std::uint64_t count = 0;  // --generate
  number::Filters filters;
  std::optional<std::uint64_t> seed;
  std::vector<std::string> numbers;  // with --column: the file
  std::optional<std::string> column;
  std::optional<std::size_t> column_number;  // when `column` is digits alone
  std::optional<char> separator;
  std::optional<Encoding> encoding;
  bool utf8 = false;
  std::optional<std::string> output;  // --output: the file, instead of standard output
  std::optional<std::string> sheet;   // --sheet: a workbook's sheet, by name or number
  // --summary: the file that gets the rows to look at and the counts (with --column)
  std::optional<std::string> summary;
  // --summary-rows: the records of only the first rows to look at (the
  // others counted), for a reader that shows no more than that
  std::optional<std::uint64_t> summary_rows;
};

// What the command line asks for.
struct CommandLine {
  enum class Action {
    kRun,      // `options` says what
    kHelp,     // --help came before any misuse
    kVersion,  // --version came before any misuse
    kMisuse,   // `problem` says how, without the program's name
  };
  Action action = Action::kRun;
  Options options;
  std::string problem;
};

// Reads `args`, the arguments after the program's name, from left to right:
// the first misuse, --help or --version decides; after the last argument,
// options that do not go together are misuse.
CommandLine ReadCommandLine(const std::vector<std::string>& args);

}  // namespace egn::cli
