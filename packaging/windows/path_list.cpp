#include "path_list.h"

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

std::vector<std::wstring_view> Entries(std::wstring_view path) {
  std::vector<std::wstring_view> entries;
  for (std::size_t start = 0;;) {
    const std::size_t end = path.find(L';', start);
    entries.push_back(path.substr(start, end - start));
    if (end == std::wstring_view::npos) return entries;
    start = end + 1;
  }
}

}  // namespace

bool SameFolder(std::wstring_view a, std::wstring_view b) {
  a = Trimmed(a);
  b = Trimmed(b);
  if (a.empty() || a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

Change WithEntry(std::wstring_view path, std::wstring_view folder) {
  for (const std::wstring_view entry : Entries(path))
    if (SameFolder(entry, folder)) return {};
  // After a PATH that ends in ';' the entry ends in one too: removing it
  // then gives back exactly the PATH it was added to.
  std::wstring result(path);
  if (result.empty())
    result += folder;
  else if (result.back() == L';')
    result += std::wstring(folder) + L';';
  else
    result += L';' + std::wstring(folder);
  return {Outcome::kChanged, result};
}

Change WithoutEntry(std::wstring_view path, std::wstring_view folder) {
  std::wstring result;
  bool removed = false, first = true;
  for (const std::wstring_view entry : Entries(path)) {
    if (SameFolder(entry, folder)) {
      removed = true;
      continue;
    }
    if (!first) result += L';';
    result += entry;
    first = false;
  }
  if (!removed) return {};
  return {Outcome::kChanged, result};
}

}  // namespace egn::path_list
