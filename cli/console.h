// egn-digit's standard streams. Text goes out as UTF-8 bytes to a pipe or a
// file; to a Windows console it goes as UTF-16 through WriteConsoleW, since
// the console would show UTF-8 bytes through its code page (437, 866 or
// 1251) and garble the Bulgarian words. The command line is read as UTF-8
// everywhere (on Windows from its UTF-16 form).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace egn::cli {

// Where text goes: a console that takes UTF-16, or a byte stream.
class TextSink {
 public:
  virtual ~TextSink() = default;
  virtual bool IsConsole() const = 0;
  virtual bool WriteBytes(std::string_view bytes) = 0;
  virtual bool WriteWide(std::u16string_view text) = 0;
};

// Writes UTF-8 `text` to `sink`. For a console the text is converted; a
// character cut by the end of `text` waits in `pending` for the next call
// (output goes out in buffers of fixed size), and a malformed byte becomes
// U+FFFD. False when the sink fails.
bool WriteUtf8(TextSink& sink, std::string_view text, std::string& pending);

// The process's standard output or error (`stream` is stdout or stderr).
TextSink& StandardSink(std::FILE* stream);

// The arguments after the program's name, as UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);

}  // namespace egn::cli
