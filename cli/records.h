// egn-digit's output: one record for every number read, appended to a
// buffer, as tab-separated text fields or as one JSON object a line (for
// programs and jq; numbers stay strings, so that leading zeros survive).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "table/columns.h"

namespace egn::cli {

enum class Format { kText, kJson };

// What a record says besides its number.
struct About {
  // JSON: the line of a CSV file the number comes from ("line"); 0 for none.
  std::size_t line = 0;
  // The input was the number without its first one or two zeros
  // (number::WithLostZeros): in JSON "lost_leading_zeros", in the text of
  // a decoded number its last field (AppendLostZerosNote).
  std::size_t lost_zeros = 0;
};

// Why nine digits are no number to decode, in every mode that decodes.
inline constexpr std::string_view kNineToDecode = "за разчитане трябват 10 цифри, а са 9";

// The control digit of nine or ten digits: for nine, the whole ten-digit
// number; for ten, whether the tenth is right (and the right one when it is
// not). `explain` adds the window's two result lines. Returns false when a
// given tenth digit is wrong.
bool AppendCheck(std::string& out, Format format, std::string_view digits, bool explain,
                 const About& about = {});

// Everything ten digits hold: valid or not, the date of birth, the sex, the
// region, and for an invalid number why. Returns whether it is valid.
bool AppendDecode(std::string& out, Format format, std::string_view ten, const About& about = {});

// What is said of a number read with its leading zeros put back, appended
// to `out`: "водещата нула е изгубена: 0551267871" (or the two zeros).
void AppendLostZerosNote(std::string& out, std::string_view ten, std::size_t lost_zeros);

// A malformed number: "грешка" (the reason goes to standard error), or in
// JSON the reason under "error" with the input's `where_key` ("line" or
// "argument") and number.
void AppendError(std::string& out, Format format, std::string_view where_key, std::size_t number,
                 std::string_view problem);

// `text` (UTF-8) as a JSON string, quotes included.
void AppendJsonString(std::string& out, std::string_view text);

using table::Columns;

// Their names: for the control digit "Резултат" and "Вярна цифра" (with
// `explain` "Изчислена сума" and "Последно число"), then "Бележка"; for
// decoding "Валидност", "Дата на раждане", "Пол", "Област", "Бележка".
void ColumnNames(Columns& columns, bool decode, bool explain);

// The control digit's columns for nine or ten digits: AppendCheck's fields
// (the whole number for nine, "вярна" or "невярна" and the right digit for
// ten), the sum and the digit, and the note of lost zeros (`about`).
// Returns false when a given tenth digit is wrong.
bool CheckColumns(Columns& columns, std::string_view digits, bool explain, const About& about);

// The decoded columns of ten digits: AppendDecode's fields after the
// number, the reason of an invalid number or the note of lost zeros last.
// Returns whether the number is valid.
bool DecodeColumns(Columns& columns, std::string_view ten, const About& about);

// The columns of a field that holds no number: "грешка" and `problem` in the
// last; every column empty when `problem` is empty (a blank field, or a row
// that is wrong as a whole).
void ErrorColumns(Columns& columns, bool decode, bool explain, std::string_view problem);

}  // namespace egn::cli
