#include "table/ods.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "table/xml_reader.h"
#include "table/zip_writer.h"

namespace egn::table {

namespace {

constexpr std::string_view kOfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kTableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kTextNs = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view kStyleNs = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
constexpr std::string_view kFoNs = "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0";
constexpr std::string_view kCalcExtNs =
    "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0";
constexpr std::string_view kManifestNs = "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0";

constexpr std::string_view kContent = "content.xml";
constexpr std::string_view kManifest = "META-INF/manifest.xml";
constexpr std::string_view kStyles = "styles.xml";

// The largest sheet the spreadsheet programs open: a cell or row past it is
// not given (an .ods commonly ends with an empty row repeated to the last).
constexpr std::uint64_t kColumns = 16384;
constexpr std::uint64_t kRows = 1048576;
// A cell's text kept at most (more is not read): memory stays bounded.
constexpr std::size_t kMaxText = 1 << 20;
// The columns declared past the first result column where a sheet declares
// fewer: the results are a few columns.
constexpr std::uint64_t kResultColumns = 16;

const std::string kNoContent = "в работната книга няма част „content.xml“: тя е повредена";
const std::string kEncrypted =
    "работната книга е защитена с парола: запишете я отново без парола и опитайте пак";
const std::string kNoSheets = "в частта „content.xml“ няма нито един лист";
const std::string kNoPrefixes =
    "частта „content.xml“ не обявява пространствата от имена на таблица OpenDocument с "
    "представки: не може да бъде записана отново";

std::string NoSheet(std::size_t index) {
  return "в работната книга няма лист с номер " + std::to_string(index + 1);
}

bool Is(std::string_view name, std::string_view ns, std::string_view local) {
  return name.size() == ns.size() + 1 + local.size() && name.starts_with(ns) &&
         name[ns.size()] == '|' && name.ends_with(local);
}

const char* Attribute(const char** attributes, std::string_view ns, std::string_view local) {
  for (; *attributes != nullptr; attributes += 2) {
    if (Is(attributes[0], ns, local)) return attributes[1];
  }
  return nullptr;
}

// A count of repeats as written: 1 where absent or not a positive number.
std::uint64_t Repeat(const char** attributes, std::string_view local) {
  const char* text = Attribute(attributes, kTableNs, local);
  if (text == nullptr) return 1;
  std::uint64_t value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return 1;
    value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(*c - '0'), 1ull << 40);
  }
  return value == 0 ? 1 : value;
}

// An integral number as plain decimal digits ("5.51267871E8" is
// "551267871", "42.0" is "42"); any other as written.
std::string PlainNumber(std::string_view text) {
  std::size_t at = 0;
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  std::string digits;
  std::size_t whole = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') digits += text[at++], ++whole;
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') digits += text[at++];
  }
  if (digits.empty()) return std::string(text);
  long exponent = 0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    const bool down = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    if (at == text.size()) return std::string(text);
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      exponent = exponent * 10 + (text[at++] - '0');
      if (exponent > 400) return std::string(text);
    }
    if (down) exponent = -exponent;
  }
  if (at != text.size()) return std::string(text);
  const long point = static_cast<long>(whole) + exponent;  // digits before the point
  for (long i = std::max(point, 0L); i < static_cast<long>(digits.size()); ++i) {
    if (digits[static_cast<std::size_t>(i)] != '0') return std::string(text);
  }
  std::string integral =
      point <= 0
          ? std::string()
          : (point <= static_cast<long>(digits.size())
                 ? digits.substr(0, static_cast<std::size_t>(point))
                 : digits + std::string(static_cast<std::size_t>(point) - digits.size(), '0'));
  integral.erase(0, std::min(integral.find_first_not_of('0'), integral.size()));
  if (integral.empty()) return "0";
  return negative ? "-" + integral : integral;
}

// Reads the sheets of content.xml: the names of the tables of the
// spreadsheet, and the cells of the one wanted, row by row, told to the
// hooks. Memory holds one row.
class Scanner : public XmlHandler {
 public:
  static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  explicit Scanner(std::size_t wanted) : wanted_(wanted) {}

  void Start(std::string_view name, const char** attributes) override {
    ++depth_;
    if (ignore_depth_ != 0) return;
    if (spreadsheet_depth_ == 0) {
      if (Is(name, kOfficeNs, "spreadsheet")) spreadsheet_depth_ = depth_;
      return;
    }
    if (table_depth_ == 0) {
      if (depth_ == spreadsheet_depth_ + 1 && Is(name, kTableNs, "table")) {
        table_depth_ = depth_;
        const char* table_name = Attribute(attributes, kTableNs, "name");
        names_.emplace_back(table_name == nullptr ? "" : table_name);
        selected_ = tables_seen_++ == wanted_;
        if (selected_) {
          row_number_ = 1;
          TableStart();
        }
      }
      return;
    }
    if (!selected_) return;
    if (cell_depth_ != 0) return CellContent(name, attributes);
    if (row_depth_ != 0) {
      if (depth_ == row_depth_ + 1 &&
          (Is(name, kTableNs, "table-cell") || Is(name, kTableNs, "covered-table-cell"))) {
        StartCell(attributes);
      }
      return;
    }
    if (Is(name, kTableNs, "table-row")) {
      row_depth_ = depth_;
      row_repeat_ = Repeat(attributes, "number-rows-repeated");
      row_.cells.clear();
      column_ = 0;
      RowStart();
    } else if (Is(name, kTableNs, "table-column")) {
      columns_declared_ += Repeat(attributes, "number-columns-repeated");
    }
  }

  void End(std::string_view) override {
    if (ignore_depth_ != 0) {
      if (ignore_depth_ == depth_) ignore_depth_ = 0;
    } else if (paragraph_depth_ == depth_) {
      paragraph_depth_ = 0;
    } else if (cell_depth_ == depth_) {
      EndCell();
    } else if (row_depth_ == depth_) {
      row_depth_ = 0;
      row_.number = row_number_;
      const std::uint64_t first = row_number_;
      row_number_ += row_repeat_;
      RowEnd(first, row_repeat_);
    } else if (table_depth_ == depth_) {
      table_depth_ = 0;
      if (selected_) {
        selected_ = false;
        TableEnd();
      }
    } else if (spreadsheet_depth_ == depth_) {
      spreadsheet_depth_ = 0;
    }
    --depth_;
  }

  void Text(std::string_view text) override {
    if (paragraph_depth_ != 0 && ignore_depth_ == 0) Append(text);
  }

  const std::vector<std::string>& names() const { return names_; }
  std::size_t tables_seen() const { return tables_seen_; }

 protected:
  virtual void TableStart() {}
  virtual void TableEnd() {}
  virtual void RowStart() {}
  // `row_` holds the row's cells; its number is `first`, and it is repeated
  // `repeat` times.
  virtual void RowEnd(std::uint64_t first, std::uint64_t repeat) {
    (void)first;
    (void)repeat;
  }
  virtual void CellStart() {}
  virtual void CellEnd(std::uint64_t column, std::uint64_t repeat, bool empty) {
    (void)column;
    (void)repeat;
    (void)empty;
  }

  int depth_ = 0;
  int table_depth_ = 0;
  int row_depth_ = 0;
  int cell_depth_ = 0;
  bool selected_ = false;
  std::uint64_t columns_declared_ = 0;
  SheetRow row_;

 private:
  void Append(std::string_view text) {
    if (text_.size() < kMaxText) text_.append(text);
  }

  void StartCell(const char** attributes) {
    cell_depth_ = depth_;
    cell_repeat_ = Repeat(attributes, "number-columns-repeated");
    auto get = [&](std::string_view ns, std::string_view local) {
      const char* value = Attribute(attributes, ns, local);
      return value == nullptr ? std::string() : std::string(value);
    };
    type_ = get(kOfficeNs, "value-type");
    calc_type_ = get(kCalcExtNs, "value-type");
    value_ = type_ == "date"      ? get(kOfficeNs, "date-value")
             : type_ == "time"    ? get(kOfficeNs, "time-value")
             : type_ == "boolean" ? get(kOfficeNs, "boolean-value")
             : type_ == "string"  ? get(kOfficeNs, "string-value")
                                  : get(kOfficeNs, "value");
    formula_ = Attribute(attributes, kTableNs, "formula") != nullptr;
    text_.clear();
    paragraphs_ = 0;
    CellStart();
  }

  void CellContent(std::string_view name, const char** attributes) {
    if (depth_ == cell_depth_ + 1) {
      if (Is(name, kTextNs, "p")) {
        if (paragraphs_++ > 0) Append("\n");
        paragraph_depth_ = depth_;
      } else {
        ignore_depth_ = depth_;  // a note, an image: not the cell's value
      }
      return;
    }
    if (paragraph_depth_ == 0) return;
    if (Is(name, kTextNs, "s")) {
      Spaces(attributes);
    } else if (Is(name, kTextNs, "tab")) {
      Append("\t");
    } else if (Is(name, kTextNs, "line-break")) {
      Append("\n");
    } else if (Is(name, kTextNs, "note") || Is(name, kOfficeNs, "annotation")) {
      ignore_depth_ = depth_;
    }
  }

  // text:s: its count of spaces (1 where not given).
  void Spaces(const char** attributes) {
    std::uint64_t count = 1;
    if (const char* c = Attribute(attributes, kTextNs, "c"); c != nullptr) {
      count = 0;
      for (const char* d = c; *d >= '0' && *d <= '9'; ++d) {
        count = std::min<std::uint64_t>(count * 10 + static_cast<std::uint64_t>(*d - '0'), 1000);
      }
      count = std::max<std::uint64_t>(count, 1);
    }
    Append(std::string(count, ' '));
  }

  void EndCell() {
    cell_depth_ = 0;
    Cell cell;
    // An error value: so typed, or a formula's cell of no type (LibreOffice
    // writes "Err:502" so).
    if (calc_type_ == "error" || (type_.empty() && formula_)) {
      cell.kind = CellKind::kError;
      cell.text = text_;
    } else if (type_ == "float" || type_ == "percentage" || type_ == "currency") {
      cell.kind = CellKind::kNumber;
      cell.text = value_.empty() ? text_ : PlainNumber(value_);
    } else if (type_ == "date" || type_ == "time") {
      cell.kind = CellKind::kDate;
      cell.text = value_.empty() ? text_ : value_;
    } else if (type_ == "boolean") {
      cell.kind = CellKind::kBoolean;
      cell.text = value_ == "true" || value_ == "1" ? "TRUE" : "FALSE";
    } else {
      cell.kind = CellKind::kText;
      cell.text = text_.empty() ? value_ : text_;
    }
    const bool empty = cell.text.empty();
    const std::uint64_t column = column_;
    if (!empty) {
      for (std::uint64_t c = column; c < std::min(column + cell_repeat_, kColumns); ++c) {
        cell.column = static_cast<std::uint32_t>(c);
        row_.cells.push_back(cell);
      }
    }
    column_ += cell_repeat_;
    CellEnd(column, cell_repeat_, empty);
  }

 private:
  std::size_t wanted_;
  std::vector<std::string> names_;
  std::size_t tables_seen_ = 0;
  int spreadsheet_depth_ = 0;
  int paragraph_depth_ = 0;
  int ignore_depth_ = 0;
  std::uint64_t row_number_ = 1;
  std::uint64_t row_repeat_ = 1;
  std::uint64_t column_ = 0;
  std::uint64_t cell_repeat_ = 1;
  std::string type_, calc_type_, value_, text_;
  bool formula_ = false;
  int paragraphs_ = 0;
};

// Whether META-INF/manifest.xml says content.xml is encrypted.
class ManifestHandler final : public XmlHandler {
 public:
  void Start(std::string_view name, const char** attributes) override {
    ++depth_;
    if (Is(name, kManifestNs, "file-entry")) {
      const char* path = Attribute(attributes, kManifestNs, "full-path");
      if (path != nullptr && kContent == path) entry_depth_ = depth_;
    } else if (entry_depth_ != 0 && Is(name, kManifestNs, "encryption-data")) {
      encrypted = true;
    }
  }
  void End(std::string_view) override {
    if (depth_ == entry_depth_) entry_depth_ = 0;
    --depth_;
  }
  void Text(std::string_view) override {}
  bool encrypted = false;

 private:
  int depth_ = 0;
  int entry_depth_ = 0;
};

// The part content.xml of a package that can be read: null (and `problem`)
// where it is missing or encrypted.
const ZipEntry* ReadableContent(ZipReader& zip, std::string& problem) {
  const ZipEntry* content = zip.Find(kContent);
  if (content == nullptr) {
    problem = kNoContent;
    return nullptr;
  }
  if (const ZipEntry* manifest = zip.Find(kManifest); manifest != nullptr) {
    const std::unique_ptr<ByteSource> source = zip.Inflate(*manifest);
    ManifestHandler handler;
    XmlReader xml(*source, std::string(kManifest), handler);
    if (xml.Parse() == XmlReader::Status::kFailed) {
      problem = xml.problem();
      return nullptr;
    }
    if (handler.encrypted) {
      problem = kEncrypted;
      return nullptr;
    }
  }
  return content;
}

// --- Reading -----------------------------------------------------------------

// The Scanner pausing the XML reader at each row that holds a cell, and at
// the end of the selected table.
class RowScanner final : public Scanner {
 public:
  using Scanner::Scanner;
  void Bind(XmlReader& xml) { xml_ = &xml; }
  const SheetRow& row() const { return row_; }
  bool row_ready = false;
  std::uint64_t copies = 0;
  bool ended = false;

 protected:
  void RowEnd(std::uint64_t first, std::uint64_t repeat) override {
    if (row_.cells.empty() || first > kRows) return;
    row_ready = true;
    copies = std::min(repeat, kRows - first + 1);
    xml_->Pause();
  }
  void TableEnd() override {
    ended = true;
    xml_->Pause();
  }

 private:
  XmlReader* xml_ = nullptr;
};

// A sheet read from content.xml inflated afresh at each Select, as far as
// its next row that holds a cell at each Next.
class OdsReader final : public SheetReader {
 public:
  OdsReader(ZipReader& zip, const ZipEntry& content, std::vector<std::string> sheets)
      : zip_(zip), content_(content), sheets_(std::move(sheets)) {}

  WorkbookKind kind() const override { return WorkbookKind::kOds; }
  const std::vector<std::string>& sheets() const override { return sheets_; }
  const std::string& problem() const override { return problem_; }

  bool Select(std::size_t index) override {
    xml_.reset();
    scanner_.reset();
    problem_.clear();
    copies_ = 0;
    if (index >= sheets_.size()) {
      problem_ = NoSheet(index);
      return false;
    }
    source_ = zip_.Inflate(content_);
    scanner_ = std::make_unique<RowScanner>(index);
    xml_ = std::make_unique<XmlReader>(*source_, std::string(kContent), *scanner_);
    scanner_->Bind(*xml_);
    return true;
  }

  bool Next(SheetRow& row) override {
    if (copies_ > 0) {
      row.number = number_++;
      row.cells = scanner_->row().cells;
      --copies_;
      return true;
    }
    if (xml_ == nullptr || scanner_->ended) return false;
    for (;;) {
      switch (xml_->Parse()) {
        case XmlReader::Status::kFailed:
          problem_ = xml_->problem();
          xml_.reset();
          return false;
        case XmlReader::Status::kDone:
          xml_.reset();
          return false;
        case XmlReader::Status::kPaused:
          if (scanner_->ended) return false;
          if (scanner_->row_ready) {
            scanner_->row_ready = false;
            copies_ = scanner_->copies;
            number_ = scanner_->row().number;
            return Next(row);
          }
      }
    }
  }

 private:
  ZipReader& zip_;
  const ZipEntry& content_;
  std::vector<std::string> sheets_;
  std::string problem_;
  std::unique_ptr<ByteSource> source_;
  std::unique_ptr<RowScanner> scanner_;
  std::unique_ptr<XmlReader> xml_;
  std::uint64_t copies_ = 0;
  std::uint64_t number_ = 0;
};

// --- Writing -----------------------------------------------------------------

// The inflated bytes of a part as the XML reader reads them, kept from the
// first not yet written on, and written on to a sink a range at a time.
class Tee final : public ByteSource {
 public:
  Tee(ByteSource& in, ByteSink& out) : in_(in), out_(out) {}

  long Read(char* into, std::size_t size) override {
    if (written_ - base_ >= (1 << 18)) {
      buffer_.erase(0, static_cast<std::size_t>(written_ - base_));
      base_ = written_;
    }
    const long read = in_.Read(into, size);
    if (read > 0) buffer_.append(into, static_cast<std::size_t>(read));
    return read;
  }
  std::string Problem() const override { return in_.Problem(); }

  // The bytes from `from` to `to`, which must not be written yet.
  std::string_view Bytes(std::uint64_t from, std::uint64_t to) const {
    return std::string_view(buffer_).substr(static_cast<std::size_t>(from - base_),
                                            static_cast<std::size_t>(to - from));
  }
  std::uint64_t end() const { return base_ + buffer_.size(); }
  std::uint64_t written() const { return written_; }

  // Writes the bytes up to `upto` not written yet.
  bool Flush(std::uint64_t upto) {
    if (upto <= written_) return true;
    const std::string_view bytes = Bytes(written_, upto);
    written_ = upto;
    return out_.Write(bytes);
  }
  // Writes `bytes` in place of the part's bytes up to `upto`.
  bool Replace(std::string_view bytes, std::uint64_t upto) {
    written_ = std::max(written_, upto);
    return out_.Write(bytes);
  }
  bool Insert(std::string_view bytes) { return out_.Write(bytes); }
  std::string SinkProblem() const { return out_.Problem(); }

 private:
  ByteSource& in_;
  ByteSink& out_;
  std::string buffer_;
  std::uint64_t base_ = 0;  // the offset of buffer_'s first byte
  std::uint64_t written_ = 0;
};

// The namespaces a start tag declares with a prefix: (prefix, uri).
std::vector<std::pair<std::string, std::string>> Declarations(std::string_view tag) {
  std::vector<std::pair<std::string, std::string>> found;
  std::size_t at = 0;
  while ((at = tag.find("xmlns:", at)) != std::string_view::npos) {
    if (at == 0 ||
        (tag[at - 1] != ' ' && tag[at - 1] != '\t' && tag[at - 1] != '\n' && tag[at - 1] != '\r')) {
      at += 6;
      continue;
    }
    at += 6;
    const std::size_t name_end = tag.find_first_of("= \t\r\n", at);
    if (name_end == std::string_view::npos) break;
    const std::size_t quote = tag.find_first_of("\"'", name_end);
    if (quote == std::string_view::npos) break;
    const std::size_t close = tag.find(tag[quote], quote + 1);
    if (close == std::string_view::npos) break;
    found.emplace_back(std::string(tag.substr(at, name_end - at)),
                       std::string(tag.substr(quote + 1, close - quote - 1)));
    at = close + 1;
  }
  return found;
}

// `tag` (a start tag) with the attribute `name` set to `value`, or left out
// where `value` is empty.
std::string WithAttribute(std::string_view tag, std::string_view name, std::string_view value) {
  std::size_t at = 0;
  for (;;) {
    at = tag.find(name, at);
    if (at == std::string_view::npos) break;
    const bool starts = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' ||
                                   tag[at - 1] == '\n' || tag[at - 1] == '\r');
    const std::size_t after = tag.find_first_not_of(" \t\r\n", at + name.size());
    if (starts && after != std::string_view::npos && tag[after] == '=') break;
    at += name.size();
  }
  if (at == std::string_view::npos) {
    if (value.empty()) return std::string(tag);
    // Before the tag's end ("/>" or ">").
    std::size_t end = tag.size() - 1;
    if (end > 0 && tag[end - 1] == '/') --end;
    return std::string(tag.substr(0, end)) + " " + std::string(name) + "=\"" + std::string(value) +
           "\"" + std::string(tag.substr(end));
  }
  const std::size_t quote = tag.find_first_of("\"'", at);
  const std::size_t close = tag.find(tag[quote], quote + 1);
  if (value.empty()) {
    std::size_t from = at;
    while (from > 0 && (tag[from - 1] == ' ' || tag[from - 1] == '\t' || tag[from - 1] == '\n' ||
                        tag[from - 1] == '\r')) {
      --from;
    }
    return std::string(tag.substr(0, from)) + std::string(tag.substr(close + 1));
  }
  return std::string(tag.substr(0, quote + 1)) + std::string(value) +
         std::string(tag.substr(close));
}

// Text as the paragraphs of a cell: escaped, its spaces kept (a run of
// spaces, and one at a paragraph's start or end, as text:s), a tab as
// text:tab, each line a paragraph; other control characters left out.
std::string Paragraphs(std::string_view text, const std::string& t) {
  std::string out = "<" + t + "p>";
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == ' ') {
      std::size_t run = 0;
      while (i + run < text.size() && text[i + run] == ' ') ++run;
      const bool at_start = out.ends_with(">");
      const bool at_end = i + run == text.size() || text[i + run] == '\n';
      std::size_t coded = run;
      if (!at_start && !at_end) {
        out += ' ';
        --coded;
      }
      if (coded >= 1) out.append("<").append(t).append("s");
      if (coded > 1)
        out.append(" ").append(t).append(R"(c=")").append(std::to_string(coded)).append("\"");
      if (coded >= 1) out += "/>";
      i += run;
      continue;
    }
    if (c == '\n') {
      out.append("</").append(t).append("p><").append(t).append("p>");
    } else if (c == '\t') {
      out += "<" + t + "tab/>";
    } else if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (static_cast<unsigned char>(c) >= 0x20) {
      out += c;
    }
    ++i;
  }
  return out + "</" + t + "p>";
}

// The names of the styles a part defines (style:name of style:style).
class StyleNames final : public XmlHandler {
 public:
  explicit StyleNames(std::set<std::string>& names) : names_(names) {}
  void Start(std::string_view name, const char** attributes) override {
    if (!Is(name, kStyleNs, "style")) return;
    if (const char* style = Attribute(attributes, kStyleNs, "name"); style != nullptr) {
      names_.insert(style);
    }
  }
  void End(std::string_view) override {}
  void Text(std::string_view) override {}

 private:
  std::set<std::string>& names_;
};

struct CellSpan {
  std::uint64_t start = 0;    // of its start tag
  std::uint64_t tag_end = 0;  // one past its start tag
  std::uint64_t end = 0;      // one past its end tag
  std::uint64_t column = 0;
  std::uint64_t repeat = 1;
  std::uint64_t spanned = 1;  // the columns it is merged across
  bool empty = true;
};

// content.xml written again as it is read: its bytes as they were, but for
// the rows of the selected table given results (each written whole at its
// end, a repeated one as rows of their own, its empty cells from the first
// result column on cut away), the flag's style added to the automatic
// styles, and columns declared for the results where the table declares
// too few. Bytes are held back only within such a row, or after the
// table's last column until its first row.
class ContentWriter final : public Scanner {
 public:
  // `taken`: the names of the styles of styles.xml, which the flag's must
  // not take either.
  ContentWriter(std::size_t index, std::uint32_t first_column, RowResults& results, Tee& tee,
                std::set<std::string> taken)
      : Scanner(index),
        first_column_(first_column),
        results_(results),
        tee_(tee),
        used_names_(std::move(taken)) {}
  void Bind(XmlReader& xml) { xml_ = &xml; }

  void Start(std::string_view name, const char** attributes) override {
    if (failed_) return;
    offset_ = xml_->EventOffset();
    length_ = static_cast<std::uint64_t>(xml_->EventLength());
    Put(tee_.Flush(std::min(offset_, limit_)));
    const int depth = depth_ + 1;
    if (depth == 1) {
      for (const auto& [prefix, uri] : Declarations(tee_.Bytes(offset_, offset_ + length_))) {
        if (uri == kOfficeNs) office_ = prefix + ":";
        if (uri == kTableNs) table_ = prefix + ":";
        if (uri == kTextNs) text_ = prefix + ":";
        if (uri == kStyleNs) style_ = prefix + ":";
        if (uri == kFoNs) fo_ = prefix + ":";
        if (uri == kCalcExtNs) calcext_ = prefix + ":";
      }
      if (office_.empty() || table_.empty() || text_.empty()) return Fail(kNoPrefixes);
    } else if (depth == 2 && Is(name, kOfficeNs, "automatic-styles")) {
      in_styles_ = true;
      styles_tag_end_ = offset_ + length_;
    } else if (in_styles_ && depth == 3) {
      if (const char* style = Attribute(attributes, kStyleNs, "name"); style != nullptr) {
        used_names_.insert(style);
      }
    } else if (depth == 2 && Is(name, kOfficeNs, "body") && !style_added_) {
      PickName();
      Put(tee_.Insert("<" + office_ + "automatic-styles>" + StyleXml() + "</" + office_ +
                      "automatic-styles>"));
      style_added_ = true;
    } else if (selected_ && cell_depth_ == 0 && row_depth_ == 0 && !rows_started_ &&
               (Is(name, kTableNs, "table-row") || Is(name, kTableNs, "table-rows") ||
                Is(name, kTableNs, "table-header-rows") || Is(name, kTableNs, "table-row-group"))) {
      DeclareColumns();
    } else if (selected_ && row_depth_ == 0 && Is(name, kTableNs, "table-column")) {
      column_start_ = offset_ + length_;
    }
    Scanner::Start(name, attributes);
    if (cell_depth_ == depth_ && !spans_.empty()) {
      spans_.back().spanned = Repeat(attributes, "number-columns-spanned");
    }
  }

  void End(std::string_view name) override {
    if (failed_) return;
    offset_ = xml_->EventOffset();
    length_ = static_cast<std::uint64_t>(xml_->EventLength());
    // The end of an element written empty has no bytes of its own: its
    // start's bytes reach to its end.
    if (length_ != 0) Put(tee_.Flush(std::min(offset_, limit_)));
    const int depth = depth_;
    if (depth == 2 && in_styles_ && Is(name, kOfficeNs, "automatic-styles")) {
      in_styles_ = false;
      PickName();
      if (length_ == 0) {
        Put(tee_.Replace(
            "<" + office_ + "automatic-styles>" + StyleXml() + "</" + office_ + "automatic-styles>",
            styles_tag_end_));
      } else {
        Put(tee_.Insert(StyleXml()));
      }
      style_added_ = true;
    } else if (selected_ && row_depth_ == 0 && cell_depth_ == 0 && !rows_started_ &&
               Is(name, kTableNs, "table-column")) {
      limit_ = length_ == 0 ? column_start_ : offset_ + length_;
    } else if (selected_ && depth == table_depth_ && !rows_started_) {
      DeclareColumns();
    }
    Scanner::End(name);
  }

  bool failed() const { return failed_; }
  const std::string& problem() const { return problem_; }

 protected:
  void RowStart() override {
    row_start_ = offset_;
    row_tag_end_ = offset_ + length_;
    spans_.clear();
    Put(tee_.Flush(row_start_));
    limit_ = row_start_;  // the row is written whole at its end
  }

  void CellStart() override {
    CellSpan span;
    span.start = offset_;
    span.tag_end = offset_ + length_;
    spans_.push_back(span);
  }

  void CellEnd(std::uint64_t column, std::uint64_t repeat, bool empty) override {
    CellSpan& span = spans_.back();
    span.end = length_ == 0 ? span.tag_end : offset_ + length_;
    span.column = column;
    span.repeat = repeat;
    span.empty = empty;
  }

  void RowEnd(std::uint64_t first, std::uint64_t repeat) override {
    limit_ = kAll;
    if (row_.cells.empty() || first > kRows || failed_) return;
    const std::uint64_t row_end = offset_ + length_;
    const std::string start_tag(tee_.Bytes(row_start_, row_tag_end_));
    const std::string body(tee_.Bytes(row_tag_end_, offset_));
    const std::string end_tag(tee_.Bytes(offset_, row_end));
    const std::string repeat_name = table_ + "number-rows-repeated";
    const std::uint64_t copies = std::min(repeat, kRows - first + 1);
    const std::string tag = repeat > 1 ? WithAttribute(start_tag, repeat_name, "") : start_tag;
    std::string prefix, suffix;
    std::uint64_t end_column = 0;
    bool cut = false;
    std::vector<ResultCell> cells;
    std::string out;
    for (std::uint64_t i = 0; i < copies && !failed_; ++i) {
      row_.number = first + i;
      cells.clear();
      results_.For(row_, cells);
      out = tag;
      if (cells.empty()) {
        out += body;
      } else {
        if (!cut && !Cut(prefix, suffix, end_column)) return;
        cut = true;
        out += prefix;
        if (end_column < first_column_) {
          const std::uint64_t gap = first_column_ - end_column;
          out += "<" + table_ + "table-cell";
          if (gap > 1)
            out += " " + table_ + "number-columns-repeated=\"" + std::to_string(gap) + "\"";
          out += "/>";
        }
        for (const ResultCell& cell : cells) out += ResultXml(cell);
        out += suffix;
      }
      out += end_tag;
      Put(tee_.Replace(out, row_end));
    }
    if (copies < repeat && !failed_) {
      Put(tee_.Replace(
          WithAttribute(start_tag, repeat_name, std::to_string(repeat - copies)) + body + end_tag,
          row_end));
    }
  }

  void TableEnd() override { table_found_ = true; }

 public:
  bool table_found() const { return table_found_; }

 private:
  static constexpr std::uint64_t kAll = std::numeric_limits<std::uint64_t>::max();

  void Put(bool written) {
    if (!written && !failed_) Fail(tee_.SinkProblem());
  }
  void Fail(const std::string& problem) {
    if (failed_) return;
    failed_ = true;
    problem_ = problem;
    xml_->Fail(problem);
  }

  void PickName() {
    if (!style_name_.empty()) return;
    style_name_ = "egn_flag";
    for (int n = 2; used_names_.count(style_name_) != 0; ++n) {
      style_name_ = "egn_flag" + std::to_string(n);
    }
  }

  std::string StyleXml() const {
    const std::string style = style_.empty() ? "style:" : style_;
    const std::string fo = fo_.empty() ? "fo:" : fo_;
    std::string out = "<" + style + "style";
    if (style_.empty()) out += " xmlns:style=\"" + std::string(kStyleNs) + "\"";
    if (fo_.empty()) out += " xmlns:fo=\"" + std::string(kFoNs) + "\"";
    out += " " + style + "name=\"" + style_name_ + "\" " + style + "family=\"table-cell\"><" +
           style + "table-cell-properties " + fo + "background-color=\"#ffc7ce\"/></" + style +
           "style>";
    return out;
  }

  std::string ResultXml(const ResultCell& cell) const {
    std::string out = "<" + table_ + "table-cell " + office_ + "value-type=\"string\"";
    if (!calcext_.empty()) out += " " + calcext_ + "value-type=\"string\"";
    if (cell.flagged) out += " " + table_ + "style-name=\"" + style_name_ + "\"";
    return out + ">" + Paragraphs(cell.text, text_) + "</" + table_ + "table-cell>";
  }

  // Where a table declares its columns, enough of them for the results.
  void DeclareColumns() {
    rows_started_ = true;
    limit_ = kAll;
    const std::uint64_t needed = first_column_ + kResultColumns;
    if (columns_declared_ == 0 || columns_declared_ >= needed) return Put(tee_.Flush(offset_));
    Put(tee_.Insert("<" + table_ + "table-column " + table_ + "number-columns-repeated=\"" +
                    std::to_string(needed - columns_declared_) + "\"/>"));
    Put(tee_.Flush(offset_));
  }

  // The row's cells before first_column_ (`prefix`, the last cut down to end
  // there), and what follows its cells (`suffix`).
  bool Cut(std::string& prefix, std::string& suffix, std::uint64_t& end_column) {
    for (const CellSpan& span : spans_) {
      if (!span.empty && span.column + span.repeat > first_column_) {
        Fail("ред " + std::to_string(row_.number) + ": в колона " +
             std::to_string(std::max<std::uint64_t>(span.column, first_column_) + 1) +
             ", където се записват резултатите, има стойност");
        return false;
      }
    }
    std::size_t kept = 0;
    while (kept < spans_.size() && spans_[kept].column + spans_[kept].repeat <= first_column_) {
      ++kept;
    }
    const std::uint64_t cut = kept < spans_.size() ? spans_[kept].start
                              : spans_.empty()     ? row_tag_end_
                                                   : spans_.back().end;
    // A cell merged across the first result column is merged up to it
    // only: the results are not hidden under it.
    prefix.clear();
    std::uint64_t from = row_tag_end_;
    for (std::size_t i = 0; i < kept; ++i) {
      const CellSpan& span = spans_[i];
      if (span.spanned < 2 || span.column + span.spanned <= first_column_) continue;
      const std::uint64_t left = first_column_ - span.column;
      prefix += tee_.Bytes(from, span.start);
      prefix +=
          WithAttribute(tee_.Bytes(span.start, span.tag_end), table_ + "number-columns-spanned",
                        left > 1 ? std::to_string(left) : "");
      from = span.tag_end;
    }
    prefix += tee_.Bytes(from, cut);
    end_column = kept == 0 ? 0 : spans_[kept - 1].column + spans_[kept - 1].repeat;
    if (kept < spans_.size() && spans_[kept].column < first_column_) {
      const CellSpan& span = spans_[kept];
      const std::uint64_t left = first_column_ - span.column;
      prefix +=
          WithAttribute(tee_.Bytes(span.start, span.tag_end), table_ + "number-columns-repeated",
                        left > 1 ? std::to_string(left) : "");
      prefix += tee_.Bytes(span.tag_end, span.end);
      end_column = first_column_;
    }
    suffix = std::string(tee_.Bytes(spans_.empty() ? row_tag_end_ : spans_.back().end, offset_));
    return true;
  }

  std::uint32_t first_column_;
  RowResults& results_;
  Tee& tee_;
  XmlReader* xml_ = nullptr;
  bool failed_ = false;
  std::string problem_;
  std::uint64_t offset_ = 0, length_ = 0;  // of the event being handled
  std::uint64_t limit_ = kAll;             // bytes past it are held back
  std::string office_, table_, text_, style_, fo_, calcext_;
  bool in_styles_ = false, style_added_ = false;
  std::uint64_t styles_tag_end_ = 0;
  std::set<std::string> used_names_;
  std::string style_name_;
  bool rows_started_ = false;
  std::uint64_t column_start_ = 0;
  std::uint64_t row_start_ = 0, row_tag_end_ = 0;
  std::vector<CellSpan> spans_;
  bool table_found_ = false;
};

}  // namespace

std::unique_ptr<SheetReader> OpenOds(ZipReader& zip, std::string& problem) {
  const ZipEntry* content = ReadableContent(zip, problem);
  if (content == nullptr) return nullptr;
  const std::unique_ptr<ByteSource> source = zip.Inflate(*content);
  Scanner scanner(Scanner::kNone);
  XmlReader xml(*source, std::string(kContent), scanner);
  if (xml.Parse() == XmlReader::Status::kFailed) {
    problem = xml.problem();
    return nullptr;
  }
  if (scanner.names().empty()) {
    problem = kNoSheets;
    return nullptr;
  }
  return std::make_unique<OdsReader>(zip, *content, scanner.names());
}

bool WriteOdsWithResults(ZipReader& zip, std::size_t index, std::uint32_t first_column,
                         RowResults& results, ByteSink& out, std::string& problem) {
  const ZipEntry* content = ReadableContent(zip, problem);
  if (content == nullptr) return false;
  std::set<std::string> taken;
  if (const ZipEntry* styles = zip.Find(kStyles); styles != nullptr) {
    const std::unique_ptr<ByteSource> source = zip.Inflate(*styles);
    StyleNames names(taken);
    XmlReader xml(*source, std::string(kStyles), names);
    if (xml.Parse() == XmlReader::Status::kFailed) {
      problem = xml.problem();
      return false;
    }
  }
  ZipWriter writer(out);
  for (const ZipEntry& entry : zip.entries()) {
    if (&entry != content) {
      if (!writer.Copy(zip, entry)) {
        problem = writer.problem();
        return false;
      }
      continue;
    }
    ByteSink* part = writer.Begin(entry);
    if (part == nullptr) {
      problem = writer.problem();
      return false;
    }
    const std::unique_ptr<ByteSource> source = zip.Inflate(entry);
    Tee tee(*source, *part);
    ContentWriter handler(index, first_column, results, tee, taken);
    XmlReader xml(tee, std::string(kContent), handler);
    handler.Bind(xml);
    if (xml.Parse() != XmlReader::Status::kDone) {
      problem = handler.failed() ? handler.problem() : xml.problem();
      if (problem.empty()) problem = writer.problem();
      return false;
    }
    if (!handler.table_found()) {
      problem = NoSheet(index);
      return false;
    }
    if (!tee.Flush(tee.end()) || !writer.End()) {
      problem = writer.problem();
      return false;
    }
  }
  if (!writer.Finish(zip.comment())) {
    problem = writer.problem();
    return false;
  }
  return true;
}

}  // namespace egn::table
