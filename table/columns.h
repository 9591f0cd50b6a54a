// The results a program appends to each row of a table it writes again.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace egn::table {

// The fields appended to a row of a table (a CSV file's or a sheet's), as
// UTF-8 texts, at most eight. Made anew for every row in the same memory.
class Columns {
 public:
  void Clear() {
    text_.clear();
    count_ = 0;
  }
  // The next column is what is appended to text() until Close().
  std::string& text() { return text_; }
  void Close() { ends_[count_++] = text_.size(); }
  void Add(std::string_view column) {
    text_ += column;
    Close();
  }
  std::size_t size() const { return count_; }
  // Every column's text, one after the other.
  std::string_view all() const { return text_; }
  std::string_view operator[](std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(text_).substr(begin, ends_[i] - begin);
  }

 private:
  std::string text_;
  std::size_t ends_[8] = {};
  std::size_t count_ = 0;
};

}  // namespace egn::table
