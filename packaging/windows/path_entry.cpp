// path-entry: the installer's and the uninstaller's hand on the PATH. It adds
// the installation's folder to the PATH of the current user or of the
// machine, once, or removes it again, and nothing else:
//   - the registry value is read and written whatever its length (the
//     installer's own strings end at 1024 characters, and a PATH cut there
//     and written back would lose the rest);
//   - its type is kept (REG_EXPAND_SZ, so that %VARIABLES% in it still work);
//   - running programs are told that the environment changed
//     (WM_SETTINGCHANGE), so that a new command window finds egn-digit.
//
//   path-entry add|remove user|machine FOLDER
//
// Exit status: 0 the PATH was changed, 1 there was nothing to change, 2 it
// could not be read or written, or the command line was wrong.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "path_list.h"

namespace {

constexpr int kChanged = 0, kUnchanged = 1, kFailed = 2;

struct Key {
  HKEY handle = nullptr;
  ~Key() {
    if (handle != nullptr) RegCloseKey(handle);
  }
};

// The value `Path` of `key`, its type in `type`; empty where there is none.
bool ReadPath(HKEY key, std::wstring& path, DWORD& type) {
  type = REG_EXPAND_SZ;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, L"Path", nullptr, &type, nullptr, &size);
  if (status == ERROR_FILE_NOT_FOUND) {
    type = REG_EXPAND_SZ;
    path.clear();
    return true;
  }
  std::vector<wchar_t> buffer;
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    status = RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                              &got);
    if (status == ERROR_SUCCESS) {
      path.assign(buffer.data(), got / sizeof(wchar_t));
      while (!path.empty() && path.back() == L'\0') path.pop_back();
      return type == REG_SZ || type == REG_EXPAND_SZ;
    }
    size = got;
  }
  return false;
}

bool WritePath(HKEY key, const std::wstring& path, DWORD type) {
  if (path.empty()) {  // an empty PATH is the same as none: leave none
    const LONG status = RegDeleteValueW(key, L"Path");
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  return RegSetValueExW(key, L"Path", 0, type, reinterpret_cast<const BYTE*>(path.c_str()),
                        static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

int Run(const std::wstring& verb, const std::wstring& scope, const std::wstring& folder) {
  if ((verb != L"add" && verb != L"remove") || (scope != L"user" && scope != L"machine") ||
      folder.empty())
    return kFailed;
  const bool machine = scope == L"machine";
  Key key;
  if (RegOpenKeyExW(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                    machine ? L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"
                            : L"Environment",
                    0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key.handle) != ERROR_SUCCESS)
    return kFailed;
  std::wstring path;
  DWORD type = REG_EXPAND_SZ;
  if (!ReadPath(key.handle, path, type)) return kFailed;
  const auto change = verb == L"add" ? egn::path_list::WithEntry(path, folder)
                                     : egn::path_list::WithoutEntry(path, folder);
  if (change.outcome == egn::path_list::Outcome::kUnchanged) return kUnchanged;
  if (!WritePath(key.handle, change.value, type)) return kFailed;
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                      SMTO_ABORTIFHUNG, 5000, &answer);
  return kChanged;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return kFailed;
  const int status = count == 4 ? Run(arguments[1], arguments[2], arguments[3]) : kFailed;
  LocalFree(arguments);
  return status;
}
