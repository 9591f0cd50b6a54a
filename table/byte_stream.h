// Streams of bytes as the readers and writers of tables take them: a source
// read a piece at a time and a sink written a piece at a time. Each keeps
// what went wrong at the call that failed, so that the message a user gets
// names the real cause, whatever ran after it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace egn::table {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `size` bytes into `into`, waiting only until some are there: how
  // many, 0 at the end of the input, -1 on an error (then Problem() says
  // what it was).
  virtual long Read(char* into, std::size_t size) = 0;
  // True when the bytes are known to be UTF-16LE (a console's characters);
  // otherwise their first bytes tell.
  virtual bool IsUtf16() const { return false; }
  // After a Read that returned -1: what went wrong, in words for the user.
  virtual std::string Problem() const = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all of `bytes`; false on an error (then Problem() says what it
  // was).
  virtual bool Write(std::string_view bytes) = 0;
  // After a Write that returned false: what went wrong, in words for the user.
  virtual std::string Problem() const = 0;
};

// The system's words for the error `code` (an errno value), read at once:
// what a source or sink keeps when a call of the system fails.
std::string SystemProblem(int code);

}  // namespace egn::table
