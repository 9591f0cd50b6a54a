// Valid numbers for test data: each with a real date of birth, a region of
// the window's list, the ninth digit's parity for the sex and the right
// control digit, drawn evenly over every number the filters allow.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "number/number_rules.h"

namespace egn::number {

struct Filters {
  Date born_from{kFirstYear, 1, 1};
  Date born_to{kLastYear, 12, 31};
  std::optional<Sex> sex;          // nothing: either
  const Region* region = nullptr;  // nullptr: any district of the list
};

// "FROM" or "FROM..TO", each a date YYYY-MM-DD, a month YYYY-MM or a year
// YYYY: from the first day of FROM to the last day of TO (of FROM alone
// when there is no TO). On a malformed text or a date outside 1800-01-01 to
// 2099-12-31 gives nothing and says why in `problem`.
std::optional<std::pair<Date, Date>> ParseBorn(std::string_view text, std::string& problem);

class Generator {
 public:
  Generator(const Filters& filters, std::uint64_t seed);

  // Whether the filters allow no number at all.
  bool empty() const { return days_ <= 0 || codes_.empty(); }
  // The next number's ten digits into `ten`; not when empty().
  void Next(char* ten);

 private:
  std::mt19937_64 random_;
  int first_day_ = 0;
  int days_ = 0;
  std::vector<int> codes_;  // the region codes allowed, each once
};

}  // namespace egn::number
