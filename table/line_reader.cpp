#include "table/line_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace egn::table {

namespace {

// The smallest buffer that holds any byte-order mark and the byte after it.
constexpr std::size_t kSmallestBuffer = 4;

}  // namespace

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
  const Marked marked =
      EncodingOfStart(std::string_view(buffer_.data(), end_)).value_or(Marked{Encoding::kUtf8, 0});
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
    const std::uint32_t unit = Utf16Unit(in + i, encoding);
    if (unit < 0x80) {
      *to++ = static_cast<char>(unit);
      i += 2;
      continue;
    }
    if (IsHighSurrogate(unit) && i + 4 > raw_end_ && !source_done_)
      break;  // its other half may follow
    const Utf16Character c = Utf16CharacterAt(in + i, raw_end_ - i, encoding);
    to = PutUtf8(to,
                 c.code);  // a lone surrogate as its three bytes, which a check of the line names
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

}  // namespace egn::table
