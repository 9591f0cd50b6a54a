#include "number/number_rules.h"

#include <array>
#include <cstdint>

namespace egn::number {

namespace {

// The items of the window's region list, exactly as it shows them (a test
// holds them to the window's description); the names and ranges are read
// from these texts, so that the two cannot drift apart. Item 19 lacks its
// opening bracket, as in the window.
constexpr std::array<std::string_view, 28> kItems = {
    "Благоевград [000 - 043]",   "Бургас [044 - 093]",       "Варна [094 - 139]",
    "В. Търново [140 - 169]",    "Видин [170 - 183]",        "Враца [184 - 217]",
    "Габрово [218 - 233]",       "Кърджали [234 - 281]",     "Кюстендил [282 - 301]",
    "Ловеч [302 - 319]",         "Монтана [320 - 341]",      "Пазарджик [342 - 377]",
    "Перник [378 - 395]",        "Плевен [396 - 435]",       "Пловдив [436 - 501]",
    "Разград [502 - 527]",       "Русе [528 - 555]",         "Силистра [556 - 575]",
    "Сливен 576 - 601]",         "Смолян [602 - 623]",       "София - град [624 - 721]",
    "София - окръг [722 - 751]", "Стара Загора [752 - 789]", "Добрич [790 - 821]",
    "Търговище [822 - 843]",     "Хасково [844 - 871]",      "Шумен [872 - 903]",
    "Ямбол [904 - 925]",
};

// "Name [fff - lll]" (or "Name fff - lll]"): the name before the range, and
// the range's two three-digit codes.
constexpr Region FromItem(std::string_view item) {
  const std::size_t dash = item.rfind(" - ");
  const std::size_t first_at = dash - 3, last_at = dash + 3;
  auto code = [&item](std::size_t at) {
    return (item[at] - '0') * 100 + (item[at + 1] - '0') * 10 + (item[at + 2] - '0');
  };
  std::string_view name = item.substr(0, first_at);
  if (name.ends_with('[')) name.remove_suffix(1);
  if (name.ends_with(' ')) name.remove_suffix(1);
  return {item, name, code(first_at), code(last_at)};
}

constexpr std::array<Region, kItems.size()> MakeRegions() {
  std::array<Region, kItems.size()> regions{};
  for (std::size_t i = 0; i < kItems.size(); ++i) regions[i] = FromItem(kItems[i]);
  return regions;
}
constexpr std::array<Region, kItems.size()> kRegions = MakeRegions();

// The district of every code, by index into kRegions; -1 for none.
constexpr std::array<std::int16_t, 1000> MakeCodeTable() {
  std::array<std::int16_t, 1000> table{};
  for (std::int16_t& t : table) t = -1;
  for (std::size_t i = 0; i < kRegions.size(); ++i) {
    for (int c = kRegions[i].first; c <= kRegions[i].last; ++c) {
      table[static_cast<std::size_t>(c)] = static_cast<std::int16_t>(i);
    }
  }
  return table;
}
constexpr std::array<std::int16_t, 1000> kCodeTable = MakeCodeTable();

int Two(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

// What the two digits of a month say: 1-12 are 1900-1999, 21-32 (month
// + 20) 1800-1899, 41-52 (month + 40) 2000-2099; month 0 for the rest.
struct MonthDigits {
  int century = 0, month = 0;
};
constexpr std::array<MonthDigits, 100> MakeMonthDigits() {
  std::array<MonthDigits, 100> table{};
  for (std::size_t month = 1; month <= 12; ++month) {
    const int m = static_cast<int>(month);
    table[month] = {1900, m};
    table[month + 20] = {1800, m};
    table[month + 40] = {2000, m};
  }
  return table;
}
constexpr std::array<MonthDigits, 100> kMonthDigits = MakeMonthDigits();

// Days from 1970-01-01 of a Gregorian date, and back (H. Hinnant's algorithms).
int DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

Date CivilFromDays(int z) {
  z += 719468;
  const int era = (z >= 0 ? z : z - 146096) / 146097;
  const int doe = z - era * 146097;
  const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int mp = (5 * doy + 2) / 153;
  const int d = doy - (153 * mp + 2) / 5 + 1;
  const int m = mp < 10 ? mp + 3 : mp - 9;
  return {yoe + era * 400 + (m <= 2), m, d};
}

const int kDayZero = DaysFromCivil(kFirstYear, 1, 1);

}  // namespace

std::string ToText(const Date& date) {
  std::string text = "0000-00-00";
  auto put = [&text](std::size_t at, int value, std::size_t width) {
    for (std::size_t i = width; i-- > 0; value /= 10)
      text[at + i] = static_cast<char>('0' + value % 10);
  };
  put(0, date.year, 4);
  put(5, date.month, 2);
  put(8, date.day, 2);
  return text;
}

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int DayNumber(const Date& date) {
  return DaysFromCivil(date.year, date.month, date.day) - kDayZero;
}

Date DateOfDay(int day_number) { return CivilFromDays(day_number + kDayZero); }

std::optional<Date> BirthDate(std::string_view six) {
  const int yy = Two(six.data()), mm = Two(six.data() + 2), dd = Two(six.data() + 4);
  // The century and the month of every two digits, looked up: a register's
  // numbers of three centuries would make branches the processor guesses
  // wrong.
  const MonthDigits code = kMonthDigits[static_cast<std::size_t>(mm)];
  if (code.month == 0) return std::nullopt;
  const int year = code.century + yy;
  if (dd < 1 || dd > DaysInMonth(year, code.month)) return std::nullopt;
  return Date{year, code.month, dd};
}

void WriteBirthDigits(const Date& date, char* six) {
  const int yy = date.year % 100;
  const int mm = date.month + (date.year < 1900 ? 20 : date.year >= 2000 ? 40 : 0);
  six[0] = static_cast<char>('0' + yy / 10);
  six[1] = static_cast<char>('0' + yy % 10);
  six[2] = static_cast<char>('0' + mm / 10);
  six[3] = static_cast<char>('0' + mm % 10);
  six[4] = static_cast<char>('0' + date.day / 10);
  six[5] = static_cast<char>('0' + date.day % 10);
}

std::span<const Region> Regions() { return kRegions; }

const Region* RegionOfCode(int code) {
  if (code < 0 || code > 999) return nullptr;
  const int index = kCodeTable[static_cast<std::size_t>(code)];
  return index < 0 ? nullptr : &kRegions[static_cast<std::size_t>(index)];
}

const Region* FindRegion(std::string_view name) {
  for (const Region& r : kRegions) {
    if (r.name == name) return &r;
  }
  return nullptr;
}

std::string_view SexName(Sex sex) { return sex == Sex::kMale ? "мъж" : "жена"; }

Decoded Decode(std::string_view ten) {
  Decoded d;
  d.birth = BirthDate(ten.substr(0, 6));
  d.sex = SexOfDigit(ten[8]);
  d.region = RegionOfCode((ten[6] - '0') * 100 + (ten[7] - '0') * 10 + (ten[8] - '0'));
  d.control_digit = ControlDigit(ten.data());
  d.control_digit_ok = ten[9] - '0' == d.control_digit;
  return d;
}

std::optional<std::array<char, 10>> WithLostZeros(std::string_view digits) {
  if (!MayHaveLostZeros(digits)) return std::nullopt;  // the century is in the month
  std::array<char, 10> ten{};
  const std::size_t zeros = ten.size() - digits.size();
  for (std::size_t i = 0; i < zeros; ++i) ten[i] = '0';
  for (std::size_t i = 0; i < digits.size(); ++i) ten[zeros + i] = digits[i];
  // The cheaper test first.
  if (ControlDigit(ten.data()) != ten[9] - '0') return std::nullopt;
  if (!BirthDate(std::string_view(ten.data(), 6))) return std::nullopt;
  return ten;
}

std::optional<std::array<char, 10>> WithLostZerosAndWrongDigit(std::string_view digits) {
  if (!MayHaveLostZeros(digits)) return std::nullopt;
  std::array<char, 10> ten{};
  const std::size_t zeros = ten.size() - digits.size();
  for (std::size_t i = 0; i < zeros; ++i) ten[i] = '0';
  for (std::size_t i = 0; i < digits.size(); ++i) ten[zeros + i] = digits[i];
  if (ControlDigit(ten.data()) == ten[9] - '0') return std::nullopt;
  if (!BirthDate(std::string_view(ten.data(), 6))) return std::nullopt;
  if (BirthDate(digits.substr(0, 6))) return std::nullopt;  // a date as they stand
  return ten;
}

}  // namespace egn::number
