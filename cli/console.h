// egn-digit's standard streams. Text goes out as UTF-8 bytes to a pipe or a
// file; to a Windows console it goes as UTF-16 through WriteConsoleW, since
// the console would show UTF-8 bytes through its code page (437, 866 or
// 1251) and garble the Bulgarian words. Likewise a Windows console is read
// as UTF-16 through ReadConsoleW. The command line is read as UTF-8
// everywhere (on Windows from its UTF-16 form).
//
// Pipes and files get UTF-8 without a byte-order mark on every system: what
// programs in any language, jq, PowerShell 7 and egn-digit itself read, and
// what can be appended to (a mark in front would be U+FEFF before the first
// number for all of them). On Windows their lines end in CR LF, as those of
// every program written with the C runtime's text mode do: Notepad before
// Windows 10 1809 shows LF alone as one long line, and every reader of text
// (PowerShell, .NET's ReadLine, Python's text mode, egn-digit) takes CR LF.
// Windows PowerShell 5.1 decodes a program's output in the console's code
// page unless it starts with UTF-8's mark; --bom writes one for it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/number_reader.h"

namespace egn::cli {

// Where text goes: a console that takes UTF-16, or a byte stream.
class TextSink {
 public:
  virtual ~TextSink() = default;
  virtual bool IsConsole() const = 0;
  // A byte stream whose lines end in CR LF (a pipe or a file on Windows).
  virtual bool EndsLinesWithCrLf() const { return false; }
  virtual bool WriteBytes(std::string_view bytes) = 0;
  virtual bool WriteWide(std::u16string_view text) = 0;
};

// Writes UTF-8 `text`, its lines ending in '\n', to `sink`. For a console
// the text is converted; a character cut by the end of `text` waits in
// `pending` for the next call (output goes out in buffers of fixed size),
// and a malformed byte becomes U+FFFD. For a byte stream that wants CR LF
// every '\n' becomes CR LF. False when the sink fails.
bool WriteUtf8(TextSink& sink, std::string_view text, std::string& pending);

// Whether the write to a standard stream that just failed failed because
// its reader has gone (a closed pipe, as `| head -1` leaves): EPIPE, or on
// Windows the system's codes for a closed pipe (which the C runtime would
// report as EINVAL).
bool ReaderHasGone();

// The process's standard input: on Windows a console's characters through
// ReadConsoleW, so that a typed Cyrillic letter arrives as typed whatever
// the console's code page; otherwise the bytes of file descriptor 0.
std::unique_ptr<ByteSource> StandardInput();

// The bytes of the file at `path` (UTF-8; on Windows opened by its UTF-16
// name), closed when the source goes; nullptr when it cannot be opened, and
// then `error` is the errno of the open that failed.
std::unique_ptr<ByteSource> OpenFile(const std::string& path, int& error);

// The file at `path` (UTF-8; on Windows opened by its UTF-16 name), read at
// any place, as a ZIP package is; closed when the source goes. Null when it
// cannot be opened, or is no regular file (a pipe, a device: such a file is
// read as a stream, by OpenFile), and then `error` is the errno that says
// why (ESPIPE for a file that is no regular one).
std::unique_ptr<table::RandomAccessSource> OpenRandomAccessFile(const std::string& path,
                                                                int& error);

// A sink of bytes into standard output as they are (a workbook into
// --output's file): written through the C library's stream.
class StandardOutputSink final : public table::ByteSink {
 public:
  bool Write(std::string_view bytes) override;
  std::string Problem() const override { return table::SystemProblem(error_); }

 private:
  int error_ = 0;
};

// A file written from its start (`path` in UTF-8; on Windows opened by its
// UTF-16 name), created or emptied: --summary's.
class WrittenFile final : public table::ByteSink {
 public:
  WrittenFile() = default;
  ~WrittenFile() override;
  WrittenFile(const WrittenFile&) = delete;
  WrittenFile& operator=(const WrittenFile&) = delete;
  // Creates the file: false (Problem() says why) when it cannot be.
  bool Open(const std::string& path);
  // Whether the file is open: created and not yet closed.
  bool opened() const { return file_ != nullptr; }
  bool Write(std::string_view bytes) override;
  std::string Problem() const override { return table::SystemProblem(error_); }
  // Closes the file: false (Problem() says why) when what was written did
  // not all reach it.
  bool Close();

 private:
  std::FILE* file_ = nullptr;
  int error_ = 0;
};

// --output: standard output into the file at `path` (UTF-8), written whole
// or not at all. A new file beside it takes the output, and takes the
// place of `path` only at KeepOutputFile(); until then a file at `path`
// stays as it was, and DropOutputFile() (on any failure) removes the new
// one. Called before anything is written to standard output. Each returns
// 0, or the errno of the call that failed.
int OpenOutputFile(const std::string& path);
// Puts the new file in place of `path`; when that fails, the new file is
// removed.
int KeepOutputFile();
// Removes the new file, if any; `path` stays as it was.
void DropOutputFile();

// The process's standard output or error (`stream` is stdout or stderr).
TextSink& StandardSink(std::FILE* stream);

// The arguments after the program's name, as UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);

// Standard streams as a filter wants them, set once at the start: a closed
// pipe ends the program where the system has that signal, and standard input
// and output are bytes, untranslated (a line's CR LF reaches the reader as it
// is, and output lines end as WriteUtf8 made them).
void PrepareStandardStreams();

}  // namespace egn::cli
