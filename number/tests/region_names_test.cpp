#include "number/region_names.h"

#include <gtest/gtest.h>

#include <string>

namespace egn::number {
namespace {

struct NameCase {
  const char* typed;
  const char* district;  // the list's name, or what is said when it names none
};

class RegionNameTable : public testing::TestWithParam<NameCase> {};

TEST_P(RegionNameTable, NamesADistrictOrSaysWhichAreNearest) {
  std::string problem;
  const Region* r = RegionNamed(GetParam().typed, problem);
  EXPECT_EQ(r != nullptr ? std::string(r->name) : problem, GetParam().district) << GetParam().typed;
  EXPECT_EQ(r == nullptr, !problem.empty()) << GetParam().typed;
}

INSTANTIATE_TEST_SUITE_P(
    AsPeopleTypeThem, RegionNameTable,
    testing::Values(
        // the list's names, in other case and with other separators
        NameCase{"Варна", "Варна"}, NameCase{"ВАРНА", "Варна"}, NameCase{" варна\t", "Варна"},
        NameCase{"Сливен", "Сливен"},  // its item lacks the opening bracket
        NameCase{"В.Търново", "В. Търново"}, NameCase{"в търново", "В. Търново"},
        NameCase{"София-град", "София - град"}, NameCase{"софия (град)", "София - град"},
        NameCase{"София – окръг", "София - окръг"}, NameCase{"стара  загора", "Стара Загора"},
        // full names
        NameCase{"Велико Търново", "В. Търново"}, NameCase{"велико-търново", "В. Търново"},
        NameCase{"Софийска област", "София - окръг"}, NameCase{"София област", "София - окръг"},
        // slips, names of two districts, a name beside its district
        NameCase{"Пловдв", "няма област „Пловдв“ в списъка; може би „Пловдив“?"},
        NameCase{"Велико Тарново", "няма област „Велико Тарново“ в списъка; може би „В. Търново“?"},
        NameCase{"София",
                 "няма област „София“ в списъка; може би „София - град“ или „София - окръг“?"},
        NameCase{"област Варна", "няма област „област Варна“ в списъка; може би „Варна“?"},
        // nothing near
        NameCase{"Атлантида",
                 "няма област „Атлантида“ в списъка (например „Варна“, „София - град“)"},
        NameCase{"", "няма област „“ в списъка (например „Варна“, „София - град“)"},
        NameCase{"Варна\xff", "няма област „Варна\xff“ в списъка; може би „Варна“?"},
        NameCase{"\xd0", "няма област „\xd0“ в списъка (например „Варна“, „София - град“)"}));

TEST(RegionNames, EveryDistrictAnswersToItsOwnName) {
  for (const Region& r : Regions()) {
    std::string problem;
    EXPECT_EQ(RegionNamed(r.name, problem), &r) << r.name;
  }
}

}  // namespace
}  // namespace egn::number
