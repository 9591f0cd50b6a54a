#include "../windows/path_list.h"

#include <gtest/gtest.h>

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
using egn::path_list::Outcome;
using egn::path_list::WithEntry;
using egn::path_list::WithoutEntry;

constexpr wchar_t kFolder[] = L"C:\\Users\\Иван\\AppData\\Local\\Programs\\egn-check";

Change Changed(std::wstring path) { return {Outcome::kChanged, std::move(path)}; }
const Change kUnchanged{};

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
      {"alone", kFolder, kUnchanged, Changed(L"")},
      {"twice", std::wstring(kFolder) + L";C:\\Tools;" + kFolder, kUnchanged,
       Changed(L"C:\\Tools")},
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

}  // namespace
