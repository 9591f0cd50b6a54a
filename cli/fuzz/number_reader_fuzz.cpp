// libFuzzer target: the line reader and the number check on any bytes. The
// reader must give back exactly the input's lines (each kept up to the
// limit, with its true length), whatever its buffer size; the check must
// accept exactly nine or ten ASCII digits with blanks around them.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cli/number_reader.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
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
  egn::cli::LineReader reader(fds[0], {}, buffer);
  egn::cli::Line line{};
  std::size_t at = 0;
  while (reader.Next(line)) {
    Require(at + line.length <= input.size());
    Require(line.text == input.substr(at, std::min(line.length, egn::cli::kLongestLine)));
    at += line.length;
    Require(at == input.size() || input[at] == '\n');
    at += at < input.size() ? 1 : 0;

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
    }
  }
  Require(!reader.failed() && at == input.size());
  close(fds[0]);
  return 0;
}
