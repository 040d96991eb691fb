// Start-up and every way the program ends. Start-up runs in a fixed order
// before the window is first shown; each exit path runs the unload clean-up
// once and then lets every window go.
#include "main_window.h"
#include "settings/profile_settings_file.h"

namespace rtrillex {

bool Form1::Start() {
  CreateMainWindow();
  if (!exists()) return false;
  if (!Form_Load()) {
    EndProgram();
    return false;
  }
  // A resident tool starts in the notification area alone.
  return true;
}

bool Form1::Form_Load() {
  // An earlier copy keeps the tray and the clipboard; this one touches
  // nothing, not even the settings file, and ends.
  instance_.emplace();
  if (instance_->EarlierInstanceRuns()) return false;

  SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SettingPath = SettingsPath(ProgramDirectory());
  LoadSettingsOrFirstRun();
  RegisterHistoryHotKey();
  JoinViewerChain();
  // Both timers stay stopped until a text copy starts them.
  StopTimer();
  StopTimer2();
  HideToTray();

  // The text popup waits hidden; its label starts empty.
  form2_.SetCaption(L"");
  return true;
}

void Form1::Form_Unload() {
  // The settings are not saved here: unsaved edits in the panel are dropped.
  LeaveViewerChain();
  historyHotKey_.reset();
  RemoveTrayIcon();
}

void Form1::EndProgram() {
  if (ending_) return;
  ending_ = true;
  Form_Unload();
  form2_.Unload();
  form3_.Unload();
  modal_ = false;
  DestroyOwnedWindow();  // WM_DESTROY ends the message loop
  PostQuitMessage(0);
}

void Form1::cmdEnd_Click() { EndProgram(); }
void Form1::lblEnd_Click() { EndProgram(); }
void Form1::mnuExit_Click() { EndProgram(); }

}  // namespace rtrillex
