#include "profile_settings_file.h"

#include <windows.h>

#include <vector>

namespace rtrillex {

std::wstring ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // a long path: try again with room for it
  }
}

std::wstring ProgramDirectory() { return DirectoryOf(ProgramPath()); }

bool SettingsFileIsPresent(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  constexpr DWORD kHidingAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
  return (found.dwFileAttributes & kHidingAttributes) == 0;
}

// The Unicode forms of the profile calls take the real path, whatever
// characters the folder's name holds; the file itself they keep in the
// ANSI code page, byte for byte as the ANSI forms would.
std::wstring ProfileSettingsFile::Read(std::wstring_view section, std::wstring_view key) {
  return ReadOr(section, key, L"");
}

std::optional<std::wstring> ProfileSettingsFile::ReadIfPresent(std::wstring_view section, std::wstring_view key) {
  // A control character no one types into the file stands for a missing key.
  constexpr wchar_t kAbsent[] = L"\x01";
  std::wstring value = ReadOr(section, key, kAbsent);
  if (value == kAbsent) return std::nullopt;
  return value;
}

std::wstring ProfileSettingsFile::ReadOr(std::wstring_view section, std::wstring_view key, const wchar_t* fallback) {
  constexpr DWORD kBufferChars = 1024;
  std::vector<wchar_t> buffer(kBufferChars, L'\0');
  GetPrivateProfileStringW(std::wstring(section).c_str(), std::wstring(key).c_str(), fallback, buffer.data(),
                           kBufferChars, Path().c_str());
  // The value ends at the first NUL, which the call always writes inside the buffer.
  return buffer.data();
}

void ProfileSettingsFile::Write(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  WritePrivateProfileStringW(std::wstring(section).c_str(), std::wstring(key).c_str(), std::wstring(value).c_str(),
                             Path().c_str());
}

const std::wstring& ProfileSettingsFile::Path() {
  // The exe stays where it is while it runs: its folder is asked for once,
  // not on each of the three reads every copy makes.
  if (path_.empty()) path_ = SettingsPath(ProgramDirectory());
  return path_;
}
}  // namespace rtrillex
