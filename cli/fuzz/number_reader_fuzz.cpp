// libFuzzer target: the line reader, the number check, the decoder and the
// output records on any bytes. The reader must give back exactly the
// input's lines (each kept up to the limit, with its true length), whatever
// its buffer size; the check must accept exactly nine or ten ASCII digits
// with blanks around them; a decoded date must give back its own digits; a
// record must be one line, and a JSON record free of raw control bytes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/number_reader.h"
#include "cli/records.h"
#include "number/number_rules.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

void RequireOneLine(const std::string& record, bool json) {
  Require(!record.empty() && record.back() == '\n');
  for (std::size_t i = 0; i + 1 < record.size(); ++i) {
    const auto c = static_cast<unsigned char>(record[i]);
    Require(c != '\n' && (!json || c >= 0x20));
  }
  Require(!json || (record.front() == '{' && record[record.size() - 2] == '}'));
}

void CheckRecords(const egn::cli::Checked& checked) {
  using egn::cli::Format;
  for (const Format format : {Format::kText, Format::kJson}) {
    std::string record;
    if (checked.verdict == egn::cli::Verdict::kMalformed) {
      egn::cli::AppendError(record, format, "line", 1, checked.problem);
    } else if (checked.verdict == egn::cli::Verdict::kTen) {
      const bool valid = egn::cli::AppendDecode(record, format, checked.digits);
      const egn::number::Decoded d = egn::number::Decode(checked.digits);
      Require(valid == (d.birth.has_value() && d.control_digit_ok));
      if (d.birth) {
        char six[6];
        egn::number::WriteBirthDigits(*d.birth, six);
        Require(std::string_view(six, 6) == checked.digits.substr(0, 6));
      }
    } else if (checked.verdict == egn::cli::Verdict::kNine) {
      egn::cli::AppendCheck(record, format, checked.digits, true);
    } else {
      continue;
    }
    RequireOneLine(record, format == Format::kJson);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 60000) return 0;  // within one pipe's capacity
  const std::size_t buffer = 1 + data[0] % 97;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

  int fds[2];
  Require(pipe(fds) == 0);
  Require(write(fds[1], input.data(), input.size()) == static_cast<ssize_t>(input.size()));
  close(fds[1]);
  egn::cli::FileSource source(fds[0]);
  egn::cli::LineReader reader(source, {}, buffer);
  egn::cli::Line line{};
  std::size_t at = 0;
  // Bytes that open with a byte-order mark or a zero byte beside an ASCII
  // byte are read as UTF-16 or without the mark: their lines are checked
  // but not compared with the bytes.
  const auto ascii = [](unsigned char c) { return c != 0 && c < 0x80; };
  const bool two = input.size() >= 2;
  const auto b0 = two ? static_cast<unsigned char>(input[0]) : 0;
  const auto b1 = two ? static_cast<unsigned char>(input[1]) : 0;
  const bool plain = !input.starts_with("\xEF\xBB\xBF") &&
                     !(two && ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF) ||
                               (ascii(b0) && b1 == 0) || (b0 == 0 && ascii(b1))));
  while (reader.Next(line)) {
    Require(line.text.size() == std::min(line.length, egn::cli::kLongestLine));
    if (plain) {
      Require(line.encoding == egn::cli::Encoding::kUtf8);
      Require(at + line.length <= input.size());
      Require(line.text == input.substr(at, std::min(line.length, egn::cli::kLongestLine)));
      at += line.length;
      Require(at == input.size() || input[at] == '\n');
      at += at < input.size() ? 1 : 0;
    }

    for (const bool blank_is_nothing : {false, true}) {
      const egn::cli::Checked checked = egn::cli::CheckLine(line, blank_is_nothing);
      if (checked.verdict == egn::cli::Verdict::kNine ||
          checked.verdict == egn::cli::Verdict::kTen) {
        Require(checked.digits.size() == (checked.verdict == egn::cli::Verdict::kNine ? 9u : 10u));
        for (const char c : checked.digits) Require(c >= '0' && c <= '9');
      } else if (checked.verdict == egn::cli::Verdict::kMalformed) {
        Require(!checked.problem.empty());
      } else {
        Require(blank_is_nothing);
      }
      CheckRecords(checked);
    }
  }
  Require(!reader.failed() && (!plain || at == input.size()));
  close(fds[0]);
  return 0;
}
