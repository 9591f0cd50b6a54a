#include "number/region_names.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "number/utf8.h"

namespace egn::number {

namespace {

// Full names that people type for a district the list names otherwise,
// each with the list's name.
struct Alias {
  std::string_view typed, listed;
};
constexpr std::array<Alias, 3> kAliases = {{
    {"Велико Търново", "В. Търново"},
    {"Софийска област", "София - окръг"},
    {"София област", "София - окръг"},
}};

// A byte that starts no UTF-8 character stands for itself, apart from every
// character.
constexpr char32_t kStrayByte = 0x110000;

// The next character of UTF-8 `text` from `at`, which it moves past it.
char32_t NextCharacter(std::string_view text, std::size_t& at) {
  const Character c = DecodeUtf8(text, at);
  const char32_t next = c.code < 0 ? kStrayByte + static_cast<unsigned char>(text[at])
                                   : static_cast<char32_t>(c.code);
  at += c.size;
  return next;
}

bool IsSeparator(char32_t c) {
  return c == U' ' || c == U'\t' || c == U'-' || c == U'.' || c == U',' || c == U'_' || c == U'(' ||
         c == U')' || c == U'\u00A0' || (c >= U'\u2010' && c <= U'\u2015') || c == U'\u2212';
}

// A name as its words: letters in lower case, one blank between words
// whatever separated them, none at either end.
std::u32string Key(std::string_view name) {
  std::u32string key;
  bool gap = false;
  for (std::size_t at = 0; at < name.size();) {
    const char32_t c = NextCharacter(name, at);
    if (IsSeparator(c)) {
      gap = !key.empty();
      continue;
    }
    if (gap) key += U' ';
    gap = false;
    key += LowerCase(c);
  }
  return key;
}

std::vector<std::u32string> Words(const std::u32string& key) {
  std::vector<std::u32string> words;
  for (std::size_t from = 0; from <= key.size();) {
    const std::size_t blank = std::min(key.find(U' ', from), key.size());
    words.push_back(key.substr(from, blank - from));
    from = blank + 1;
  }
  return words;
}

// Whether every word of `part` is a word of `whole`.
bool WordsWithin(const std::u32string& part, const std::u32string& whole) {
  const std::vector<std::u32string> words = Words(whole);
  for (const std::u32string& word : Words(part)) {
    if (std::find(words.begin(), words.end(), word) == words.end()) return false;
  }
  return true;
}

// The fewest characters to insert, delete or replace to make `a` into `b`.
std::size_t EditDistance(const std::u32string& a, const std::u32string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t replaced = diagonal + (a[i - 1] == b[j - 1] ? 0 : 1);
      diagonal = row[j];
      row[j] = std::min({replaced, row[j] + 1, row[j - 1] + 1});
    }
  }
  return row[b.size()];
}

struct Name {
  std::u32string key;
  const Region* region;
};

// Every name a district answers to: the list's, then the full ones.
std::vector<Name> Names() {
  std::vector<Name> names;
  for (const Region& r : Regions()) names.push_back({Key(r.name), &r});
  for (const Alias& alias : kAliases) names.push_back({Key(alias.typed), FindRegion(alias.listed)});
  return names;
}

// The districts `typed` comes nearest to, in the list's order: those whose
// name holds every word typed, or whose every word was typed ("София",
// "област Варна"); else those within a few slips of the typed name.
std::vector<const Region*> Nearest(const std::u32string& typed, const std::vector<Name>& names) {
  std::vector<const Region*> nearest;
  const auto add = [&nearest](const Region* r) {
    if (std::find(nearest.begin(), nearest.end(), r) == nearest.end()) nearest.push_back(r);
  };
  if (typed.empty()) return nearest;
  for (const Name& n : names) {
    if (WordsWithin(typed, n.key) || WordsWithin(n.key, typed)) add(n.region);
  }
  if (nearest.empty()) {
    std::size_t best = 1 + typed.size() / 4;  // the most slips still taken for a slip
    for (const Name& n : names) best = std::min(best, EditDistance(typed, n.key));
    for (const Name& n : names) {
      if (EditDistance(typed, n.key) == best) add(n.region);
    }
  }
  std::sort(nearest.begin(), nearest.end());  // the list's order: they are its elements
  return nearest;
}

}  // namespace

const Region* RegionNamed(std::string_view typed, std::string& problem) {
  const std::vector<Name> names = Names();
  const std::u32string key = Key(typed);
  for (const Name& n : names) {
    if (n.key == key) return n.region;
  }
  const std::vector<const Region*> nearest = Nearest(key, names);
  problem = "няма област „" + std::string(typed) + "“ в списъка";
  if (nearest.empty()) {
    problem += " (например „Варна“, „София - град“)";
    return nullptr;
  }
  problem += "; може би ";
  for (std::size_t i = 0; i < nearest.size(); ++i) {
    if (i > 0) problem += i + 1 == nearest.size() ? " или " : ", ";
    problem += "„" + std::string(nearest[i]->name) + "“";
  }
  problem += "?";
  return nullptr;
}

}  // namespace egn::number
