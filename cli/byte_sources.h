// Where egn-digit's bytes come from: a file descriptor, or a console's
// characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "table/byte_stream.h"

namespace egn::cli {

using table::ByteSource;

// The bytes of a file descriptor. Those of a regular file can be read
// again, from where the first read began.
class FileSource : public ByteSource {
 public:
  explicit FileSource(int fd) : fd_(fd) {}
  long Read(char* into, std::size_t size) override;
  std::string Problem() const override { return table::SystemProblem(error_); }
  bool CanReadAgain() const override;
  bool ReadAgain() override;

 private:
  void Begin() const;

  int fd_;
  int error_ = 0;  // errno of the call that failed
  mutable bool begun_ = false;
  mutable std::int64_t start_ = -1;  // the offset of a regular file's first read
};

// UTF-16 characters read a piece at a time by `read` (on Windows the
// console's ReadConsoleW: up to `size` units into `into`, how many, 0 at the
// end, -1 on an error), given on as UTF-16LE bytes. U+001A (Ctrl+Z) ends the
// input, as it does for every console program; what came before it counts.
class WideSource : public ByteSource {
 public:
  using ReadWide = std::function<long(char16_t* into, std::size_t size)>;
  explicit WideSource(ReadWide read) : read_(std::move(read)) {}
  long Read(char* into, std::size_t size) override;
  bool IsUtf16() const override { return true; }
  std::string Problem() const override { return table::SystemProblem(error_); }

 private:
  ReadWide read_;
  int error_ = 0;  // errno of the read that failed
  std::vector<char16_t> units_;
  bool ended_ = false;
};

}  // namespace egn::cli
