#include "cli/workbook_mode.h"

#include <algorithm>
#include <vector>

#include "cli/column_common.h"
#include "cli/line_check.h"
#include "cli/output.h"
#include "cli/records.h"
#include "number/digits.h"
#include "table/blanks.h"
#include "table/csv_writer.h"

namespace egn::cli {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// Rows end in CR LF, as RFC 4180 has them and as spreadsheets write CSV.
constexpr std::string_view kRowEnd = "\r\n";
// The header is looked for among the sheet's first rows, as in a CSV file.
constexpr std::uint64_t kHeaderRows = 100;

std::uint32_t Little32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The names of a row's cells, by column from A to its last, without the
// blanks around them: a column without a cell has an empty name.
std::vector<std::string> NamesOf(const table::SheetRow& row) {
  std::vector<std::string> names;
  if (row.cells.empty()) return names;
  names.resize(static_cast<std::size_t>(row.cells.back().column) + 1);
  for (const table::Cell& cell : row.cells)
    names[cell.column] = std::string(table::TrimBlanks(cell.text));
  return names;
}

const table::Cell* CellAt(const table::SheetRow& row, std::size_t column) {
  for (const table::Cell& cell : row.cells) {
    if (cell.column == column) return &cell;
  }
  return nullptr;
}

class WorkbookRun final : public table::RowResults {
 public:
  WorkbookRun(const WorkbookOptions& options, table::SheetReader& reader, RunSink& sink)
      : options_(options), column_options_(options.column), reader_(reader), sink_(sink) {}

  int Run(const WriteBack& write_back, bool& whole) {
    whole = false;
    if (!Choose()) return kBadInput;
    if (!reader_.Select(sheet_)) return Unreadable();
    // The rows read while the header was looked for, to be written first.
    std::vector<table::SheetRow> held;
    if (!FindHeader(held)) return kBadInput;
    if (write_back) {
      // The workbook gets the results after the last column any row uses,
      // or that the sheet says it uses (Excel counts a styled empty cell):
      // no cell of the sheet is written over or put out of order. The
      // sheet is read through for it, and again as it is written.
      if (const std::optional<std::uint32_t> declared = reader_.DeclaredLastColumn()) {
        last_column_ = std::max(last_column_, *declared);
      }
      table::SheetRow row;
      while (reader_.Next(row)) {
        if (!row.cells.empty()) last_column_ = std::max(last_column_, row.cells.back().column);
      }
      if (!reader_.problem().empty()) return Unreadable();
      std::string problem;
      if (!write_back(sheet_, last_column_ + 1, *this, problem)) {
        sink_.Flush();
        sink_.Warn("egn-digit: работната книга не се записа: " + problem);
        return kBadInput;
      }
      sink_.Flush();
      whole = true;
      return status_;
    }
    // CSV and JSON in one reading: the rows held first, then the rest.
    if (options_.mark) sink_.buffer() += kUtf8Mark;
    std::uint64_t next = 1;  // the number of the next row to write
    const auto put = [&](const table::SheetRow& row) {
      for (; next < row.number; ++next) Gap(next);
      Write(row);
      next = row.number + 1;
    };
    for (const table::SheetRow& row : held) put(row);
    table::SheetRow row;
    while (reader_.Next(row)) put(row);
    if (!reader_.problem().empty()) return Unreadable();
    sink_.Flush();
    whole = true;
    return status_;
  }

  // The cells after `row`'s last column, as the workbook gets them.
  void For(const table::SheetRow& row, std::vector<table::ResultCell>& cells) override {
    cells.clear();
    if (IsHeader(row)) {
      for (std::size_t i = 0; i < columns_.size(); ++i) cells.push_back({std::string(columns_[i])});
      return;
    }
    if (!IsData(row.number)) return;
    const FieldVerdict verdict = Evaluate(row, nullptr);
    if (verdict == FieldVerdict::kBlank) return;
    const bool flagged = verdict != FieldVerdict::kRight;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      cells.push_back({std::string(columns_[i]), flagged});
    }
    // Empty cells at the end are left out.
    while (!cells.empty() && cells.back().text.empty()) cells.pop_back();
  }

 private:
  // The sheet the options name: false, with the sheets listed, for none.
  bool Choose() {
    const std::vector<std::string>& sheets = reader_.sheets();
    if (sheets.empty()) {
      sink_.Warn("egn-digit: работната книга няма листове");
      return false;
    }
    if (!options_.sheet) {
      sheet_ = 0;
      return true;
    }
    const auto named = std::find(sheets.begin(), sheets.end(), *options_.sheet);
    if (named != sheets.end()) {
      sheet_ = static_cast<std::size_t>(named - sheets.begin());
      return true;
    }
    if (number::IsDigits(*options_.sheet) && options_.sheet->size() < 6) {
      const std::size_t number = std::stoul(*options_.sheet);
      if (number >= 1 && number <= sheets.size()) {
        sheet_ = number - 1;
        return true;
      }
    }
    std::string listed;
    for (const std::string& name : sheets) {
      listed += (listed.empty() ? "„" : ", „") + Shown(name) + "“";
    }
    sink_.Warn("egn-digit: няма лист „" + Shown(*options_.sheet) + "“; " +
               (sheets.size() == 1 ? "листът е " : "листовете са ") + listed);
    return false;
  }

  std::string SheetName() const { return "„" + Shown(reader_.sheets()[sheet_]) + "“"; }

  int Unreadable() {
    sink_.Flush();
    sink_.Warn("egn-digit: листът " + SheetName() + " не се чете: " + reader_.problem());
    return kBadInput;
  }

  // The header row among the sheet's first rows, and the column in it:
  // reads on until a row tells the header, or past the rows where it may
  // be, and keeps the rows read in `held`.
  bool FindHeader(std::vector<table::SheetRow>& read) {
    std::vector<NamedRow> held;
    std::optional<std::size_t> header;  // of `held`
    table::SheetRow row;
    while (!header && reader_.Next(row)) {
      any_row_ = true;
      if (!row.cells.empty()) last_column_ = std::max(last_column_, row.cells.back().column);
      read.push_back(row);
      if (row.number > kHeaderRows) break;
      held.push_back({static_cast<std::size_t>(row.number), NamesOf(row)});
      if (TellsHeader(held.back().names, column_options_)) header = held.size() - 1;
    }
    if (!reader_.problem().empty()) {
      Unreadable();
      return false;
    }
    if (held.empty()) {
      sink_.Warn(any_row_ ? "egn-digit: няма заглавен ред: първите 100 реда на листа " +
                                SheetName() + " са празни"
                          : "egn-digit: няма заглавен ред: листът " + SheetName() + " е празен");
      return false;
    }
    // Without a row that tells, the first row is the header, as long as it
    // has the column.
    const NamedRow& names = held[header.value_or(0)];
    std::string problem;
    const std::optional<std::size_t> column =
        FindColumn(names.names, column_options_, held, problem);
    if (!column) {
      sink_.Warn("egn-digit: " + problem);
      return false;
    }
    column_ = *column;
    header_row_ = names.line;
    width_ = static_cast<std::uint32_t>(names.names.size());
    // A column given by its number whose cell there is a number: a sheet
    // without a header row, every row is data.
    no_header_ = column_options_.number && number::IsDigits(names.names[column_]);
    ColumnNames(columns_, column_options_.decode, column_options_.explain);
    return true;
  }

  bool IsHeader(const table::SheetRow& row) const {
    return !no_header_ && row.number == header_row_;
  }
  bool IsData(std::uint64_t number) const { return no_header_ || number > header_row_; }

  // A row the sheet leaves out: an empty line, or with JSON a record of no
  // number under the header.
  void Gap(std::uint64_t number) {
    if (column_options_.format == Format::kJson) {
      if (IsData(number)) Blank(number);
    } else {
      sink_.buffer() += kRowEnd;
    }
    sink_.Done();
  }

  void Blank(std::uint64_t number) {
    std::string& out = sink_.buffer();
    out += "{\"line\":";
    out += std::to_string(number);
    out += ",\"input\":\"\"}\n";
  }

  // Checks the row's cell: its columns into columns_, or its record
  // appended to `json`; a problem said, and the status kept.
  FieldVerdict Evaluate(const table::SheetRow& row, std::string* json) {
    const auto line = static_cast<std::size_t>(row.number);
    const table::Cell* cell = CellAt(row, column_);
    std::string problem;
    FieldVerdict verdict = FieldVerdict::kBlank;
    if (cell != nullptr) {
      CellText text = TextOfCell(*cell);
      if (!text.problem.empty()) {
        verdict = FieldVerdict::kProblem;
        problem = std::move(text.problem);
      } else {
        text_ = std::move(text.text);
        const std::string_view field = text_;
        const Checked checked = CheckLine({field.substr(0, kLongestLine), field.size()}, true);
        verdict = CheckField(checked, column_options_, line, columns_, json, problem);
      }
    }
    if (verdict == FieldVerdict::kBlank || verdict == FieldVerdict::kProblem) {
      ErrorColumns(columns_, column_options_.decode, column_options_.explain, problem);
    }
    if (verdict == FieldVerdict::kProblem) {
      if (json != nullptr) AppendError(*json, Format::kJson, "line", line, problem);
      sink_.Warn("egn-digit: ред " + std::to_string(line) + ": " + problem);
      if (column_options_.summary != nullptr) column_options_.summary->Problem(line, problem);
      status_ = kBadInput;
      sink_.Status(status_);
    } else if (verdict == FieldVerdict::kBlank && json != nullptr) {
      Blank(row.number);
    } else if (verdict == FieldVerdict::kWrong && status_ == kAllRight) {
      status_ = kWrongDigit;
      sink_.Status(status_);
    }
    return verdict;
  }

  // One row as a line of CSV: its cells at their columns, and for the
  // header and the rows under it the columns of results after the header
  // row's last column, as for a CSV file: the cells of a row that reach
  // further come after the results. Or the row's JSON record.
  void Write(const table::SheetRow& row) {
    std::string& out = sink_.buffer();
    if (column_options_.format == Format::kJson) {
      if (IsData(row.number)) Evaluate(row, &out);
      sink_.Done();
      return;
    }
    const char separator = column_options_.separator.value_or(';');
    const bool header = IsHeader(row);
    const bool results = header || IsData(row.number);
    if (results && !header) Evaluate(row, nullptr);
    std::uint64_t at = 0;  // the field written last, or 0 before any
    bool written = false;  // the results
    const auto put_results = [&] {
      out.append(width_ - at, separator);
      for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (i > 0) out += separator;
        Field(out, columns_[i], separator);
      }
      at = width_ + columns_.size() - 1;
      written = true;
    };
    for (const table::Cell& cell : row.cells) {
      std::uint64_t field = cell.column;
      if (results && field >= width_) {
        if (!written) put_results();
        field += columns_.size();
      }
      out.append(field - at, separator);
      Field(out, cell.text, separator);
      at = field;
    }
    if (results && !written) put_results();
    out += kRowEnd;
    sink_.Done();
  }

  // A field, quoted where it must be (RFC 4180).
  static void Field(std::string& out, std::string_view text, char separator) {
    if (table::NeedsQuotes(text, separator)) {
      table::AppendQuoted(out, text);
    } else {
      out += text;
    }
  }

  const WorkbookOptions& options_;
  const ColumnOptions& column_options_;
  table::SheetReader& reader_;
  RunSink& sink_;
  int status_ = kAllRight;
  std::size_t sheet_ = 0;
  std::size_t column_ = 0;
  std::uint64_t header_row_ = 0;
  std::uint32_t last_column_ = 0;  // of the sheet, for the workbook written
  std::uint32_t width_ = 0;        // the header row's columns, for CSV
  bool any_row_ = false;
  bool no_header_ = false;
  Columns columns_;
  std::string text_;
};

}  // namespace

CellText TextOfCell(const table::Cell& cell) {
  if (cell.kind == table::CellKind::kText) return {cell.text, {}};
  const std::string shown = Shown(cell.text);
  switch (cell.kind) {
    case table::CellKind::kText:
      return {cell.text, {}};
    case table::CellKind::kNumber:
      if (cell.text.find_first_of(".,eE") != std::string::npos) {
        return {{}, "клетката е дробно число (" + shown + "), а не ЕГН"};
      }
      return {cell.text, {}};
    case table::CellKind::kDate:
      // Not shown: an .xlsx writes a date as the number of days since 1900
      // (or 1904), which the user never saw.
      return {{}, "клетката е дата, а не ЕГН"};
    case table::CellKind::kBoolean:
      return {{}, "клетката е логическа стойност (" + shown + "), а не ЕГН"};
    case table::CellKind::kError:
      return {{}, "клетката е грешка на формула (" + shown + "), а не ЕГН"};
  }
  return {cell.text, {}};
}

FileKind KindOfHead(std::string_view head) {
  if (head.starts_with("PK\x03\x04")) return FileKind::kZip;
  if (head.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return FileKind::kCompound;
  return FileKind::kText;
}

bool HoldsEncryptedPackage(table::RandomAccessSource& file) {
  unsigned char header[512];
  if (file.Size() < sizeof header ||
      !file.ReadAt(0, reinterpret_cast<char*>(header), sizeof header)) {
    return false;
  }
  const unsigned shift = static_cast<unsigned>(header[0x1E]) | static_cast<unsigned>(header[0x1F])
                                                                   << 8;
  if (shift != 9 && shift != 12) return false;  // 512 or 4096 bytes, the only sizes there are
  const std::uint64_t sector_size = std::uint64_t{1} << shift;
  const std::uint64_t per_sector = sector_size / 4;  // entries of the allocation table
  const auto offset = [&](std::uint32_t sector) {
    return (std::uint64_t{sector} + 1) * sector_size;
  };
  // The allocation table's sectors that the header lists (109 of them: a
  // file of up to about 7 MB, or 448 MB with 4096-byte sectors; the
  // directory begins in the first of them in every file seen).
  std::vector<std::uint32_t> fat;
  for (std::size_t i = 0; i < 109; ++i) {
    const std::uint32_t sector = Little32(header + 0x4C + 4 * i);
    if (sector >= 0xFFFFFFFA) break;
    fat.push_back(sector);
  }
  const auto next = [&](std::uint32_t sector) -> std::uint32_t {
    const std::uint64_t index = sector / per_sector;
    if (index >= fat.size()) return 0xFFFFFFFE;
    unsigned char entry[4];
    if (!file.ReadAt(offset(fat[index]) + 4 * (sector % per_sector), reinterpret_cast<char*>(entry),
                     4)) {
      return 0xFFFFFFFE;
    }
    return Little32(entry);
  };
  static constexpr char16_t kName[] = u"EncryptedPackage";
  std::vector<char> sector_bytes(static_cast<std::size_t>(sector_size));
  std::uint32_t sector = Little32(header + 0x30);
  // A chain that loops is cut: no directory is longer than the file.
  for (std::uint64_t steps = 0; sector < 0xFFFFFFFA && steps <= file.Size() / sector_size;
       ++steps, sector = next(sector)) {
    if (offset(sector) + sector_size > file.Size() ||
        !file.ReadAt(offset(sector), sector_bytes.data(), sector_bytes.size())) {
      return false;
    }
    for (std::size_t at = 0; at + 128 <= sector_bytes.size(); at += 128) {
      const auto* entry = reinterpret_cast<const unsigned char*>(sector_bytes.data() + at);
      const unsigned length =
          static_cast<unsigned>(entry[0x40]) | static_cast<unsigned>(entry[0x41]) << 8;
      if (length != sizeof kName) continue;  // in bytes, with the closing zero
      bool same = true;
      for (std::size_t i = 0; i < std::size(kName) && same; ++i) {
        same = (static_cast<unsigned>(entry[2 * i]) | static_cast<unsigned>(entry[2 * i + 1])
                                                          << 8) == kName[i];
      }
      if (same && entry[0x42] == 2) return true;  // a stream
    }
  }
  return false;
}

int RunWorkbook(const WorkbookOptions& options, table::SheetReader& reader, RunSink& sink,
                const WriteBack& write_back, bool& whole) {
  WorkbookRun run(options, reader, sink);
  return run.Run(write_back, whole);
}

}  // namespace egn::cli
