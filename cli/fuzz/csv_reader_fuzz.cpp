// libFuzzer target: the CSV reader and the text tests under it, on any
// bytes, read in pieces of any size with rows of any length limit. The rows
// with their line ends, after the byte-order mark, must be the input itself
// (up to where a problem stops the reading); every row begins on the line
// its line feeds say; its fields, joined by the separator, must be its
// bytes, and the selected one its cell. The word-at-a-time test of UTF-8
// must agree with the character-by-character one, and text must come back
// whole through its encoding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "cli/csv_reader.h"
#include "cli/encodings.h"
#include "cli/tests/piece_source.h"
#include "number/utf8.h"

namespace {

using egn::cli::CsvReader;
using egn::cli::Encoding;

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
  egn::cli::AppendEncoded(bytes, ascii, encoding);
  return bytes;
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

  Require(egn::cli::FirstNonText(input, Encoding::kUtf8) == Plain(input));

  egn::cli::PieceSource source(input, piece);
  CsvReader reader(source, {}, longest);
  Require(reader.Start(separator));
  reader.Select(column);
  const Encoding encoding = reader.encoding();
  const std::size_t unit = egn::cli::IsUtf16(encoding) ? 2 : 1;
  const std::string feed = Encoded("\n", encoding);
  const char separator_used = reader.separator();
  const std::string sep = Encoded(std::string_view(&separator_used, 1), encoding);

  std::string joined(reader.mark());
  std::size_t line = 1;
  bool ended = false;  // a row without a line end must be the last
  egn::cli::CsvRow row;
  while (reader.Next(row)) {
    Require(!ended);
    Require(input.substr(joined.size()).starts_with(row.bytes));
    Require(row.line == line);
    Require(row.line_end.empty() || row.line_end == feed ||
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
    // Text comes back whole through its encoding.
    std::string utf8, back;
    egn::cli::AppendUtf8(utf8, row.bytes, encoding);
    egn::cli::AppendEncoded(back, utf8, encoding);
    Require(back == row.bytes);
    for (std::size_t i = 0; i + unit <= row.bytes.size(); i += unit) {
      line += row.bytes.substr(i, unit) == feed;
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
