#include "cli/byte_sources.h"

#include <cerrno>

#include "cli/platform/platform.h"

namespace egn::cli {

void FileSource::Begin() const {
  if (begun_) return;
  begun_ = true;
  start_ = platform::RegularFileOffset(fd_);
}

bool FileSource::CanReadAgain() const {
  Begin();
  return start_ >= 0;
}

bool FileSource::ReadAgain() {
  Begin();
  const bool back = start_ >= 0 && platform::SeekTo(fd_, start_);
  if (!back) error_ = start_ >= 0 ? errno : ESPIPE;
  return back;
}

long FileSource::Read(char* into, std::size_t size) {
  Begin();
  for (;;) {
    const long got = platform::ReadSome(fd_, into, size);
    if (got >= 0) return got;
    if (errno != EINTR) {
      error_ = errno;
      return -1;
    }
  }
}

long WideSource::Read(char* into, std::size_t size) {
  if (ended_) return 0;
  units_.resize(size / 2);
  const long got = units_.empty() ? -1 : read_(units_.data(), units_.size());
  if (got <= 0) {
    if (got < 0) error_ = units_.empty() ? EINVAL : errno;  // EINVAL: no room for one character
    return got;
  }
  const auto count = static_cast<std::size_t>(got);
  for (std::size_t i = 0; i < count; ++i) {
    if (units_[i] == u'\x1A') {
      ended_ = true;
      return static_cast<long>(2 * i);
    }
    into[2 * i] = static_cast<char>(units_[i] & 0xFF);
    into[2 * i + 1] = static_cast<char>(units_[i] >> 8);
  }
  return static_cast<long>(2 * count);
}

}  // namespace egn::cli
