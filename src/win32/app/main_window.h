// Form1, the main window "Trillex": the settings panel, the current clipboard
// content, the history list and the menus. It lives from start to exit.
// Its look is in main_window.cpp, start-up and clean-up in lifecycle.cpp,
// the panel in settings/settings_panel.cpp, and what it shows of the
// clipboard watch in clipwatch/watch_window.cpp.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "about/version_window.h"
#include "clipboard_watch.h"
#include "clipwatch/hot_key_registration.h"
#include "clipwatch/popup_window.h"
#include "clipwatch/system_clipboard.h"
#include "clipwatch/system_services.h"
#include "desktop.h"
#include "handle.h"
#include "history_marks.h"
#include "main_window_layout.h"
#include "settings/profile_settings_file.h"
#include "single_instance.h"
#include "window.h"

namespace rtrillex {

// The main window's timers.
enum TimerId : UINT_PTR {
  kTimer1 = 1,          // the popup's lifetime
  kTimer2 = 2,          // the auto-clear delay
  kTrayRetryTimer = 3,  // a refused add of the tray icon, tried again
  kClipboardRetryTimer = 4,  // a clipboard another program held, tried again
  kClipboardSlowRetryTimer = 5,  // the same, once it has been held for long
};

// Posted to the main window: look at the clipboard from the message loop.
constexpr UINT kLookAtClipboardMessage = WM_APP + 1;

class Form1 : public Window, public WatchWindow {
 public:
  Form1();

  // Creates the window hidden and runs Form_Load. False when another copy of
  // the program already runs: this one has then cleaned up and must end.
  bool Start();

  // Ends the program: the unload clean-up once, then every window goes.
  void EndProgram();

  // Operations other windows and the viewer hook call.
  void ChangeClipBoard() { watch_.ChangeClipBoard(); }
  void StopTimer() { watch_.StopTimer(); }
  void StopTimer2() { watch_.StopTimer2(); }

  HWND Control(ControlId id) const { return GetDlgItem(hwnd(), static_cast<int>(id)); }

  // Keyboard navigation and access keys in the main and version windows.
  bool TranslateDialogMessage(MSG& message);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // lifecycle.cpp
  bool Form_Load();
  void Form_Unload();
  void cmdEnd_Click();
  void lblEnd_Click();
  void mnuExit_Click();

  // settings/settings_panel.cpp
  void LoadSettingsOrFirstRun();
  void cmdSet_Click();

  // clipwatch/watch_window.cpp: the watch's view of this window
  void QueueLook() override;
  void AppendHistoryLine(std::wstring line) override;
  void SetCurrentContent(std::wstring_view text) override;
  void SetTimerEnabled(WatchTimer timer, bool enabled) override;
  std::wstring DurationText(WatchTimer timer) override;
  std::optional<std::wstring> SelectedHistoryLine() override;
  std::optional<std::size_t> SelectedHistoryIndex();
  void DrawHistoryLine(const DRAWITEMSTRUCT& item);
  void JoinViewerChain();
  void LeaveViewerChain();
  void OnDrawClipboard(WPARAM wParam, LPARAM lParam);
  void OnChangeClipboardChain(HWND leaving, HWND next);
  void OnTimer(UINT_PTR id);  // the clipboard watch's timers

  // clipwatch/recent_copies.cpp
  void RegisterHistoryHotKey();
  void OnHotKey(int id);
  void OpenRecentCopiesMenu();
  const ShownRuns* RecentCopyLabel(UINT commandId) const;
  bool MeasureRecentCopy(MEASUREITEMSTRUCT& item);
  bool DrawRecentCopy(const DRAWITEMSTRUCT& item);
  LRESULT OnMenuChar(wchar_t typed) const;
  bool OnHistoryListKey(WPARAM key);
  void DeleteSelectedHistoryLine();

  // tray/tray_window.cpp
  void HideToTray();
  void StartAddingTrayIcon();
  void TryToAddTrayIcon();
  void RemoveTrayIcon();
  void OnTaskbarCreated();
  void SetFileMenuVisible(bool visible);
  bool IsGenuineMouseMove(LPARAM lParam) const;
  void Form_MouseMove(std::int32_t trayMessage);
  void OpenFileMenuAtPointer();
  static void ProcessPendingMessages();
  void mnuMain_Click();
  void mnuVer_Click();
  void cmdToTask_Click();
  void lblGoToTask_Click();

  // main_window.cpp: how the window looks
  void CreateMainWindow();
  void CreateControls();
  void CreateBrushes();
  void OnSysColorChange();
  HMENU CreateMenuBar();
  LRESULT OnCommand(int id, int notification);
  LRESULT OnControlColour(HDC dc, HWND control, UINT message, WPARAM wParam, LPARAM lParam);
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  void DrawLabelButton(const DRAWITEMSTRUCT& item);
  void OnActivate(WPARAM wParam);
  static std::size_t IndexOf(int controlId);  // in the layout table

  // The window that followed this one in the clipboard viewer chain when it
  // joined, kept current as viewers leave.
  HWND NextViewer = nullptr;
  bool inViewerChain_ = false;
  std::wstring SettingPath;

  TwipsPerPixel scale_;
  UniqueFont defaultFont_;
  UniqueFont labelButtonFont_;
  std::vector<UniqueBrush> brushes_;  // parallel to the layout table; empty for default colours
  ProgramIcons icons_;
  HWND focus_ = nullptr;              // restored when the window is activated again
  std::optional<SingleInstance> instance_;
  bool timerEnabled_[4] = {false, false, false, false};  // by WatchTimer
  // The history, whole; List1 holds only the beginning of each line, which
  // is all it can show, and draws it from here.
  std::vector<std::wstring> history_;
  std::optional<HotKeyRegistration> historyHotKey_;  // the key that opens the menu of recent copies
  HMENU recentCopiesMenu_ = nullptr;                 // while that menu is open
  std::vector<ShownRuns> recentCopyLabels_;          // its items, newest first
  UniqueFont menuFont_;
  bool ending_ = false;
  HMENU fileMenu_ = nullptr;       // "ファイル(&F )"; owned by the menu bar while it shows there
  UniqueMenu detachedFileMenu_;    // owns it while it is out of the bar
  UINT taskbarCreated_ = 0;        // the message the shell broadcasts when it restarts
  int trayAddAttemptsLeft_ = 0;
  bool menuOpen_ = false;
  bool modal_ = false;             // shown modally by "詳細設定(&M)"

  Form2 form2_;
  Form3 form3_;
  SystemClipboard clipboard_{*this};
  ProfileSettingsFile settingsFile_;
  SystemTones tones_;
  SystemPointer pointer_;
  SystemClock clock_;
  ClipboardWatch watch_;
};

}  // namespace rtrillex
