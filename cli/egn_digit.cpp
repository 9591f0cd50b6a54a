// egn-digit: the control digit of many ЕГН numbers at once, from the command
// line or a stream, one output line for every number read, in input order;
// with --decode everything a number holds, with --generate valid numbers for
// test data. The control digit is the window's rule in integers, held to the
// window's ComputeCheckDigit by the tests.
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "cli/column_common.h"
#include "cli/console.h"
#include "cli/csv_mode.h"
#include "cli/number_reader.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/records.h"
#include "cli/workbook_mode.h"
#include "number/generator.h"
#include "number/number_rules.h"

namespace {

using egn::cli::Checked;
using egn::cli::Format;
using egn::cli::kAllRight;
using egn::cli::kBadInput;
using egn::cli::kWrongDigit;
using egn::cli::Mode;
using egn::cli::Options;
using egn::cli::Output;
using egn::cli::Say;
using egn::cli::Verdict;

constexpr const char* kHelp =
    "Употреба: egn-digit [--explain] [--json] [--bom] [--output ИЗХОД] [ЧИСЛО]...\n"
    "       egn-digit --decode [--json] [--bom] [--output ИЗХОД] [ЧИСЛО]...\n"
    "       egn-digit --generate N [--born ОТ[..ДО]] [--sex мъж|жена] [--region ОБЛАСТ]\n"
    "                 [--seed S] [--json] [--bom] [--output ИЗХОД]\n"
    "       egn-digit --column ИМЕ|N [--decode] [--explain] [--json] [--separator З]\n"
    "                 [--encoding КОДИРОВКА] [--utf8] [--output ИЗХОД]\n"
    "                 [--summary СВОДКА [--summary-rows N]] [ФАЙЛ]\n"
    "       egn-digit --column ИМЕ|N [--sheet ЛИСТ] [--decode] [--explain] [--json]\n"
    "                 [--output ИЗХОД] [--summary СВОДКА [--summary-rows N]]\n"
    "                 КНИГА.xlsx|КНИГА.ods\n"
    "Изчислява контролната (десетата) цифра на ЕГН, разчита цели номера и създава\n"
    "валидни номера за тестови данни.\n"
    "\n"
    "Числата се дават като аргументи или, без аргументи, по едно на ред на\n"
    "стандартния вход (в UTF-8 или UTF-16, с BOM или без; редове с CR LF или\n"
    "LF; интервалите около числото и празните редове не се вземат предвид).\n"
    "За всяко прочетено число се извежда точно един ред, в реда на входа, с\n"
    "полета, разделени с табулация:\n"
    "  9 цифри   числото и цялото десетцифрено число с контролната му цифра;\n"
    "  10 цифри  числото и „вярна“ или „невярна“ за десетата му цифра, а при\n"
    "            „невярна“ и правилната цифра;\n"
    "  друго     „грешка“; какво не е наред, с номера на реда или на\n"
    "            аргумента, се казва след това на стандартния изход за грешки.\n"
    "Така се проверява само контролната цифра: датата и кодът на областта не се\n"
    "проверяват, така че „вярна“ не значи, че ЕГН е валидно. Девет цифри, които\n"
    "с 0 отпред са валидно ЕГН на роден в 2000-2009 г. (клетка на таблица, която\n"
    "го е пазила като число, губи нулата), дават и предупреждение.\n"
    "\n"
    "  --explain   добавя двата реда на прозореца като полета:\n"
    "              „Изчислена сума: “ със сумата и „Последно число: “ с цифрата\n"
    "  --decode    разчита десетцифрени номера: числото; „валидно“ или\n"
    "              „невалидно“; датата на раждане (ГГГГ-ММ-ДД, „-“ за невъзможна\n"
    "              дата); „мъж“ или „жена“; областта от списъка на прозореца\n"
    "              („неизвестна област“ за кодове 926-999, което не прави номера\n"
    "              невалиден); при „невалидно“ и защо. Месецът казва века:\n"
    "              1-12 за 1900-1999, 21-32 за 1800-1899, 41-52 за 2000-2099.\n"
    "              Девет цифри са „грешка“, освен ако с 0 отпред (осем: с 00) са\n"
    "              валидно ЕГН на роден в 2000-2009 г.: то се разчита, с бележка.\n"
    "  --generate N  извежда N валидни номера, по един на ред: истинска дата,\n"
    "              област от списъка, девета цифра с четността на пола и вярна\n"
    "              контролна цифра, избрани равномерно измежду допустимите:\n"
    "    --born ОТ[..ДО]  дати на раждане между 1800-01-01 и 2099-12-31\n"
    "                     (ГГГГ-ММ-ДД, ГГГГ-ММ или ГГГГ)\n"
    "    --sex мъж|жена   пол (също m|f)\n"
    "    --region ОБЛАСТ  област от списъка, с името ѝ там или с пълното\n"
    "                     (например „Варна“, „В. Търново“ или „Велико Търново“)\n"
    "    --seed S         същото S дава същите номера; без него всеки път други\n"
    "  --column ИМЕ|N  чете таблица в CSV от ФАЙЛ (или от стандартния вход) и\n"
    "              проверява (с --decode разчита) числата на една колона: по\n"
    "              името ѝ в заглавния ред (в какъвто и да е регистър; той е сред\n"
    "              първите 100 реда, над него може да има заглавия) или\n"
    "              по номера ѝ от 1. Извежда същата таблица, всеки байт от нея, с\n"
    "              колони отзад: „Резултат“, „Вярна цифра“ и „Бележка“ (с --decode\n"
    "              „Валидност“, „Дата на раждане“, „Пол“, „Област“, „Бележка“);\n"
    "              с --json по един обект на ред от таблицата, с номера на реда.\n"
    "              Кодировката: по BOM UTF-8 или UTF-16, иначе UTF-8, ако първият\n"
    "              MiB е текст в UTF-8, иначе Windows-1251 (файл, който започва\n"
    "              само с ASCII, се чете до първия друг знак). Разделителят: „;“,\n"
    "              табулация или „,“, който дели първите редове на еднакъв брой\n"
    "              полета. Редовете свършват с CR LF, LF или само CR.\n"
    "              Осем или девет цифри на родени в 2000-2009 г. с изгубени\n"
    "              водещи нули се четат като цялото ЕГН, с бележка за това.\n"
    "              Работна книга (.xlsx или .ods, позната по съдържанието, а не по\n"
    "              името) се чете направо: листът ѝ се извежда като CSV в UTF-8 с\n"
    "              BOM и „;“, ред N на листа на ред N, с колоните на резултатите\n"
    "              след последната колона на заглавния ред; с --output КНИГА.xlsx\n"
    "              (или .ods, от вида на входа) се записва същата книга с\n"
    "              резултатите в клетки след последната колона, а грешните са\n"
    "              оцветени. Файл .xls и книга, защитена с парола, не се четат.\n"
    "    --separator З  разделителят, вместо намерения („;“, „,“, tab, ...)\n"
    "    --encoding КОДИРОВКА  utf-8, windows-1251, utf-16le или utf-16be,\n"
    "              вместо намерената\n"
    "    --utf8     извежда таблицата в UTF-8 с BOM, в каквато и да е кодировка е\n"
    "    --sheet ЛИСТ  листът на книгата: по името му или по номера от 1\n"
    "              (без него първият)\n"
    "    --summary СВОДКА  записва във файла СВОДКА обекта JSON (като с --json)\n"
    "              на всеки ред за преглед (грешка, невярна цифра или невалиден\n"
    "              номер, изгубени нули), а накрая ред с броя на редовете:\n"
    "              rows, right, wrong, computed (9 цифри), malformed,\n"
    "              lost_leading_zeros и to_look_at (редовете за преглед)\n"
    "    --summary-rows N  записва в сводката само първите N реда за преглед;\n"
    "              другите само се броят\n"
    "  --json      един обект JSON на ред, със същите полета под английски\n"
    "              ключове; числата остават низове, за да се запазят нулите\n"
    "  --bom       изходът започва с BOM на UTF-8, по който Windows PowerShell 5.1\n"
    "              и Notepad го четат като UTF-8 (освен в конзолата на Windows,\n"
    "              която получава знаци, а не байтове)\n"
    "  --output ИЗХОД  записва изхода във файла ИЗХОД вместо на стандартния\n"
    "              изход, цял или никак: нов файл до него заема мястото му накрая\n"
    "  --help      показва тази помощ\n"
    "  --version   показва версията\n"
    "  --          край на опциите\n"
    "\n"
    "Валиден номер може да не принадлежи на никого: проверяват се само датата,\n"
    "областта и контролната цифра, а не дали номерът е издаден.\n"
    "\n"
    "Изходен код: 0, ако всичко прочетено е вярно (или валидно); 1, ако някоя\n"
    "контролна цифра е невярна (или някой номер е невалиден); 2 при неправилен\n"
    "вход или неправилна употреба.\n";

class Run {
 public:
  explicit Run(const Options& options) : options_(options) {
    // A mark for byte streams only: a console takes characters.
    if (options.bom && !egn::cli::StandardSink(stdout).IsConsole()) {
      output_.buffer() += "\xEF\xBB\xBF";
    }
  }

  // `where` names the input for a message ("ред", "аргумент"), `key` for
  // JSON ("line", "argument").
  void Take(const Checked& checked, const char* where, std::string_view key, std::size_t number) {
    if (checked.verdict == Verdict::kNothing) return;
    if (egn::number::MayHaveLostZeros(checked.digits) &&
        TakeLostZeros(checked, where, key, number)) {
      return;
    }
    std::string& out = output_.buffer();
    if (checked.verdict == Verdict::kMalformed ||
        (options_.mode == Mode::kDecode && checked.verdict == Verdict::kNine)) {
      const std::string problem = checked.verdict == Verdict::kMalformed
                                      ? checked.problem
                                      : std::string(egn::cli::kNineToDecode);
      Malformed(problem, where, key, number);
      return;
    }
    const bool right =
        options_.mode == Mode::kDecode
            ? egn::cli::AppendDecode(out, options_.format, checked.digits)
            : egn::cli::AppendCheck(out, options_.format, checked.digits, options_.explain);
    if (!right && status_ == kAllRight) status_ = kWrongDigit;
    output_.Done();
  }

  int Generate() {
    egn::number::Generator generator(options_.filters,
                                     options_.seed ? *options_.seed : std::random_device{}());
    char ten[10];
    for (std::uint64_t n = 0; n < options_.count; ++n) {
      generator.Next(ten);
      std::string& out = output_.buffer();
      if (options_.format == Format::kJson) {
        egn::cli::AppendDecode(out, Format::kJson, std::string_view(ten, 10));
      } else {
        out.append(ten, 10);
        out += '\n';
      }
      output_.Done();
    }
    return Finish();
  }

  void Flush() { output_.Flush(); }
  int Finish() {
    output_.Flush();
    return status_;
  }

 private:
  // Eight or nine digits that are a number of 2000-2009 whose leading zeros
  // a spreadsheet dropped: decoding reads them as that number and says so;
  // the control digit of nine keeps its meaning, with a warning; eight stay
  // wrong, with what they may be. False for other digits, which go the
  // common way. (Out of line, so that the common way stays small.)
  //
  // So are the digits of such a number whose control digit is wrong, where
  // they hold no date as they stand: the note and the warning name it with
  // its zeros and say that its digit is wrong, so that the ten digits the
  // control digit of nine gives are never left unexplained.
  [[gnu::noinline]] bool TakeLostZeros(const Checked& checked, const char* where,
                                       std::string_view key, std::size_t number) {
    auto restored = egn::number::WithLostZeros(checked.digits);
    const bool wrong = !restored;
    if (wrong) restored = egn::number::WithLostZerosAndWrongDigit(checked.digits);
    if (!restored) return false;
    const std::string_view ten(restored->data(), restored->size());
    std::string& out = output_.buffer();
    const std::string right_digit =
        std::to_string(egn::number::ControlDigit(ten.data()));  // of the wrong number
    if (options_.mode == Mode::kDecode) {
      const bool valid = egn::cli::AppendDecode(out, options_.format, ten,
                                                {0, ten.size() - checked.digits.size()});
      if (!valid && status_ == kAllRight) status_ = kWrongDigit;
    } else if (checked.verdict == Verdict::kMalformed) {
      Malformed(
          checked.problem + ": " + std::string(checked.digits) +
              (wrong ? " е ЕГН " + std::string(ten) +
                           " с изгубени две водещи нули и невярна контролна цифра (трябва да "
                           "е " +
                           right_digit + ")"
                     : " е валидното ЕГН " + std::string(ten) + " с изгубени две водещи нули"),
          where, key, number);
      return true;
    } else if (wrong) {
      egn::cli::AppendCheck(out, options_.format, checked.digits, options_.explain);
      output_.warning() += Prefix(where, number) + ": внимание: " + std::string(checked.digits) +
                           " няма възможна дата, а с изгубената водеща нула е ЕГН " +
                           std::string(ten) + " с невярна контролна цифра (трябва да е " +
                           right_digit + ")";
      output_.Warned();
    } else {
      egn::cli::AppendCheck(out, options_.format, checked.digits, options_.explain);
      // Put together where it waits: random digits give thousands in a million.
      std::string& warning = output_.warning();
      warning += "egn-digit: ";
      warning += where;
      warning += ' ';
      char digits[24];
      const auto [end, error] = std::to_chars(digits, digits + sizeof digits, number);
      warning.append(digits, end);
      warning += ": внимание: ";
      warning += checked.digits;
      warning += " е и валидното ЕГН ";
      warning += ten;
      warning += " с изгубена водеща нула";
      output_.Warned();
    }
    output_.Done();
    return true;
  }

  [[gnu::noinline]] void Malformed(const std::string& problem, const char* where,
                                   std::string_view key, std::size_t number) {
    egn::cli::AppendError(output_.buffer(), options_.format, key, number, problem);
    // The record first, then its reason: a terminal shows them in that order.
    output_.Flush();
    Say(Prefix(where, number) + ": " + problem);
    status_ = kBadInput;
  }

  static std::string Prefix(const char* where, std::size_t number) {
    return "egn-digit: " + std::string(where) + " " + std::to_string(number);
  }

  const Options& options_;
  int status_ = kAllRight;
  Output output_{status_};
};

int Usage(const std::string& problem) {
  Say("egn-digit: " + problem + "\nВижте „egn-digit --help“.");
  return kBadInput;
}

// Standard output for a workbook's run: the records through one buffer,
// the messages after them.
class WorkbookOutput final : public egn::cli::RunSink {
 public:
  explicit WorkbookOutput(bool keep_bytes) {
    if (keep_bytes) output_.KeepBytes();
  }
  std::string& buffer() override { return output_.buffer(); }
  void Done() override { output_.Done(); }
  void Warn(const std::string& message) override {
    output_.warning() += message;
    output_.Warned();
  }
  void Flush() override { output_.Flush(); }
  void Status(int status) override { status_ = status; }

 private:
  int status_ = kAllRight;
  Output output_{status_};
};

// Whether `name` ends in `ending` (ASCII, in any case).
bool EndsWith(std::string_view name, std::string_view ending) {
  if (name.size() < ending.size()) return false;
  name.remove_prefix(name.size() - ending.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) != ending[i]) return false;
  }
  return true;
}

// --column on a workbook (a ZIP package): its sheet checked, to standard
// output as CSV or JSON, or into --output's workbook of the same kind.
int Workbook(const Options& options, const egn::cli::ColumnOptions& column,
             egn::table::RandomAccessSource& file, bool& whole,
             const std::function<bool()>& open_output) {
  whole = false;
  egn::table::ZipReader zip;
  if (!zip.Open(file)) {
    Say("egn-digit: файлът не се чете: " + zip.problem());
    return kBadInput;
  }
  const std::optional<egn::table::WorkbookKind> kind = egn::table::KindOf(zip);
  if (!kind) {
    Say("egn-digit: " + std::string(egn::cli::kOtherArchive));
    return kBadInput;
  }
  if (options.encoding) return Usage("--encoding е само за CSV, а входът е работна книга");
  bool write_back = false;
  if (options.output && (EndsWith(*options.output, ".xlsx") || EndsWith(*options.output, ".ods"))) {
    const bool xlsx = *kind == egn::table::WorkbookKind::kXlsx;
    if (options.format == Format::kJson) {
      return Usage("--json е текст и не се записва в работна книга „" + *options.output + "“");
    }
    if (xlsx != EndsWith(*options.output, ".xlsx")) {
      return Usage(std::string("работна книга ") + (xlsx ? ".xlsx" : ".ods") + " се записва като " +
                   (xlsx ? ".xlsx" : ".ods") + ", а не като „" + *options.output + "“");
    }
    write_back = true;
  }
  std::string problem;
  const std::unique_ptr<egn::table::SheetReader> reader = egn::table::OpenWorkbook(zip, problem);
  if (!reader) {
    Say("egn-digit: работната книга не се чете: " + problem);
    return kBadInput;
  }
  if (!open_output()) return kBadInput;
  const bool json = options.format == Format::kJson;
  egn::cli::WorkbookOptions workbook;
  workbook.column = column;
  workbook.sheet = options.sheet;
  // A mark for byte streams only (a console takes characters), and for
  // JSON only when asked for.
  workbook.mark =
      !write_back && !egn::cli::StandardSink(stdout).IsConsole() && (json ? options.bom : true);
  WorkbookOutput output(!json);
  egn::cli::WriteBack back;
  if (write_back) {
    back = [&zip](std::size_t index, std::uint32_t first_column, egn::table::RowResults& results,
                  std::string& why) {
      egn::cli::StandardOutputSink out;
      return egn::table::WriteWithResults(zip, index, first_column, results, out, why);
    };
  }
  return egn::cli::RunWorkbook(workbook, *reader, output, back, whole);
}

// --column: a CSV file or a workbook, told by its first bytes, from the
// file named; a CSV file from standard input. `open_output` opens
// --output's file once the input is known to be read.
int Columns(const Options& options, bool& whole, const std::function<bool()>& open_output,
            egn::cli::Summary* summary) {
  egn::cli::ColumnOptions column;
  column.column = *options.column;
  column.number = options.column_number;
  column.decode = options.mode == Mode::kDecode;
  column.explain = options.explain;
  column.format = options.format;
  column.separator = options.separator;
  column.encoding = options.encoding;
  column.utf8 = options.utf8;
  column.bom = options.bom;
  column.summary = summary;
  if (options.numbers.empty()) {
    whole = false;
    if (options.sheet) return Usage("--sheet е за работна книга, дадена с името на файла ѝ");
    if (!open_output()) return kBadInput;
    whole = true;
    return egn::cli::RunColumn(column, *egn::cli::StandardInput(), whole);
  }
  const std::string name(options.numbers[0]);
  int error = 0;
  // A regular file is told by its first bytes; a pipe is read as CSV, whose
  // reader names a workbook's bytes.
  if (const std::unique_ptr<egn::table::RandomAccessSource> file =
          egn::cli::OpenRandomAccessFile(name, error)) {
    char head[8] = {};
    const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(file->Size(), 8));
    const std::string_view read =
        file->ReadAt(0, head, size) ? std::string_view(head, size) : std::string_view();
    switch (egn::cli::KindOfHead(read)) {
      case egn::cli::FileKind::kZip:
        return Workbook(options, column, *file, whole, open_output);
      case egn::cli::FileKind::kCompound:
        whole = false;
        Say("egn-digit: " + std::string(egn::cli::HoldsEncryptedPackage(*file)
                                            ? egn::cli::kProtectedWorkbook
                                            : egn::cli::kOldWorkbook));
        return kBadInput;
      case egn::cli::FileKind::kText:
        break;
    }
  } else if (error != ESPIPE) {
    Say("egn-digit: „" + name + "“ не се отваря: " + std::strerror(error));
    whole = false;
    return kBadInput;
  }
  if (options.sheet) {
    whole = false;
    return Usage("--sheet е за работна книга (.xlsx или .ods), а „" + name + "“ е CSV");
  }
  const std::unique_ptr<egn::cli::ByteSource> file = egn::cli::OpenFile(name, error);
  if (!file) {
    Say("egn-digit: „" + name + "“ не се отваря: " + std::strerror(error));
    whole = false;
    return kBadInput;
  }
  if (!open_output()) {
    whole = false;
    return kBadInput;
  }
  return egn::cli::RunColumn(column, *file, whole);
}

// The mode the options ask for, to standard output; `whole` tells whether
// all of the input was read and answered. `summary`: --summary's, for
// --column.
int RunMode(const Options& options, bool& whole, const std::function<bool()>& open_output,
            egn::cli::Summary* summary) {
  if (options.column) return Columns(options, whole, open_output, summary);
  if (!open_output()) {
    whole = false;
    return kBadInput;
  }
  Run run(options);
  if (options.mode == Mode::kGenerate) return run.Generate();
  if (!options.numbers.empty()) {
    for (std::size_t i = 0; i < options.numbers.size(); ++i) {
      const std::string_view arg = options.numbers[i];
      const egn::cli::Line line{arg.substr(0, egn::cli::kLongestLine), arg.size()};
      run.Take(egn::cli::CheckLine(line, false), "аргумент", "argument", i + 1);
    }
    return run.Finish();
  }
  // UTF-8 or UTF-16 (a list saved by Windows PowerShell 5.1), a console's
  // characters on Windows: the reader gives UTF-8 lines.
  const std::unique_ptr<egn::cli::ByteSource> input = egn::cli::StandardInput();
  egn::cli::LineReader reader(*input, [&run] { run.Flush(); });
  egn::cli::Line line{};
  for (std::size_t number = 1; reader.Next(line); ++number) {
    run.Take(egn::cli::CheckLine(line, true), "ред", "line", number);
  }
  const int status = run.Finish();
  if (reader.failed()) {
    Say("egn-digit: грешка при четене: " + input->Problem());
    whole = false;
    return kBadInput;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  egn::cli::PrepareStandardStreams();
  const egn::cli::CommandLine line = egn::cli::ReadCommandLine(egn::cli::Arguments(argc, argv));
  if (line.action == egn::cli::CommandLine::Action::kMisuse) return Usage(line.problem);
  if (line.action != egn::cli::CommandLine::Action::kRun) {
    std::string pending;
    egn::cli::WriteUtf8(egn::cli::StandardSink(stdout),
                        line.action == egn::cli::CommandLine::Action::kHelp
                            ? kHelp
                            : "egn-digit " EGN_VERSION_TEXT "\n",
                        pending);
    return std::fflush(stdout) == 0 || egn::cli::ReaderHasGone() ? kAllRight : kBadInput;
  }
  const Options& options = line.options;

  if (options.mode == Mode::kGenerate && egn::number::Generator(options.filters, 0).empty()) {
    return Usage("няма номер, който да отговаря на всички филтри");
  }
  // --output's file is opened once the input is known (a refused one
  // leaves nothing behind).
  bool opened = false;
  egn::cli::WrittenFile summary_file;
  egn::cli::Summary summary(summary_file, options.summary_rows.value_or(UINT64_MAX));
  const auto open_output = [&options, &opened, &summary_file]() -> bool {
    if (options.summary && !summary_file.Open(*options.summary)) {
      Say("egn-digit: „" + *options.summary + "“ не може да се запише: " + summary_file.Problem());
      return false;
    }
    if (!options.output) return true;
    if (const int error = egn::cli::OpenOutputFile(*options.output)) {
      Say("egn-digit: „" + *options.output + "“ не може да се запише: " + std::strerror(error));
      return false;
    }
    opened = true;
    return true;
  };
  bool whole = true;
  int status = RunMode(options, whole, open_output, options.summary ? &summary : nullptr);
  // The summary says what was read, whether or not the output is kept.
  if (summary_file.opened() && !(summary.Finish() && summary_file.Close())) {
    Say("egn-digit: „" + *options.summary + "“ не може да се запише: " + summary_file.Problem());
    status = kBadInput;
  }
  if (!opened) return status;
  // The file is written whole or not at all.
  if (!whole) {
    egn::cli::DropOutputFile();
    Say("egn-digit: „" + *options.output + "“ не е записан");
    return status;
  }
  if (const int error = egn::cli::KeepOutputFile()) {
    Say("egn-digit: „" + *options.output + "“ не може да се запише: " + std::strerror(error));
    return kBadInput;
  }
  return status;
}
