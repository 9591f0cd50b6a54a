// The PATH as Windows keeps it, one string of folders separated by ';', and
// the installer's one change to it: its own folder added once, and removed
// again without touching any other entry. Plain strings, so that the rules
// are tested on any system; path_entry.cpp applies them to the registry.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace egn::path_list {

// What a change to the PATH comes to: changed, nothing to change, or why
// the change is refused (and the PATH left as it was).
enum class Outcome {
  kChanged,    // `Change::value` is the new PATH
  kUnchanged,  // nothing to do: the folder is an entry already (added) or is none (removed)
  kFolderHoldsSeparator,  // the folder's name holds ';', which would make it two entries
  kFolderIsRoot,          // a drive's or a share's root: "C:" there is drive C's current folder
  kFolderNotFullPath,     // relative: each command would resolve it against its own folder
  kUnclosedQuote,         // the PATH ends inside a quote, which would take in an entry added after
  kTooLong,               // the PATH would be longer than kMaxLength
};

// The longest PATH a process's environment can hold, in UTF-16 units.
constexpr std::size_t kMaxLength = 32767;

struct Change {
  Outcome outcome = Outcome::kUnchanged;
  std::wstring value;  // the new PATH where changed, else empty

  bool operator==(const Change&) const = default;
};

// Why `folder` cannot be an entry of the PATH (one of the kFolder...
// outcomes), or nothing when it can: a full path of a folder below a drive's
// or a share's root, without ';'. WithEntry and WithoutEntry refuse such a
// folder the same way, so that nothing else on the PATH is taken for it.
std::optional<Outcome> FolderRefusal(std::wstring_view folder);

// Whether two entries name the same folder as the PATH is searched: letters
// A-Z in either case, a trailing '\' and surrounding double quotes or spaces
// make no difference. (Other letters are compared as they are: the installer
// compares its folder with what it wrote itself.)
bool SameFolder(std::wstring_view a, std::wstring_view b);

// The PATH is read as Windows reads it: `path` up to its first NUL, and in
// it, entries separated by ';' outside double quotes (a quoted entry is one
// entry, ';' and all). Whatever follows a NUL is no part of the PATH and is
// kept as it is, after it.

// `path` with `folder` added at the end, unchanged when it is already an
// entry (no duplicates). The other entries stay exactly as they were, and
// WithoutEntry gives `path` back. Refused when the PATH would pass
// kMaxLength or ends inside a quote.
Change WithEntry(std::wstring_view path, std::wstring_view folder);

// `path` without the first entry that names `folder`, unchanged when none
// does, and refused (kUnclosedQuote) when the folder is there only inside a
// quote that is never closed. That is the one WithEntry added: an entry for the folder that was
// there before is never added again, and one typed after the installation
// is the user's own and stays, as does every other entry, empty ones too.
Change WithoutEntry(std::wstring_view path, std::wstring_view folder);

}  // namespace egn::path_list
