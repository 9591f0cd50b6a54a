#include "cli/records.h"

#include <array>
#include <cstdint>
#include <span>

#include "number/number_rules.h"

namespace egn::cli {

namespace {

using number::Decoded;
using namespace std::string_view_literals;

// The window's two result lines, without their CR LF (a test holds them to
// the window's own).
constexpr std::string_view kSumLine = "Изчислена сума: ";
constexpr std::string_view kDigitLine = "Последно число: ";

void AppendNumber(std::string& out, std::uint64_t value) {
  std::array<char, 20> digits{};
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (n > 0) out += digits[--n];
}

// "key": as the start of a JSON member after the object's first.
void Key(std::string& out, std::string_view key) {
  out += ",\"";
  out += key;
  out += "\":";
}

// "YYYY-MM-DD", without a text of its own.
void AppendDate(std::string& out, const number::Date& date) {
  const char text[10] = {static_cast<char>('0' + date.year / 1000),
                         static_cast<char>('0' + date.year / 100 % 10),
                         static_cast<char>('0' + date.year / 10 % 10),
                         static_cast<char>('0' + date.year % 10),
                         '-',
                         static_cast<char>('0' + date.month / 10),
                         static_cast<char>('0' + date.month % 10),
                         '-',
                         static_cast<char>('0' + date.day / 10),
                         static_cast<char>('0' + date.day % 10)};
  out.append(text, sizeof text);
}

// The start of a JSON record: "{", the line it comes from if any, and the
// first key, `first` ("\"input\":\""); in one append for the millions of
// records without a line.
template <std::size_t N>
void Open(std::string& out, const About& about, const char (&first)[N]) {
  if (about.line == 0) {
    out.append(first, N - 1);
    return;
  }
  out += R"({"line":)";
  AppendNumber(out, about.line);
  out += ',';
  out.append(first + 1, N - 2);
}

void AppendLostZeros(std::string& out, const About& about) {
  if (about.lost_zeros == 0) return;
  Key(out, "lost_leading_zeros");
  AppendNumber(out, about.lost_zeros);
}

// What the control digit says of nine or ten digits.
struct CheckedDigit {
  int sum;     // the weighted sum of the first nine
  int digit;   // the right tenth digit
  bool right;  // nine digits (the tenth is to be given), or ten whose tenth is `digit`
};

// Inlined into each record's writer, whose hot path it is: a call of its
// own costs the plain modes more than its work.
[[gnu::always_inline]] inline CheckedDigit CheckDigitOf(std::string_view digits) {
  const int sum = number::WeightedSum(digits.data());
  const int digit = sum % 11 % 10;
  return {sum, digit, digits.size() == 9 || digits[9] - '0' == digit};
}

void Digit(std::string& out, Format format, int digit) {
  if (format == Format::kJson) out += '"';
  out += static_cast<char>('0' + digit);
  if (format == Format::kJson) out += '"';
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u == 0x7F) {
      out += "\\u00";
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    } else {
      out += c;
    }
  }
  out += '"';
}

bool AppendCheck(std::string& out, Format format, std::string_view digits, bool explain,
                 const About& about) {
  const auto [sum, digit, right] = CheckDigitOf(digits);
  const bool nine = digits.size() == 9;
  if (format == Format::kText) {
    out += digits;
    out += '\t';
    if (nine) {
      out += digits;
      Digit(out, format, digit);
    } else if (right) {
      out += "вярна";
    } else {
      out += "невярна\t";
      Digit(out, format, digit);
    }
    if (explain) {
      out += '\t';
      out += kSumLine;
      AppendNumber(out, static_cast<std::uint64_t>(sum));
      out += '\t';
      out += kDigitLine;
      Digit(out, format, digit);
    }
    out += '\n';
    return right;
  }
  Open(out, about, R"({"input":")");
  out += digits;
  out += '"';
  if (nine) {
    Key(out, "number");
    out += '"';
    out += digits;
    out += static_cast<char>('0' + digit);
    out += '"';
  } else {
    Key(out, "check_digit_ok");
    out += right ? "true" : "false";
    Key(out, "check_digit");
    Digit(out, format, digit);
  }
  if (explain) {
    Key(out, "sum_line");
    out += '"';
    out += kSumLine;
    AppendNumber(out, static_cast<std::uint64_t>(sum));
    out += '"';
    Key(out, "digit_line");
    out += '"';
    out += kDigitLine;
    out += static_cast<char>('0' + digit);
    out += '"';
  }
  AppendLostZeros(out, about);
  out += "}\n";
  return right;
}

namespace {

// Why a number is invalid, in words.
void AppendReason(std::string& out, const Decoded& d) {
  if (!d.control_digit_ok) {
    out += "контролната цифра трябва да е "sv;
    out += static_cast<char>('0' + d.control_digit);
  }
  if (!d.control_digit_ok && !d.birth) out += "; "sv;
  if (!d.birth) out += "датата на раждане е невъзможна"sv;
}

// The last field of a decoded number, if it has one: why it is invalid,
// and that its leading zeros were lost.
bool HasNote(const Decoded& d, const About& about) { return !d.valid() || about.lost_zeros > 0; }
void AppendNote(std::string& out, std::string_view ten, const Decoded& d, const About& about) {
  if (!d.valid()) AppendReason(out, d);
  if (!d.valid() && about.lost_zeros > 0) out += "; "sv;
  if (about.lost_zeros > 0) AppendLostZerosNote(out, ten, about.lost_zeros);
}

void AppendDecodeText(std::string& out, std::string_view ten, const Decoded& d,
                      const About& about) {
  out += ten;
  out += d.valid() ? "\tвалидно\t"sv : "\tневалидно\t"sv;
  if (d.birth) {
    AppendDate(out, *d.birth);
  } else {
    out += '-';
  }
  out += '\t';
  out += number::SexName(d.sex);
  out += '\t';
  out += d.region ? d.region->name : "неизвестна област"sv;
  if (HasNote(d, about)) {
    out += '\t';
    AppendNote(out, ten, d, about);
  }
  out += '\n';
}

// Few and large appends: this is the widest record, written millions of
// times.
void AppendDecodeJson(std::string& out, std::string_view ten, const Decoded& d,
                      const About& about) {
  Open(out, about, R"({"number":")");
  out += ten;
  out += d.valid() ? R"(","valid":true,"birth_date":)"sv : R"(","valid":false,"birth_date":)"sv;
  if (d.birth) {
    out += '"';
    AppendDate(out, *d.birth);
    out += R"(","sex":")"sv;
  } else {
    out += R"(null,"sex":")"sv;
  }
  out += number::SexName(d.sex);
  out += R"(","region":)"sv;
  if (d.region) {
    AppendJsonString(out, d.region->name);
  } else {
    out += "null"sv;
  }
  out += d.control_digit_ok ? R"(,"check_digit_ok":true)"sv : R"(,"check_digit_ok":false)"sv;
  out += d.birth ? R"(,"date_ok":true)"sv : R"(,"date_ok":false)"sv;
  if (!d.valid()) {
    out += R"(,"reason":")"sv;
    AppendReason(out, d);
    out += '"';
  }
  AppendLostZeros(out, about);
  out += "}\n"sv;
}

}  // namespace

bool AppendDecode(std::string& out, Format format, std::string_view ten, const About& about) {
  const Decoded d = number::Decode(ten);
  if (format == Format::kJson) {
    AppendDecodeJson(out, ten, d, about);
  } else {
    AppendDecodeText(out, ten, d, about);
  }
  return d.valid();
}

void AppendLostZerosNote(std::string& out, std::string_view ten, std::size_t lost_zeros) {
  out += lost_zeros == 1 ? "водещата нула е изгубена: "sv : "двете водещи нули са изгубени: "sv;
  out += ten;
}

void AppendError(std::string& out, Format format, std::string_view where_key, std::size_t number,
                 std::string_view problem) {
  if (format == Format::kText) {
    out += "грешка\n";
    return;
  }
  out += "{\"";
  out += where_key;
  out += "\":";
  AppendNumber(out, number);
  Key(out, "error");
  AppendJsonString(out, problem);
  out += "}\n";
}

namespace {

// The names of the columns, in order; the note always last.
std::span<const std::string_view> NamesOf(bool decode, bool explain) {
  static constexpr std::string_view kDecode[] = {"Валидност", "Дата на раждане", "Пол", "Област",
                                                 "Бележка"};
  static constexpr std::string_view kCheck[] = {"Резултат", "Вярна цифра", "Бележка"};
  static constexpr std::string_view kExplain[] = {"Резултат", "Вярна цифра", "Изчислена сума",
                                                  "Последно число", "Бележка"};
  if (decode) return kDecode;
  if (explain) return kExplain;
  return kCheck;
}

}  // namespace

void ColumnNames(Columns& columns, bool decode, bool explain) {
  columns.Clear();
  for (const std::string_view name : NamesOf(decode, explain)) columns.Add(name);
}

bool CheckColumns(Columns& columns, std::string_view digits, bool explain, const About& about) {
  columns.Clear();
  const auto [sum, digit, right] = CheckDigitOf(digits);
  const bool nine = digits.size() == 9;
  std::string& text = columns.text();
  if (nine) {
    text += digits;
    Digit(text, Format::kText, digit);
    columns.Close();
  } else {
    columns.Add(right ? "вярна"sv : "невярна"sv);
  }
  if (!right) Digit(text, Format::kText, digit);
  columns.Close();
  if (explain) {
    AppendNumber(text, static_cast<std::uint64_t>(sum));
    columns.Close();
    Digit(text, Format::kText, digit);
    columns.Close();
  }
  if (about.lost_zeros > 0 && !right) {
    // The number its digits were, named with the zeros put back: its
    // control digit is wrong, as the decoded note says it first.
    text += "контролната цифра трябва да е "sv;
    Digit(text, Format::kText, digit);
    text += "; "sv;
  }
  if (about.lost_zeros > 0) AppendLostZerosNote(text, digits, about.lost_zeros);
  columns.Close();
  return right;
}

bool DecodeColumns(Columns& columns, std::string_view ten, const About& about) {
  columns.Clear();
  const Decoded d = number::Decode(ten);
  std::string& text = columns.text();
  columns.Add(d.valid() ? "валидно"sv : "невалидно"sv);
  if (d.birth) {
    AppendDate(text, *d.birth);
  } else {
    text += '-';
  }
  columns.Close();
  columns.Add(number::SexName(d.sex));
  columns.Add(d.region ? d.region->name : "неизвестна област"sv);
  AppendNote(text, ten, d, about);
  columns.Close();
  return d.valid();
}

void ErrorColumns(Columns& columns, bool decode, bool explain, std::string_view problem) {
  columns.Clear();
  columns.Add(problem.empty() ? ""sv : "грешка"sv);
  const std::size_t between =
      NamesOf(decode, explain).size() - 2;  // all but the first and the note
  for (std::size_t i = 0; i < between; ++i) columns.Add("");
  columns.Add(problem);
}

}  // namespace egn::cli
