// Streams of bytes as the readers and writers of tables take them: a source
// read a piece at a time and a sink written a piece at a time. Each keeps
// what went wrong at the call that failed, so that the message a user gets
// names the real cause, whatever ran after it.
#pragma once

#include <cstddef>
#include <cstdint>
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
  // Whether the bytes can be read again from where the first Read began (a
  // file can, a pipe cannot), and ReadAgain() goes back there: false on an
  // error (then Problem() says what it was).
  virtual bool CanReadAgain() const { return false; }
  virtual bool ReadAgain() { return false; }
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

// Bytes read at any place, as a ZIP is read (from its end first): a file, a
// file the page was given (read a slice at a time), or bytes in memory.
class RandomAccessSource {
 public:
  virtual ~RandomAccessSource() = default;
  // How many bytes there are; the same for the life of the source.
  virtual std::uint64_t Size() const = 0;
  // Exactly `size` bytes from `offset` on into `into`: true when all of them
  // were read, false otherwise (then Problem() says why). A range past
  // Size() is an error too, never a short read.
  virtual bool ReadAt(std::uint64_t offset, char* into, std::size_t size) = 0;
  // After a ReadAt that returned false: what went wrong, in words for the user.
  virtual std::string Problem() const = 0;
};

// Bytes in memory as a RandomAccessSource. It keeps a view: the bytes must
// outlive it.
class MemorySource final : public RandomAccessSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, char* into, std::size_t size) override;
  std::string Problem() const override { return problem_; }

 private:
  std::string_view bytes_;
  std::string problem_;
};

// A sink that keeps what it is given in a string, in memory.
class StringSink final : public ByteSink {
 public:
  bool Write(std::string_view bytes) override {
    bytes_.append(bytes);
    return true;
  }
  std::string Problem() const override { return {}; }
  const std::string& bytes() const { return bytes_; }
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
};

// The system's words for the error `code` (an errno value), read at once:
// what a source or sink keeps when a call of the system fails.
std::string SystemProblem(int code);

}  // namespace egn::table
