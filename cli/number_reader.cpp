#include "cli/number_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace egn::cli {

LineReader::LineReader(int fd, std::function<void()> before_read, std::size_t buffer_size)
    : fd_(fd), before_read_(std::move(before_read)), buffer_(buffer_size) {}

bool LineReader::Fill() {
  if (at_end_) return false;
  if (before_read_) before_read_();
  begin_ = end_ = 0;
  for (;;) {
#ifdef _WIN32
    const int got = _read(fd_, buffer_.data(), static_cast<unsigned>(buffer_.size()));
#else
    const ssize_t got = read(fd_, buffer_.data(), buffer_.size());
#endif
    if (got > 0) {
      end_ = static_cast<std::size_t>(got);
      return true;
    }
    if (got < 0 && errno == EINTR) continue;
    at_end_ = true;
    failed_ = got < 0;
    return false;
  }
}

bool LineReader::Next(Line& line) {
  partial_.clear();
  std::size_t length = 0;
  for (;;) {
    if (begin_ == end_ && !Fill()) {
      // The end of the input: a last line without '\n' is still a line.
      if (length == 0 || failed_) return false;
      line = {partial_, length};
      return true;
    }
    const char* start = buffer_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const auto* newline = static_cast<const char*>(std::memchr(start, '\n', available));
    const std::size_t taken = newline ? static_cast<std::size_t>(newline - start) : available;
    if (newline != nullptr && length == 0) {
      // The whole line lies in the buffer: no copy.
      begin_ += taken + 1;
      line = {std::string_view(start, std::min(taken, kLongestLine)), taken};
      return true;
    }
    if (partial_.size() < kLongestLine) {
      partial_.append(start, std::min(taken, kLongestLine - partial_.size()));
    }
    length += taken;
    begin_ += taken;
    if (newline != nullptr) {
      ++begin_;
      line = {partial_, length};
      return true;
    }
  }
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

struct Character {
  long code;         // -1: the bytes there are no well-formed UTF-8
  std::size_t size;  // its bytes
};

// The character that starts at `text[i]`. Overlong forms, surrogates and
// values past U+10FFFF are not well-formed.
Character DecodeUtf8(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return {lead, 1};
  std::size_t extra = 0;
  long c = 0;
  long least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, c = lead & 0x07, least = 0x10000;
  } else {
    return {-1, 1};
  }
  for (std::size_t k = 1; k <= extra; ++k) {
    if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) return {-1, 1};
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {-1, 1};
  return {c, extra + 1};
}

std::string CodePoint(long c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04lX", c);
  return text;
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
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.empty() && blank_is_nothing) {
    checked.verdict = Verdict::kNothing;
    return checked;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') continue;
    if (text[i] == '\0') {
      checked.problem = "редът съдържа нулев байт";
      return checked;
    }
    const Character c = DecodeUtf8(text, i);
    if (c.code < 0) {
      checked.problem = "редът не е текст в UTF-8";
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
  if (text.size() != 9 && text.size() != 10) {
    checked.problem = "очакват се 9 или 10 цифри, а са " + std::to_string(text.size());
    return checked;
  }
  checked.verdict = text.size() == 9 ? Verdict::kNine : Verdict::kTen;
  checked.digits = text;
  return checked;
}

}  // namespace egn::cli
