#include "../windows/path_list.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using egn::path_list::WithEntry;
using egn::path_list::WithoutEntry;

constexpr wchar_t kFolder[] = L"C:\\Users\\Иван\\AppData\\Local\\Programs\\egn-check";

struct Case {
  const char* name;
  std::wstring path;
  std::optional<std::wstring> added, removed;  // nothing: no change
};

// A function, not a static array: GCC 12 at -O3 takes the array's vectors
// for uninitialised in its static destructor.
std::vector<Case> Cases() {
  return {
      {"empty", L"", kFolder, std::nullopt},
      {"others", L"C:\\Windows;C:\\Tools", std::wstring(L"C:\\Windows;C:\\Tools;") + kFolder,
       std::nullopt},
      {"ends_with_separator", L"C:\\Windows;", std::wstring(L"C:\\Windows;") + kFolder + L";",
       std::nullopt},
      // Already there, however it is written: no duplicate; removing it keeps
      // every other entry as it was, the empty and the expandable ones too.
      {"already_last", std::wstring(L"%SystemRoot%;;C:\\Tools;") + kFolder, std::nullopt,
       L"%SystemRoot%;;C:\\Tools"},
      {"already_first_other_case_quoted_trailing_backslash",
       L"\"c:\\users\\Иван\\appdata\\local\\programs\\EGN-CHECK\\\";C:\\Tools;", std::nullopt,
       L"C:\\Tools;"},
      {"alone", kFolder, std::nullopt, L""},
      {"twice", std::wstring(kFolder) + L";C:\\Tools;" + kFolder, std::nullopt, L"C:\\Tools"},
      // A longer or shorter folder that begins alike is another folder.
      {"prefix_is_another_folder",
       L"C:\\Users\\Иван\\AppData\\Local\\Programs\\egn-check2;C:\\Users\\Иван\\AppData\\Local",
       L"C:\\Users\\Иван\\AppData\\Local\\Programs\\egn-check2;C:\\Users\\Иван\\AppData\\Local;" +
           std::wstring(kFolder),
       std::nullopt},
      // Case is folded for A-Z only: the installer compares with what it wrote.
      {"other_letters_keep_their_case", L"C:\\Users\\ИВАН\\AppData\\Local\\Programs\\egn-check",
       L"C:\\Users\\ИВАН\\AppData\\Local\\Programs\\egn-check;" + std::wstring(kFolder),
       std::nullopt},
  };
}

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class PathListTest : public testing::TestWithParam<Case> {};

TEST_P(PathListTest, AddsOnceAndRemovesOnlyItsOwnEntry) {
  const Case& c = GetParam();
  EXPECT_EQ(WithEntry(c.path, kFolder), c.added);
  EXPECT_EQ(WithoutEntry(c.path, kFolder), c.removed);
  if (c.added) {
    EXPECT_EQ(WithoutEntry(*c.added, kFolder), c.path);  // undone exactly
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PathListTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
