// The five settings kept in Setting.ini and the rules for loading them into
// the settings panel, the first-run defaults and the order they are saved in.
#pragma once

#include <string>
#include <string_view>

namespace rtrillex {

// One key of the settings file, read and written as text.
class SettingsFile {
 public:
  virtual ~SettingsFile() = default;
  // The stored value, or the empty text when the file, section or key is missing.
  virtual std::wstring Read(std::wstring_view section, std::wstring_view key) = 0;
  virtual void Write(std::wstring_view section, std::wstring_view key, std::wstring_view value) = 0;
};

namespace setting {
inline constexpr std::wstring_view kSwitchSection = L"CheckBox";
inline constexpr std::wstring_view kBeep = L"Beep";
inline constexpr std::wstring_view kComment = L"Comment";
inline constexpr std::wstring_view kClear = L"Clear";
inline constexpr std::wstring_view kTimeSection = L"TimeSet";
inline constexpr std::wstring_view kViewTime = L"ViewTime";
inline constexpr std::wstring_view kClrTime = L"ClrTime";
// Read only, never written: the first-run file stays as it is.
inline constexpr std::wstring_view kHotKeySection = L"HotKey";
inline constexpr std::wstring_view kHistoryHotKey = L"History";
inline constexpr std::wstring_view kPasteChoice = L"Paste";
}  // namespace setting

// What the settings panel holds: three check boxes and two free-text durations.
struct PanelValues {
  bool beep = false;
  bool comment = false;
  bool clear = false;
  std::wstring viewTime;  // seconds, as typed
  std::wstring clrTime;   // seconds, as typed
};

// Reads all five keys (in file order) before anything is shown. A switch is
// checked only when its text reads as the number 1; anything else, text that
// is no number included, leaves it unchecked.
PanelValues LoadPanel(SettingsFile& file);

// The first-run values: every switch on, the popup for 1 s, auto-clear after 60 s.
PanelValues DefaultPanel();

// Writes the five keys, one call each, in the order the file lists them.
void SavePanel(SettingsFile& file, const PanelValues& values);

// The settings file's path: the program directory and "\Setting.ini", joined
// without a test, so a drive root ("C:\") gives "C:\\Setting.ini", which the
// file calls read as one separator.
std::wstring SettingsPath(std::wstring_view programDirectory);

// The directory of an executable path as the system reports it: no trailing
// separator, except for a drive root ("C:\rTrillex.exe" -> "C:\").
std::wstring DirectoryOf(std::wstring_view executablePath);

}  // namespace rtrillex
