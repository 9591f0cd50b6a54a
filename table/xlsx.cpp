#include "table/xlsx.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "table/xml_reader.h"
#include "table/zip_writer.h"

namespace egn::table {

namespace {

// The namespaces of a workbook's elements: transitional (what programs
// write) and strict (what they may be told to write).
constexpr std::string_view kMainTransitional = kSpreadsheetMl;
constexpr std::string_view kMainStrict = "http://purl.oclc.org/ooxml/spreadsheetml/main|";
constexpr std::string_view kRelationshipId =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships|id";
constexpr std::string_view kRelationshipIdStrict =
    "http://purl.oclc.org/ooxml/officeDocument/relationships|id";
constexpr std::string_view kPackageRelationship =
    "http://schemas.openxmlformats.org/package/2006/relationships|Relationship";

constexpr std::string_view kWorkbookPart = "xl/workbook.xml";
constexpr std::string_view kWorkbookRels = "xl/_rels/workbook.xml.rels";
constexpr std::string_view kDefaultStyles = "xl/styles.xml";

constexpr std::uint32_t kLastColumn = 16383;          // XFD
constexpr std::uint64_t kLastRow = 1048576;           // the last row a sheet may have
constexpr std::size_t kHeldLimit = 1 << 20;           // bytes held back for <dimension>
constexpr std::string_view kFlagColour = "FFFFC7CE";  // a light red

// The local name of an element of the workbook's own namespace, or empty.
std::string_view Main(std::string_view name) {
  if (name.starts_with(kMainTransitional)) return name.substr(kMainTransitional.size());
  if (name.starts_with(kMainStrict)) return name.substr(kMainStrict.size());
  return {};
}

// The value of the attribute `name` (namespace-qualified as the reader gives
// it), or null.
const char* Attribute(const char** attributes, std::string_view name) {
  for (const char** a = attributes; *a != nullptr; a += 2) {
    if (name == a[0]) return a[1];
  }
  return nullptr;
}

std::string_view AttributeOr(const char** attributes, std::string_view name) {
  const char* value = Attribute(attributes, name);
  return value == nullptr ? std::string_view() : std::string_view(value);
}

// A decimal number of plain digits up to `max`, or none.
std::optional<std::uint64_t> Decimal(std::string_view text, std::uint64_t max) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > max) return std::nullopt;
  return value;
}

std::string CellName(std::uint32_t column, std::uint64_t row) {
  return ColumnName(column) + std::to_string(row);
}

// A cell's address ("B7") taken apart: its column from 0 and its row (0
// where the address has none). Letters past XFD give a column past
// kLastColumn; anything but letters then digits gives none.
struct Address {
  std::uint64_t column = 0;
  std::uint64_t row = 0;
};

std::optional<Address> ParseAddress(std::string_view text) {
  Address address;
  std::size_t at = 0;
  std::uint64_t column = 0;
  while (at < text.size() &&
         ((text[at] >= 'A' && text[at] <= 'Z') || (text[at] >= 'a' && text[at] <= 'z'))) {
    const char c = text[at] >= 'a' ? static_cast<char>(text[at] - 'a' + 'A') : text[at];
    if (column <= kLastColumn + 1) column = column * 26 + static_cast<std::uint64_t>(c - 'A' + 1);
    ++at;
  }
  if (at == 0) return std::nullopt;
  address.column = column - 1;
  if (at < text.size()) {
    const std::optional<std::uint64_t> row = Decimal(text.substr(at), kLastRow);
    if (!row || *row == 0) return std::nullopt;
    address.row = *row;
  }
  return address;
}

// Whether an escape "_xHHHH_" begins at text[at]: how a workbook writes a
// character XML cannot hold (a carriage return is "_x000D_", a "_" that
// would begin such an escape "_x005F_").
bool EscapeAt(std::string_view text, std::size_t at) {
  return at + 7 <= text.size() && text[at] == '_' && text[at + 1] == 'x' && text[at + 6] == '_' &&
         std::all_of(text.begin() + static_cast<long>(at) + 2,
                     text.begin() + static_cast<long>(at) + 6,
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

// Text with its escapes turned back into the characters they stand for;
// one of half a surrogate pair or of no character (FFFE, FFFF) kept as
// written.
std::string Unescaped(std::string text) {
  if (text.find("_x") == std::string::npos) return text;
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned code =
        EscapeAt(text, i) ? static_cast<unsigned>(std::stoul(text.substr(i + 2, 4), nullptr, 16))
                          : 0x10000;
    if (code >= 0xD800 && (code <= 0xDFFF || code >= 0xFFFE)) {
      out += text[i++];
      continue;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
    i += 7;
  }
  return out;
}

// A number as written in a cell, an integral one as plain decimal digits:
// "5.51267871E8" and "551267871.0" are "551267871". Any other text (not
// integral, or no number) is given as it is.
// `value` in decimal digits, with zeros before it to `width`.
std::string Padded(long long value, std::size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

// The date of day `days` after 1970-01-01, as ISO 8601 writes it
// (YYYY-MM-DD), in the proleptic Gregorian calendar.
std::string CivilDate(long long days) {
  days += 719468;  // from 0000-03-01
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const long long of_era = days - era * 146097;
  const long long year_of_era = (of_era - of_era / 1460 + of_era / 36524 - of_era / 146096) / 365;
  const long long of_year = of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const long long shifted_month = (5 * of_year + 2) / 153;
  const long long day = of_year - (153 * shifted_month + 2) / 5 + 1;
  const long long month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  const long long year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  return Padded(year, 4) + "-" + Padded(month, 2) + "-" + Padded(day, 2);
}

// A number shown as a date or a time: the serial of its day (and the
// fraction of the day) as ISO 8601 writes it, "2024-01-02",
// "2024-01-02T12:00:00", or "18:00:00" for a time alone, as the workbook
// shows it rather than as it stores it. The 1900 system counts the 29th of
// February 1900 that never was (serial 60), as the programs that made it
// do; the 1904 system counts from 1904-01-01. Anything else (a negative
// number, an exponent) stays as written.
std::string DateText(const std::string& serial, bool from_1904) {
  std::size_t at = 0;
  long long days = 0;
  while (at < serial.size() && serial[at] >= '0' && serial[at] <= '9' && at < 9) {
    days = days * 10 + (serial[at++] - '0');
  }
  if (at == 0) return serial;
  // The fraction to twelve places: a millionth of a second, well below the
  // second shown.
  std::uint64_t fraction = 0, scale = 1;
  if (at < serial.size() && serial[at] == '.') {
    for (++at; at < serial.size() && serial[at] >= '0' && serial[at] <= '9'; ++at) {
      if (scale < 1'000'000'000'000) fraction = fraction * 10 + (serial[at] - '0'), scale *= 10;
    }
  }
  if (at != serial.size()) return serial;
  std::uint64_t seconds = (fraction * 86400 + scale / 2) / scale;
  if (seconds == 86400) seconds = 0, ++days;
  const auto whole = static_cast<long long>(seconds);
  std::string time =
      Padded(whole / 3600, 2) + ":" + Padded(whole / 60 % 60, 2) + ":" + Padded(whole % 60, 2);
  if (days == 0 && seconds != 0) return time;
  std::string date;
  if (from_1904) {
    date = CivilDate(days - 24107);  // 1904-01-01 is day -24107 of 1970
  } else if (days == 60) {
    date = "1900-02-29";
  } else if (days == 0) {
    date = "1900-01-00";
  } else {
    date = CivilDate(days - (days < 60 ? 25568 : 25569));  // 1899-12-31, 1899-12-30
  }
  return seconds == 0 ? date : date + "T" + time;
}

std::string NumberText(const std::string& text) {
  std::size_t at = 0;
  const bool negative =
      at < text.size() && (text[at] == '-' || text[at] == '+') ? text[at++] == '-' : false;
  std::string digits;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') digits += text[at++];
  std::size_t fraction = 0;
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') digits += text[at++], ++fraction;
  }
  if (digits.empty()) return text;
  long exponent = 0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    const bool down = at < text.size() && (text[at] == '-' || text[at] == '+') && text[at++] == '-';
    const std::size_t from = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - from < 6) {
      exponent = exponent * 10 + (text[at++] - '0');
    }
    if (at == from) return text;
    if (down) exponent = -exponent;
  }
  if (at != text.size()) return text;
  // The value is digits × 10^shift.
  long shift = exponent - static_cast<long>(fraction);
  while (shift < 0 && !digits.empty() && digits.back() == '0') digits.pop_back(), ++shift;
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return "0";
  if (shift < 0) return text;  // not integral
  if (digits.size() - first + static_cast<std::size_t>(shift) > 400) return text;
  std::string out = negative ? "-" : "";
  out.append(digits, first, std::string::npos);
  out.append(static_cast<std::size_t>(shift), '0');
  return out;
}

// Whether a number format shows a date or a time: a letter y, m, d, h or s
// outside quotes, escapes and [brackets] (a colour, a locale), or an elapsed
// time in brackets ("[h]").
bool IsDateFormat(std::string_view code) {
  if (code == "General" || code == "general") return false;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(code[i])));
    if (c == '"') {
      const std::size_t end = code.find('"', i + 1);
      if (end == std::string_view::npos) return false;
      i = end;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;  // the character shown as it is, a space its width, or the fill
    } else if (c == '[') {
      const std::size_t end = code.find(']', i + 1);
      if (end == std::string_view::npos) return false;
      const std::string_view inside = code.substr(i + 1, end - i - 1);
      if (!inside.empty() && inside.find_first_not_of("hHmMsS") == std::string_view::npos) {
        return true;
      }
      i = end;
    } else if (c == 'y' || c == 'm' || c == 'd' || c == 'h' || c == 's') {
      return true;
    }
  }
  return false;
}

bool IsBuiltInDate(std::uint64_t id) { return (id >= 14 && id <= 22) || (id >= 45 && id <= 47); }

// The part of `name`, or null; a name that differs only in case is taken
// too (a package's part names are not case-sensitive).
const ZipEntry* FindPart(ZipReader& zip, std::string_view name) {
  if (const ZipEntry* entry = zip.Find(name); entry != nullptr) return entry;
  for (const ZipEntry& entry : zip.entries()) {
    if (entry.name.size() == name.size() &&
        std::equal(name.begin(), name.end(), entry.name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      return &entry;
    }
  }
  return nullptr;
}

// A relationship's target as a part's name: from the package's root where
// it begins with "/", otherwise from xl/ (where the workbook is).
std::string Resolve(std::string_view target) {
  std::string path =
      target.starts_with('/') ? std::string(target.substr(1)) : "xl/" + std::string(target);
  std::vector<std::string> segments;
  std::size_t from = 0;
  while (from <= path.size()) {
    std::size_t to = path.find('/', from);
    if (to == std::string::npos) to = path.size();
    const std::string segment = path.substr(from, to - from);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    from = to + 1;
  }
  std::string out;
  for (const std::string& segment : segments) out += (out.empty() ? "" : "/") + segment;
  return out;
}

std::string Missing(std::string_view part) {
  return "в работната книга липсва частта „" + std::string(part) + "“";
}

// Reads a whole part through `handler`; false with `problem` where it cannot.
bool ReadPart(ZipReader& zip, const ZipEntry& entry, XmlHandler& handler, std::string& problem) {
  const std::unique_ptr<ByteSource> source = zip.Inflate(entry);
  XmlReader reader(*source, entry.name, handler);
  if (reader.Parse() == XmlReader::Status::kDone) return true;
  problem = reader.problem();
  return false;
}

// --- What the workbook shares between its sheets ---------------------------

struct Workbook {
  std::vector<std::string> names;  // of the sheets, in order
  std::vector<std::string> parts;  // the sheets' parts
  std::vector<std::string> shared;
  std::vector<bool> date_styles;  // by cellXfs index
  std::string styles_part;        // empty where there is none
  std::size_t fills = 0;          // <fill> in <fills>
  std::size_t cell_styles = 0;    // <xf> in <cellXfs>
  bool has_fills = false;
  bool has_cell_styles = false;
  bool has_cell_style = false;  // a named style (<cellStyleXfs>' first <xf>)
  bool date1904 = false;        // dates counted from 1904 rather than 1900
};

class WorkbookHandler final : public XmlHandler {
 public:
  struct Sheet {
    std::string name;
    std::string id;
  };
  std::vector<Sheet> sheets;
  bool date1904 = false;

  void Start(std::string_view name, const char** attributes) override {
    const std::string_view local = Main(name);
    if (local == "workbookPr") {
      const std::string_view value = AttributeOr(attributes, "date1904");
      date1904 = value == "1" || value == "true";
    }
    if (local != "sheet") return;
    std::string_view id = AttributeOr(attributes, kRelationshipId);
    if (id.empty()) id = AttributeOr(attributes, kRelationshipIdStrict);
    sheets.push_back({std::string(AttributeOr(attributes, "name")), std::string(id)});
  }
  void End(std::string_view) override {}
  void Text(std::string_view) override {}
};

class RelsHandler final : public XmlHandler {
 public:
  struct Relationship {
    std::string id, type, target;
  };
  std::vector<Relationship> relationships;

  void Start(std::string_view name, const char** attributes) override {
    if (name != kPackageRelationship) return;
    if (AttributeOr(attributes, "TargetMode") == "External") return;
    relationships.push_back({std::string(AttributeOr(attributes, "Id")),
                             std::string(AttributeOr(attributes, "Type")),
                             std::string(AttributeOr(attributes, "Target"))});
  }
  void End(std::string_view) override {}
  void Text(std::string_view) override {}
};

// Shared strings: each <si>'s text, its rich text runs' <t> joined, its
// phonetic runs (<rPh>) left out.
class SharedHandler final : public XmlHandler {
 public:
  explicit SharedHandler(std::vector<std::string>& shared) : shared_(shared) {}

  void Start(std::string_view name, const char**) override {
    const std::string_view local = Main(name);
    if (local == "si") {
      in_item_ = true;
      text_.clear();
    } else if (local == "rPh") {
      ++phonetic_;
    } else if (local == "t" && in_item_ && phonetic_ == 0) {
      in_text_ = true;
    }
  }
  void End(std::string_view name) override {
    const std::string_view local = Main(name);
    if (local == "si") {
      shared_.push_back(Unescaped(std::move(text_)));
      text_.clear();
      in_item_ = false;
    } else if (local == "rPh") {
      --phonetic_;
    } else if (local == "t") {
      in_text_ = false;
    }
  }
  void Text(std::string_view text) override {
    if (in_text_) text_.append(text);
  }

 private:
  std::vector<std::string>& shared_;
  std::string text_;
  bool in_item_ = false;
  bool in_text_ = false;
  int phonetic_ = 0;
};

// Styles: which cell formats (<cellXfs>' <xf>) show dates, and how many
// fills and cell formats there are.
class StylesHandler final : public XmlHandler {
 public:
  explicit StylesHandler(Workbook& workbook) : workbook_(workbook) {}

  void Start(std::string_view name, const char** attributes) override {
    const std::string_view local = Main(name);
    ++depth_;
    if (depth_ == 2 && local == "numFmts") {
      section_ = kNumFmts;
    } else if (depth_ == 2 && local == "fills") {
      section_ = kFills;
      workbook_.has_fills = true;
    } else if (depth_ == 2 && local == "cellStyleXfs") {
      section_ = kCellStyleXfs;
    } else if (depth_ == 2 && local == "cellXfs") {
      section_ = kCellXfs;
      workbook_.has_cell_styles = true;
    } else if (depth_ == 3 && section_ == kNumFmts && local == "numFmt") {
      const std::optional<std::uint64_t> id =
          Decimal(AttributeOr(attributes, "numFmtId"), 0xFFFFFFFF);
      if (id) formats_.emplace_back(*id, IsDateFormat(AttributeOr(attributes, "formatCode")));
    } else if (depth_ == 3 && section_ == kFills && local == "fill") {
      ++workbook_.fills;
    } else if (depth_ == 3 && section_ == kCellStyleXfs && local == "xf") {
      workbook_.has_cell_style = true;
    } else if (depth_ == 3 && section_ == kCellXfs && local == "xf") {
      ++workbook_.cell_styles;
      const std::optional<std::uint64_t> id =
          Decimal(AttributeOr(attributes, "numFmtId"), 0xFFFFFFFF);
      workbook_.date_styles.push_back(id && IsDate(*id));
    }
  }
  void End(std::string_view) override {
    if (depth_-- == 2) section_ = kOther;
  }
  void Text(std::string_view) override {}

 private:
  enum Section { kOther, kNumFmts, kFills, kCellStyleXfs, kCellXfs };

  bool IsDate(std::uint64_t id) const {
    for (const auto& [custom, date] : formats_) {
      if (custom == id) return date;
    }
    return IsBuiltInDate(id);
  }

  Workbook& workbook_;
  std::vector<std::pair<std::uint64_t, bool>> formats_;  // custom numFmtId, shows a date
  int depth_ = 0;
  Section section_ = kOther;
};

bool LoadWorkbook(ZipReader& zip, Workbook& workbook, std::string& problem) {
  const ZipEntry* book = FindPart(zip, kWorkbookPart);
  if (book == nullptr) {
    problem = Missing(kWorkbookPart);
    return false;
  }
  WorkbookHandler sheets;
  if (!ReadPart(zip, *book, sheets, problem)) return false;
  if (sheets.sheets.empty()) {
    problem = "работната книга няма лист";
    return false;
  }
  workbook.date1904 = sheets.date1904;
  const ZipEntry* rels_part = FindPart(zip, kWorkbookRels);
  if (rels_part == nullptr) {
    problem = Missing(kWorkbookRels);
    return false;
  }
  RelsHandler rels;
  if (!ReadPart(zip, *rels_part, rels, problem)) return false;

  std::string shared_part;
  for (const RelsHandler::Relationship& relationship : rels.relationships) {
    if (relationship.type.ends_with("/sharedStrings")) shared_part = Resolve(relationship.target);
    if (relationship.type.ends_with("/styles")) workbook.styles_part = Resolve(relationship.target);
  }
  for (const WorkbookHandler::Sheet& sheet : sheets.sheets) {
    const auto found = std::find_if(
        rels.relationships.begin(), rels.relationships.end(),
        [&](const RelsHandler::Relationship& relationship) { return relationship.id == sheet.id; });
    if (found == rels.relationships.end()) {
      problem = "листът „" + sheet.name + "“ сочи връзка „" + sheet.id + "“, каквато частта „" +
                std::string(kWorkbookRels) + "“ няма";
      return false;
    }
    workbook.names.push_back(sheet.name);
    workbook.parts.push_back(Resolve(found->target));
  }

  if (!shared_part.empty()) {
    const ZipEntry* entry = FindPart(zip, shared_part);
    if (entry == nullptr) {
      problem = Missing(shared_part);
      return false;
    }
    SharedHandler handler(workbook.shared);
    if (!ReadPart(zip, *entry, handler, problem)) return false;
  }
  if (workbook.styles_part.empty() && FindPart(zip, kDefaultStyles) != nullptr) {
    workbook.styles_part = kDefaultStyles;
  }
  if (!workbook.styles_part.empty()) {
    const ZipEntry* entry = FindPart(zip, workbook.styles_part);
    if (entry == nullptr) {
      problem = Missing(workbook.styles_part);
      return false;
    }
    workbook.styles_part = entry->name;
    StylesHandler handler(workbook);
    if (!ReadPart(zip, *entry, handler, problem)) return false;
  }
  return true;
}

// --- A sheet's rows ---------------------------------------------------------

// The rows of a sheet's part as SheetRow, each given to RowEnd; what a
// writer needs besides (where a row or the dimension begins) to the other
// hooks. It calls Fail on its reader where a cell cannot be read.
class RowHandler : public XmlHandler {
 public:
  RowHandler(const Workbook& workbook, std::size_t sheet)
      : workbook_(workbook), sheet_name_(workbook.names[sheet]) {}

  void SetReader(XmlReader* reader) { reader_ = reader; }

  void Start(std::string_view name, const char** attributes) override {
    const std::string_view local = Main(name);
    if (local.empty()) return;
    if (!in_data_) {
      if (local == "sheetData") in_data_ = true;
      if (local == "dimension") Dimension(attributes);
      return;
    }
    if (local == "row") {
      StartRow(attributes);
    } else if (local == "c") {
      StartCell(attributes);
    } else if (in_cell_ && local == "v") {
      in_value_ = true;
      has_value_ = true;
    } else if (in_cell_ && local == "is") {
      in_inline_ = true;
      has_inline_ = true;
      has_value_ = true;
    } else if (in_inline_ && local == "rPh") {
      ++phonetic_;
    } else if (in_inline_ && local == "t" && phonetic_ == 0) {
      in_value_ = true;
    }
  }

  void End(std::string_view name) override {
    const std::string_view local = Main(name);
    if (!in_data_ || local.empty()) return;
    if (local == "sheetData") {
      in_data_ = false;
    } else if (local == "row") {
      std::stable_sort(row_.cells.begin(), row_.cells.end(),
                       [](const Cell& a, const Cell& b) { return a.column < b.column; });
      RowEnd(row_);
    } else if (local == "c") {
      if (in_cell_) EndCell();
      in_cell_ = false;
    } else if (local == "v" || local == "t") {
      in_value_ = false;
    } else if (local == "is") {
      in_inline_ = false;
    } else if (local == "rPh") {
      --phonetic_;
    }
  }

  void Text(std::string_view text) override {
    if (in_value_) value_.append(text);
  }

 protected:
  virtual void Dimension(const char**) {}
  virtual void RowStart() {}
  virtual void RowEnd(SheetRow& row) = 0;

  XmlReader& reader() { return *reader_; }
  const std::string& sheet_name() const { return sheet_name_; }

  void Fail(std::string problem) {
    failed_ = true;
    reader_->Fail(std::move(problem));
  }
  bool failed() const { return failed_; }
  // The last column of the row's cells, those that hold nothing (a styled
  // empty cell) too: -1 for a row without any.
  long extent() const { return extent_; }

 private:
  void StartRow(const char** attributes) {
    row_.cells.clear();
    column_ = -1;
    extent_ = -1;
    if (const char* r = Attribute(attributes, "r"); r != nullptr) {
      const std::optional<std::uint64_t> number = Decimal(r, kLastRow);
      if (!number || *number == 0) {
        Fail("ред „" + std::string(r) + "“ на листа „" + sheet_name_ + "“ има неправилен номер");
        return;
      }
      row_.number = *number;
    } else {
      ++row_.number;
    }
    RowStart();
  }

  void StartCell(const char** attributes) {
    in_cell_ = true;
    has_value_ = false;
    has_inline_ = false;
    in_value_ = false;
    in_inline_ = false;
    phonetic_ = 0;
    value_.clear();
    type_ = AttributeOr(attributes, "t");
    const std::optional<std::uint64_t> style = Decimal(AttributeOr(attributes, "s"), 0xFFFFFFFF);
    date_style_ = style && *style < workbook_.date_styles.size() && workbook_.date_styles[*style];
    if (const char* r = Attribute(attributes, "r"); r != nullptr) {
      const std::optional<Address> address = ParseAddress(r);
      if (!address) {
        Fail("клетка „" + std::string(r) + "“ на листа „" + sheet_name_ + "“ има неправилен адрес");
        return;
      }
      if (address->column > kLastColumn) {
        Fail("клетка " + std::string(r) + " на листа „" + sheet_name_ +
             "“ е след последната колона XFD");
        return;
      }
      column_ = static_cast<long>(address->column);
    } else if (column_ >= static_cast<long>(kLastColumn)) {
      Fail("ред " + std::to_string(row_.number) + " на листа „" + sheet_name_ +
           "“ има клетка след последната колона XFD");
      return;
    } else {
      ++column_;
    }
    extent_ = std::max(extent_, column_);
  }

  void EndCell() {
    if (!has_value_ || failed_) return;
    Cell cell;
    cell.column = static_cast<std::uint32_t>(column_);
    const auto name = [&] { return CellName(cell.column, row_.number); };
    if (has_inline_ || type_ == "inlineStr" || type_ == "str") {
      cell.text = Unescaped(value_);
    } else if (type_ == "s") {
      const std::optional<std::uint64_t> index = Decimal(value_, 0xFFFFFFFF);
      if (!index) {
        Fail("клетка " + name() + " на листа „" + sheet_name_ +
             "“ сочи споделен низ с неправилен номер „" + value_ + "“");
        return;
      }
      if (*index >= workbook_.shared.size()) {
        Fail("клетка " + name() + " на листа „" + sheet_name_ + "“ сочи споделен низ " +
             std::to_string(*index) + ", а има " + std::to_string(workbook_.shared.size()));
        return;
      }
      cell.text = workbook_.shared[*index];
    } else if (type_ == "b") {
      cell.kind = CellKind::kBoolean;
      cell.text = value_ == "0" || value_ == "false" || value_ == "FALSE" ? "FALSE" : "TRUE";
    } else if (type_ == "e") {
      cell.kind = CellKind::kError;
      cell.text = value_;
    } else if (type_ == "d") {
      cell.kind = CellKind::kDate;
      cell.text = value_;
    } else if (type_.empty() || type_ == "n") {
      cell.kind = date_style_ ? CellKind::kDate : CellKind::kNumber;
      cell.text = date_style_ ? DateText(value_, workbook_.date1904) : NumberText(value_);
    } else {
      cell.text = value_;
    }
    if (!cell.text.empty()) row_.cells.push_back(std::move(cell));
  }

  const Workbook& workbook_;
  const std::string& sheet_name_;
  XmlReader* reader_ = nullptr;
  SheetRow row_;
  long column_ = -1;  // of the last cell read in the row
  long extent_ = -1;  // the last column of a cell in the row, one without a value too
  bool in_data_ = false;
  bool in_cell_ = false;
  bool in_value_ = false;
  bool in_inline_ = false;
  bool has_value_ = false;
  bool has_inline_ = false;  // the value is text in <is>, whatever the type says
  bool date_style_ = false;
  bool failed_ = false;
  int phonetic_ = 0;
  std::string type_;
  std::string value_;
};

// --- Reading ----------------------------------------------------------------

class ReadingHandler final : public RowHandler {
 public:
  using RowHandler::RowHandler;
  SheetRow* row = nullptr;                     // where the next row goes
  std::optional<std::uint32_t> declared_last;  // the dimension's last column

 protected:
  void Dimension(const char** attributes) override {
    const std::string_view ref = AttributeOr(attributes, "ref");
    const std::size_t colon = ref.find(':');
    const std::optional<Address> last =
        ParseAddress(colon == std::string_view::npos ? ref : ref.substr(colon + 1));
    if (last && last->column <= kLastColumn)
      declared_last = static_cast<std::uint32_t>(last->column);
  }

  void RowEnd(SheetRow& read) override {
    if (read.cells.empty() || failed()) return;
    row->number = read.number;
    row->cells.swap(read.cells);
    reader().Pause();
  }
};

class XlsxReader final : public SheetReader {
 public:
  XlsxReader(ZipReader& zip, Workbook workbook) : zip_(zip), workbook_(std::move(workbook)) {}

  WorkbookKind kind() const override { return WorkbookKind::kXlsx; }
  const std::vector<std::string>& sheets() const override { return workbook_.names; }
  const std::string& problem() const override { return problem_; }
  std::optional<std::uint32_t> DeclaredLastColumn() const override {
    return handler_ == nullptr ? std::nullopt : handler_->declared_last;
  }

  bool Select(std::size_t index) override {
    xml_.reset();
    handler_.reset();
    source_.reset();
    problem_.clear();
    if (index >= workbook_.names.size()) {
      problem_ = "работната книга няма лист с номер " + std::to_string(index + 1);
      return false;
    }
    const ZipEntry* entry = FindPart(zip_, workbook_.parts[index]);
    if (entry == nullptr) {
      problem_ = Missing(workbook_.parts[index]) + " на листа „" + workbook_.names[index] + "“";
      return false;
    }
    source_ = zip_.Inflate(*entry);
    handler_ = std::make_unique<ReadingHandler>(workbook_, index);
    xml_ = std::make_unique<XmlReader>(*source_, entry->name, *handler_);
    handler_->SetReader(xml_.get());
    return true;
  }

  bool Next(SheetRow& row) override {
    if (xml_ == nullptr) {
      if (problem_.empty()) problem_ = "не е избран лист";
      return false;
    }
    row.cells.clear();
    handler_->row = &row;
    switch (xml_->Parse()) {
      case XmlReader::Status::kPaused:
        return true;
      case XmlReader::Status::kDone:
        return false;
      case XmlReader::Status::kFailed:
        problem_ = xml_->problem();
        return false;
    }
    return false;
  }

 private:
  ZipReader& zip_;
  Workbook workbook_;
  std::unique_ptr<ByteSource> source_;
  std::unique_ptr<ReadingHandler> handler_;
  std::unique_ptr<XmlReader> xml_;
  std::string problem_;
};

// --- Writing ----------------------------------------------------------------

// A part's bytes as the XML reader reads them, kept from the first not yet
// written on, so that a handler can write them with changes at the places
// its events give: bytes before an offset as they were, a range replaced,
// new bytes put in. Only what is not yet written is kept.
class Splicer {
 public:
  Splicer(ByteSource& in, ByteSink& out) : tee_(in, *this), out_(out) {}

  ByteSource& source() { return tee_; }

  // The part's bytes [offset, offset + length), which must be kept.
  std::string_view At(std::uint64_t offset, std::size_t length) const {
    return std::string_view(kept_).substr(Index(offset), length);
  }
  // Writes the bytes kept before `offset`.
  bool CopyTo(std::uint64_t offset) {
    const std::size_t index = Index(offset);
    if (!Put(std::string_view(kept_).substr(head_, index - head_))) return false;
    head_ = index;
    return true;
  }
  // Drops the bytes kept before `offset`, unwritten.
  void SkipTo(std::uint64_t offset) { head_ = Index(offset); }
  bool Put(std::string_view bytes) {
    if (!out_.Write(bytes)) {
      problem_ = out_.Problem();
      return false;
    }
    return true;
  }
  // How many bytes are kept, not yet written.
  std::size_t Kept() const { return kept_.size() - head_; }
  // Writes every byte kept.
  bool Flush() { return CopyTo(start_ + kept_.size()); }
  const std::string& problem() const { return problem_; }

 private:
  class Tee final : public ByteSource {
   public:
    Tee(ByteSource& in, Splicer& splicer) : in_(in), splicer_(splicer) {}
    long Read(char* into, std::size_t size) override {
      const long read = in_.Read(into, size);
      if (read > 0) splicer_.Keep({into, static_cast<std::size_t>(read)});
      return read;
    }
    std::string Problem() const override { return in_.Problem(); }

   private:
    ByteSource& in_;
    Splicer& splicer_;
  };

  std::size_t Index(std::uint64_t offset) const {
    return static_cast<std::size_t>(offset - start_);
  }
  void Keep(std::string_view bytes) {
    if (head_ > 0 && head_ >= kept_.size() / 2) {
      kept_.erase(0, head_);
      start_ += head_;
      head_ = 0;
    }
    kept_.append(bytes);
  }

  Tee tee_;
  ByteSink& out_;
  std::string kept_;
  std::uint64_t start_ = 0;  // the offset in the part of kept_[0]
  std::size_t head_ = 0;     // the first byte of kept_ not yet written
  std::string problem_;
};

// A start tag's parts as written: its qualified name and each attribute's
// name and value (unescaped as written, quotes dropped).
struct Tag {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  bool empty = false;  // written <name .../>
};

// The tag's bytes, which the XML reader has already found well-formed.
Tag ParseTag(std::string_view bytes) {
  Tag tag;
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  std::size_t at = 1;
  while (at < bytes.size() && !space(bytes[at]) && bytes[at] != '>' && bytes[at] != '/') {
    tag.name += bytes[at++];
  }
  for (;;) {
    while (at < bytes.size() && space(bytes[at])) ++at;
    if (at >= bytes.size() || bytes[at] == '>' || bytes[at] == '/') break;
    std::string name;
    while (at < bytes.size() && !space(bytes[at]) && bytes[at] != '=') name += bytes[at++];
    while (at < bytes.size() && (space(bytes[at]) || bytes[at] == '=')) ++at;
    if (at >= bytes.size()) break;
    const char quote = bytes[at++];
    const std::size_t end = bytes.find(quote, at);
    if (end == std::string_view::npos) break;
    tag.attributes.emplace_back(name, std::string(bytes.substr(at, end - at)));
    at = end + 1;
  }
  tag.empty = bytes.size() >= 2 && bytes[bytes.size() - 2] == '/';
  return tag;
}

std::string WriteTag(const Tag& tag) {
  std::string out = "<" + tag.name;
  for (const auto& [name, value] : tag.attributes) {
    const char quote = value.find('"') == std::string::npos ? '"' : '\'';
    out.append(" ").append(name).append("=").append(1, quote).append(value).append(1, quote);
  }
  return out + (tag.empty ? "/>" : ">");
}

std::string* FindAttribute(Tag& tag, std::string_view name) {
  for (auto& [attribute, value] : tag.attributes) {
    if (attribute == name) return &value;
  }
  return nullptr;
}

// The prefix of a qualified name, with its colon ("x:"), or empty.
std::string PrefixOf(std::string_view qualified) {
  const std::size_t colon = qualified.find(':');
  return colon == std::string_view::npos ? std::string()
                                         : std::string(qualified.substr(0, colon + 1));
}

// Text as an element's content: markup escaped, and a character XML cannot
// hold (a control character; a carriage return, which XML reads as a line
// feed) or a "_" that would begin an escape written as the workbook's
// escape, so that the text reads back as it was given.
std::string Escaped(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto code = static_cast<unsigned char>(c);
    if ((code < 0x20 && c != '\t' && c != '\n') || (c == '_' && EscapeAt(text, i))) {
      out.append("_x00").append(1, kHex[code >> 4]).append(1, kHex[code & 0xF]).append("_");
      continue;
    }
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

class WritingHandler final : public RowHandler {
 public:
  WritingHandler(const Workbook& workbook, std::size_t sheet, Splicer& splicer,
                 std::uint32_t first_column, RowResults& results,
                 std::optional<std::size_t> flag_style)
      : RowHandler(workbook, sheet),
        splicer_(splicer),
        first_column_(first_column),
        results_(results),
        flag_style_(flag_style) {}

  // After the part's end: the bytes kept written.
  bool Finish() {
    if (held_ && !WriteDimension()) return false;
    return Check(splicer_.Flush());
  }

 protected:
  void Dimension(const char**) override {
    const std::uint64_t offset = reader().EventOffset();
    if (!Check(splicer_.CopyTo(offset))) return;
    dimension_ = ParseTag(splicer_.At(offset, static_cast<std::size_t>(reader().EventLength())));
    dimension_end_ = offset + static_cast<std::uint64_t>(reader().EventLength());
    held_ = true;
  }

  void RowStart() override {
    row_offset_ = reader().EventOffset();
    row_length_ = static_cast<std::size_t>(reader().EventLength());
    if (held_ && splicer_.Kept() > kHeldLimit && !WriteDimension()) return;
    if (!held_) Check(splicer_.CopyTo(row_offset_));
  }

  void RowEnd(SheetRow& row) override {
    if (row.cells.empty() || failed()) return;
    cells_.clear();
    results_.For(row, cells_);
    if (cells_.empty()) return;
    // A cell that holds nothing sits there too: a result cell written
    // before it would break the order of the row's cells.
    if (extent() >= static_cast<long>(first_column_)) {
      Fail("ред " + std::to_string(row.number) + " на листа „" + sheet_name() +
           "“ вече има клетка в колона " + ColumnName(static_cast<std::uint32_t>(extent())) +
           ", където се пишат резултатите");
      return;
    }
    if (first_column_ > kLastColumn || cells_.size() - 1 > kLastColumn - first_column_) {
      Fail("резултатите на ред " + std::to_string(row.number) + " на листа „" + sheet_name() +
           "“ не се побират до последната колона XFD");
      return;
    }
    const std::uint32_t last = first_column_ + static_cast<std::uint32_t>(cells_.size() - 1);
    if (!result_columns_) result_columns_ = last;
    if (held_ && !WriteDimension()) return;

    // The row's start tag with its spans covering the new cells.
    Tag start = ParseTag(splicer_.At(row_offset_, row_length_));
    const std::string prefix = PrefixOf(start.name);
    if (std::string* spans = FindAttribute(start, "spans"); spans != nullptr) {
      const std::size_t colon = spans->find(':');
      const std::size_t last_colon = spans->rfind(':');
      const std::optional<std::uint64_t> from =
          colon == std::string::npos ? std::nullopt
                                     : Decimal(spans->substr(0, colon), kLastColumn + 1);
      const std::optional<std::uint64_t> to =
          colon == std::string::npos ? std::nullopt
                                     : Decimal(spans->substr(last_colon + 1), kLastColumn + 1);
      if (from && to && spans->find(' ') == std::string::npos) {
        *spans =
            std::to_string(*from) + ":" + std::to_string(std::max<std::uint64_t>(*to, last + 1));
      } else {
        start.attributes.erase(std::find_if(start.attributes.begin(), start.attributes.end(),
                                            [](const auto& a) { return a.first == "spans"; }));
      }
    }
    const std::uint64_t end = reader().EventOffset();
    if (!Check(splicer_.CopyTo(row_offset_)) || !Check(splicer_.Put(WriteTag(start)))) return;
    splicer_.SkipTo(row_offset_ + row_length_);
    if (!Check(splicer_.CopyTo(end))) return;

    std::string cells;
    std::uint32_t column = first_column_;
    for (const ResultCell& cell : cells_) {
      cells.append("<").append(prefix).append("c r=\"").append(CellName(column++, row.number));
      cells.append(R"(" t="inlineStr")");
      if (cell.flagged && flag_style_) {
        cells.append(" s=\"").append(std::to_string(*flag_style_)).append("\"");
      }
      cells.append("><").append(prefix).append("is><").append(prefix).append("t");
      if (!cell.text.empty() && (Blank(cell.text.front()) || Blank(cell.text.back()))) {
        cells.append(" xml:space=\"preserve\"");
      }
      cells.append(">").append(Escaped(cell.text));
      cells.append("</").append(prefix).append("t></").append(prefix).append("is></");
      cells.append(prefix).append("c>");
    }
    Check(splicer_.Put(cells));
  }

 private:
  bool Check(bool ok) {
    if (!ok) Fail(splicer_.problem());
    return ok;
  }

  // The dimension held back, written with its range widened to the result
  // columns known by now (those of the first row given results).
  bool WriteDimension() {
    held_ = false;
    if (std::string* ref = FindAttribute(dimension_, "ref"); ref != nullptr && result_columns_) {
      const std::size_t colon = ref->find(':');
      const std::optional<Address> first = ParseAddress(ref->substr(0, colon));
      const std::optional<Address> last =
          colon == std::string::npos ? first : ParseAddress(ref->substr(colon + 1));
      if (first && last && last->column <= kLastColumn && first->row != 0 && last->row != 0) {
        const auto column =
            static_cast<std::uint32_t>(std::max<std::uint64_t>(last->column, *result_columns_));
        *ref = ref->substr(0, colon) + ":" + CellName(column, last->row);
      }
    }
    splicer_.SkipTo(dimension_end_);
    return Check(splicer_.Put(WriteTag(dimension_)));
  }

  Splicer& splicer_;
  std::uint32_t first_column_;
  RowResults& results_;
  std::optional<std::size_t> flag_style_;
  std::vector<ResultCell> cells_;
  Tag dimension_;
  std::uint64_t dimension_end_ = 0;
  bool held_ = false;
  std::optional<std::uint32_t> result_columns_;  // the last result column of the first row
  std::uint64_t row_offset_ = 0;
  std::size_t row_length_ = 0;
};

// The styles written again with one fill and one cell format added.
class StylesWriter final : public XmlHandler {
 public:
  StylesWriter(Splicer& splicer, const Workbook& workbook)
      : splicer_(splicer), workbook_(workbook) {}
  void SetReader(XmlReader* reader) { reader_ = reader; }

  void Start(std::string_view name, const char**) override {
    ++depth_;
    const std::string_view local = Main(name);
    if (depth_ != 2 || (local != "fills" && local != "cellXfs")) return;
    const std::uint64_t offset = reader_->EventOffset();
    const auto length = static_cast<std::size_t>(reader_->EventLength());
    Tag tag = ParseTag(splicer_.At(offset, length));
    const bool fills = local == "fills";
    if (std::string* count = FindAttribute(tag, "count"); count != nullptr) {
      *count = std::to_string((fills ? workbook_.fills : workbook_.cell_styles) + 1);
    }
    const bool empty = tag.empty;
    tag.empty = false;
    std::string bytes = WriteTag(tag);
    if (empty) bytes += Added(fills, PrefixOf(tag.name)) + "</" + tag.name + ">";
    if (!Check(splicer_.CopyTo(offset)) || !Check(splicer_.Put(bytes))) return;
    splicer_.SkipTo(offset + length);
  }

  void End(std::string_view name) override {
    const int depth = depth_--;
    const std::string_view local = Main(name);
    if (depth != 2 || (local != "fills" && local != "cellXfs")) return;
    if (reader_->EventLength() == 0) return;  // written empty: done at its start
    const std::uint64_t offset = reader_->EventOffset();
    const std::string prefix =
        PrefixOf(splicer_.At(offset + 2, static_cast<std::size_t>(reader_->EventLength()) - 3));
    if (!Check(splicer_.CopyTo(offset))) return;
    Check(splicer_.Put(Added(local == "fills", prefix)));
  }

  void Text(std::string_view) override {}

 private:
  std::string Added(bool fill, const std::string& p) const {
    if (fill) {
      return "<" + p + "fill><" + p + "patternFill patternType=\"solid\"><" + p + "fgColor rgb=\"" +
             std::string(kFlagColour) + "\"/><" + p + "bgColor indexed=\"64\"/></" + p +
             "patternFill></" + p + "fill>";
    }
    std::string xf = "<" + p;
    xf.append(R"(xf numFmtId="0" fontId="0" fillId=")").append(std::to_string(workbook_.fills));
    xf.append(R"(" borderId="0")");
    if (workbook_.has_cell_style) xf.append(R"( xfId="0")");
    return xf.append(R"( applyFill="1"/>)");
  }

  bool Check(bool ok) {
    if (!ok) reader_->Fail(splicer_.problem());
    return ok;
  }

  Splicer& splicer_;
  const Workbook& workbook_;
  XmlReader* reader_ = nullptr;
  int depth_ = 0;
};

// Writes a new version of `entry`, its bytes read by `handler` through a
// splicer; `finish` after the part's end.
template <typename Handler, typename Make>
bool Rewrite(ZipReader& zip, ZipWriter& writer, const ZipEntry& entry, Make make,
             std::string& problem) {
  ByteSink* sink = writer.Begin(entry);
  if (sink == nullptr) {
    problem = writer.problem();
    return false;
  }
  const std::unique_ptr<ByteSource> source = zip.Inflate(entry);
  Splicer splicer(*source, *sink);
  Handler handler = make(splicer);
  XmlReader reader(splicer.source(), entry.name, handler);
  handler.SetReader(&reader);
  if (reader.Parse() != XmlReader::Status::kDone) {
    problem = reader.problem();
    return false;
  }
  bool finished;
  if constexpr (requires { handler.Finish(); }) {
    finished = handler.Finish();
  } else {
    finished = splicer.Flush();
  }
  if (!finished) {
    problem = splicer.problem();
    return false;
  }
  if (!writer.End()) {
    problem = writer.problem();
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<SheetReader> OpenXlsx(ZipReader& zip, std::string& problem) {
  Workbook workbook;
  if (!LoadWorkbook(zip, workbook, problem)) return nullptr;
  return std::make_unique<XlsxReader>(zip, std::move(workbook));
}

bool WriteXlsxWithResults(ZipReader& zip, std::size_t index, std::uint32_t first_column,
                          RowResults& results, ByteSink& out, std::string& problem) {
  Workbook workbook;
  if (!LoadWorkbook(zip, workbook, problem)) return false;
  if (index >= workbook.names.size()) {
    problem = "работната книга няма лист с номер " + std::to_string(index + 1);
    return false;
  }
  const ZipEntry* sheet = FindPart(zip, workbook.parts[index]);
  if (sheet == nullptr) {
    problem = Missing(workbook.parts[index]) + " на листа „" + workbook.names[index] + "“";
    return false;
  }
  // Flagged cells take the cell format added to the styles; a workbook
  // without styles to add it to gets them unfilled.
  const bool restyle =
      !workbook.styles_part.empty() && workbook.has_fills && workbook.has_cell_styles;
  const std::optional<std::size_t> flag_style =
      restyle ? std::optional(workbook.cell_styles) : std::nullopt;

  ZipWriter writer(out);
  for (const ZipEntry& entry : zip.entries()) {
    bool ok;
    if (&entry == sheet) {
      ok = Rewrite<WritingHandler>(
          zip, writer, entry,
          [&](Splicer& splicer) {
            return WritingHandler(workbook, index, splicer, first_column, results, flag_style);
          },
          problem);
    } else if (restyle && entry.name == workbook.styles_part) {
      ok = Rewrite<StylesWriter>(
          zip, writer, entry, [&](Splicer& splicer) { return StylesWriter(splicer, workbook); },
          problem);
    } else {
      ok = writer.Copy(zip, entry);
      if (!ok) problem = writer.problem();
    }
    if (!ok) return false;
  }
  if (!writer.Finish(zip.comment())) {
    problem = writer.problem();
    return false;
  }
  return true;
}

}  // namespace egn::table
