#include "cli/output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/console.h"

namespace egn::cli {

namespace {

// Whole lines on standard error.
void SayLines(std::string_view lines) {
  static std::string pending;
  WriteUtf8(StandardSink(stderr), lines, pending);
  std::fflush(stderr);
}

}  // namespace

void Say(const std::string& message) { SayLines(message + "\n"); }

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
    SayLines(warnings_);
    warnings_.clear();
  }
}

void Output::Failed() {
  const int error = errno;  // of the write that failed, before any other call
  if (ReaderHasGone()) std::_Exit(status_);
  Say(std::string("egn-digit: грешка при запис: ") + std::strerror(error));
  DropOutputFile();  // --output's file is written whole or not at all
  std::_Exit(kBadInput);
}

}  // namespace egn::cli
