#include "cli/options.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <string_view>

#include "number/region_names.h"

namespace egn::cli {

namespace {

using Problem = std::optional<std::string>;

std::optional<std::uint64_t> WholeNumber(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string Quoted(std::string_view text) { return "„" + std::string(text) + "“"; }

Problem ReadColumn(std::string_view v, Options& options) {
  if (v.find_first_not_of(" \t") == std::string_view::npos) {
    return "--column иска име или номер на колона";
  }
  options.column = std::string(v);
  if (v.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;  // a name
  const auto n = WholeNumber(v);
  if (n && *n == 0) return "--column иска номер на колона от 1 нагоре, а не " + Quoted(v);
  options.column_number = n && *n <= SIZE_MAX ? static_cast<std::size_t>(*n) : SIZE_MAX;
  return std::nullopt;
}

Problem ReadSeparator(std::string_view v, Options& options) {
  const bool other = v.size() == 1 && v[0] > ' ' && v[0] < 0x7F && v[0] != '"' &&
                     std::isalnum(static_cast<unsigned char>(v[0])) == 0;
  if (v != "tab" && v != "\t" && !other) {
    return "--separator иска „;“, „,“, tab или друг знак от ASCII, който не е буква, цифра "
           "или кавички, а не " +
           Quoted(v);
  }
  options.separator = v == "tab" ? '\t' : v[0];
  return std::nullopt;
}

Problem ReadEncoding(std::string_view v, Options& options) {
  std::string name(v);
  for (char& c : name) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  if (name == "utf-8") {
    options.encoding = Encoding::kUtf8;
  } else if (name == "windows-1251") {
    options.encoding = Encoding::kWindows1251;
  } else if (name == "utf-16le") {
    options.encoding = Encoding::kUtf16Le;
  } else if (name == "utf-16be") {
    options.encoding = Encoding::kUtf16Be;
  } else {
    return "--encoding иска utf-8, windows-1251, utf-16le или utf-16be, а не " + Quoted(v);
  }
  return std::nullopt;
}

Problem ReadSheet(std::string_view v, Options& options) {
  if (v.empty()) return "--sheet иска име или номер на лист";
  options.sheet = std::string(v);
  return std::nullopt;
}

Problem ReadOutput(std::string_view v, Options& options) {
  if (v.empty()) return "--output иска име на файл";
  options.output = std::string(v);
  return std::nullopt;
}

Problem ReadSummary(std::string_view v, Options& options) {
  if (v.empty()) return "--summary иска име на файл";
  options.summary = std::string(v);
  return std::nullopt;
}

Problem ReadSummaryRows(std::string_view v, Options& options) {
  options.summary_rows = WholeNumber(v);
  if (!options.summary_rows) return "--summary-rows иска цяло число от 0 нагоре, а не " + Quoted(v);
  return std::nullopt;
}

Problem ReadGenerate(std::string_view v, Options& options) {
  const auto count = WholeNumber(v);
  if (!count || *count == 0) return "--generate иска положително цяло число, а не " + Quoted(v);
  options.mode = Mode::kGenerate;
  options.count = *count;
  return std::nullopt;
}

Problem ReadBorn(std::string_view v, Options& options) {
  std::string problem;
  const auto range = number::ParseBorn(v, problem);
  if (!range) return "--born: " + problem;
  options.filters.born_from = range->first;
  options.filters.born_to = range->second;
  return std::nullopt;
}

Problem ReadSex(std::string_view v, Options& options) {
  if (v == "мъж" || v == "m") {
    options.filters.sex = number::Sex::kMale;
  } else if (v == "жена" || v == "f") {
    options.filters.sex = number::Sex::kFemale;
  } else {
    return "непознат пол " + Quoted(v) + ": мъж, жена, m или f";
  }
  return std::nullopt;
}

Problem ReadRegion(std::string_view v, Options& options) {
  std::string problem;
  options.filters.region = number::RegionNamed(v, problem);
  if (options.filters.region == nullptr) return problem;
  return std::nullopt;
}

Problem ReadSeed(std::string_view v, Options& options) {
  options.seed = WholeNumber(v);
  if (!options.seed) return "--seed иска цяло число от 0 нагоре, а не " + Quoted(v);
  return std::nullopt;
}

// An option that takes the next argument as its value.
struct ValueOption {
  std::string_view name;
  const char* missing;  // the problem when no argument follows
  Problem (*read)(std::string_view value, Options& options);
  bool filter;  // one of --generate's filters
};

constexpr ValueOption kValueOptions[] = {
    {"--column", "--column иска име или номер на колона", ReadColumn, false},
    {"--separator", "--separator иска знак", ReadSeparator, false},
    {"--encoding", "--encoding иска кодировка", ReadEncoding, false},
    {"--sheet", "--sheet иска име или номер на лист", ReadSheet, false},
    {"--output", "--output иска име на файл", ReadOutput, false},
    {"--summary", "--summary иска име на файл", ReadSummary, false},
    {"--summary-rows", "--summary-rows иска брой", ReadSummaryRows, false},
    {"--generate", "--generate иска брой", ReadGenerate, false},
    {"--born", "--born иска дата или период", ReadBorn, true},
    {"--sex", "--sex иска пол", ReadSex, true},
    {"--region", "--region иска област", ReadRegion, true},
    {"--seed", "--seed иска число", ReadSeed, true},
};

// An option alone; false when `arg` is none.
bool ReadFlag(std::string_view arg, Options& options) {
  if (arg == "--explain") {
    options.explain = true;
  } else if (arg == "--bom") {
    options.bom = true;
  } else if (arg == "--json") {
    options.format = Format::kJson;
  } else if (arg == "--decode") {
    options.mode = Mode::kDecode;
  } else if (arg == "--utf8") {
    options.utf8 = true;
  } else {
    return false;
  }
  return true;
}

// The options that do not go together, once all are read.
Problem CheckTogether(const Options& options, bool any_filter) {
  if (options.mode != Mode::kGenerate && any_filter) {
    return "--born, --sex, --region и --seed са само за --generate";
  }
  if (options.mode == Mode::kGenerate && !options.numbers.empty()) {
    return "--generate не чете числа";
  }
  if (options.mode != Mode::kCheck && options.explain) {
    return "--explain е само за проверката на контролната цифра";
  }
  if (!options.column && (options.separator || options.utf8)) {
    return "--separator и --utf8 са само за --column";
  }
  if (!options.column && options.encoding) return "--encoding е само за --column";
  if (!options.column && options.sheet) return "--sheet е само за --column";
  if (!options.column && options.summary) return "--summary е само за --column";
  if (!options.summary && options.summary_rows) return "--summary-rows е само за --summary";
  if (!options.column) return std::nullopt;
  if (options.mode == Mode::kGenerate) return "--generate не чете колона";
  if (options.numbers.size() > 1) {
    return "--column чете един файл, а са дадени " + std::to_string(options.numbers.size());
  }
  if (options.format == Format::kJson && options.utf8) return "--utf8 е за CSV, а не за --json";
  if (options.format != Format::kJson && options.bom) {
    return "--bom не е за CSV: --utf8 го записва в UTF-8 с BOM";
  }
  return std::nullopt;
}

CommandLine Misuse(std::string problem) {
  CommandLine misuse;
  misuse.action = CommandLine::Action::kMisuse;
  misuse.problem = std::move(problem);
  return misuse;
}

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  Options& options = line.options;
  bool any_filter = false;
  bool read_options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (!read_options || arg.size() < 2 || arg.front() != '-') {
      options.numbers.emplace_back(arg);
    } else if (arg == "--") {
      read_options = false;
    } else if (arg == "--help" || arg == "--version") {
      line.action = arg == "--help" ? CommandLine::Action::kHelp : CommandLine::Action::kVersion;
      return line;
    } else if (!ReadFlag(arg, options)) {
      const ValueOption* option = nullptr;
      for (const ValueOption& known : kValueOptions) {
        if (known.name == arg) option = &known;
      }
      if (option == nullptr) return Misuse("непозната опция " + Quoted(arg));
      if (i + 1 >= args.size()) return Misuse(option->missing);
      if (auto problem = option->read(args[++i], options)) return Misuse(std::move(*problem));
      any_filter = any_filter || option->filter;
    }
  }
  if (auto problem = CheckTogether(options, any_filter)) return Misuse(std::move(*problem));
  return line;
}

}  // namespace egn::cli
