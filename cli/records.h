// egn-digit's output: one record for every number read, appended to a
// buffer, as tab-separated text fields or as one JSON object a line (for
// programs and jq; numbers stay strings, so that leading zeros survive).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace egn::cli {

enum class Format { kText, kJson };

// The control digit of nine or ten digits: for nine, the whole ten-digit
// number; for ten, whether the tenth is right (and the right one when it is
// not). `explain` adds the window's two result lines. Returns false when a
// given tenth digit is wrong.
bool AppendCheck(std::string& out, Format format, std::string_view digits, bool explain);

// Everything ten digits hold: valid or not, the date of birth, the sex, the
// region, and for an invalid number why. Returns whether it is valid.
// `lost_zeros`: the input was the number without its first one or two
// zeros (number::WithLostZeros), which the record says (in text its last
// field, LostZerosNote; in JSON "lost_leading_zeros").
bool AppendDecode(std::string& out, Format format, std::string_view ten,
                  std::size_t lost_zeros = 0);

// What is said of a number read with its leading zeros put back:
// "водещата нула е изгубена: 0551267871" (or the two zeros).
std::string LostZerosNote(std::string_view ten, std::size_t lost_zeros);

// A malformed number: "грешка" (the reason goes to standard error), or in
// JSON the reason under "error" with the input's `where_key` ("line" or
// "argument") and number.
void AppendError(std::string& out, Format format, std::string_view where_key, std::size_t number,
                 std::string_view problem);

// `text` (UTF-8) as a JSON string, quotes included.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace egn::cli
