// egn-digit's standard output and error: records go out through one large
// buffer, messages a line at a time.
#pragma once

#include <string>

namespace egn::cli {

// The exit status.
enum Status { kAllRight = 0, kWrongDigit = 1, kBadInput = 2 };

// One message on standard error, a line of its own.
void Say(const std::string& message);

// Standard output through one large buffer. A reader that has gone away
// (a closed pipe, as `| head -1` leaves) is no error: the program ends
// quietly with `status`, the status of what was read until then. Any other
// write error is said.
class Output {
 public:
  explicit Output(const int& status);
  ~Output() { Flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // Where the next records go; Done() after each.
  std::string& buffer() { return buffer_; }
  void Done() {
    if (buffer_.size() >= kSize) Flush();
  }
  // A warning about a record already in the buffer, said on standard error
  // when the buffer has gone out, so that it follows its record without a
  // write of its own for every warning: its line is what is appended to
  // warning() until Warned().
  std::string& warning() { return warnings_; }
  void Warned() { warnings_ += '\n'; }
  // The buffer's bytes go out as they are, line ends included (a CSV file
  // keeps its own), to anything but a console, which takes its text as
  // characters as always.
  void KeepBytes() { keep_bytes_ = true; }
  void Flush();

 private:
  static constexpr std::size_t kSize = 1 << 16;
  [[noreturn]] void Failed();
  const int& status_;
  bool keep_bytes_ = false;
  std::string buffer_;
  std::string pending_;  // a character cut by the end of a buffer, for a console
  std::string warnings_;
};

}  // namespace egn::cli
