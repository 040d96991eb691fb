// The settings panel "Option": filled from Setting.ini at start-up (or with
// the defaults on the first run, which creates the file) and saved by
// cmdSet_Click.
#include "app/main_window.h"
#include "profile_settings_file.h"
#include "text.h"

namespace rtrillex {
namespace {

bool IsChecked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void SetChecked(HWND box, bool checked) { SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); }

}  // namespace

void Form1::LoadSettingsOrFirstRun() {
  ProfileSettingsFile file;
  const bool present = SettingsFileIsPresent(SettingPath);
  const PanelValues values = present ? LoadPanel(file) : DefaultPanel();
  SetChecked(Control(ControlId::chkBeep), values.beep);
  SetChecked(Control(ControlId::chkComment), values.comment);
  SetChecked(Control(ControlId::chkClear), values.clear);
  SetWindowTextW(Control(ControlId::txtViewTime), values.viewTime.c_str());
  SetWindowTextW(Control(ControlId::txtClrTime), values.clrTime.c_str());
  if (!present) cmdSet_Click();
}

void Form1::cmdSet_Click() {
  PanelValues values;
  values.beep = IsChecked(Control(ControlId::chkBeep));
  values.comment = IsChecked(Control(ControlId::chkComment));
  values.clear = IsChecked(Control(ControlId::chkClear));
  values.viewTime = GetWindowTextOf(Control(ControlId::txtViewTime));
  values.clrTime = GetWindowTextOf(Control(ControlId::txtClrTime));
  ProfileSettingsFile file;
  SavePanel(file, values);
}

}  // namespace rtrillex
