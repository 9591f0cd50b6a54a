// The PATH as Windows keeps it, one string of folders separated by ';', and
// the installer's one change to it: its own folder added once, and removed
// again without touching any other entry. Plain strings, so that the rules
// are tested on any system; path_entry.cpp applies them to the registry.
#pragma once

#include <string>
#include <string_view>

namespace egn::path_list {

// What a change to the PATH comes to.
enum class Outcome {
  kChanged,    // `Change::value` is the new PATH
  kUnchanged,  // nothing to do: the folder is an entry already (added) or is none (removed)
};

struct Change {
  Outcome outcome = Outcome::kUnchanged;
  std::wstring value;  // the new PATH where changed, else empty

  bool operator==(const Change&) const = default;
};

// Whether two entries name the same folder as the PATH is searched: letters
// A-Z in either case, a trailing '\' and surrounding double quotes or spaces
// make no difference. (Other letters are compared as they are: the installer
// compares its folder with what it wrote itself.)
bool SameFolder(std::wstring_view a, std::wstring_view b);

// `path` with `folder` added at the end, unchanged when it is already an
// entry (no duplicates). The other entries stay exactly as they were, and
// WithoutEntry gives `path` back.
Change WithEntry(std::wstring_view path, std::wstring_view folder);

// `path` without the entries that name `folder`, unchanged when none does.
// Every other entry, empty ones included, stays exactly as it was.
Change WithoutEntry(std::wstring_view path, std::wstring_view folder);

}  // namespace egn::path_list
