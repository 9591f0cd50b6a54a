#include "cli/column_common.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "number/number_rules.h"
#include "table/blanks.h"
#include "table/encodings.h"

namespace egn::cli {

namespace {

// The Latin letters that look like Cyrillic ones, with those: a name typed
// with the wrong keyboard layout for a letter or two reads the same and is
// not the same.
constexpr std::pair<char, std::string_view> kLookAlikes[] = {
    {'A', "А"}, {'B', "В"}, {'C', "С"}, {'E', "Е"}, {'H', "Н"}, {'K', "К"}, {'M', "М"},
    {'O', "О"}, {'P', "Р"}, {'T', "Т"}, {'X', "Х"}, {'Y', "У"}, {'a', "а"}, {'c', "с"},
    {'e', "е"}, {'o', "о"}, {'p', "р"}, {'x', "х"}, {'y', "у"},
};

// `text` (UTF-8) with every look-alike Latin letter made Cyrillic, in lower
// case; the Latin letters it had, in `latin` (each once).
std::string AsCyrillic(std::string_view text, std::string* latin = nullptr) {
  std::string cyrillic;
  for (const char c : text) {
    const auto* alike = std::find_if(std::begin(kLookAlikes), std::end(kLookAlikes),
                                     [c](const auto& pair) { return pair.first == c; });
    if (alike == std::end(kLookAlikes)) {
      cyrillic += c;
      continue;
    }
    cyrillic += alike->second;
    if (latin != nullptr && latin->find(c) == std::string::npos) *latin += c;
  }
  return table::FoldCase(cyrillic);
}

// When no row names the column, but a name of one of `rows` is the
// column's but for Latin letters that look Cyrillic (or the other way
// round): where, and which letters; otherwise empty.
std::string LookAlike(std::string_view column, const std::vector<NamedRow>& rows) {
  std::string wanted_latin;
  const std::string wanted = AsCyrillic(column, &wanted_latin);
  for (const NamedRow& row : rows) {
    for (std::size_t i = 0; i < row.names.size(); ++i) {
      std::string latin;
      if (AsCyrillic(row.names[i], &latin) != wanted) continue;
      // The letters that differ: Latin in the name and not in the column's
      // name, or the other way round.
      std::string letters, shown;
      for (const char c : latin + wanted_latin) {
        if ((latin.find(c) == std::string::npos) != (wanted_latin.find(c) == std::string::npos) &&
            letters.find(c) == std::string::npos) {
          letters += c;
          shown += (shown.empty() ? "„" : ", „") + std::string(1, c) + "“";
        }
      }
      if (letters.empty()) continue;
      const bool in_name = latin.find(letters[0]) != std::string::npos;
      const bool one = letters.size() == 1;
      return "на ред " + std::to_string(row.line) + " колона " + std::to_string(i + 1) + " е „" +
             Shown(row.names[i]) + "“: различава се само по " +
             (one ? "латинската буква " : "латинските букви ") + shown +
             (in_name ? " в нея" : " в името от командния ред") + " на мястото на " +
             (one ? "кирилската" : "кирилските");
    }
  }
  return {};
}

}  // namespace

std::string Shown(std::string_view text) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r' || c == '\n' || c == '\t') {
      shown += c == '\r' ? "\\r" : c == '\n' ? "\\n" : "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      shown += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      const auto low = static_cast<unsigned char>(text[++i]);
      shown += {'\\', 'u', '0', '0', kHex[low >> 4], kHex[low & 15]};
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

bool TellsHeader(const std::vector<std::string>& names, const ColumnOptions& options) {
  if (options.number) {
    return *options.number <= names.size() && !names[*options.number - 1].empty();
  }
  const std::string wanted = table::FoldCase(table::TrimBlanks(options.column));
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& name) { return table::FoldCase(name) == wanted; });
}

std::optional<std::size_t> FindColumn(const std::vector<std::string>& names,
                                      const ColumnOptions& options,
                                      const std::vector<NamedRow>& above, std::string& problem) {
  std::string listed = names.empty() ? "заглавният ред е празен"
                                     : "заглавният ред има " + std::to_string(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    listed += (i == 0 ? ": „" : ", „") + Shown(names[i]) + "“";
  }
  if (options.number) {
    if (*options.number == 0 || *options.number > names.size()) {
      problem = "няма колона " + options.column + "; " + listed;
      return std::nullopt;
    }
    return *options.number - 1;
  }
  const std::string wanted = table::FoldCase(table::TrimBlanks(options.column));
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (table::FoldCase(names[i]) == wanted) found.push_back(i);
  }
  if (found.empty()) {
    const std::string alike = LookAlike(table::TrimBlanks(options.column), above);
    problem = "няма колона „" + Shown(table::TrimBlanks(options.column)) + "“; " +
              (alike.empty() ? listed : alike);
    return std::nullopt;
  }
  if (found.size() > 1) {
    std::string which;
    for (const std::size_t i : found) which += (which.empty() ? "" : ", ") + std::to_string(i + 1);
    problem = "колоните " + which + " се казват „" + Shown(names[found[0]]) +
              "“: посочете една с номера ѝ";
    return std::nullopt;
  }
  return found[0];
}

namespace {

// The number `digits` stand for when a spreadsheet dropped its leading
// zeros (with a right control digit, or a wrong one where the digits hold
// no date as they stand); none where they are the number as they are.
std::optional<std::array<char, 10>> Restored(std::string_view digits) {
  if (!number::MayHaveLostZeros(digits)) return std::nullopt;  // next to nothing for ten digits
  std::optional<std::array<char, 10>> restored = number::WithLostZeros(digits);
  return restored ? restored : number::WithLostZerosAndWrongDigit(digits);
}

}  // namespace

FieldVerdict CheckField(const Checked& checked, const ColumnOptions& options, std::size_t line,
                        Columns& columns, std::string* json, std::string& problem) {
  if (checked.verdict == Verdict::kNothing) return FieldVerdict::kBlank;
  const std::optional<std::array<char, 10>> restored = Restored(checked.digits);
  const std::string_view digits =
      restored ? std::string_view(restored->data(), restored->size()) : checked.digits;
  const About about{line, restored ? digits.size() - checked.digits.size() : 0};
  if (!restored && (checked.verdict == Verdict::kMalformed ||
                    (options.decode && checked.verdict == Verdict::kNine))) {
    problem = checked.verdict == Verdict::kMalformed ? checked.problem : std::string(kNineToDecode);
    return FieldVerdict::kProblem;
  }
  bool right = false;
  std::string_view record;  // the row's JSON record, where it was just made
  if (json != nullptr) {
    const std::size_t from = json->size();
    right = options.decode ? AppendDecode(*json, Format::kJson, digits, about)
                           : AppendCheck(*json, Format::kJson, digits, options.explain, about);
    record = std::string_view(*json).substr(from);
  } else {
    right = options.decode ? DecodeColumns(columns, digits, about)
                           : CheckColumns(columns, digits, options.explain, about);
  }
  if (options.summary != nullptr)
    options.summary->Judged(options, checked.verdict, digits, about, right, record);
  return right ? FieldVerdict::kRight : FieldVerdict::kWrong;
}

void Summary::Judged(const ColumnOptions& options, Verdict read, std::string_view digits,
                     const About& about, bool right, std::string_view record) {
  ++rows_;
  const bool lost = about.lost_zeros != 0;
  if (!right) {
    ++wrong_;
  } else if (!options.decode && read == Verdict::kNine && !lost) {
    ++computed_;  // nine digits: the tenth computed, neither right nor wrong
  } else {
    ++right_;
  }
  if (lost) ++lost_;
  if (!lost && right) return;
  // A row to look at: its record as --json writes it (a row in a few),
  // where it is shown.
  if (!Shown()) return;
  if (!record.empty()) {
    records_ += record;
  } else if (options.decode) {
    AppendDecode(records_, Format::kJson, digits, about);
  } else {
    AppendCheck(records_, Format::kJson, digits, options.explain, about);
  }
  Put();
}

void Summary::Problem(std::size_t line, std::string_view problem) {
  ++rows_;
  ++malformed_;
  if (!Shown()) return;
  AppendError(records_, Format::kJson, "line", line, problem);
  Put();
}

void Summary::Put() {
  if (records_.size() < (std::size_t{1} << 16)) return;
  failed_ = failed_ || !sink_.Write(records_);
  records_.clear();
}

bool Summary::Finish() {
  records_ += "{\"rows\":" + std::to_string(rows_) + ",\"right\":" + std::to_string(right_) +
              ",\"wrong\":" + std::to_string(wrong_) +
              ",\"computed\":" + std::to_string(computed_) +
              ",\"malformed\":" + std::to_string(malformed_) +
              ",\"lost_leading_zeros\":" + std::to_string(lost_) +
              ",\"to_look_at\":" + std::to_string(looks_) + "}\n";
  failed_ = failed_ || !sink_.Write(records_);
  records_.clear();
  return !failed_;
}

}  // namespace egn::cli
