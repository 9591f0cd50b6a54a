// egn-digit's calls to a POSIX system (Linux, macOS, the browser's emulated
// one): file descriptors, UTF-8 arguments as they are, and no console of
// its own kind.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

#include "cli/platform/platform.h"

namespace egn::cli::platform {

namespace {

// A stream of bytes through the C library: a terminal takes UTF-8 too.
class StreamSink final : public TextSink {
 public:
  explicit StreamSink(std::FILE* stream) : stream_(stream) {}
  bool IsConsole() const override { return false; }
  bool WriteBytes(std::string_view bytes) override {
    return std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size();
  }
  bool WriteWide(std::u16string_view /*text*/) override {
    return false;  // no console takes UTF-16 here
  }

 private:
  std::FILE* stream_;
};

class PositionedFile final : public RandomFile {
 public:
  PositionedFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  ~PositionedFile() override { close(fd_); }
  PositionedFile(const PositionedFile&) = delete;
  PositionedFile& operator=(const PositionedFile&) = delete;

  std::uint64_t Size() const override { return size_; }
  int ReadAt(std::uint64_t offset, char* into, std::size_t size) override {
    while (size > 0) {
      const ssize_t read = pread(fd_, into, size, static_cast<off_t>(offset));
      if (read < 0 && errno == EINTR) continue;
      if (read < 0) return errno;
      if (read == 0) return kShort;
      into += read;
      offset += static_cast<std::uint64_t>(read);
      size -= static_cast<std::size_t>(read);
    }
    return 0;
  }

 private:
  int fd_;
  std::uint64_t size_;
};

// The new file's name for a signal's handler, which may only call what is
// safe in one (unlink, signal, raise): a run stopped by Ctrl+C or kill
// leaves nothing beside the file.
char interrupted_new[4096];

extern "C" void RemoveNewFileAndStop(int signal_number) {
  if (interrupted_new[0] != '\0') unlink(interrupted_new);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

}  // namespace

TextSink& StandardStream(std::FILE* stream) {
  static StreamSink out(stdout), error(stderr);
  return stream == stderr ? error : out;
}

bool ReaderHasGone() { return errno == EPIPE; }

std::unique_ptr<ByteSource> ConsoleInput() { return nullptr; }

std::vector<std::string> Arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

void PrepareStandardStreams() {
  std::signal(SIGPIPE, SIG_DFL);  // a closed pipe ends the program, as it does every filter
}

int OpenForReading(const std::string& path) { return open(path.c_str(), O_RDONLY | O_CLOEXEC); }

void Close(int fd) { close(fd); }

long ReadSome(int fd, char* into, std::size_t size) {
  return static_cast<long>(read(fd, into, size));
}

std::int64_t RegularFileOffset(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  return lseek(fd, 0, SEEK_CUR);
}

bool SeekTo(int fd, std::int64_t offset) { return lseek(fd, offset, SEEK_SET) == offset; }

std::unique_ptr<RandomFile> OpenRandomFile(const std::string& path, int& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    error = ESPIPE;
    return nullptr;
  }
  return std::make_unique<PositionedFile>(fd, static_cast<std::uint64_t>(status.st_size));
}

std::FILE* CreateForWriting(const std::string& path) { return std::fopen(path.c_str(), "wbe"); }

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

int CreateAsStandardOutput(const std::string& name, const std::string& replaced) {
  const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  // A file replaced keeps its permissions.
  struct stat old {};
  if (stat(replaced.c_str(), &old) == 0 && S_ISREG(old.st_mode)) fchmod(fd, old.st_mode & 07777);
  if (dup2(fd, 1) < 0) {
    const int error = errno;
    close(fd);
    unlink(name.c_str());
    return error;
  }
  close(fd);
  return 0;
}

int CloseStandardOutput() { return close(1) == 0 ? 0 : errno; }

int SyncStandardOutput() { return fsync(1) == 0 ? 0 : errno; }

int MoveOver(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void RemoveFile(const std::string& name) { unlink(name.c_str()); }

void RemoveOnSignal(const std::string& name) {
  if (name.empty()) {
    interrupted_new[0] = '\0';
    return;
  }
  if (name.size() >= sizeof interrupted_new) return;
  std::copy(name.begin(), name.end(), interrupted_new);
  interrupted_new[name.size()] = '\0';
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    std::signal(signal_number, RemoveNewFileAndStop);
  }
}

}  // namespace egn::cli::platform
