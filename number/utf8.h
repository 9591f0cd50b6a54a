// UTF-8 a character at a time, and the case of letters, for the names that
// people type and that are the same in any case: the districts of
// --generate's --region, the columns of a CSV file's header row.
#pragma once

#include <cstddef>
#include <string_view>

namespace egn::number {

struct Character {
  long code;         // -1: the bytes there are no well-formed UTF-8
  std::size_t size;  // its bytes; 1 where they are none
};

// How many bytes a character of UTF-8 that begins with `lead` takes: 1 for
// ASCII, 2 to 4 for a lead byte (C2…F4), 0 for a byte that begins none.
std::size_t Utf8Length(unsigned char lead);

// The character that starts at `text[i]`. Overlong forms, surrogates,
// values past U+10FFFF and sequences cut short are not well-formed.
Character DecodeUtf8(std::string_view text, std::size_t i);

// A Latin or Cyrillic capital made small (A…Z, А…Я, Ѐ…Џ); any other
// character as it is.
char32_t LowerCase(char32_t c);

}  // namespace egn::number
