#include "runtime/forms/code_page.h"

#include <algorithm>
#include <array>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#elif defined(__EMSCRIPTEN__)
// The browser's own converter, TextDecoder, through code_page.js: writes the
// UTF-16 of `size` bytes to `out` (room for one unit a byte) and returns how
// many units it wrote, or -1 when the bytes do not decode.
extern "C" int egn_decode_code_page(const char* name, const char* bytes, std::size_t size,
                                    char16_t* out);
#else
#include <iconv.h>
#endif

namespace egn::runtime {

namespace {

constexpr std::array<std::pair<int, CodePage>, 8> kCodePages = {{
    {0, {1252, "windows-1252"}},
    {161, {1253, "windows-1253"}},
    {162, {1254, "windows-1254"}},
    {177, {1255, "windows-1255"}},
    {178, {1256, "windows-1256"}},
    {186, {1257, "windows-1257"}},
    {204, {1251, "windows-1251"}},
    {238, {1250, "windows-1250"}},
}};

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
// iconv decodes to its own internal form, UCS-4 in the machine's byte order
// ("WCHAR_T" in glibc), without loading a second converter module; the
// runtime then writes UTF-16 itself.
constexpr const char* kUcs4 = "WCHAR_T";
static_assert(sizeof(wchar_t) == sizeof(char32_t));
// iconv_open's own failure value.
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
#endif

}  // namespace

std::optional<CodePage> CodePageOf(int charset) {
  for (const auto& [set, page] : kCodePages) {
    if (set == charset) return page;
  }
  return std::nullopt;
}

#if defined(_WIN32) || defined(__EMSCRIPTEN__)

CodePageDecoder::CodePageDecoder(const CodePage& code_page) : code_page_(code_page) {}

CodePageDecoder::~CodePageDecoder() = default;

#else

CodePageDecoder::CodePageDecoder(const CodePage& code_page) : code_page_(code_page) {
  const iconv_t cd = iconv_open(kUcs4, std::string(code_page.name).c_str());
  if (cd != kNoConverter) converter_ = cd;
}

CodePageDecoder::~CodePageDecoder() {
  if (converter_ != nullptr) iconv_close(static_cast<iconv_t>(converter_));
}

#endif

std::optional<std::u16string> CodePageDecoder::operator()(std::string_view bytes) {
  if (std::all_of(bytes.begin(), bytes.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::u16string(bytes.begin(), bytes.end());
  }
  // A single-byte code page gives at most one UTF-16 unit a byte.
  std::u16string text(bytes.size(), u'\0');
#ifdef _WIN32
  const int length =
      MultiByteToWideChar(static_cast<UINT>(code_page_.number), MB_ERR_INVALID_CHARS, bytes.data(),
                          static_cast<int>(bytes.size()), reinterpret_cast<wchar_t*>(text.data()),
                          static_cast<int>(text.size()));
  if (length <= 0) return std::nullopt;
  text.resize(static_cast<std::size_t>(length));
#elif defined(__EMSCRIPTEN__)
  const std::string name(code_page_.name);
  const int length = egn_decode_code_page(name.c_str(), bytes.data(), bytes.size(), text.data());
  if (length < 0) return std::nullopt;
  text.resize(static_cast<std::size_t>(length));
#else
  if (converter_ == nullptr) return std::nullopt;
  const auto cd = static_cast<iconv_t>(converter_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a fresh start for every text
  std::vector<char32_t> wide(bytes.size());
  char* in = const_cast<char*>(bytes.data());  // iconv's signature; it only reads
  std::size_t in_left = bytes.size();
  char* out = reinterpret_cast<char*>(wide.data());
  std::size_t out_left = wide.size() * sizeof(char32_t);
  if (iconv(cd, &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1)) {
    return std::nullopt;
  }
  wide.resize(wide.size() - out_left / sizeof(char32_t));
  text.clear();
  for (const char32_t c : wide) {
    // Every character of these code pages lies in the Basic Multilingual Plane.
    if (c > 0xFFFF) return std::nullopt;
    text.push_back(static_cast<char16_t>(c));
  }
#endif
  // An unassigned byte may come back as a C1 control code or as U+FFFD
  // instead of an error, depending on the converter: neither is text.
  if (std::any_of(text.begin(), text.end(),
                  [](char16_t c) { return (c >= 0x80 && c <= 0x9F) || c == 0xFFFD; })) {
    return std::nullopt;
  }
  return text;
}

}  // namespace egn::runtime
