#include "cli/number_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "number/utf8.h"
#include "table/encodings.h"

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

namespace {

// The smallest buffer that holds any byte-order mark and the byte after it.
constexpr std::size_t kSmallestBuffer = 4;

}  // namespace

LineReader::LineReader(int fd, std::function<void()> before_read, std::size_t buffer_size)
    : owned_(std::make_unique<FileSource>(fd)),
      source_(*owned_),
      before_read_(std::move(before_read)),
      buffer_(std::max(buffer_size, kSmallestBuffer)) {}

LineReader::LineReader(ByteSource& source, std::function<void()> before_read,
                       std::size_t buffer_size)
    : source_(source),
      before_read_(std::move(before_read)),
      buffer_(std::max(buffer_size, kSmallestBuffer)) {
  if (source_.IsUtf16()) {
    started_ = true;
    UseUtf16(Encoding::kUtf16Le);
  }
}

void LineReader::UseUtf16(Encoding encoding) {
  encoding_ = encoding;
  raw_.resize(buffer_.size());
  // Two bytes give at most three of UTF-8 (a pair of four gives four); an
  // odd byte or a lone surrogate at the end at most three more.
  buffer_.resize(raw_.size() / 2 * 3 + 8);
}

bool LineReader::Fill() {
  if (at_end_) return false;
  if (before_read_) before_read_();
  begin_ = end_ = 0;
  if (!started_) {
    started_ = true;
    if (!Start()) return false;
    if (begin_ < end_) return true;
    if (at_end_) return false;  // nothing, or a byte-order mark alone
    begin_ = end_ = 0;
  }
  return encoding_ == Encoding::kUtf8 ? ReadUtf8() : ReadUtf16();
}

// Reads until the first bytes tell the encoding: one byte never does, nor
// the first two of UTF-8's mark. Waiting for them delays no answer, since a
// line that gives one has at least two bytes.
bool LineReader::Start() {
  const auto byte = [this](std::size_t i) { return static_cast<unsigned char>(buffer_[i]); };
  bool ended = false;
  while (end_ < 3) {
    const long got = source_.Read(buffer_.data() + end_, buffer_.size() - end_);
    if (got < 0) {
      at_end_ = failed_ = true;
      return false;
    }
    if (got == 0) {
      ended = true;
      break;
    }
    end_ += static_cast<std::size_t>(got);
    if (end_ >= 2 && !(byte(0) == 0xEF && byte(1) == 0xBB)) break;
  }
  const table::Marked marked = table::EncodingOfStart(std::string_view(buffer_.data(), end_))
                                   .value_or(table::Marked{Encoding::kUtf8, 0});
  const Encoding encoding = marked.encoding;
  const std::size_t mark = marked.mark;
  if (encoding != Encoding::kUtf8) {
    UseUtf16(encoding);
    raw_end_ = end_ - mark;
    std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(mark),
              buffer_.begin() + static_cast<std::ptrdiff_t>(end_), raw_.begin());
    begin_ = end_ = 0;
    source_done_ = ended;
    return true;
  }
  begin_ = mark;
  at_end_ = ended;  // the next Fill ends the input
  return true;
}

bool LineReader::ReadUtf8() {
  const long got = source_.Read(buffer_.data(), buffer_.size());
  if (got > 0) {
    end_ = static_cast<std::size_t>(got);
    return true;
  }
  at_end_ = true;
  failed_ = got < 0;
  return false;
}

bool LineReader::ReadUtf16() {
  for (;;) {
    Decode();
    if (end_ > 0) {
      at_end_ = source_done_ && raw_end_ == 0;
      return true;
    }
    if (source_done_) {
      at_end_ = true;
      return false;
    }
    const long got = source_.Read(raw_.data() + raw_end_, raw_.size() - raw_end_);
    if (got < 0) {
      at_end_ = failed_ = true;
      return false;
    }
    if (got == 0) source_done_ = true;
    raw_end_ += static_cast<std::size_t>(got);
  }
}

// Decodes the whole code units of raw_ into buffer_ as UTF-8. Until the
// source is done, an odd byte and a high surrogate at the end wait for what
// follows them; when it is done they are decoded as what is wrong.
void LineReader::Decode() {
  const Encoding encoding = encoding_;  // (the writes through `out` could change a member)
  const char* in = raw_.data();
  char* const out = buffer_.data();
  char* to = out;
  std::size_t i = 0;
  while (i + 2 <= raw_end_) {
    const std::uint32_t unit = table::Utf16Unit(in + i, encoding);
    if (unit < 0x80) {
      *to++ = static_cast<char>(unit);
      i += 2;
      continue;
    }
    if (table::IsHighSurrogate(unit) && i + 4 > raw_end_ && !source_done_)
      break;  // its other half may follow
    const table::Utf16Character c = table::Utf16CharacterAt(in + i, raw_end_ - i, encoding);
    to = table::PutUtf8(to, c.code);  // a lone surrogate as its three bytes, which CheckLine names
    i += c.size;
  }
  if (source_done_ && i < raw_end_) {
    *to++ = '\xFF';  // an odd byte at the end
    i = raw_end_;
  }
  std::copy(raw_.begin() + static_cast<std::ptrdiff_t>(i),
            raw_.begin() + static_cast<std::ptrdiff_t>(raw_end_), raw_.begin());
  raw_end_ -= i;
  begin_ = 0;
  end_ = static_cast<std::size_t>(to - out);
}

bool LineReader::Next(Line& line) {
  partial_.clear();
  std::size_t length = 0;
  for (;;) {
    if (begin_ == end_ && !Fill()) {
      // The end of the input: a last line without '\n' is still a line.
      if (length == 0 || failed_) return false;
      line = {partial_, length, encoding_};
      return true;
    }
    const char* start = buffer_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const auto* newline = static_cast<const char*>(std::memchr(start, '\n', available));
    const std::size_t taken = newline ? static_cast<std::size_t>(newline - start) : available;
    if (newline != nullptr && length == 0) {
      // The whole line lies in the buffer: no copy.
      begin_ += taken + 1;
      line = {std::string_view(start, std::min(taken, kLongestLine)), taken, encoding_};
      return true;
    }
    if (partial_.size() < kLongestLine) {
      partial_.append(start, std::min(taken, kLongestLine - partial_.size()));
    }
    length += taken;
    begin_ += taken;
    if (newline != nullptr) {
      ++begin_;
      line = {partial_, length, encoding_};
      return true;
    }
  }
}

namespace {

std::string CodePoint(long c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04lX", c);
  return text;
}

// What the reader's decoding of UTF-16 left in `text` where it found no
// character (see LineReader).
std::string Utf16Problem(std::string_view text) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const std::string start = "редът не е текст в UTF-16: ";
  if (text.size() >= 3 && byte(0) == 0xED && byte(1) >= 0xA0) {
    const unsigned surrogate = 0xD000U | (byte(1) & 0x3FU) << 6 | (byte(2) & 0x3FU);
    return start + table::utf16_fault::LoneSurrogate(surrogate);
  }
  return start + std::string(table::utf16_fault::kOddByte);
}

}  // namespace

Checked CheckLine(const Line& line, bool blank_is_nothing) {
  Checked checked;
  checked.verdict = Verdict::kMalformed;
  if (line.length > kLongestLine) {
    checked.problem = "редът е твърде дълъг (" + std::to_string(line.length) +
                      " байта), очакват се 9 или 10 цифри";
    return checked;
  }
  std::string_view text = line.text;
  if (text.ends_with('\r')) text.remove_suffix(1);
  text = TrimBlanks(text);
  if (text.empty() && blank_is_nothing) {
    checked.verdict = Verdict::kNothing;
    return checked;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') continue;
    const bool utf16 = IsUtf16(line.encoding);
    if (text[i] == '\0') {
      checked.problem =
          "редът съдържа " + std::string(utf16 ? table::utf16_fault::kZero : "нулев байт");
      return checked;
    }
    const number::Character c = number::DecodeUtf8(text, i);
    if (c.code < 0) {
      checked.problem = utf16 ? Utf16Problem(text.substr(i)) : "редът не е текст в UTF-8";
      return checked;
    }
    // A visible character is shown as well as named; blanks, control and
    // format characters only by their number.
    const bool visible = c.code > 0x20 && c.code != 0x7F && !(c.code >= 0x80 && c.code <= 0xA0);
    const std::string shown =
        visible ? "„" + std::string(text.substr(i, c.size)) + "“ (" + CodePoint(c.code) + ")"
                : CodePoint(c.code);
    checked.problem = "знакът " + shown + " не е цифра от 0 до 9";
    return checked;
  }
  checked.digits = text;
  if (text.size() != 9 && text.size() != 10) {
    checked.problem = "очакват се 9 или 10 цифри, а са " + std::to_string(text.size());
    return checked;
  }
  checked.verdict = text.size() == 9 ? Verdict::kNine : Verdict::kTen;
  return checked;
}

}  // namespace egn::cli
