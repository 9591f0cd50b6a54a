#include "cli/byte_sources.h"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace egn::cli {

void FileSource::Begin() const {
  if (begun_) return;
  begun_ = true;
#ifdef _WIN32
  struct _stat64 status {};
  if (_fstat64(fd_, &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFREG) {
    start_ = _lseeki64(fd_, 0, SEEK_CUR);
  }
#else
  struct stat status {};
  if (fstat(fd_, &status) == 0 && S_ISREG(status.st_mode)) start_ = lseek(fd_, 0, SEEK_CUR);
#endif
}

bool FileSource::CanReadAgain() const {
  Begin();
  return start_ >= 0;
}

bool FileSource::ReadAgain() {
  Begin();
#ifdef _WIN32
  const bool back = start_ >= 0 && _lseeki64(fd_, start_, SEEK_SET) == start_;
#else
  const bool back = start_ >= 0 && lseek(fd_, start_, SEEK_SET) == start_;
#endif
  if (!back) error_ = start_ >= 0 ? errno : ESPIPE;
  return back;
}

long FileSource::Read(char* into, std::size_t size) {
  Begin();
  for (;;) {
#ifdef _WIN32
    const long got = _read(fd_, into, static_cast<unsigned>(std::min<std::size_t>(size, 1 << 30)));
#else
    const long got = static_cast<long>(read(fd_, into, size));
#endif
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
