// Windows: a narrow path would be read in the ANSI code page, so a path
// outside it (a user name in Cyrillic on a Western system) is opened by its
// UTF-16 name instead.
#include "runtime/platform/platform.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace egn::runtime::platform {

std::FILE* OpenForReading(const std::string& path) {
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                                         static_cast<int>(path.size()), nullptr, 0);
  if (length <= 0) return nullptr;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
  return _wfopen(wide.c_str(), L"rb");
}

}  // namespace egn::runtime::platform
