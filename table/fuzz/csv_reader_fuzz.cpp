// libFuzzer target: the CSV reader and the text tests under it, on any
// bytes, read in pieces of any size with rows of any length limit. The rows
// with their line ends, after the byte-order mark, must be the input itself
// (up to where a problem stops the reading); every row begins on the line
// its line ends say (CR LF, LF or CR, each one line); its fields, joined by
// the separator, must be its bytes, and the selected one its cell; a row is
// all quoted exactly when each of its fields is a quoted field and no more. The word-at-a-time test
// of UTF-8 must agree with the character-by-character one, and text must come back whole through
// its encoding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "number/utf8.h"
#include "table/csv_reader.h"
#include "table/encodings.h"
#include "table/tests/piece_source.h"

namespace {

using egn::table::CsvReader;
using egn::table::Encoding;

void Require(bool condition) {
  if (!condition) std::abort();
}

std::size_t Plain(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    if (bytes[i] == '\0') return i;
    const egn::number::Character c = egn::number::DecodeUtf8(bytes, i);
    if (c.code < 0) return i;
    i += c.size;
  }
  return std::string_view::npos;
}

std::string Encoded(std::string_view ascii, Encoding encoding) {
  std::string bytes;
  egn::table::AppendEncoded(bytes, ascii, encoding);
  return bytes;
}

// Whether `field` is one quoted field, by the plain rule: a quote, then
// units that are no quote or are two quotes, then the closing quote last.
bool Quoted(std::string_view field, Encoding encoding) {
  const std::size_t unit = egn::table::IsUtf16(encoding) ? 2 : 1;
  const std::string quote = Encoded("\"", encoding);
  const auto at = [&](std::size_t i) { return field.substr(i, unit) == quote; };
  if (field.size() < 2 * unit || !at(0) || !at(field.size() - unit)) return false;
  for (std::size_t i = unit; i + unit < field.size(); i += unit) {
    if (!at(i)) continue;
    if (i + 2 * unit >= field.size() || !at(i + unit)) return false;
    i += unit;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4 || size > 20000) return 0;
  const std::size_t longest = 4 + data[0] % 300;
  const std::size_t piece = 1 + data[1] % 97;
  const std::optional<char> given[] = {std::nullopt, ';', ',', '\t'};
  const std::optional<char> separator = given[data[2] % 4];
  const std::size_t column = data[3] % 5;
  const std::string_view input(reinterpret_cast<const char*>(data) + 4, size - 4);

  Require(egn::table::FirstNonText(input, Encoding::kUtf8) == Plain(input));

  egn::table::PieceSource source(input, piece);
  CsvReader reader(source, {}, longest);
  Require(reader.Start(separator));
  reader.Select(column);
  const Encoding encoding = reader.encoding();
  const std::size_t unit = egn::table::IsUtf16(encoding) ? 2 : 1;
  const std::string feed = Encoded("\n", encoding);
  const std::string cr = Encoded("\r", encoding);
  const char separator_used = reader.separator();
  const std::string sep = Encoded(std::string_view(&separator_used, 1), encoding);

  std::string joined(reader.mark());
  std::size_t line = 1;
  bool ended = false;  // a row without a line end must be the last
  egn::table::CsvRow row;
  while (reader.Next(row)) {
    Require(!ended);
    Require(input.substr(joined.size()).starts_with(row.bytes));
    Require(row.line == line);
    Require(row.line_end.empty() || row.line_end == feed || row.line_end == cr ||
            row.line_end == Encoded("\r\n", encoding));
    ended = row.line_end.empty();
    Require(row.bytes.size() + row.line_end.size() <= longest);
    const auto fields = reader.Fields(row);
    Require(fields.size() == row.fields);
    std::string rejoined;
    for (std::size_t i = 0; i < fields.size(); ++i)
      rejoined += (i ? sep : "") + std::string(fields[i]);
    Require(rejoined == row.bytes);
    Require(row.fields > column ? row.cell == fields[column] : row.cell.empty());
    Require(row.all_quoted ==
            (!fields.empty() && std::all_of(fields.begin(), fields.end(), [&](std::string_view f) {
              return Quoted(f, encoding);
            })));
    // Text comes back whole through its encoding.
    std::string utf8, back;
    egn::table::AppendUtf8(utf8, row.bytes, encoding);
    egn::table::AppendEncoded(back, utf8, encoding);
    Require(back == row.bytes);
    for (std::size_t i = 0; i + unit <= row.bytes.size(); i += unit) {
      const std::string_view u = row.bytes.substr(i, unit);
      line += u == cr || (u == feed && (i == 0 || row.bytes.substr(i - unit, unit) != cr));
    }
    line += row.line_end.empty() ? 0 : 1;
    joined += row.bytes;
    joined += row.line_end;
  }
  switch (reader.problem()) {
    case CsvReader::Problem::kNone:
      Require(joined == input);
      break;
    case CsvReader::Problem::kOpenQuote:
      Require(joined + std::string(row.bytes) == input);
      Require(reader.line() >= line);
      break;
    case CsvReader::Problem::kNotText:
      Require(!reader.what().empty() && reader.line() >= line);
      break;
    case CsvReader::Problem::kTooLong:
    case CsvReader::Problem::kTooLongInQuotes:
      Require(input.size() - joined.size() > longest && reader.line() >= line);
      break;
    case CsvReader::Problem::kReadFailed:
      Require(false);
  }
  return 0;
}
