#include "cli/console.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "cli/platform/platform.h"
#include "number/utf8.h"

namespace egn::cli {

namespace {

// The length of the UTF-8 sequence that `lead` starts; 0 for a byte that
// starts none.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Whether the bytes of `bytes` from `from` on are all continuation bytes.
bool AllContinue(std::string_view bytes, std::size_t from) {
  for (std::size_t k = from; k < bytes.size(); ++k) {
    if ((static_cast<unsigned char>(bytes[k]) & 0xC0) != 0x80) return false;
  }
  return true;
}

// Appends the UTF-16 of the complete sequences of `bytes` to `out` and
// returns how many bytes it used: a sequence cut at the end is left. What is
// not well-formed becomes one U+FFFD for its lead and the continuation bytes
// that follow it within the sequence's length.
std::size_t Decode(std::string_view bytes, std::u16string& out) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {  // digits, tabs and newlines, most of what is written, as they are
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    const number::Character c = number::DecodeUtf8(bytes, i);
    if (c.code >= 0x10000) {
      const auto code = static_cast<std::uint32_t>(c.code) - 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
      i += c.size;
      continue;
    }
    if (c.code >= 0) {
      out += static_cast<char16_t>(c.code);
      i += c.size;
      continue;
    }
    const std::size_t length = SequenceLength(lead);
    // Cut at the end, unless what there is already cannot continue.
    if (length > 1 && i + length > bytes.size() && AllContinue(bytes, i + 1)) return i;
    std::size_t k = 1;
    while (k < length && i + k < bytes.size() &&
           (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80) {
      ++k;
    }
    out += u'\uFFFD';
    i += k;
  }
  return i;
}

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

TextSink& StandardSink(std::FILE* stream) { return platform::StandardStream(stream); }

bool ReaderHasGone() { return platform::ReaderHasGone(); }

std::unique_ptr<ByteSource> StandardInput() {
  if (auto console = platform::ConsoleInput()) return console;
  return std::make_unique<FileSource>(0);
}

namespace {

// A file's bytes, closed at the end.
class OpenedFile : public ByteSource {
 public:
  explicit OpenedFile(int fd) : fd_(fd), bytes_(fd) {}
  ~OpenedFile() override { platform::Close(fd_); }
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

// --output's file, and the new one beside it that takes the output.
std::string output_path, output_new;
bool output_open = false;  // as standard output

// Closes standard output, the new file, once.
int CloseOutputFile() {
  if (!output_open) return 0;
  output_open = false;
  return platform::CloseStandardOutput();
}

}  // namespace

int OpenOutputFile(const std::string& path) {
  // A name of its own beside the file, so that the rename stays on its file
  // system; the process's number keeps two runs apart.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name =
        path + "." + std::to_string(platform::ProcessId()) + "-" + std::to_string(attempt) + ".tmp";
    if (const int error = platform::CreateAsStandardOutput(name, path)) {
      if (error == EEXIST) continue;
      return error;
    }
    output_path = path;
    output_new = name;
    output_open = true;
    platform::RemoveOnSignal(name);
    return 0;
  }
  return EEXIST;
}

int KeepOutputFile() {
  if (output_new.empty()) return 0;
  // Everything written and on the disk, then closed: a file still open
  // cannot be renamed on Windows.
  int error = std::fflush(stdout) == 0 ? 0 : errno;
  if (error == 0) error = platform::SyncStandardOutput();
  if (const int closed = CloseOutputFile(); error == 0) error = closed;
  if (error == 0) {
    platform::RemoveOnSignal("");  // from here on, the file is in its place or removed
    error = platform::MoveOver(output_new, output_path);
    if (error == 0) {
      output_new.clear();
      return 0;
    }
  }
  DropOutputFile();
  return error;
}

void DropOutputFile() {
  platform::RemoveOnSignal("");
  if (output_new.empty()) return;
  CloseOutputFile();
  platform::RemoveFile(output_new);
  output_new.clear();
}

std::unique_ptr<ByteSource> OpenFile(const std::string& path, int& error) {
  const int fd = platform::OpenForReading(path);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  return std::make_unique<OpenedFile>(fd);
}

namespace {

// A regular file read at any place, never past its end.
class RandomAccessFile final : public table::RandomAccessSource {
 public:
  explicit RandomAccessFile(std::unique_ptr<platform::RandomFile> file) : file_(std::move(file)) {}

  std::uint64_t Size() const override { return file_->Size(); }
  bool ReadAt(std::uint64_t offset, char* into, std::size_t size) override {
    const std::uint64_t end = file_->Size();
    if (offset > end || size > end - offset) {
      problem_ = "четене след края на файла";
      return false;
    }
    const int error = file_->ReadAt(offset, into, size);
    if (error == platform::RandomFile::kShort) {
      problem_ = "файлът е по-къс от очакваното";
    } else if (error != 0) {
      problem_ = table::SystemProblem(error);
    }
    return error == 0;
  }
  std::string Problem() const override { return problem_; }

 private:
  std::unique_ptr<platform::RandomFile> file_;
  std::string problem_;
};

}  // namespace

std::unique_ptr<table::RandomAccessSource> OpenRandomAccessFile(const std::string& path,
                                                                int& error) {
  auto file = platform::OpenRandomFile(path, error);
  if (!file) return nullptr;
  return std::make_unique<RandomAccessFile>(std::move(file));
}

bool WrittenFile::Open(const std::string& path) {
  file_ = platform::CreateForWriting(path);
  if (file_ == nullptr) error_ = errno;
  return file_ != nullptr;
}

WrittenFile::~WrittenFile() { Close(); }

bool WrittenFile::Write(std::string_view bytes) {
  if (file_ == nullptr) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size()) return true;
  error_ = errno;
  return false;
}

bool WrittenFile::Close() {
  if (file_ == nullptr) return error_ == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed && error_ == 0) error_ = errno;
  return closed && error_ == 0;
}

bool StandardOutputSink::Write(std::string_view bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size()) return true;
  error_ = errno;
  return false;
}

std::vector<std::string> Arguments(int argc, char** argv) {
  return platform::Arguments(argc, argv);
}

void PrepareStandardStreams() { platform::PrepareStandardStreams(); }

}  // namespace egn::cli
