#include "cli/console.h"

#ifdef _WIN32
#include <windows.h>
// (after windows.h, on which it builds)
#include <shellapi.h>
#endif

#include <algorithm>
#include <cstdint>

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
  bool WriteBytes(std::string_view bytes) override {
    return std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size();
  }
  bool WriteWide(std::u16string_view text) override {
#ifdef _WIN32
    std::fflush(stream_);  // what went out as bytes before stays before
    while (!text.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 8192));
      DWORD written = 0;
      if (!WriteConsoleW(handle_, text.data(), chunk, &written, nullptr) || written == 0) {
        return false;
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
  std::FILE* stream_;
  bool console_ = false;
#ifdef _WIN32
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#endif
};

}  // namespace

bool WriteUtf8(TextSink& sink, std::string_view text, std::string& pending) {
  if (!sink.IsConsole()) return sink.WriteBytes(text);
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
