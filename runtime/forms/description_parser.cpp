#include "runtime/forms/description_parser.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "runtime/core/conversions.h"
#include "runtime/forms/code_page.h"
#include "runtime/forms/control_kinds.h"

namespace egn::runtime {

DescriptionError::DescriptionError(int line, const std::string& problem)
    : std::runtime_error("line " + std::to_string(line) + ": " + problem), line_(line) {}

namespace {

[[noreturn]] void Fail(int line, const std::string& problem) {
  throw DescriptionError(line, problem);
}

std::string Quoted(std::string_view s) { return "'" + std::string(s) + "'"; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

bool IsName(std::string_view s) {
  return !s.empty() && IsNameStart(s.front()) && std::all_of(s.begin(), s.end(), IsNameChar);
}

// Printable ASCII only: for names of fonts and files.
bool IsPlainAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

// Splits a line into its first word and the rest.
std::pair<std::string_view, std::string_view> FirstWord(std::string_view s) {
  s = Trim(s);
  std::size_t end = 0;
  while (end < s.size() && !IsBlank(s[end])) ++end;
  return {s.substr(0, end), Trim(s.substr(end))};
}

long long ParseInteger(std::string_view text, std::string_view key, int line, long long min,
                       long long max) {
  text = Trim(text);
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    Fail(line, "bad number " + Quoted(text) + " for " + Quoted(key));
  }
  if (value < min || value > max) {
    Fail(line, "number " + std::string(text) + " for " + Quoted(key) + " is outside " +
                   std::to_string(min) + " to " + std::to_string(max));
  }
  return value;
}

std::vector<long long> ParseIntegers(std::string_view text, std::string_view key, int line,
                                     std::size_t count, long long min, long long max) {
  std::vector<long long> values;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    values.push_back(ParseInteger(text.substr(start, comma - start), key, line, min, max));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (values.size() != count) {
    Fail(line, "expected " + std::to_string(count) + " numbers for " + Quoted(key) + ", found " +
                   std::to_string(values.size()));
  }
  return values;
}

Colour ParseColour(std::string_view text, std::string_view key, int line) {
  text = Trim(text);
  std::uint32_t value = 0;
  const bool shaped = text.size() == 10 && (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X");
  if (shaped) {
    const auto [end, error] = std::from_chars(text.data() + 2, text.data() + 10, value, 16);
    if (error == std::errc() && end == text.data() + 10 && (value >> 24) == 0) return value;
  }
  Fail(line, "bad colour " + Quoted(text) + " for " + Quoted(key) + ", expected 0x00BBGGRR");
}

// An optional '-', then decimal digits with at most one point among or
// around them, at least one digit.
bool IsDecimal(std::string_view text) {
  if (text.starts_with('-')) text.remove_prefix(1);
  bool digit = false;
  bool point = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

bool ParseBool(std::string_view text, std::string_view key, int line) {
  text = Trim(text);
  if (text == "yes") return true;
  if (text == "no") return false;
  Fail(line, "expected yes or no for " + Quoted(key) + ", found " + Quoted(text));
}

template <typename Enum>
Enum ParseKeyword(std::string_view text, std::string_view key, int line,
                  std::initializer_list<std::pair<std::string_view, Enum>> choices) {
  text = Trim(text);
  std::string names;
  for (const auto& [word, value] : choices) {
    if (word == text) return value;
    names += (names.empty() ? "" : ", ") + std::string(word);
  }
  Fail(line, "expected one of " + names + " for " + Quoted(key) + ", found " + Quoted(text));
}

// One or more texts in double quotes, separated by blanks; their bytes
// concatenated, escapes resolved, not yet decoded.
std::string ParseTexts(std::string_view text, std::string_view key, int line) {
  std::string bytes;
  std::size_t i = 0;
  text = Trim(text);
  if (text.empty() || text.front() != '"')
    Fail(line, "expected a text in quotes for " + Quoted(key));
  while (i < text.size()) {
    if (text[i] != '"') Fail(line, "unexpected " + Quoted(text.substr(i)) + " after the text");
    ++i;
    bool closed = false;
    while (i < text.size()) {
      const char c = text[i++];
      if (c == '"') {
        closed = true;
        break;
      }
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
        Fail(line, "control character in a text; write it as an escape");
      }
      if (c != '\\') {
        bytes += c;
        continue;
      }
      if (i == text.size()) break;
      switch (const char e = text[i++]) {
        case '"':
          bytes += '"';
          break;
        case '\\':
          bytes += '\\';
          break;
        case 'r':
          bytes += '\r';
          break;
        case 'n':
          bytes += '\n';
          break;
        case 't':
          bytes += '\t';
          break;
        default:
          Fail(line, "unknown escape " + Quoted(std::string("\\") + e) + " in a text");
      }
    }
    if (!closed) Fail(line, "text is not closed by a quote");
    while (i < text.size() && IsBlank(text[i])) ++i;
  }
  return bytes;
}

// Where a text goes once it is decoded.
struct PendingText {
  int line;
  std::string bytes;
  int control;  // -1: the form's caption
  int item;     // the list item's index, or one of these fields:
  static constexpr int kTextField = -1, kAccessibleNameField = -2, kDescriptionField = -3;
};

class Parser {
 public:
  explicit Parser(std::string_view bytes) : bytes_(bytes) {}

  FormDescription Run() {
    std::size_t start = 0;
    while (start <= bytes_.size()) {
      std::size_t end = bytes_.find('\n', start);
      if (end == std::string_view::npos) end = bytes_.size();
      std::string_view line = bytes_.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      ++line_;
      Statement(line);
      start = end + 1;
    }
    if (control_)
      Fail(control_line_, "control " + CurrentControl().DisplayName() + " has no 'end'");
    if (!form_open_ && !form_closed_) Fail(line_, "no 'form' block in the description");
    if (form_open_) Fail(form_line_, "form " + form_.name + " has no 'end'");
    CheckForm();
    Decode();
    return std::move(form_);
  }

 private:
  void Statement(std::string_view line) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == '#') return;
    if (trimmed.front() == '"') return Continuation(trimmed);
    last_text_ = std::nullopt;
    const auto [word, rest] = FirstWord(trimmed);
    if (form_closed_) Fail(line_, "unexpected " + Quoted(word) + " after the end of the form");
    if (word == "form") return OpenForm(rest);
    if (!form_open_) Fail(line_, "expected 'form <name>', found " + Quoted(word));
    if (word == "control") return OpenControl(rest);
    if (word == "end") return End(rest);
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos)
      Fail(line_, "expected 'key = value', found " + Quoted(trimmed));
    const std::string_view key = Trim(trimmed.substr(0, equals));
    const std::string_view value = Trim(trimmed.substr(equals + 1));
    if (control_) {
      ControlSetting(key, value);
    } else {
      FormSetting(key, value);
    }
  }

  void OpenForm(std::string_view rest) {
    if (form_open_) Fail(line_, "a description holds one form");
    if (!IsName(rest)) Fail(line_, "bad form name " + Quoted(rest));
    form_.name = std::string(rest);
    form_open_ = true;
    form_line_ = line_;
  }

  void OpenControl(std::string_view rest) {
    if (control_) Fail(line_, "control " + CurrentControl().DisplayName() + " has no 'end'");
    const auto [kind_word, name_text] = FirstWord(rest);
    const ControlKindInfo* kind = FindControlKind(kind_word);
    if (kind == nullptr) Fail(line_, "unknown control kind " + Quoted(kind_word));

    ControlDescription control;
    control.kind = kind->kind;
    control.line = line_;
    std::string_view name = name_text;
    if (const std::size_t open = name.find('('); open != std::string_view::npos) {
      if (name.back() != ')') Fail(line_, "bad control name " + Quoted(name_text));
      const std::string_view index = name.substr(open + 1, name.size() - open - 2);
      const long long value = ParseInteger(index, "index", line_, -32768, 32767);
      control.index = static_cast<std::int16_t>(value);
      name = name.substr(0, open);
    }
    if (!IsName(name)) Fail(line_, "bad control name " + Quoted(name_text));
    control.name = std::string(name);

    const auto [known, inserted] = names_.try_emplace(control.name, control.index.has_value());
    if (!inserted && known->second != control.index.has_value()) {
      Fail(line_,
           "name " + Quoted(control.name) + " is used both for an array and a single control");
    }
    if (!inserted && !control.index) Fail(line_, "duplicate control " + Quoted(control.name));
    if (control.index && !indices_.insert({control.name, *control.index}).second) {
      Fail(line_, "duplicate index " + std::to_string(*control.index) + " in control array " +
                      Quoted(control.name));
    }
    form_.controls.push_back(std::move(control));
    control_ = kind;
    control_line_ = line_;
    seen_.clear();
  }

  void End(std::string_view rest) {
    if (!rest.empty()) Fail(line_, "unexpected " + Quoted(rest) + " after 'end'");
    if (control_) {
      for (const auto& [key, setting] : kControlSettings) {
        if (control_->required.Has(setting) && !seen_.count(std::string(key))) {
          Fail(control_line_,
               "control " + CurrentControl().DisplayName() + " lacks the setting " + Quoted(key));
        }
      }
      CheckControl(CurrentControl());
      control_ = nullptr;
      return;
    }
    form_open_ = false;
    form_closed_ = true;
  }

  void Once(std::string_view key) {
    if (!seen_.insert(std::string(key)).second)
      Fail(line_, "setting " + Quoted(key) + " given twice");
  }

  void FormSetting(std::string_view key, std::string_view value) {
    if (!form_seen_.insert(std::string(key)).second) {
      Fail(line_, "setting " + Quoted(key) + " given twice");
    }
    FormDescription& f = form_;
    if (key == "caption") {
      Text(value, key, -1, -1);
    } else if (key == "border") {
      f.border = ParseKeyword<BorderStyle>(
          value, key, line_,
          {{"fixed-single", BorderStyle::kFixedSingle}, {"sizable", BorderStyle::kSizable}});
    } else if (key == "position") {
      f.position = ParseKeyword<StartPosition>(
          value, key, line_,
          {{"center-screen", StartPosition::kCenterScreen}, {"default", StartPosition::kDefault}});
    } else if (key == "back-color") {
      f.back_colour = ParseColour(value, key, line_);
    } else if (key == "client-size") {
      const auto size = ParseIntegers(value, key, line_, 2, 1, 1'000'000);
      f.client_width = static_cast<int>(size[0]);
      f.client_height = static_cast<int>(size[1]);
    } else if (key == "font-name") {
      f.font.name = ParseTexts(value, key, line_);
      if (f.font.name.empty() || !IsPlainAscii(f.font.name)) {
        Fail(line_, "a font name is a non-empty text of printable ASCII");
      }
    } else if (key == "font-size") {
      FontSize(value, key);
    } else if (key == "font-weight") {
      f.font.weight = static_cast<int>(ParseInteger(value, key, line_, 1, 1000));
    } else if (key == "font-italic") {
      f.font.italic = ParseBool(value, key, line_);
    } else if (key == "font-underline") {
      f.font.underline = ParseBool(value, key, line_);
    } else if (key == "font-strike") {
      f.font.strikeout = ParseBool(value, key, line_);
    } else if (key == "charset") {
      f.font.charset = static_cast<int>(ParseInteger(value, key, line_, 0, 255));
      if (!CodePageOf(f.font.charset)) {
        Fail(line_, "unsupported character set " + std::to_string(f.font.charset));
      }
    } else if (key == "icon") {
      f.icon = ParseTexts(value, key, line_);
      if (!IsPlainAscii(f.icon) || f.icon.find('/') != std::string::npos) {
        Fail(line_, "an icon is the name of a file beside the description, in printable ASCII");
      }
    } else {
      Fail(line_, "unknown setting " + Quoted(key) + " for the form");
    }
  }

  void FontSize(std::string_view value, std::string_view key) {
    value = Trim(value);
    if (!IsDecimal(value)) Fail(line_, "bad number " + Quoted(value) + " for " + Quoted(key));
    // The runtime's own number rule reads it: a whole size then needs no
    // floating-point parser at start-up.
    const double size = TextToNumber(std::u16string(value.begin(), value.end()));
    if (!(size >= 1 && size <= 1638)) {
      Fail(line_, "number " + std::string(value) + " for " + Quoted(key) + " is outside 1 to 1638");
    }
    form_.font.size_points = size;
  }

  static constexpr std::pair<std::string_view, Setting> kControlSettings[] = {
      {"rect", Setting::kRect},
      {"tab-index", Setting::kTabIndex},
      {"back-color", Setting::kBackColour},
      {"max-length", Setting::kMaxLength},
      {"align", Setting::kAlign},
      {"read-only", Setting::kReadOnly},
      {"multi-line", Setting::kMultiLine},
      {"scroll-bars", Setting::kScrollBars},
      {"visible", Setting::kVisible},
      {"style", Setting::kStyle},
      {"caption", Setting::kCaption},
      {"text", Setting::kText},
      {"item", Setting::kItem},
      {"accessible-name", Setting::kAccessibleName},
      {"accessible-description", Setting::kAccessibleDescription},
  };

  void ControlSetting(std::string_view key, std::string_view value) {
    const auto found = std::find_if(std::begin(kControlSettings), std::end(kControlSettings),
                                    [&](const auto& entry) { return entry.first == key; });
    if (found == std::end(kControlSettings) || !control_->accepts.Has(found->second)) {
      Fail(line_, "unknown setting " + Quoted(key) + " for a " + std::string(control_->keyword));
    }
    const Setting setting = found->second;
    if (setting == Setting::kItem) {
      seen_.insert(std::string(key));  // items repeat, one per line
    } else {
      Once(key);
    }
    ControlDescription& c = CurrentControl();
    const int self = static_cast<int>(form_.controls.size()) - 1;
    switch (setting) {
      case Setting::kRect: {
        const auto r = ParseIntegers(value, key, line_, 4, -1'000'000, 1'000'000);
        if (r[2] < 0 || r[3] < 0) Fail(line_, "a width or height cannot be negative");
        c.rect = {static_cast<int>(r[0]), static_cast<int>(r[1]), static_cast<int>(r[2]),
                  static_cast<int>(r[3])};
        break;
      }
      case Setting::kTabIndex:
        c.tab_index = static_cast<int>(ParseInteger(value, key, line_, 0, 32767));
        break;
      case Setting::kBackColour:
        c.back_colour = ParseColour(value, key, line_);
        break;
      case Setting::kMaxLength:
        c.max_length = static_cast<int>(ParseInteger(value, key, line_, 0, 32767));
        break;
      case Setting::kAlign:
        c.alignment = ParseKeyword<Alignment>(value, key, line_,
                                              {{"left", Alignment::kLeft},
                                               {"center", Alignment::kCenter},
                                               {"right", Alignment::kRight}});
        break;
      case Setting::kReadOnly:
        c.read_only = ParseBool(value, key, line_);
        break;
      case Setting::kMultiLine:
        c.multi_line = ParseBool(value, key, line_);
        break;
      case Setting::kScrollBars:
        c.scroll_bars = ParseKeyword<ScrollBars>(value, key, line_,
                                                 {{"none", ScrollBars::kNone},
                                                  {"horizontal", ScrollBars::kHorizontal},
                                                  {"vertical", ScrollBars::kVertical},
                                                  {"both", ScrollBars::kBoth}});
        break;
      case Setting::kVisible:
        c.visible = ParseBool(value, key, line_);
        break;
      case Setting::kStyle:
        c.style = ParseKeyword<ButtonStyle>(
            value, key, line_,
            {{"standard", ButtonStyle::kStandard}, {"graphical", ButtonStyle::kGraphical}});
        break;
      case Setting::kCaption:
      case Setting::kText:
        Text(value, key, self, PendingText::kTextField);
        break;
      case Setting::kAccessibleName:
        Text(value, key, self, PendingText::kAccessibleNameField);
        break;
      case Setting::kAccessibleDescription:
        Text(value, key, self, PendingText::kDescriptionField);
        break;
      case Setting::kItem:
        c.items.emplace_back();
        Text(value, key, self, static_cast<int>(c.items.size()) - 1);
        break;
    }
  }

  void Text(std::string_view value, std::string_view key, int control, int item) {
    pending_.push_back({line_, ParseTexts(value, key, line_), control, item});
    last_text_ = std::string(key);
  }

  void Continuation(std::string_view text) {
    if (!last_text_) Fail(line_, "a text on a line of its own must continue a text setting");
    pending_.back().bytes += ParseTexts(text, *last_text_, line_);
  }

  // Checks that need the whole control or the whole form.
  void CheckControl(const ControlDescription& c) {
    if (c.multi_line && c.max_length > 0) {
      Fail(control_line_,
           "control " + c.DisplayName() + ": max-length applies to single-line text boxes");
    }
  }

  void CheckForm() {
    for (const std::string_view key :
         {"caption", "client-size", "font-name", "font-size", "charset"}) {
      if (!form_seen_.count(std::string(key))) {
        Fail(form_line_, "form " + form_.name + " lacks the setting " + Quoted(key));
      }
    }
    std::map<int, const ControlDescription*> tabs;
    for (const ControlDescription& c : form_.controls) {
      const auto [at, inserted] = tabs.emplace(c.tab_index, &c);
      if (!inserted) {
        Fail(c.line, "tab index " + std::to_string(c.tab_index) + " of " + c.DisplayName() +
                         " is already used by " + at->second->DisplayName());
      }
    }
  }

  void Decode() {
    const CodePage code_page = *CodePageOf(form_.font.charset);
    CodePageDecoder decode(code_page);
    for (const PendingText& p : pending_) {
      std::optional<std::u16string> text = decode(p.bytes);
      if (!text) Fail(p.line, "text cannot be decoded from " + std::string(code_page.name));
      std::u16string decoded = std::move(*text);
      if (p.control < 0) {
        form_.caption = std::move(decoded);
        continue;
      }
      ControlDescription& c = form_.controls[static_cast<std::size_t>(p.control)];
      switch (p.item) {
        case PendingText::kTextField:
          c.text = std::move(decoded);
          break;
        case PendingText::kAccessibleNameField:
          c.accessible_name = std::move(decoded);
          break;
        case PendingText::kDescriptionField:
          c.accessible_description = std::move(decoded);
          break;
        default:
          c.items[static_cast<std::size_t>(p.item)] = std::move(decoded);
      }
    }
  }

  ControlDescription& CurrentControl() { return form_.controls.back(); }

  std::string_view bytes_;
  int line_ = 0;
  FormDescription form_;
  bool form_open_ = false;
  bool form_closed_ = false;
  int form_line_ = 0;
  std::set<std::string> form_seen_;
  const ControlKindInfo* control_ = nullptr;
  int control_line_ = 0;
  std::set<std::string> seen_;
  std::map<std::string, bool> names_;  // name -> is an array
  std::set<std::pair<std::string, std::int16_t>> indices_;
  std::optional<std::string> last_text_;
  std::vector<PendingText> pending_;
};

}  // namespace

FormDescription ParseDescription(std::string_view bytes) { return Parser(bytes).Run(); }

}  // namespace egn::runtime
