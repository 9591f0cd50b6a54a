#include "path_list.h"

#include <algorithm>
#include <vector>

namespace egn::path_list {

namespace {

std::wstring_view Trimmed(std::wstring_view entry) {
  const auto blank = [](wchar_t c) { return c == L' ' || c == L'"'; };
  while (!entry.empty() && blank(entry.front())) entry.remove_prefix(1);
  while (!entry.empty() && blank(entry.back())) entry.remove_suffix(1);
  while (entry.size() > 1 && entry.back() == L'\\') entry.remove_suffix(1);
  return entry;
}

wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The PATH as Windows reads it, split into its entries: ';' separates them
// outside double quotes only. `unclosed` tells whether the last entry is
// still inside a quote at the end.
struct Entries {
  std::vector<std::wstring_view> list;
  bool unclosed = false;
};

Entries Split(std::wstring_view path) {
  Entries entries;
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == L'"') {
      entries.unclosed = !entries.unclosed;
    } else if (path[i] == L';' && !entries.unclosed) {
      entries.list.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  entries.list.push_back(path.substr(start));
  return entries;
}

// A value as Windows reads it: the PATH up to the first NUL, and what
// follows it (the NUL included), which is no part of the PATH.
struct Value {
  std::wstring_view visible, rest;
};

Value Read(std::wstring_view value) {
  const std::size_t nul = value.find(L'\0');
  if (nul == std::wstring_view::npos) return {value, {}};
  return {value.substr(0, nul), value.substr(nul)};
}

Change Changed(std::wstring visible, std::wstring_view rest) {
  return {Outcome::kChanged, visible.append(rest)};
}

}  // namespace

std::optional<Outcome> FolderRefusal(std::wstring_view folder) {
  if (folder.find(L';') != std::wstring_view::npos) return Outcome::kFolderHoldsSeparator;
  // The part below the root: after "X:\" on a drive, after "\\server\share\"
  // on a share. Whatever has neither is relative ("egn", "C:egn", "\egn").
  std::wstring_view below;
  if (folder.size() >= 2 && folder[1] == L':' && Upper(folder[0]) >= L'A' &&
      Upper(folder[0]) <= L'Z') {
    below = folder.substr(2);
    if (!below.empty() && !IsSeparator(below.front())) return Outcome::kFolderNotFullPath;
  } else if (folder.size() >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1])) {
    below = folder.substr(2);
    for (int part = 0; part < 2 && !below.empty(); ++part) {  // the server, then the share
      while (!below.empty() && IsSeparator(below.front())) below.remove_prefix(1);
      while (!below.empty() && !IsSeparator(below.front())) below.remove_prefix(1);
    }
  } else {
    return Outcome::kFolderNotFullPath;
  }
  while (!below.empty() && IsSeparator(below.front())) below.remove_prefix(1);
  if (below.empty()) return Outcome::kFolderIsRoot;
  return std::nullopt;
}

bool SameFolder(std::wstring_view a, std::wstring_view b) {
  a = Trimmed(a);
  b = Trimmed(b);
  if (a.empty() || a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

Change WithEntry(std::wstring_view path, std::wstring_view folder) {
  if (const auto refusal = FolderRefusal(folder)) return {*refusal, {}};
  const auto [visible, rest] = Read(path);
  const Entries entries = Split(visible);
  for (const std::wstring_view entry : entries.list)
    if (SameFolder(entry, folder)) return {};
  if (entries.unclosed) return {Outcome::kUnclosedQuote, {}};
  // After a PATH that ends in ';' the entry ends in one too: removing it
  // then gives back exactly the PATH it was added to.
  std::wstring result(visible);
  if (result.empty())
    result += folder;
  else if (result.back() == L';')
    result += std::wstring(folder) + L';';
  else
    result += L';' + std::wstring(folder);
  if (result.size() > kMaxLength) return {Outcome::kTooLong, {}};
  return Changed(std::move(result), rest);
}

Change WithoutEntry(std::wstring_view path, std::wstring_view folder) {
  if (const auto refusal = FolderRefusal(folder)) return {*refusal, {}};
  const auto [visible, rest] = Read(path);
  const Entries entries = Split(visible);
  std::wstring result;
  bool removed = false, first = true;
  for (const std::wstring_view entry : entries.list) {
    if (!removed && SameFolder(entry, folder)) {
      removed = true;
      continue;
    }
    if (!first) result += L';';
    result += entry;
    first = false;
  }
  if (!removed && entries.unclosed) {
    // A quote typed before the folder's entry and never closed takes it into
    // the entry it opens: the folder is there as text, but no entry of its
    // own, and taking it out would change the user's entry.
    std::wstring_view last = entries.list.back();
    for (std::size_t end; !last.empty(); last.remove_prefix(end == last.size() ? end : end + 1)) {
      end = std::min(last.find(L';'), last.size());
      if (SameFolder(last.substr(0, end), folder)) return {Outcome::kUnclosedQuote, {}};
    }
  }
  if (!removed) return {};
  return Changed(std::move(result), rest);
}

}  // namespace egn::path_list
