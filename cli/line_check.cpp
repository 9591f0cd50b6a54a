#include "cli/line_check.h"

#include <cstdio>

#include "number/digits.h"
#include "number/utf8.h"
#include "table/blanks.h"
#include "table/encodings.h"

namespace egn::cli {

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
  text = table::TrimBlanks(text);
  if (text.empty() && blank_is_nothing) {
    checked.verdict = Verdict::kNothing;
    return checked;
  }
  if (const std::size_t i = number::FirstNonDigit(text); i != std::string_view::npos) {
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
