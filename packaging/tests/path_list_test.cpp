#include "../windows/path_list.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace egn::path_list {

// Failures show the outcome's number and the PATH.
void PrintTo(const Change& change, std::ostream* out) {
  *out << static_cast<int>(change.outcome) << ' ' << testing::PrintToString(change.value);
}

}  // namespace egn::path_list

namespace {

using egn::path_list::Change;
using egn::path_list::FolderRefusal;
using egn::path_list::kMaxLength;
using egn::path_list::Outcome;
using egn::path_list::WithEntry;
using egn::path_list::WithoutEntry;

constexpr wchar_t kFolder[] = L"C:\\Users\\Иван\\AppData\\Local\\Programs\\egn-check";

Change Changed(std::wstring path) { return {Outcome::kChanged, std::move(path)}; }
const Change kUnchanged{};
Change Refused(Outcome why) { return {why, L""}; }

// `visible`, a NUL, then `hidden`.
std::wstring Nul(std::wstring visible, std::wstring_view hidden) {
  return visible.append(1, L'\0').append(hidden);
}
// A PATH of `length` characters: entries of 99 and one of the rest.
std::wstring Long(std::size_t length) {
  std::wstring path;
  while (path.size() + 100 < length) path += L"C:\\" + std::wstring(96, L'x') + L";";
  return path + L"C:\\" + std::wstring(length - path.size() - 3, L'y');
}
std::size_t Length(std::wstring_view text) { return text.size(); }

struct Case {
  const char* name;
  std::wstring path;
  Change added, removed;
};

// A function, not a static array: GCC 12 at -O3 takes the array's vectors
// for uninitialised in its static destructor.
std::vector<Case> Cases() {
  return {
      {"empty", L"", Changed(kFolder), kUnchanged},
      {"others", L"C:\\Windows;C:\\Tools",
       Changed(std::wstring(L"C:\\Windows;C:\\Tools;") + kFolder), kUnchanged},
      {"ends_with_separator", L"C:\\Windows;",
       Changed(std::wstring(L"C:\\Windows;") + kFolder + L";"), kUnchanged},
      // Already there, however it is written: no duplicate; removing it keeps
      // every other entry as it was, the empty and the expandable ones too.
      {"already_last", std::wstring(L"%SystemRoot%;;C:\\Tools;") + kFolder, kUnchanged,
       Changed(L"%SystemRoot%;;C:\\Tools")},
      {"already_first_other_case_quoted_trailing_backslash",
       L"\"c:\\users\\Иван\\appdata\\local\\programs\\EGN-CHECK\\\";C:\\Tools;", kUnchanged,
       Changed(L"C:\\Tools;")},
      {"already_with_two_trailing_backslashes", std::wstring(kFolder) + L"\\\\;C:\\Tools",
       kUnchanged, Changed(L"C:\\Tools")},
      // Empty entries are entries: kept where they are, the leading ones too.
      {"leading_empty_entries", L";;C:\\Tools;" + std::wstring(kFolder), kUnchanged,
       Changed(L";;C:\\Tools")},
      {"first_then_empty_entries", std::wstring(kFolder) + L";;C:\\Tools", kUnchanged,
       Changed(L";C:\\Tools")},
      {"alone", kFolder, kUnchanged, Changed(L"")},
      // The first is the installer's: one typed after it is the user's own.
      {"twice", std::wstring(kFolder) + L";C:\\Tools;" + kFolder, kUnchanged,
       Changed(L"C:\\Tools;" + std::wstring(kFolder))},
      // A longer or shorter folder that begins alike is another folder.
      {"prefix_is_another_folder",
       L"C:\\Users\\Иван\\AppData\\Local\\Programs\\egn-check2;C:\\Users\\Иван\\AppData\\Local",
       Changed(std::wstring(L"C:\\Users\\Иван\\AppData\\Local\\Programs\\egn-check2;") +
               L"C:\\Users\\Иван\\AppData\\Local;" + kFolder),
       kUnchanged},
      // Case is folded for A-Z only: the installer compares with what it wrote.
      {"other_letters_keep_their_case", L"C:\\Users\\ИВАН\\AppData\\Local\\Programs\\egn-check",
       Changed(L"C:\\Users\\ИВАН\\AppData\\Local\\Programs\\egn-check;" + std::wstring(kFolder)),
       kUnchanged},
      // A quoted entry is one entry, ';' and all, even when a part of it
      // names the folder; a quote never closed takes in the rest of the PATH,
      // and an entry added after it would be part of it.
      {"quoted_entry_holding_the_folder", L"\"C:\\Old;Tools\\;" + std::wstring(kFolder) + L"\"",
       Changed(L"\"C:\\Old;Tools\\;" + std::wstring(kFolder) + L"\";" + kFolder), kUnchanged},
      {"quoted_entry_before_the_folder", L"\"C:\\Old;Tools\";" + std::wstring(kFolder), kUnchanged,
       Changed(L"\"C:\\Old;Tools\"")},
      {"unclosed_quote", L"C:\\Tools;\"C:\\Old", Refused(Outcome::kUnclosedQuote), kUnchanged},
      // ... and one typed before the folder's entry takes it in: it stays
      // as it is, and the installer says why.
      {"unclosed_quote_takes_in_the_folder", L"C:\\Tools;\"C:\\Old;" + std::wstring(kFolder),
       Refused(Outcome::kUnclosedQuote), Refused(Outcome::kUnclosedQuote)},
      {"unclosed_quote_before_the_folder_as_typed",
       L"\"C:\\Tools;" + std::wstring(kFolder) + L"\\;C:\\Old", Refused(Outcome::kUnclosedQuote),
       Refused(Outcome::kUnclosedQuote)},
      // Windows reads a value up to its first NUL: what follows is no part of
      // the PATH, and is kept as it was.
      {"nul_after_the_path", Nul(L"C:\\A", L"C:\\B"),
       Changed(Nul(L"C:\\A;" + std::wstring(kFolder), L"C:\\B")), kUnchanged},
      {"nul_after_the_folder", Nul(L"C:\\A;" + std::wstring(kFolder), L"C:\\B"), kUnchanged,
       Changed(Nul(L"C:\\A", L"C:\\B"))},
      {"folder_only_after_a_nul", Nul(L"C:\\A", kFolder),
       Changed(Nul(L"C:\\A;" + std::wstring(kFolder), kFolder)), kUnchanged},
      {"nul_first", Nul(L"", L"C:\\B"), Changed(Nul(kFolder, L"C:\\B")), kUnchanged},
      // No longer than a process's environment can hold; what follows a NUL
      // does not count.
      {"longest", Long(kMaxLength - Length(kFolder) - 1),
       Changed(Long(kMaxLength - Length(kFolder) - 1) + L";" + kFolder), kUnchanged},
      {"one_too_long", Long(kMaxLength - Length(kFolder)), Refused(Outcome::kTooLong), kUnchanged},
      {"long_after_a_nul", Nul(L"C:\\A", Long(kMaxLength)),
       Changed(Nul(L"C:\\A;" + std::wstring(kFolder), Long(kMaxLength))), kUnchanged},
  };
}

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class PathListTest : public testing::TestWithParam<Case> {};

TEST_P(PathListTest, AddsOnceAndRemovesOnlyItsOwnEntry) {
  const Case& c = GetParam();
  EXPECT_EQ(WithEntry(c.path, kFolder), c.added);
  EXPECT_EQ(WithoutEntry(c.path, kFolder), c.removed);
  if (c.added.outcome == Outcome::kChanged) {
    EXPECT_EQ(WithoutEntry(c.added.value, kFolder), Changed(c.path));  // undone exactly
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PathListTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// Folders an entry cannot name: refused by itself and by both changes, and
// nothing on the PATH is taken for them (C:\ here is the user's own entry).
TEST(PathListFolderTest, RefusesFoldersAnEntryCannotName) {
  struct Row {
    std::wstring folder;
    std::optional<Outcome> refusal;
  };
  const Row rows[] = {
      {L"C:\\Tools;Old\\egn-check", Outcome::kFolderHoldsSeparator},
      {L"C:\\Tools;", Outcome::kFolderHoldsSeparator},
      {L"C:\\", Outcome::kFolderIsRoot},
      {L"C:", Outcome::kFolderIsRoot},
      {L"c:/", Outcome::kFolderIsRoot},
      {L"C:\\\\", Outcome::kFolderIsRoot},
      {L"\\\\server\\share", Outcome::kFolderIsRoot},
      {L"\\\\server\\share\\", Outcome::kFolderIsRoot},
      {L"\\\\server", Outcome::kFolderIsRoot},
      {L"egn-check", Outcome::kFolderNotFullPath},
      {L"C:egn-check", Outcome::kFolderNotFullPath},
      {L"\\egn-check", Outcome::kFolderNotFullPath},
      {L"", Outcome::kFolderNotFullPath},
      {kFolder, std::nullopt},
      {L"C:\\egn-check\\", std::nullopt},
      {L"D:/Tools/egn-check", std::nullopt},
      {L"\\\\server\\share\\egn-check", std::nullopt},
  };
  const std::wstring path = L"C:\\Windows;C:\\;\\\\server\\share;C:\\Tools;Old\\egn-check";
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.folder));
    EXPECT_EQ(FolderRefusal(row.folder), row.refusal);
    if (row.refusal) {
      EXPECT_EQ(WithEntry(path, row.folder), Refused(*row.refusal));
      EXPECT_EQ(WithoutEntry(path, row.folder), Refused(*row.refusal));
    }
  }
}

}  // namespace
