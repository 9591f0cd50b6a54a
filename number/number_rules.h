// The rules of a whole ЕГН: the date of birth in its first six digits (the
// month tells the century), the region of its seventh to ninth digits, the
// sex in the parity of the ninth, and the control digit in the tenth. They
// say whether a number can be real; a number that passes them may still
// belong to no one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace egn::number {

inline constexpr int kFirstYear = 1800;
inline constexpr int kLastYear = 2099;

struct Date {
  int year = 0, month = 0, day = 0;
  bool operator==(const Date&) const = default;
  auto operator<=>(const Date&) const = default;
};

// "YYYY-MM-DD".
std::string ToText(const Date& date);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Days since 1800-01-01 (day 0), and back; Gregorian calendar throughout.
int DayNumber(const Date& date);
Date DateOfDay(int day_number);

// The date of birth the first six digits give: year, month and day, the
// month 1-12 for 1900-1999, 21-32 for 1800-1899 and 41-52 for 2000-2099.
// Nothing for any other month, or a day that the month does not have.
std::optional<Date> BirthDate(std::string_view six_digits);
// The six digits of a date of birth from 1800-01-01 to 2099-12-31.
void WriteBirthDigits(const Date& date, char* six);

// A district of the window's region list, with its range of codes.
struct Region {
  std::string_view item;  // the list item, exactly as the window shows it
  std::string_view name;  // the district's name alone, as the list gives it
  int first = 0, last = 0;
};

// The 28 districts, in the window's order; their codes cover 000-925.
std::span<const Region> Regions();
// The district of a three-digit code; nothing for 926-999, which lie in no
// range of the list (an unknown region does not make a number invalid).
const Region* RegionOfCode(int code);
// The district of that name; nothing when there is none.
const Region* FindRegion(std::string_view name);

enum class Sex { kMale, kFemale };
// The ninth digit: even for a man, odd for a woman.
inline Sex SexOfDigit(char ninth) { return (ninth - '0') % 2 == 0 ? Sex::kMale : Sex::kFemale; }
// "мъж" or "жена".
std::string_view SexName(Sex sex);

// The weighted sum of nine digits '0'-'9' and their control digit, in
// integers: the same as the window's ComputeCheckDigit for digits (a test
// holds them to it), without its texts and doubles, for the command line's
// millions of numbers. The nine terms are written out, the weights 2, 4,
// 8, 5, 10, 9, 7, 3, 6: whether a compiler unrolls a loop of them depends
// on what else the caller holds, and the loop costs the hot paths more.
inline int WeightedSum(const char* nine) {
  const auto d = [nine](int i) { return nine[i] - '0'; };
  return d(0) * 2 + d(1) * 4 + d(2) * 8 + d(3) * 5 + d(4) * 10 + d(5) * 9 + d(6) * 7 + d(7) * 3 +
         d(8) * 6;
}
inline int ControlDigit(const char* nine) { return WeightedSum(nine) % 11 % 10; }

// Everything a ten-digit number holds, and whether it can be real.
struct Decoded {
  std::optional<Date> birth;  // nothing: the date is impossible
  Sex sex = Sex::kMale;
  const Region* region = nullptr;  // nullptr: an unknown region
  int control_digit = 0;           // the right tenth digit
  bool control_digit_ok = false;
  bool valid() const { return birth.has_value() && control_digit_ok; }
};

// `ten` holds ten digits '0'-'9'.
Decoded Decode(std::string_view ten);

// The valid number that eight or nine digits '0'-'9' are once the zeros it
// began with are put back: a spreadsheet cell that holds a number as a
// number drops them, and everyone born in 2000-2009 has a number that
// begins with 0 (the year 00-09, the month 41-52), those born in 2000 with
// two. Only a birth in 2000-2009 counts, with a real date and the right
// control digit; nothing otherwise (and for any other count of digits).
std::optional<std::array<char, 10>> WithLostZeros(std::string_view digits);

// Eight or nine digits '0'-'9' that hold no possible date as they stand
// (their first six) but one of 2000-2009 once the zeros are put back, and
// whose control digit is then wrong: that number, with its zeros. A
// spreadsheet drops the zeros of a wrong number as well as of a right one,
// and read as it stands the field would give a made-up number. Nothing
// when the control digit is right (that is WithLostZeros), or otherwise.
std::optional<std::array<char, 10>> WithLostZerosAndWrongDigit(std::string_view digits);

// A quick test that WithLostZeros may find something: eight or nine digits
// whose month, with the zeros put back, is 41-52 and whose day is 01-31.
// For the millions of numbers that are not, it costs next to nothing.
inline bool MayHaveLostZeros(std::string_view digits) {
  if (digits.size() != 8 && digits.size() != 9) return false;
  const char* month = digits.data() + digits.size() - 8;
  const char* day = month + 2;
  // One test of signs, not a branch for each bound: on random digits those
  // would be branches that the processor guesses wrong.
  const int m = (month[0] - '0') * 10 + (month[1] - '0') - 41;  // 0-11 for 41-52
  const int d = (day[0] - '0') * 10 + (day[1] - '0') - 1;       // 0-30 for 01-31
  return (m | (11 - m) | d | (30 - d)) >= 0;
}

}  // namespace egn::number
