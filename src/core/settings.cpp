#include "settings.h"

#include "number_text.h"

namespace rtrillex {
namespace {

std::wstring SwitchText(bool on) { return IntToText(on ? 1 : 0); }

}  // namespace

PanelValues LoadPanel(SettingsFile& file) {
  using namespace setting;
  const std::wstring beep = file.Read(kSwitchSection, kBeep);
  const std::wstring comment = file.Read(kSwitchSection, kComment);
  const std::wstring clear = file.Read(kSwitchSection, kClear);
  PanelValues values;
  values.viewTime = file.Read(kTimeSection, kViewTime);
  values.clrTime = file.Read(kTimeSection, kClrTime);
  values.beep = TextEqualsOne(beep);
  values.comment = TextEqualsOne(comment);
  values.clear = TextEqualsOne(clear);
  return values;
}

PanelValues DefaultPanel() {
  PanelValues values;
  values.beep = values.comment = values.clear = true;
  values.viewTime = IntToText(1);
  values.clrTime = IntToText(60);
  return values;
}

void SavePanel(SettingsFile& file, const PanelValues& values) {
  using namespace setting;
  file.Write(kSwitchSection, kBeep, SwitchText(values.beep));
  file.Write(kSwitchSection, kComment, SwitchText(values.comment));
  file.Write(kSwitchSection, kClear, SwitchText(values.clear));
  file.Write(kTimeSection, kViewTime, values.viewTime);
  file.Write(kTimeSection, kClrTime, values.clrTime);
}

std::wstring SettingsPath(std::wstring_view programDirectory) {
  std::wstring path(programDirectory);
  path += L"\\Setting.ini";
  return path;
}

std::wstring DirectoryOf(std::wstring_view executablePath) {
  const std::size_t slash = executablePath.find_last_of(L"\\/");
  if (slash == std::wstring_view::npos) return std::wstring();
  std::wstring directory(executablePath.substr(0, slash));
  // "C:" alone would name the drive's current directory, not its root.
  if (directory.size() == 2 && directory[1] == L':') directory += L'\\';
  return directory;
}

}  // namespace rtrillex
