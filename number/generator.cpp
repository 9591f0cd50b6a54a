#include "number/generator.h"

#include "number/digits.h"

namespace egn::number {

namespace {

int Number(std::string_view digits) {
  int n = 0;
  for (char c : digits) n = n * 10 + (c - '0');
  return n;
}

// The first and the last day of "YYYY", "YYYY-MM" or "YYYY-MM-DD".
std::optional<std::pair<Date, Date>> Period(std::string_view text, std::string& problem) {
  const bool shape = (text.size() == 4 || text.size() == 7 || text.size() == 10) &&
                     IsDigits(text.substr(0, 4)) &&
                     (text.size() < 7 || (text[4] == '-' && IsDigits(text.substr(5, 2)))) &&
                     (text.size() < 10 || (text[7] == '-' && IsDigits(text.substr(8, 2))));
  if (!shape) {
    problem = "„" + std::string(text) + "“ не е дата ГГГГ-ММ-ДД, месец ГГГГ-ММ или година ГГГГ";
    return std::nullopt;
  }
  const int year = Number(text.substr(0, 4));
  if (year < kFirstYear || year > kLastYear) {
    problem = "„" + std::string(text) + "“ е извън обхвата от 1800-01-01 до 2099-12-31";
    return std::nullopt;
  }
  if (text.size() == 4) return std::pair{Date{year, 1, 1}, Date{year, 12, 31}};
  const int month = Number(text.substr(5, 2));
  if (month < 1 || month > 12) {
    problem = "„" + std::string(text) + "“: няма месец " + std::to_string(month);
    return std::nullopt;
  }
  if (text.size() == 7)
    return std::pair{Date{year, month, 1}, Date{year, month, DaysInMonth(year, month)}};
  const int day = Number(text.substr(8, 2));
  if (day < 1 || day > DaysInMonth(year, month)) {
    problem = "„" + std::string(text) + "“: няма такъв ден";
    return std::nullopt;
  }
  return std::pair{Date{year, month, day}, Date{year, month, day}};
}

}  // namespace

std::optional<std::pair<Date, Date>> ParseBorn(std::string_view text, std::string& problem) {
  const std::size_t dots = text.find("..");
  const auto from = Period(text.substr(0, dots), problem);
  if (!from) return std::nullopt;
  if (dots == std::string_view::npos) return from;
  const auto to = Period(text.substr(dots + 2), problem);
  if (!to) return std::nullopt;
  return std::pair{from->first, to->second};
}

Generator::Generator(const Filters& filters, std::uint64_t seed) : random_(seed) {
  first_day_ = DayNumber(filters.born_from);
  days_ = DayNumber(filters.born_to) - first_day_ + 1;
  for (const Region& region : Regions()) {
    if (filters.region != nullptr && filters.region != &region) continue;
    for (int code = region.first; code <= region.last; ++code) {
      const Sex sex = code % 2 == 0 ? Sex::kMale : Sex::kFemale;
      if (!filters.sex || *filters.sex == sex) codes_.push_back(code);
    }
  }
}

void Generator::Next(char* ten) {
  // A number is one date and one code: drawing each evenly and apart draws
  // every allowed number evenly.
  const int day = std::uniform_int_distribution<int>(0, days_ - 1)(random_);
  const std::size_t pick =
      std::uniform_int_distribution<std::size_t>(0, codes_.size() - 1)(random_);
  WriteBirthDigits(DateOfDay(first_day_ + day), ten);
  const int code = codes_[pick];
  ten[6] = static_cast<char>('0' + code / 100);
  ten[7] = static_cast<char>('0' + code / 10 % 10);
  ten[8] = static_cast<char>('0' + code % 10);
  ten[9] = static_cast<char>('0' + ControlDigit(ten));
}

}  // namespace egn::number
