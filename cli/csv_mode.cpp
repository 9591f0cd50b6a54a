#include "cli/csv_mode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "cli/column_common.h"
#include "cli/console.h"
#include "cli/output.h"
#include "number/digits.h"
#include "table/blanks.h"
#include "table/csv_reader.h"
#include "table/csv_writer.h"
#include "table/encodings.h"

namespace egn::cli {

namespace {

using namespace std::string_view_literals;
using table::CsvReader;
using table::CsvRow;
using table::Encoding;
using table::Quoting;

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kNotWritten = "; редовете от този нататък не са записани";

// A field's text in UTF-8, into `out`: decoded from the file's encoding,
// without the quotes around it (a doubled quote inside is one quote; what
// follows the closing quote is text, as the reader takes it).
void FieldText(std::string& out, std::string_view field, Encoding encoding) {
  out.clear();
  if (encoding == Encoding::kUtf8) {
    out += field;  // the reader has found it well-formed
  } else {
    table::AppendUtf8(out, field, encoding);
  }
  if (out.empty() || out.front() != '"') return;
  std::size_t kept = 0;
  bool quoted = true;
  for (std::size_t i = 1; i < out.size(); ++i) {
    if (quoted && out[i] == '"') {
      quoted = i + 1 < out.size() && out[i + 1] == '"';
      if (quoted) out[kept++] = out[++i];
      continue;
    }
    out[kept++] = out[i];
  }
  out.resize(kept);
}

// The kind of a spreadsheet's own file that `head`, the input's first bytes,
// begins as, for a message; empty for none. Such a file holds zero bytes
// and is no text: the user is told what it is and what to do instead.
std::string WorkbookKind(std::string_view head) {
  if (head.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
    return "работна книга .xls (от по-стар формат)";  // a compound file
  }
  if (!head.starts_with("PK\x03\x04")) return {};
  if (head.find("application/vnd.oasis.opendocument.spreadsheet") != std::string_view::npos) {
    return "таблица .ods";
  }
  if (head.find("[Content_Types].xml") != std::string_view::npos ||
      head.find("xl/") != std::string_view::npos) {
    return "работна книга .xlsx";
  }
  return "архив ZIP";
}

// What is wrong with the quotes of `row`, and where, when they are not as
// RFC 4180 has them: a quote opened by mistake runs on over separators and
// rows, so the fields read may not be the file's.
std::string QuotingProblem(const CsvRow& row) {
  const std::string where =
      row.quoting_line == row.line ? "" : " на ред " + std::to_string(row.quoting_line);
  if (row.quoting == Quoting::kTextAfterQuote) {
    return "след затварящите кавички" + where + " има текст (не по RFC 4180)";
  }
  return "кавички в поле" + where + ", което не започва с кавички (не по RFC 4180)";
}

class ColumnRun {
 public:
  ColumnRun(const ColumnOptions& options, ByteSource& input)
      : options_(options), reader_(input, [this] { output_.Flush(); }) {}

  bool whole() const { return whole_; }

  int Run() {
    if (!reader_.Start(options_.separator, options_.encoding)) return Stop();
    if (const std::string kind = WorkbookKind(reader_.head()); !kind.empty()) {
      Say("egn-digit: файлът е " + kind +
          ", а не CSV: отворете го в програмата за таблици и го запишете като CSV "
          "(„Запиши като“, тип „CSV“)");
      whole_ = false;
      return kBadInput;
    }
    const bool json = options_.format == Format::kJson;
    const bool console = StandardSink(stdout).IsConsole();
    // Typed into a console, a table has no encoding of its own to keep: it
    // goes out in UTF-8, as everything else the program writes.
    const Encoding to =
        options_.utf8 || console || reader_.typed() ? Encoding::kUtf8 : reader_.encoding();
    writer_.emplace(reader_.encoding(), to, reader_.separator());
    // The header is looked for among the first rows, kept until it is found.
    CsvRow row;
    std::optional<std::size_t> header;
    while (held_.size() < kHeaderRows && reader_.Next(row)) {
      held_.push_back({std::string(row.bytes) + std::string(row.line_end), row});
      if (row.fields > 0 && FindHeader(row)) {
        header = held_.size() - 1;
        break;
      }
    }
    if (held_.empty() && reader_.problem() == CsvReader::Problem::kNone) {
      Say("egn-digit: няма заглавен ред: входът е празен");
      whole_ = false;
      return kBadInput;
    }
    if (held_.empty() && reader_.problem() != CsvReader::Problem::kOpenQuote) {
      return Stop();  // nothing to write, not even the mark
    }
    // The file's byte-order mark, or UTF-8's for --utf8 (a console takes
    // characters, and JSON has one only when asked for).
    if (!json) output_.KeepBytes();
    if (!console && (json ? options_.bom : true)) {
      output_.buffer() += json || options_.utf8 ? kUtf8Mark : reader_.mark();
    }
    if (!held_.empty()) {
      // Without a row that tells, the first row that is not empty is the
      // header, as long as it has the column.
      if (!header) {
        header = 0;
        while (*header + 1 < held_.size() && held_[*header].row.fields == 0) ++*header;
      }
      if (!Header(*header)) {
        output_.buffer().clear();  // not even the mark: nothing is written
        whole_ = false;
        return kBadInput;
      }
      // The rows held after the header (when none told where it is).
      for (std::size_t i = *header + 1; i < held_.size(); ++i) Take(Held(i));
      held_.clear();
      if (reader_.problem() == CsvReader::Problem::kNone) {
        while (reader_.Next(row)) Take(row);
      }
    }
    if (reader_.problem() == CsvReader::Problem::kOpenQuote && !json) {
      writer_->Keep(output_.buffer(), row.bytes);  // nothing dropped
    }
    return Stop();
  }

 private:
  static constexpr std::size_t kHeaderRows = 100;

  // A row read while the header was looked for: its bytes, line end
  // included, and what the reader said of it.
  struct HeldRow {
    std::string bytes;
    CsvRow row;
  };

  // The held row `i`, its views into its own copy.
  CsvRow Held(std::size_t i) const {
    const HeldRow& held = held_[i];
    CsvRow row = held.row;
    const std::string_view bytes = held.bytes;
    row.bytes = bytes.substr(0, row.bytes.size());
    row.line_end = bytes.substr(row.bytes.size());
    row.cell = {};
    if (row.fields > column_) row.cell = reader_.Fields(row)[column_];
    return row;
  }

  // The names of a row's fields, in UTF-8, without quotes and blanks.
  std::vector<std::string> Names(const CsvRow& row) const {
    const std::vector<std::string_view> fields = reader_.Fields(row);
    std::vector<std::string> names(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
      FieldText(names[i], fields[i], reader_.encoding());
      names[i] = std::string(table::TrimBlanks(names[i]));
    }
    return names;
  }

  // Whether `row` tells where the table starts (TellsHeader).
  bool FindHeader(const CsvRow& row) const { return TellsHeader(Names(row), options_); }

  // The names of the rows held while the header was looked for, for a
  // message.
  std::vector<NamedRow> HeldNames() const {
    std::vector<NamedRow> rows;
    for (const HeldRow& held : held_) {
      if (held.row.fields > 0) rows.push_back({held.row.line, Names(held.row)});
    }
    return rows;
  }

  // Finds the column in the header row, held row `at`, and writes the rows
  // above it as they are, with empty columns, then the header row with the
  // names of the appended columns. A column given by its number whose field
  // there is a number means a file without a header row: every row is data.
  bool Header(std::size_t at) {
    const CsvRow row = Held(at);
    const std::vector<std::string> names = Names(row);
    header_fields_ = names.size();
    std::string problem;
    const std::optional<std::size_t> found = FindColumn(names, options_, HeldNames(), problem);
    if (!found) {
      Say("egn-digit: " + problem);
      return false;
    }
    const std::size_t column = *found;
    column_ = column;
    reader_.Select(column);
    if (options_.number && number::IsDigits(names[column])) {
      for (std::size_t i = 0; i <= at; ++i) Take(Held(i));
      return true;
    }
    const bool json = options_.format == Format::kJson;
    if (!json) ErrorColumns(columns_, options_.decode, options_.explain, "");
    for (std::size_t i = 0; i < at; ++i) {
      if (!json) WriteUnder(Held(i));
      output_.Done();
    }
    if (row.quoting != Quoting::kRight) {
      // The names are taken as read; the rows under them say what they hold.
      output_.warning() += "egn-digit: ред " + std::to_string(row.line) + ": " +
                           QuotingProblem(row) + " в заглавния ред";
      output_.Warned();
      status_ = kBadInput;
    }
    if (!json) {
      ColumnNames(columns_, options_.decode, options_.explain);
      writer_->Row(output_.buffer(), row, &columns_, 0);
      output_.Done();
    }
    return true;
  }

  void Take(const CsvRow& row) {
    const bool json = options_.format == Format::kJson;
    std::string& out = output_.buffer();
    if (row.fields == 0) {  // an empty row stays empty
      if (json) {
        Blank(out, row);
      } else {
        writer_->Row(out, row, nullptr, 0);
      }
      output_.Done();
      return;
    }
    if (row.quoting != Quoting::kRight) {
      Problem(row, QuotingProblem(row) + "; редът не е проверен", false);
      return;
    }
    if (row.fields != header_fields_) {
      Problem(row,
              std::to_string(row.fields) + (row.fields == 1 ? " поле" : " полета") +
                  ", а заглавният ред има " + std::to_string(header_fields_),
              false);
      return;
    }
    Checked checked;
    if (const std::string_view cell = row.cell; (cell.size() == 9 || cell.size() == 10) &&
                                                number::IsDigits(cell) &&
                                                !IsUtf16(reader_.encoding())) {
      // Nine or ten digits alone, as nearly every field is: the same in
      // UTF-8 and Windows-1251, taken where they lie.
      checked.verdict = cell.size() == 9 ? Verdict::kNine : Verdict::kTen;
      checked.digits = cell;
    } else if (FieldText(text_, cell, reader_.encoding()); text_.size() > kLongestLine) {
      checked.verdict = Verdict::kMalformed;
      checked.problem = "полето е твърде дълго (" + std::to_string(text_.size()) +
                        " байта), очакват се 9 или 10 цифри";
    } else {
      checked = CheckLine({text_, text_.size(), Encoding::kUtf8}, true);
    }
    std::string problem;
    const FieldVerdict verdict =
        CheckField(checked, options_, row.line, columns_, json ? &out : nullptr, problem);
    if (verdict == FieldVerdict::kBlank) {  // a blank field: no number, nothing to say
      if (json) {
        Blank(out, row);
      } else {
        ErrorColumns(columns_, options_.decode, options_.explain, "");
        writer_->Row(out, row, &columns_, 0);
      }
      output_.Done();
      return;
    }
    if (verdict == FieldVerdict::kProblem) {
      Problem(row, problem, true);
      return;
    }
    if (!json) writer_->Row(out, row, &columns_, 0);
    if (verdict == FieldVerdict::kWrong && status_ == kAllRight) status_ = kWrongDigit;
    output_.Done();
  }

  // The JSON record of a row with no number (its field blank, or the row
  // empty): its line and an empty input, so that there is one record a row.
  static void Blank(std::string& out, const CsvRow& row) {
    out += "{\"line\":";
    out += std::to_string(row.line);
    out += ",\"input\":\"\"}\n";
  }

  // A row whose field holds no number (`in_field`), or that is wrong as a
  // whole: said on standard error after it, written with "грешка" and why,
  // or with empty columns after as many fields as the header row has, so
  // that they stand under their names: a short row gets empty fields up to
  // them, a long row's fields beyond the header's follow them.
  void Problem(const CsvRow& row, const std::string& problem, bool in_field) {
    std::string& out = output_.buffer();
    if (options_.format == Format::kJson) {
      AppendError(out, Format::kJson, "line", row.line, problem);
    } else {
      ErrorColumns(columns_, options_.decode, options_.explain, in_field ? problem : "");
      WriteUnder(row);
    }
    output_.warning() += "egn-digit: ред " + std::to_string(row.line) + ": " + problem;
    output_.Warned();
    if (options_.summary != nullptr) options_.summary->Problem(row.line, problem);
    status_ = kBadInput;
    output_.Done();
  }

  // Writes `row` with columns_ after as many fields as the header row has,
  // so that they stand under their names: a short row gets empty fields up
  // to them, a long row's fields beyond the header's follow them. An empty
  // row stays empty.
  void WriteUnder(const CsvRow& row) {
    std::string& out = output_.buffer();
    if (row.fields == 0) {
      writer_->Row(out, row, nullptr, 0);
    } else if (row.fields > header_fields_) {
      const std::string_view last = reader_.Fields(row)[header_fields_ - 1];
      writer_->RowWithColumnsAt(
          out, row, columns_,
          static_cast<std::size_t>(last.data() + last.size() - row.bytes.data()));
    } else {
      writer_->Row(out, row, &columns_, header_fields_ - row.fields);
    }
  }

  // The end of the input, or of what can be read of it.
  int Stop() {
    const std::string line = "egn-digit: ред " + std::to_string(reader_.line()) + ": ";
    std::string said;
    switch (reader_.problem()) {
      case CsvReader::Problem::kNone:
        output_.Flush();
        return status_;
      case CsvReader::Problem::kReadFailed:
        said = "egn-digit: грешка при четене: " + reader_.what();
        break;
      case CsvReader::Problem::kNotText:
        said = line + reader_.what() + std::string(kNotWritten);
        break;
      case CsvReader::Problem::kOpenQuote:
        said = line +
               "кавичките, отворени на този ред, не се затварят до края на файла; "
               "остатъкът е записан както е, без резултати";
        break;
      case CsvReader::Problem::kTooLong:
        said = line + "редът е по-дълъг от 1 MiB" + std::string(kNotWritten);
        break;
      case CsvReader::Problem::kTooLongInQuotes:
        said = line + "полето в кавички, започнато на този ред, е по-дълго от 1 MiB" +
               " (незатворени кавички?)" + std::string(kNotWritten);
        break;
    }
    // What is left of a quote left open is written as it is; otherwise the
    // rows from here on are not.
    whole_ = reader_.problem() == CsvReader::Problem::kOpenQuote;
    output_.Flush();
    Say(said);
    return kBadInput;
  }

  const ColumnOptions& options_;
  int status_ = kAllRight;
  bool whole_ = true;
  Output output_{status_};
  CsvReader reader_;
  std::optional<table::CsvWriter> writer_;
  std::size_t header_fields_ = 0;
  std::size_t column_ = 0;
  std::vector<HeldRow> held_;
  Columns columns_;
  std::string text_;
};

}  // namespace

int RunColumn(const ColumnOptions& options, ByteSource& input, bool& whole) {
  ColumnRun run(options, input);
  const int status = run.Run();
  whole = run.whole();
  return status;
}

}  // namespace egn::cli
