#include "profile_settings_file.h"

#include <windows.h>

#include <vector>

#include "text.h"

namespace rtrillex {

std::wstring ProgramDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return DirectoryOf(path);
    }
    path.resize(path.size() * 2);  // a long path: try again with room for it
  }
}

bool SettingsFileIsPresent(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  constexpr DWORD kHidingAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
  return (found.dwFileAttributes & kHidingAttributes) == 0;
}

std::wstring ProfileSettingsFile::Read(std::wstring_view section, std::wstring_view key) {
  constexpr DWORD kBufferBytes = 1024;
  std::vector<char> buffer(kBufferBytes, '\0');
  const std::string path = ToAnsi(SettingsPath(ProgramDirectory()));
  GetPrivateProfileStringA(ToAnsi(section).c_str(), ToAnsi(key).c_str(), "", buffer.data(), kBufferBytes,
                           path.c_str());
  // The value ends at the first NUL, which the call always writes inside the buffer.
  return FromAnsi(buffer.data());
}

void ProfileSettingsFile::Write(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  const std::string path = ToAnsi(SettingsPath(ProgramDirectory()));
  WritePrivateProfileStringA(ToAnsi(section).c_str(), ToAnsi(key).c_str(), ToAnsi(value).c_str(), path.c_str());
}

}  // namespace rtrillex
