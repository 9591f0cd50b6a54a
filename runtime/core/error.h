// Run-time errors of the forms runtime.
//
// Every failure that a window procedure can run into (an arithmetic fault, a
// control access that cannot be honoured) is a RuntimeError: a C++ exception
// that leaves the procedure at once and carries a number and a Bulgarian
// message, the two things the default handling shows the user.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace egn::runtime {

// The numbers are stable: tests and users may quote them.
enum class ErrorNumber : int {
  kOverflow = 1001,              // a value does not fit a 16-bit integer
  kFloatingPointFault = 1002,    // invalid operation, division by zero or overflow of a double
  kNoSuchControlArray = 2001,    // the window has no control (array) of that name
  kIndexOutOfRange = 2002,       // the array has no member with that index
  kPropertyNotSupported = 2003,  // the control's kind has no such property
  kInternal = 9001,              // a failure of the runtime itself
};

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(ErrorNumber number, const std::string& message);

  ErrorNumber number() const noexcept { return number_; }
  int code() const noexcept { return static_cast<int>(number_); }
  // The message alone, UTF-8, without the number.
  const std::string& message() const noexcept { return message_; }

 private:
  ErrorNumber number_;
  std::string message_;
};

// The errors, one factory each, so that every raise site words them alike.
[[noreturn]] void RaiseOverflow();
[[noreturn]] void RaiseFloatingPointFault();
[[noreturn]] void RaiseNoSuchControlArray(std::string_view array);
[[noreturn]] void RaiseIndexOutOfRange(std::string_view array, std::int16_t index);
[[noreturn]] void RaisePropertyNotSupported(std::string_view control, std::string_view property);

}  // namespace egn::runtime
