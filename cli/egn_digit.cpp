// egn-digit: the control digit of many ЕГН numbers at once, from the command
// line or a stream, one output line for every number read, in input order.
// The calculation is the window's own (ComputeCheckDigit, with the weights as
// the window shows them).
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "calc/check_digit.h"
#include "cli/number_reader.h"
#include "runtime/core/conversions.h"

namespace {

using egn::cli::Checked;
using egn::cli::Verdict;

constexpr const char* kHelp =
    "Употреба: egn-digit [--explain] [ЧИСЛО]...\n"
    "Изчислява контролната (десетата) цифра на ЕГН.\n"
    "\n"
    "Числата се дават като аргументи или, без аргументи, по едно на ред на\n"
    "стандартния вход (редове с CR LF или LF; интервалите около числото и\n"
    "празните редове не се вземат предвид). За всяко прочетено число се\n"
    "извежда точно един ред, в реда на входа, с полета, разделени с табулация:\n"
    "  9 цифри   числото и цялото десетцифрено число с контролната му цифра;\n"
    "  10 цифри  числото и „вярна“ или „невярна“ за десетата му цифра, а при\n"
    "            „невярна“ и правилната цифра;\n"
    "  друго     „грешка“; какво не е наред, с номера на реда, се казва на\n"
    "            стандартния изход за грешки.\n"
    "Проверява се само контролната цифра: датата и кодът на областта не се\n"
    "проверяват, така че „вярна“ не значи, че ЕГН е валидно.\n"
    "\n"
    "  --explain  добавя двата реда на прозореца като полета: „Изчислена сума:\n"
    "             “ със сумата и „Последно число: “ с контролната цифра\n"
    "  --help     показва тази помощ\n"
    "  --version  показва версията\n"
    "  --         край на опциите\n"
    "\n"
    "Изходен код: 0, ако всички числа са прочетени и всички дадени контролни\n"
    "цифри са верни; 1, ако някоя дадена контролна цифра е невярна; 2 при\n"
    "неправилен вход или неправилна употреба.\n";

enum Status { kAllRight = 0, kWrongDigit = 1, kBadInput = 2 };

// Standard output through one large buffer. A reader that has gone away
// (a closed pipe) ends the program quietly; any other write error is said.
class Output {
 public:
  Output() { buffer_.reserve(kSize + 512); }
  ~Output() { Flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Write(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kSize) Flush();
  }
  void Flush() {
    if (!buffer_.empty() &&
        std::fwrite(buffer_.data(), 1, buffer_.size(), stdout) != buffer_.size()) {
      Failed();
    }
    buffer_.clear();
    if (std::fflush(stdout) != 0) Failed();
  }

 private:
  static constexpr std::size_t kSize = 1 << 16;
  [[noreturn]] static void Failed() {
    if (errno != EPIPE)
      std::fprintf(stderr, "egn-digit: грешка при запис: %s\n", std::strerror(errno));
    std::_Exit(kBadInput);
  }
  std::string buffer_;
};

// The window's calculation, one number after another, reusing its texts.
class Calculator {
 public:
  Calculator() : weights_{u"2", u"4", u"8", u"5", u"10", u"9", u"7", u"3", u"6"} {}

  const egn::calc::CheckDigitResult& operator()(std::string_view nine_digits) {
    for (std::size_t i = 0; i < egn::calc::kPositions; ++i) {
      digits_[i].assign(1, static_cast<char16_t>(nine_digits[i]));
    }
    egn::calc::ComputeCheckDigit(digits_, weights_, result_);
    return result_;
  }

 private:
  egn::calc::PositionTexts weights_;
  egn::calc::PositionTexts digits_;
  egn::calc::CheckDigitResult result_;
};

// One line without its CR LF, as UTF-8.
std::string Field(const std::u16string& line) {
  return egn::runtime::ToUtf8(std::u16string_view(line).substr(0, line.size() - 2));
}

class Run {
 public:
  explicit Run(bool explain) : explain_(explain) {}

  // `where` names the input for a message: "ред 3", "аргумент 2".
  void Take(const Checked& checked, const char* where, std::size_t number) {
    switch (checked.verdict) {
      case Verdict::kNothing:
        return;
      case Verdict::kMalformed:
        output_.Flush();  // the message follows the lines before it
        std::fprintf(stderr, "egn-digit: %s %zu: %s\n", where, number, checked.problem.c_str());
        output_.Write("грешка\n");
        status_ = kBadInput;
        return;
      case Verdict::kNine:
      case Verdict::kTen:
        break;
    }
    const egn::calc::CheckDigitResult& result = calculate_(checked.digits);
    const char digit = static_cast<char>('0' + result.digit);
    output_.Write(checked.digits);
    output_.Write("\t");
    if (checked.verdict == Verdict::kNine) {
      output_.Write(checked.digits);
      output_.Write(std::string_view(&digit, 1));
    } else if (checked.digits[9] == digit) {
      output_.Write("вярна");
    } else {
      output_.Write("невярна\t");
      output_.Write(std::string_view(&digit, 1));
      if (status_ == kAllRight) status_ = kWrongDigit;
    }
    if (explain_) {
      output_.Write("\t");
      output_.Write(Field(result.sum_line));
      output_.Write("\t");
      output_.Write(Field(result.digit_line));
    }
    output_.Write("\n");
  }

  void Flush() { output_.Flush(); }
  int Finish() {
    output_.Flush();
    return status_;
  }

 private:
  bool explain_;
  Calculator calculate_;
  Output output_;
  int status_ = kAllRight;
};

int Usage(const std::string& problem) {
  std::fprintf(stderr, "egn-digit: %s\nВижте „egn-digit --help“.\n", problem.c_str());
  return kBadInput;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_DFL);  // a closed pipe ends the program, as it does every filter
#endif
#ifdef _WIN32
  _setmode(0, _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  bool explain = false;
  std::vector<std::string_view> numbers;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && arg == "--explain") {
      explain = true;
    } else if (options && arg == "--help") {
      std::fputs(kHelp, stdout);
      return std::fflush(stdout) == 0 ? kAllRight : kBadInput;
    } else if (options && arg == "--version") {
      std::fputs("egn-digit " EGN_VERSION_TEXT "\n", stdout);
      return std::fflush(stdout) == 0 ? kAllRight : kBadInput;
    } else if (options && arg.size() > 1 && arg.front() == '-') {
      return Usage("непозната опция „" + std::string(arg) + "“");
    } else {
      numbers.push_back(arg);
    }
  }

  Run run(explain);
  if (!numbers.empty()) {
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      const std::string_view arg = numbers[i];
      const egn::cli::Line line{arg.substr(0, egn::cli::kLongestLine), arg.size()};
      run.Take(egn::cli::CheckLine(line, false), "аргумент", i + 1);
    }
    return run.Finish();
  }
  egn::cli::LineReader reader(0, [&run] { run.Flush(); });
  egn::cli::Line line{};
  for (std::size_t number = 1; reader.Next(line); ++number) {
    // A byte-order mark may open a file written on Windows.
    if (number == 1 && line.text.starts_with("\xEF\xBB\xBF")) {
      line.text.remove_prefix(3);
      line.length -= 3;
    }
    run.Take(egn::cli::CheckLine(line, true), "ред", number);
  }
  const int status = run.Finish();
  if (reader.failed()) {
    std::fprintf(stderr, "egn-digit: грешка при четене: %s\n", std::strerror(errno));
    return kBadInput;
  }
  return status;
}
