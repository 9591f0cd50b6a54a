#include "window/tests/shared/expectations.h"

#include <map>
#include <span>
#include <stdexcept>

#include "runtime/forms/forms.h"
#include "window/main_form.h"

namespace egn::window::testing {

std::span<const runtime::EmbeddedFile> EmbeddedFiles();  // the table, compiled in

namespace {

// A value with its escapes (\r \n \t \\) read.
std::string Unescape(std::string_view value, int line) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      out += value[i];
      continue;
    }
    const char next = i + 1 < value.size() ? value[++i] : '\0';
    const std::map<char, char> escapes = {{'r', '\r'}, {'n', '\n'}, {'t', '\t'}, {'\\', '\\'}};
    const auto found = escapes.find(next);
    if (found == escapes.end()) {
      throw std::runtime_error("what_users_see.tsv line " + std::to_string(line) +
                               ": unknown escape \\" + std::string(1, next));
    }
    out += found->second;
  }
  return out;
}

std::vector<std::string> Fields(std::string_view row, int line) {
  std::vector<std::string> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = row.find('\t', start);
    fields.push_back(Unescape(row.substr(start, tab - start), line));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

}  // namespace

std::u16string Utf16(std::string_view utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    const int extra = byte < 0x80 ? 0 : byte < 0xE0 ? 1 : byte < 0xF0 ? 2 : 3;
    char32_t c = extra == 0 ? byte : byte & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    i += extra + 1;
    if (c > 0xFFFF) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

WhatUsersSee ReadWhatUsersSee(std::string_view text) {
  WhatUsersSee table;
  int line = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view row = text.substr(start, end - start);
    start = end + 1;
    ++line;
    if (row.empty() || row.front() == '#') continue;
    std::vector<std::string> f = Fields(row, line);
    const std::string key = f.front();
    f.erase(f.begin());
    const auto need = [&](std::size_t count) {
      if (f.size() != count) {
        throw std::runtime_error("what_users_see.tsv line " + std::to_string(line) + ": " + key +
                                 " takes " + std::to_string(count) + " values, not " +
                                 std::to_string(f.size()));
      }
    };
    if (key == "tab-order") {
      table.tab_order = f;
    } else if (key == "digit-boxes") {
      table.digit_boxes = f;
    } else if (key == "calculation") {
      need(3);
      table.calculations.push_back({Utf16(f[0]), std::stoi(f[1]), std::stoi(f[2])});
    } else if (key == "paste") {
      need(2);
      table.pastes.push_back({Utf16(f[0]), Utf16(f[1])});
    } else if (key == "run-time-error-edit") {
      need(2);
      table.error_edit_from = f[0];
      table.error_edit_to = f[1];
    } else {
      need(1);
      const std::map<std::string, std::string*> words = {{"first-focus", &table.first_focus},
                                                         {"tenth-box", &table.tenth_box},
                                                         {"results-box", &table.results_box},
                                                         {"calculate", &table.calculate},
                                                         {"clear", &table.clear}};
      const std::map<std::string, std::u16string*> texts = {
          {"results", &table.results},
          {"run-time-error-title", &table.error_title},
          {"run-time-error", &table.run_time_error}};
      if (const auto word = words.find(key); word != words.end()) {
        *word->second = f[0];
      } else if (const auto text16 = texts.find(key); text16 != texts.end()) {
        *text16->second = Utf16(f[0]);
      } else {
        throw std::runtime_error("what_users_see.tsv line " + std::to_string(line) +
                                 ": unknown key " + key);
      }
    }
  }
  return table;
}

std::u16string WhatUsersSee::Results(int sum, int digit) const {
  std::u16string text = results;
  for (const auto& [field, value] : {std::pair{u"{sum}", sum}, {u"{digit}", digit}}) {
    const std::u16string_view name(field);
    const std::size_t at = text.find(name);
    if (at != std::u16string::npos) text.replace(at, name.size(), Utf16(std::to_string(value)));
  }
  return text;
}

const WhatUsersSee& Expected() {
  static const WhatUsersSee table = ReadWhatUsersSee(EmbeddedFiles().front().bytes);
  return table;
}

const runtime::FormDescription& Described() {
  static const runtime::FormDescription description =
      runtime::ReadFormClass(MainFormClass()).description;
  return description;
}

const runtime::ControlDescription& Described(std::string_view control) {
  for (const runtime::ControlDescription& c : Described().controls) {
    if (c.DisplayName() == control) return c;
  }
  throw std::out_of_range("the window has no control " + std::string(control));
}

}  // namespace egn::window::testing
