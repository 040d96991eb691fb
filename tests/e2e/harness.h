// What the end-to-end tests share: a fresh folder per test holding a copy of
// rTrillex.exe, the running program, and waiting on conditions.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "main_window_layout.h"

namespace e2e {

using namespace std::chrono_literals;

// The folder of the test program, where the build also put rTrillex.exe.
std::wstring ThisProgramsDirectory();

// Handles the messages waiting for the test's own windows.
void PumpMessages();

// Polls `condition`, handling messages meanwhile, until it holds or
// `timeout` passes; true when it held.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s);

std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::wstring WindowText(HWND window);

// A new empty folder under %TEMP% with a copy of rTrillex.exe; removed with
// everything in it at the end of the test.
class TestFolder {
 public:
  // `nameEnd` ends the folder's name, for names the ANSI code page cannot spell.
  explicit TestFolder(const std::wstring& nameEnd = L"");
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
  std::wstring SettingsFile() const { return File(L"Setting.ini"); }
  std::wstring Exe() const { return File(L"rTrillex.exe"); }

 private:
  std::wstring path_;
};

// One run of rTrillex.exe started by the test. Anything still running at the
// end of the test is ended: only this process, never others by name.
class RunningApp {
 public:
  explicit RunningApp(const TestFolder& folder);
  RunningApp(const std::wstring& exe, const std::wstring& workingFolder);
  ~RunningApp();
  RunningApp(const RunningApp&) = delete;
  RunningApp& operator=(const RunningApp&) = delete;

  // Waits until start-up is over (the main window waits hidden, in the tray);
  // false when it never was (the process may have ended).
  bool WaitForMainWindow(std::chrono::milliseconds timeout = 10s);
  // What the notification-area icon sends for a mouse message over it.
  void PostTrayReport(UINT mouseMessage) const;
  // A double-click on the icon; true once the main window shows.
  bool ShowMainWindow() const;
  bool WaitForExit(std::chrono::milliseconds timeout = 5s);
  bool Running() const;
  DWORD ExitCode() const;
  DWORD ProcessId() const { return process_.dwProcessId; }
  DWORD ThreadId() const { return process_.dwThreadId; }

  HWND MainWindow() const { return main_; }
  HWND Control(rtrillex::ControlId id) const { return GetDlgItem(main_, static_cast<int>(id)); }
  // The process's top-level windows of a class, visible or not.
  std::vector<HWND> TopLevelWindows(const wchar_t* className) const;
  HWND PopupWindow() const;

 private:
  PROCESS_INFORMATION process_{};
  HWND main_ = nullptr;
};

// Sets the screen density the next started program sees (Wine reads it at start).
class ScreenDpi {
 public:
  explicit ScreenDpi(DWORD dotsPerInch);
  ~ScreenDpi();
};

// Writes Setting.ini before the program starts.
void WriteSettings(const TestFolder& folder, const char* beep, const char* comment, const char* clear,
                   const char* viewTime, const char* clrTime);

// The lines of the history list, read from outside.
std::vector<std::wstring> HistoryLines(const RunningApp& app);

// The entry of a history line after its "hh:nn:ss" time stamp and TAB;
// fails the test when the line does not start that way.
std::wstring EntryOfLine(const std::wstring& line);

// Icons shown by Wine's notification area, which runs without a desktop as
// a window of its own with one child window per icon.
int TrayIconCount();

// A popup menu opened by the program's thread, once it shows; null if none did.
HWND OpenMenu(const RunningApp& app, std::chrono::milliseconds timeout = 5s);

// A window of the test's own that only receives messages, its class
// registered on first use; `self` is kept in its user data.
HWND CreateMessageWindow(const wchar_t* className, WNDPROC procedure, void* self);
template <typename T>
T* SelfOf(HWND window) {
  return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Clicks a control inside its client area with posted mouse messages.
void ClickControl(HWND control, int x = 3, int y = 3);

}  // namespace e2e
