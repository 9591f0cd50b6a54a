// egn-digit's calls to Windows: the wide API for names and the console,
// WriteFile for pipes and files (whose failures it tells apart), and the C
// runtime's descriptors where the portable code reads bytes.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
// (after windows.h, on which it builds)
#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "cli/platform/platform.h"

namespace egn::cli::platform {

namespace {

DWORD last_error = ERROR_SUCCESS;  // of the last failed write

// Keeps the system's code for ReaderHasGone and gives errno a meaning for
// the message.
bool Failed() {
  last_error = GetLastError();
  errno = last_error == ERROR_DISK_FULL || last_error == ERROR_HANDLE_DISK_FULL ? ENOSPC : EIO;
  return false;
}

class StreamSink final : public TextSink {
 public:
  explicit StreamSink(std::FILE* stream)
      : stream_(stream),
        handle_(GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE)) {
    DWORD mode = 0;
    console_ = handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode) != 0;
  }
  bool IsConsole() const override { return console_; }
  bool EndsLinesWithCrLf() const override { return !console_; }
  bool WriteBytes(std::string_view bytes) override {
    // WriteFile itself, not the C runtime: it tells a closed pipe by the
    // system's code (the runtime makes EINVAL of it, or nothing of a short
    // write), and a pipe may take less than it is given.
    std::fflush(stream_);  // what went out through the runtime stays before
    while (!bytes.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
      DWORD written = 0;
      if (!WriteFile(handle_, bytes.data(), chunk, &written, nullptr) || written == 0) {
        return Failed();
      }
      bytes.remove_prefix(written);
    }
    return true;
  }
  bool WriteWide(std::u16string_view text) override {
    std::fflush(stream_);  // what went out as bytes before stays before
    while (!text.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 8192));
      DWORD written = 0;
      if (!WriteConsoleW(handle_, text.data(), chunk, &written, nullptr) || written == 0) {
        return Failed();
      }
      text.remove_prefix(written);
    }
    return true;
  }

 private:
  std::FILE* stream_;
  HANDLE handle_;
  bool console_ = false;
};

std::wstring Wide(const std::string& utf8) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), size);
  wide.resize(wide.size() - 1);
  return wide;
}

// Read at any place with _fseeki64 and fread: Windows has no pread.
class SeekedFile final : public RandomFile {
 public:
  SeekedFile(std::FILE* file, std::uint64_t size) : file_(file), size_(size) {}
  ~SeekedFile() override { std::fclose(file_); }
  SeekedFile(const SeekedFile&) = delete;
  SeekedFile& operator=(const SeekedFile&) = delete;

  std::uint64_t Size() const override { return size_; }
  int ReadAt(std::uint64_t offset, char* into, std::size_t size) override {
    if (_fseeki64(file_, static_cast<long long>(offset), SEEK_SET) != 0) return errno;
    if (std::fread(into, 1, size, file_) != size) {
      return !std::ferror(file_) ? kShort : errno != 0 ? errno : EIO;
    }
    return 0;
  }

 private:
  std::FILE* file_;
  std::uint64_t size_;
};

}  // namespace

TextSink& StandardStream(std::FILE* stream) {
  static StreamSink out(stdout), error(stderr);
  return stream == stderr ? error : out;
}

bool ReaderHasGone() {
  // ERROR_NO_DATA: the pipe is being closed (what Windows gives for a
  // reader that has gone); ERROR_PIPE_NOT_CONNECTED: Wine's word for it.
  return last_error == ERROR_NO_DATA || last_error == ERROR_BROKEN_PIPE ||
         last_error == ERROR_PIPE_NOT_CONNECTED;
}

std::unique_ptr<ByteSource> ConsoleInput() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == INVALID_HANDLE_VALUE || input == nullptr || !GetConsoleMode(input, &mode)) {
    return nullptr;
  }
  return std::make_unique<WideSource>([input](char16_t* into, std::size_t size) -> long {
    DWORD got = 0;
    // Pieces of at most 4096 characters: older consoles refuse larger reads.
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 4096));
    if (!ReadConsoleW(input, reinterpret_cast<wchar_t*>(into), piece, &got, nullptr)) {
      errno = EIO;
      return -1;
    }
    return static_cast<long>(got);
  });
}

std::vector<std::string> Arguments(int /*argc*/, char** /*argv*/) {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide != nullptr && i < count; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, utf8.data(), size, nullptr, nullptr);
    arguments.push_back(std::move(utf8));
  }
  LocalFree(wide);
  return arguments;
}

void PrepareStandardStreams() {
  _setmode(0, _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

int OpenForReading(const std::string& path) {
  return _wopen(Wide(path).c_str(), _O_RDONLY | _O_BINARY);
}

void Close(int fd) { _close(fd); }

long ReadSome(int fd, char* into, std::size_t size) {
  return _read(fd, into, static_cast<unsigned>(std::min<std::size_t>(size, 1 << 30)));
}

std::int64_t RegularFileOffset(int fd) {
  struct _stat64 status {};
  if (_fstat64(fd, &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) return -1;
  return _lseeki64(fd, 0, SEEK_CUR);
}

bool SeekTo(int fd, std::int64_t offset) { return _lseeki64(fd, offset, SEEK_SET) == offset; }

std::unique_ptr<RandomFile> OpenRandomFile(const std::string& path, int& error) {
  std::FILE* file = _wfopen(Wide(path).c_str(), L"rb");
  if (file == nullptr) {
    error = errno;
    return nullptr;
  }
  struct _stat64 status {};
  if (_fstat64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) {
    std::fclose(file);
    error = ESPIPE;
    return nullptr;
  }
  return std::make_unique<SeekedFile>(file, static_cast<std::uint64_t>(status.st_size));
}

std::FILE* CreateForWriting(const std::string& path) { return _wfopen(Wide(path).c_str(), L"wb"); }

unsigned long ProcessId() { return GetCurrentProcessId(); }

int CreateAsStandardOutput(const std::string& name, const std::string& /*replaced*/) {
  const HANDLE file = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS) return EEXIST;
    return error == ERROR_ACCESS_DENIED ? EACCES : error == ERROR_PATH_NOT_FOUND ? ENOENT : EIO;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
  if (fd < 0 || _dup2(fd, 1) != 0) {
    const int error = errno;
    if (fd >= 0) _close(fd);
    _wunlink(Wide(name).c_str());
    return error;
  }
  _close(fd);
  // What the program writes goes through the system's standard handle.
  SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(1)));
  return 0;
}

int CloseStandardOutput() { return _close(1) == 0 ? 0 : errno; }

// Nothing beyond the C runtime's flush: MoveOver moves with MOVEFILE_WRITE_THROUGH.
int SyncStandardOutput() { return 0; }

int MoveOver(const std::string& from, const std::string& to) {
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  return GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
}

void RemoveFile(const std::string& name) { _wunlink(Wide(name).c_str()); }

void RemoveOnSignal(const std::string& /*name*/) {}

}  // namespace egn::cli::platform
