#include "runtime/win32/values.h"

#include <algorithm>

namespace egn::runtime {

std::u16string FromUtf8(const std::string& text) {
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string wide(static_cast<std::size_t>(std::max(length, 0)), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                      reinterpret_cast<wchar_t*>(wide.data()), length);
  return wide;
}

}  // namespace egn::runtime
