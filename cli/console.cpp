#include "cli/console.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
// (after windows.h, on which it builds)
#include <shellapi.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>

namespace egn::cli {

namespace {

#ifdef _WIN32
DWORD last_error = ERROR_SUCCESS;  // of the last failed write
#endif

// The length of the UTF-8 sequence that `lead` starts; 0 for a byte that
// starts none.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Appends the UTF-16 of the complete sequences of `bytes` to `out` and
// returns how many bytes it used: a sequence cut at the end is left.
std::size_t Decode(std::string_view bytes, std::u16string& out) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = SequenceLength(lead);
    if (length == 0) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    if (i + length > bytes.size()) {
      // Cut at the end, unless what there is already cannot continue.
      bool valid = true;
      for (std::size_t k = i + 1; k < bytes.size(); ++k) {
        valid = valid && (static_cast<unsigned char>(bytes[k]) & 0xC0) == 0x80;
      }
      if (valid) return i;
    }
    std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    std::size_t k = 1;
    for (; k < length && i + k < bytes.size(); ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) break;
      code = (code << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (k < length || overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
      out += u'\uFFFD';
      i += k;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    i += length;
  }
  return i;
}

class StreamSink : public TextSink {
 public:
  explicit StreamSink(std::FILE* stream) : stream_(stream) {
#ifdef _WIN32
    handle_ = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    console_ = handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode) != 0;
#endif
  }
  bool IsConsole() const override { return console_; }
#ifdef _WIN32
  bool EndsLinesWithCrLf() const override { return !console_; }
#endif
  bool WriteBytes(std::string_view bytes) override {
#ifdef _WIN32
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
#else
    return std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size();
#endif
  }
  bool WriteWide(std::u16string_view text) override {
#ifdef _WIN32
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
#else
    (void)text;
    return false;  // no console takes UTF-16 here
#endif
  }

 private:
#ifdef _WIN32
  // Keeps the system's code for ReaderHasGone and gives errno a meaning for
  // the message.
  static bool Failed() {
    last_error = GetLastError();
    errno = last_error == ERROR_DISK_FULL || last_error == ERROR_HANDLE_DISK_FULL ? ENOSPC : EIO;
    return false;
  }
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#endif
  std::FILE* stream_;
  bool console_ = false;
};

}  // namespace

bool WriteUtf8(TextSink& sink, std::string_view text, std::string& pending) {
  if (!sink.IsConsole()) {
    if (!sink.EndsLinesWithCrLf()) return sink.WriteBytes(text);
    std::string lines;
    lines.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
      if (c == '\n') lines += '\r';
      lines += c;
    }
    return sink.WriteBytes(lines);
  }
  std::string joined;
  if (!pending.empty()) {
    joined = pending + std::string(text);
    text = joined;
  }
  std::u16string wide;
  const std::size_t used = Decode(text, wide);
  pending.assign(text.substr(used));
  return wide.empty() || sink.WriteWide(wide);
}

TextSink& StandardSink(std::FILE* stream) {
  static StreamSink out(stdout), error(stderr);
  return stream == stderr ? error : out;
}

bool ReaderHasGone() {
#ifdef _WIN32
  // ERROR_NO_DATA: the pipe is being closed (what Windows gives for a
  // reader that has gone); ERROR_PIPE_NOT_CONNECTED: Wine's word for it.
  return last_error == ERROR_NO_DATA || last_error == ERROR_BROKEN_PIPE ||
         last_error == ERROR_PIPE_NOT_CONNECTED;
#else
  return errno == EPIPE;
#endif
}

std::unique_ptr<ByteSource> StandardInput() {
#ifdef _WIN32
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input != INVALID_HANDLE_VALUE && input != nullptr && GetConsoleMode(input, &mode)) {
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
#endif
  return std::make_unique<FileSource>(0);
}

namespace {

// A file's bytes, closed at the end.
class OpenedFile : public ByteSource {
 public:
  explicit OpenedFile(int fd) : fd_(fd), bytes_(fd) {}
  ~OpenedFile() override {
#ifdef _WIN32
    _close(fd_);
#else
    close(fd_);
#endif
  }
  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;
  long Read(char* into, std::size_t size) override { return bytes_.Read(into, size); }
  std::string Problem() const override { return bytes_.Problem(); }
  bool CanReadAgain() const override { return bytes_.CanReadAgain(); }
  bool ReadAgain() override { return bytes_.ReadAgain(); }

 private:
  int fd_;
  FileSource bytes_;
};

}  // namespace

namespace {

#ifdef _WIN32
std::wstring Wide(const std::string& utf8) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), size);
  wide.resize(wide.size() - 1);
  return wide;
}
#endif

// --output's file, and the new one beside it that takes the output.
std::string output_path, output_new;
bool output_open = false;  // as standard output

#ifndef _WIN32
// The new file's name for a signal's handler, which may only call what is
// safe in one (unlink, signal, raise): a run stopped by Ctrl+C or kill
// leaves nothing beside the file.
char interrupted_new[4096];

extern "C" void RemoveNewFileAndStop(int signal_number) {
  if (interrupted_new[0] != '\0') unlink(interrupted_new);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}
#endif

}  // namespace

int OpenOutputFile(const std::string& path) {
  // A name of its own beside the file, so that the rename stays on its file
  // system; the process's number keeps two runs apart.
  for (int attempt = 0; attempt < 100; ++attempt) {
#ifdef _WIN32
    const std::string name =
        path + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt) + ".tmp";
    const HANDLE file = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS) continue;
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
#else
    const std::string name =
        path + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return errno;
    }
    // A file replaced keeps its permissions.
    struct stat old {};
    if (stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) fchmod(fd, old.st_mode & 07777);
    if (dup2(fd, 1) < 0) {
      const int error = errno;
      close(fd);
      unlink(name.c_str());
      return error;
    }
    close(fd);
#endif
    output_path = path;
    output_new = name;
    output_open = true;
#ifndef _WIN32
    if (name.size() < sizeof interrupted_new) {
      std::copy(name.begin(), name.end(), interrupted_new);
      interrupted_new[name.size()] = '\0';
      for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(signal_number, RemoveNewFileAndStop);
      }
    }
#endif
    return 0;
  }
  return EEXIST;
}

// Closes standard output, the new file, once.
int CloseOutputFile() {
  if (!output_open) return 0;
  output_open = false;
#ifdef _WIN32
  return _close(1) == 0 ? 0 : errno;
#else
  return close(1) == 0 ? 0 : errno;
#endif
}

int KeepOutputFile() {
  if (output_new.empty()) return 0;
  // Everything written and on the disk, then closed: a file still open
  // cannot be renamed on Windows.
  int error = std::fflush(stdout) == 0 ? 0 : errno;
#ifndef _WIN32
  if (error == 0 && fsync(1) != 0) error = errno;
#endif
  if (const int closed = CloseOutputFile(); error == 0) error = closed;
  if (error == 0) {
#ifdef _WIN32
    if (MoveFileExW(Wide(output_new).c_str(), Wide(output_path).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      output_new.clear();
      return 0;
    }
    error = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
#else
    interrupted_new[0] = '\0';  // from here on, the file is in its place or removed
    if (std::rename(output_new.c_str(), output_path.c_str()) == 0) {
      output_new.clear();
      return 0;
    }
    error = errno;
#endif
  }
  DropOutputFile();
  return error;
}

void DropOutputFile() {
#ifndef _WIN32
  interrupted_new[0] = '\0';
#endif
  if (output_new.empty()) return;
  CloseOutputFile();
#ifdef _WIN32
  _wunlink(Wide(output_new).c_str());
#else
  unlink(output_new.c_str());
#endif
  output_new.clear();
}

std::unique_ptr<ByteSource> OpenFile(const std::string& path, int& error) {
#ifdef _WIN32
  const int fd = _wopen(Wide(path).c_str(), _O_RDONLY | _O_BINARY);
#else
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
#endif
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  return std::make_unique<OpenedFile>(fd);
}

namespace {

// A regular file read at any place: pread on POSIX, _fseeki64 and fread on
// Windows (which has no pread).
class RandomAccessFile final : public table::RandomAccessSource {
 public:
#ifdef _WIN32
  RandomAccessFile(std::FILE* file, std::uint64_t size) : file_(file), size_(size) {}
  ~RandomAccessFile() override { std::fclose(file_); }
#else
  RandomAccessFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  ~RandomAccessFile() override { close(fd_); }
#endif
  RandomAccessFile(const RandomAccessFile&) = delete;
  RandomAccessFile& operator=(const RandomAccessFile&) = delete;

  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, char* into, std::size_t size) override {
    if (offset > size_ || size > size_ - offset) {
      problem_ = "четене след края на файла";
      return false;
    }
#ifdef _WIN32
    if (_fseeki64(file_, static_cast<long long>(offset), SEEK_SET) != 0) {
      problem_ = table::SystemProblem(errno);
      return false;
    }
    if (std::fread(into, 1, size, file_) != size) {
      problem_ = std::ferror(file_) ? table::SystemProblem(errno) : "файлът е по-къс от очакваното";
      return false;
    }
#else
    while (size > 0) {
      const ssize_t read = pread(fd_, into, size, static_cast<off_t>(offset));
      if (read < 0 && errno == EINTR) continue;
      if (read <= 0) {
        problem_ = read < 0 ? table::SystemProblem(errno) : "файлът е по-къс от очакваното";
        return false;
      }
      into += read;
      offset += static_cast<std::uint64_t>(read);
      size -= static_cast<std::size_t>(read);
    }
#endif
    return true;
  }
  std::string Problem() const override { return problem_; }

 private:
#ifdef _WIN32
  std::FILE* file_;
#else
  int fd_;
#endif
  std::uint64_t size_;
  std::string problem_;
};

}  // namespace

std::unique_ptr<table::RandomAccessSource> OpenRandomAccessFile(const std::string& path,
                                                                int& error) {
#ifdef _WIN32
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
  return std::make_unique<RandomAccessFile>(file, static_cast<std::uint64_t>(status.st_size));
#else
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
  return std::make_unique<RandomAccessFile>(fd, static_cast<std::uint64_t>(status.st_size));
#endif
}

bool StandardOutputSink::Write(std::string_view bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size()) return true;
  error_ = errno;
  return false;
}

std::vector<std::string> Arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
#ifdef _WIN32
  (void)argc, (void)argv;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide != nullptr && i < count; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, utf8.data(), size, nullptr, nullptr);
    arguments.push_back(std::move(utf8));
  }
  LocalFree(wide);
#else
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
#endif
  return arguments;
}

}  // namespace egn::cli
