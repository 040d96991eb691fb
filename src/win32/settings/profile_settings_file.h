// Setting.ini beside the exe, read and written one key at a time through the
// system's private-profile calls in the ANSI code page, so files written by
// earlier versions and by hand keep working.
#pragma once

#include <optional>
#include <string>

#include "settings.h"

namespace rtrillex {

// The running exe's full path, and its directory (no trailing separator,
// but for a drive root).
std::wstring ProgramPath();
std::wstring ProgramDirectory();

// Present only as a plain entry: a hidden or system file, or a directory of
// that name, counts as absent.
bool SettingsFileIsPresent(const std::wstring& path);

class ProfileSettingsFile : public SettingsFile {
 public:
  // Every call goes to the file on disk at that moment.
  std::wstring Read(std::wstring_view section, std::wstring_view key) override;
  void Write(std::wstring_view section, std::wstring_view key, std::wstring_view value) override;
  // nullopt when the key is not in the file, unlike an empty value.
  std::optional<std::wstring> ReadIfPresent(std::wstring_view section, std::wstring_view key);

 private:
  std::wstring ReadOr(std::wstring_view section, std::wstring_view key, const wchar_t* fallback);
  const std::wstring& Path();

  std::wstring path_;
};

}  // namespace rtrillex
