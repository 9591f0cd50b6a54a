#include "cli/output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/console.h"

namespace egn::cli {

void Say(const std::string& message) {
  static std::string pending;
  WriteUtf8(StandardSink(stderr), message + "\n", pending);
  std::fflush(stderr);
}

Output::Output(const int& status) : status_(status) { buffer_.reserve(kSize + 512); }

void Output::Flush() {
  TextSink& sink = StandardSink(stdout);
  if (!buffer_.empty()) {
    const bool written = keep_bytes_ && !sink.IsConsole() ? sink.WriteBytes(buffer_)
                                                          : WriteUtf8(sink, buffer_, pending_);
    if (!written) Failed();
  }
  buffer_.clear();
  if (std::fflush(stdout) != 0) Failed();
  if (!warnings_.empty()) {
    std::string pending;
    WriteUtf8(StandardSink(stderr), warnings_, pending);
    std::fflush(stderr);
    warnings_.clear();
  }
}

void Output::Failed() {
  if (ReaderHasGone()) std::_Exit(status_);
  Say(std::string("egn-digit: грешка при запис: ") + std::strerror(errno));
  std::_Exit(kBadInput);
}

}  // namespace egn::cli
