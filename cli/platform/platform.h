// What egn-digit asks of the operating system, behind one seam: the
// declarations here, a definition for each platform (console_posix.cpp, also
// for the browser's build; console_windows.cpp), of which CMake builds the
// one for the target. Nothing else of egn-digit includes a platform's headers
// or tests which platform it is on: console.cpp builds its guarantees (an
// output file written whole or not at all, bounds of a random read, UTF-8 for
// a console) on these calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/console.h"

namespace egn::cli::platform {

// The process's standard output or error (`stream` is stdout or stderr):
// on Windows a console takes UTF-16 and a pipe or file lines in CR LF.
TextSink& StandardStream(std::FILE* stream);

// Whether the write to a standard stream that just failed failed because its
// reader has gone (see egn::cli::ReaderHasGone).
bool ReaderHasGone();

// Standard input as characters when it is a console that gives them (on
// Windows); null when it is to be read as the bytes of file descriptor 0.
std::unique_ptr<ByteSource> ConsoleInput();

// The arguments after the program's name, as UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);

// See egn::cli::PrepareStandardStreams: on POSIX SIGPIPE's own action, on
// Windows binary mode for descriptors 0 and 1 (the C runtime's text mode
// would turn CR LF into LF and back).
void PrepareStandardStreams();

// The file descriptor of the file at `path` (UTF-8) opened for reading in
// binary; -1 with errno set when it cannot be opened.
int OpenForReading(const std::string& path);
// Closes a descriptor of OpenForReading.
void Close(int fd);
// Up to `size` bytes of descriptor `fd` into `into`: how many, 0 at the end,
// -1 with errno set (EINTR too: the caller reads again).
long ReadSome(int fd, char* into, std::size_t size);
// Where a descriptor of a regular file stands, to come back to; -1 for any
// other (a pipe, a console), which cannot be read again.
std::int64_t RegularFileOffset(int fd);
// Puts the descriptor at `offset` again: whether it is there.
bool SeekTo(int fd, std::int64_t offset);

// A regular file read at any place; closed when it goes.
class RandomFile {
 public:
  // ReadAt's answer when the file ends before `size` bytes.
  static constexpr int kShort = -1;

  virtual ~RandomFile() = default;
  virtual std::uint64_t Size() const = 0;
  // 0 when `size` bytes at `offset` (within Size()) are in `into`; kShort,
  // or the errno of the read that failed.
  virtual int ReadAt(std::uint64_t offset, char* into, std::size_t size) = 0;
};

// The file at `path` (UTF-8) for reading at any place. Null when it cannot be
// opened or is no regular file, and then `error` is the errno that says why
// (ESPIPE for a file that is no regular one).
std::unique_ptr<RandomFile> OpenRandomFile(const std::string& path, int& error);

// The file at `path` (UTF-8) created, or emptied, for writing from its
// start through the C library's stream; null with errno set when it cannot
// be.
std::FILE* CreateForWriting(const std::string& path);

// This process's number, which keeps the new files of two runs apart.
unsigned long ProcessId();

// Creates the file `name` (UTF-8), which must not exist yet, and makes it
// standard output (descriptor 1 and the system's standard handle). It takes
// the permissions of a regular file at `replaced` where the system has them.
// 0, EEXIST when `name` exists, or the errno of the call that failed; on a
// failure no file `name` is left.
int CreateAsStandardOutput(const std::string& name, const std::string& replaced);
// Closes standard output: 0 or the errno of the close.
int CloseStandardOutput();
// Puts what was written to standard output on the disk: 0 or the errno.
int SyncStandardOutput();
// Puts the file `from` in place of `to`, replacing it: 0 or the errno.
int MoveOver(const std::string& from, const std::string& to);
// Removes the file at `name`, if it can.
void RemoveFile(const std::string& name);

// While set, a stop by a signal (Ctrl+C, kill, a closed terminal) first
// removes the file `name`; where the system stops a program otherwise,
// nothing. RemoveOnSignal("") forgets it.
void RemoveOnSignal(const std::string& name);

}  // namespace egn::cli::platform
