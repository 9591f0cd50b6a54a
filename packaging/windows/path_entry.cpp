// path-entry: the installer's and the uninstaller's hand on the PATH. It adds
// the installation's folder to the PATH of the current user or of the
// machine, once, or removes it again, and nothing else:
//   - the registry value is read and written whatever its length (the
//     installer's own strings end at 1024 characters, and a PATH cut there
//     and written back would lose the rest);
//   - its type is kept (REG_EXPAND_SZ, so that %VARIABLES% in it still work);
//   - it is read as Windows reads it (packaging/windows/path_list.h), and a
//     change Windows could not read as meant is refused, the value untouched;
//   - running programs are told that the environment changed
//     (WM_SETTINGCHANGE), so that a new command window finds egn-digit.
// `check` tells, before anything is installed, whether a folder can be an
// entry of the PATH at all, judged both as written and as Windows resolves
// it: "C:\x\..", "C:\." and "C:\ " are the root of drive C.
//
//   path-entry add|remove|has user|machine FOLDER
//   path-entry remove user|machine FOLDER made
//   path-entry check FOLDER
//
// A PATH value that ends empty is kept, empty, as it was before the folder
// was added; `remove … made` deletes it, for the value that `add` made
// (status 8), so that uninstalling leaves the registry as it found it.
//
// `has` changes nothing: it tells whether the folder is an entry of that
// PATH now (0) or not (1), so that an upgrade keeps an entry only where the
// user has not removed it since.
//
// Exit status (the installer reads it; a refusal is also written on
// standard error, where there is one):
//   0 the PATH was changed (check: the folder can be an entry)
//   1 there was nothing to change
//   2 the PATH could not be read or written, or the command line was wrong
//   3 the folder's name holds ';'
//   4 the folder is the root of a drive or a share
//   5 the folder is not a full path
//   6 the PATH ends inside a quote that is never closed
//   7 the PATH would be longer than 32767 characters
//   8 the PATH was changed: there was no PATH value, and add made one
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <string_view>
#include <vector>

#include "path_list.h"

namespace {

using egn::path_list::Outcome;

constexpr int kChanged = 0, kUnchanged = 1, kFailed = 2, kMade = 8;

// Writes "path-entry: MESSAGE" and a line end, in UTF-8, on standard error.
// A program started by the installer has none, and says nothing.
void Say(const std::wstring& message) {
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  const std::wstring line = L"path-entry: " + message + L"\r\n";
  const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size,
                      nullptr, nullptr);
  DWORD written = 0;
  WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The exit status of a change's outcome; a refusal is said first.
int Status(Outcome outcome, const std::wstring& folder) {
  const std::wstring quoted = L"the folder \"" + folder + L"\"";
  switch (outcome) {
    case Outcome::kChanged:
      return kChanged;
    case Outcome::kUnchanged:
      return kUnchanged;
    case Outcome::kFolderHoldsSeparator:
      Say(quoted + L" holds ';', which separates the entries of the PATH");
      return 3;
    case Outcome::kFolderIsRoot:
      Say(quoted + L" is the root of a drive or a share");
      return 4;
    case Outcome::kFolderNotFullPath:
      Say(quoted + L" is not a full path");
      return 5;
    case Outcome::kUnclosedQuote:
      Say(L"the PATH has a quote that is never closed: a folder added after it would be part of "
          L"the entry it opens");
      return 6;
    case Outcome::kTooLong:
      Say(L"the PATH would be longer than 32767 characters, which no environment can hold");
      return 7;
  }
  return kFailed;
}

struct Key {
  HKEY handle = nullptr;
  ~Key() {
    if (handle != nullptr) RegCloseKey(handle);
  }
};

// The value `Path` of `key`, its type in `type`; empty where there is none
// (`exists` tells which). Says what failed.
bool ReadPath(HKEY key, const std::wstring& name, std::wstring& path, DWORD& type, bool& exists) {
  type = REG_EXPAND_SZ;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, L"Path", nullptr, &type, nullptr, &size);
  exists = status != ERROR_FILE_NOT_FOUND;
  if (!exists) {
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
      if (type != REG_SZ && type != REG_EXPAND_SZ) {
        Say(L"the PATH in " + name + L" is not a string (type " + std::to_wstring(type) + L")");
        return false;
      }
      path.assign(buffer.data(), got / sizeof(wchar_t));
      while (!path.empty() && path.back() == L'\0') path.pop_back();
      return true;
    }
    size = got;
  }
  Say(L"the PATH in " + name + L" could not be read (error " + std::to_wstring(status) + L")");
  return false;
}

// Writes `path` as the value; an empty one is deleted where `drop_empty`.
bool WritePath(HKEY key, const std::wstring& name, const std::wstring& path, DWORD type,
               bool drop_empty) {
  LONG status = ERROR_SUCCESS;
  if (path.empty() && drop_empty) {
    status = RegDeleteValueW(key, L"Path");
    if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
  } else {
    status = RegSetValueExW(key, L"Path", 0, type, reinterpret_cast<const BYTE*>(path.c_str()),
                            static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
  }
  if (status == ERROR_SUCCESS) return true;
  Say(L"the PATH in " + name + L" could not be written (error " + std::to_wstring(status) + L")");
  return false;
}

int Change(const std::wstring& verb, const std::wstring& scope, const std::wstring& folder,
           bool made) {
  if (const auto refusal = egn::path_list::FolderRefusal(folder)) return Status(*refusal, folder);
  const bool machine = scope == L"machine";
  const wchar_t* subkey = machine
                              ? L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"
                              : L"Environment";
  const std::wstring name =
      std::wstring(machine ? L"HKEY_LOCAL_MACHINE\\" : L"HKEY_CURRENT_USER\\") + subkey;
  Key key;
  const bool asking = verb == L"has";
  const LONG opened =
      RegOpenKeyExW(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, subkey, 0,
                    asking ? KEY_QUERY_VALUE : KEY_QUERY_VALUE | KEY_SET_VALUE, &key.handle);
  if (opened != ERROR_SUCCESS) {
    Say(name + L" could not be opened (error " + std::to_wstring(opened) + L")");
    return kFailed;
  }
  std::wstring path;
  DWORD type = REG_EXPAND_SZ;
  bool exists = false;
  if (!ReadPath(key.handle, name, path, type, exists)) return kFailed;
  const auto change = verb == L"add" ? egn::path_list::WithEntry(path, folder)
                                     : egn::path_list::WithoutEntry(path, folder);
  if (change.outcome == Outcome::kUnclosedQuote && verb != L"add") {
    Say(L"the PATH has a quote that is never closed before the folder \"" + folder +
        L"\": Windows reads it as part of the entry the quote opens, and it is left as it is");
    return 6;
  }
  if (asking)  // an entry there is one that removing it would take away
    return change.outcome == Outcome::kChanged ? kChanged : kUnchanged;
  if (change.outcome != Outcome::kChanged) return Status(change.outcome, folder);
  if (!WritePath(key.handle, name, change.value, type, made)) return kFailed;
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                      SMTO_ABORTIFHUNG, 5000, &answer);
  return exists ? kChanged : kMade;
}

// `folder` as Windows resolves it (GetFullPathNameW: "." and ".." taken,
// trailing dots and spaces dropped, '/' made '\\'); as written where it
// cannot be resolved.
std::wstring Resolved(const std::wstring& folder) {
  const DWORD size = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
  if (size == 0) return folder;
  std::wstring resolved(size, L'\0');
  const DWORD length = GetFullPathNameW(folder.c_str(), size, resolved.data(), nullptr);
  if (length == 0 || length >= size) return folder;
  resolved.resize(length);
  return resolved;
}

int Run(const std::vector<std::wstring>& arguments) {
  if (arguments.size() == 2 && arguments[0] == L"check") {
    // As written first: a relative folder resolves against this program's
    // own folder, and would pass.
    auto refusal = egn::path_list::FolderRefusal(arguments[1]);
    if (!refusal) refusal = egn::path_list::FolderRefusal(Resolved(arguments[1]));
    return refusal ? Status(*refusal, arguments[1]) : kChanged;
  }
  if (arguments.size() == 3 &&
      (arguments[0] == L"add" || arguments[0] == L"remove" || arguments[0] == L"has") &&
      (arguments[1] == L"user" || arguments[1] == L"machine"))
    return Change(arguments[0], arguments[1], arguments[2], false);
  if (arguments.size() == 4 && arguments[0] == L"remove" &&
      (arguments[1] == L"user" || arguments[1] == L"machine") && arguments[3] == L"made")
    return Change(arguments[0], arguments[1], arguments[2], true);
  Say(L"usage: path-entry add|remove|has user|machine FOLDER, path-entry remove user|machine "
      L"FOLDER made, or path-entry check FOLDER");
  return kFailed;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || count < 1) return kFailed;
  const int status = Run(std::vector<std::wstring>(arguments + 1, arguments + count));
  LocalFree(arguments);
  return status;
}
