// Start-up and every way the program ends. Start-up runs in a fixed order
// before the window is first shown; each exit path runs the unload clean-up
// once and then lets every window go.
#include "main_window.h"
#include "settings/profile_settings_file.h"

namespace rtrillex {
namespace {

void RunChangeHandler(HWND window) {
  if (auto* form = dynamic_cast<Form1*>(Window::FromHandle(window))) form->ChangeClipBoard();
}

}  // namespace

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
  recentCopies_.RegisterHotKey(hwnd(), settingsFile_);
  StartKeepingIfAsked();
  StartPhrases();
  StartSharingIfAsked();
  viewerChain_.Join(hwnd(), RunChangeHandler);
  // Both timers stay stopped until a text copy starts them.
  StopTimer();
  StopTimer2();
  HideToTray();

  // The text popup waits hidden; its label starts empty.
  form2_.SetCaption(L"");
  StartupItem::RemoveLeftovers();
  return true;
}

void Form1::Form_Unload() {
  // The settings are not saved here: unsaved edits in the panel are dropped.
  // A phrase being typed is not: the person made it on purpose.
  phraseEditor_.Close();
  sharingWindow_.Close();
  viewerChain_.Leave();
  recentCopies_.UnregisterHotKey();
  pasteBack_->Stop();
  keeper_.reset();  // everything still waiting is written first
  syncKeeper_.reset();  // the same for the synced folder
  pictureReader_.reset();
  trayIcon_->Remove();
}

void Form1::EndProgram() {
  if (ending_) return;
  ending_ = true;
  Form_Unload();
  form2_.Unload();
  form3_.Unload();
  searchWindow_.Close();
  modal_ = false;
  DestroyOwnedWindow();  // WM_DESTROY ends the message loop
  PostQuitMessage(0);
}

void Form1::cmdEnd_Click() { EndProgram(); }
void Form1::lblEnd_Click() { EndProgram(); }
void Form1::mnuExit_Click() { EndProgram(); }

}  // namespace rtrillex
