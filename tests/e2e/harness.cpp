#include "harness.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cwctype>

#include <fstream>
#include <iterator>
#include <sstream>

#include "history_marks.h"

namespace e2e {
std::wstring ThisProgramsDirectory() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring directory(path, length);
  return directory.substr(0, directory.find_last_of(L"\\/"));
}

namespace {

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(child);
      else
        DeleteFileW(child.c_str());
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    // The test's own windows (clipboard viewers) answer while it waits.
    PumpMessages();
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::wstring WindowText(HWND window) {
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

TestFolder::TestFolder(const std::wstring& nameEnd) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  static int counter = 0;
  for (;;) {
    std::wstringstream name;
    name << temp << L"rtrillex-e2e-" << GetCurrentProcessId() << L"-" << ++counter << nameEnd;
    path_ = name.str();
    if (CreateDirectoryW(path_.c_str(), nullptr)) break;
  }
  CopyFileW((ThisProgramsDirectory() + L"\\rTrillex.exe").c_str(), Exe().c_str(), FALSE);
}

TestFolder::~TestFolder() { RemoveTree(path_); }

RunningApp::RunningApp(const TestFolder& folder) : RunningApp(folder.Exe(), folder.path()) {}

RunningApp::RunningApp(const std::wstring& exe, const std::wstring& workingFolder) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring commandLine = L"\"" + exe + L"\"";
  CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, workingFolder.c_str(), &startup,
                 &process_);
}

RunningApp::~RunningApp() {
  if (!process_.hProcess) return;
  // Ended the way a user would, so that it leaves the viewer chain and the
  // notification area clean for the next test; forced only if it hangs.
  if (Running() && main_) {
    PostMessageW(main_, WM_CLOSE, 0, 0);
    WaitForExit(3s);
  }
  if (Running()) {
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

std::vector<HWND> RunningApp::TopLevelWindows(const wchar_t* className) const {
  struct Search {
    DWORD processId;
    const wchar_t* className;
    std::vector<HWND> found;
  } search{process_.dwProcessId, className, {}};
  struct Visitor {
    static BOOL CALLBACK Visit(HWND window, LPARAM data) {
      auto& s = *reinterpret_cast<Search*>(data);
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      wchar_t name[64] = {};
      GetClassNameW(window, name, 64);
      if (owner == s.processId && std::wstring(name) == s.className) s.found.push_back(window);
      return TRUE;
    }
  };
  EnumWindows(Visitor::Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND RunningApp::PopupWindow() const {
  const std::vector<HWND> popups = TopLevelWindows(L"rTrillexPopup");
  return popups.empty() ? nullptr : popups.front();
}

bool RunningApp::WaitForMainWindow(std::chrono::milliseconds timeout) {
  // Start-up is over once the popup, its last step, exists.
  WaitUntil(
      [&] {
        const std::vector<HWND> windows = TopLevelWindows(L"rTrillexMain");
        if (!windows.empty() && PopupWindow()) main_ = windows.front();
        return main_ != nullptr || !Running();
      },
      timeout);
  return main_ != nullptr;
}

void RunningApp::PostTrayReport(UINT mouseMessage) const {
  PostMessageW(main_, WM_MOUSEMOVE, 1, static_cast<LPARAM>(mouseMessage));
}

bool RunningApp::ShowMainWindow() const {
  PostTrayReport(WM_LBUTTONDBLCLK);
  return WaitUntil([&] { return IsWindowVisible(main_) != FALSE; });
}

bool RunningApp::Running() const {
  return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

bool RunningApp::WaitForExit(std::chrono::milliseconds timeout) {
  // Messages keep flowing meanwhile: leaving the viewer chain sends to the test's own viewers.
  return process_.hProcess && WaitUntil([&] { return !Running(); }, timeout);
}

DWORD RunningApp::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

namespace {
void SetLogPixels(DWORD dotsPerInch) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dotsPerInch), sizeof dotsPerInch);
  RegCloseKey(key);
}
}  // namespace

ScreenDpi::ScreenDpi(DWORD dotsPerInch) { SetLogPixels(dotsPerInch); }
ScreenDpi::~ScreenDpi() { SetLogPixels(96); }

void WriteSettings(const TestFolder& folder, const char* beep, const char* comment, const char* clear,
                   const char* viewTime, const char* clrTime) {
  std::string file = "[CheckBox]\r\nBeep=";
  file += std::string(beep) + "\r\nComment=" + comment + "\r\nClear=" + clear + "\r\n[TimeSet]\r\nViewTime=" +
          viewTime + "\r\nClrTime=" + clrTime + "\r\n";
  WriteFileBytes(folder.SettingsFile(), file);
}

std::vector<std::wstring> HistoryLines(const RunningApp& app) {
  const HWND list = app.Control(rtrillex::ControlId::List1);
  std::vector<std::wstring> lines;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length == LB_ERR) break;  // removed while being read
    // Room for the longest line the list holds: lines inserted above this
    // one meanwhile (kept lines loaded, a copy) move a longer line to `i`,
    // and LB_GETTEXT writes it whole.
    std::wstring line(std::max<std::size_t>(static_cast<std::size_t>(length), 2 * rtrillex::kHistoryLineDrawnChars) + 1,
                      L'\0');
    const LRESULT copied = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line.data()));
    if (copied == LB_ERR) break;
    line.resize(static_cast<std::size_t>(copied));
    lines.push_back(line);
  }
  return lines;
}

std::wstring EntryOfLine(const std::wstring& line) {
  const bool stamped = line.size() >= 9 && iswdigit(line[0]) && iswdigit(line[1]) && line[2] == L':' &&
                       iswdigit(line[3]) && iswdigit(line[4]) && line[5] == L':' && iswdigit(line[6]) &&
                       iswdigit(line[7]) && line[8] == L'\t';
  EXPECT_TRUE(stamped) << testing::PrintToString(line);
  return stamped ? line.substr(9) : line;
}

HWND CreateMessageWindow(const wchar_t* className, WNDPROC procedure, void* self) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassW(&windowClass);
  const HWND window = CreateWindowW(className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  return window;
}

void ClickControl(HWND control, int x, int y) {
  const LPARAM at = MAKELPARAM(x, y);
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(control, WM_LBUTTONUP, 0, at);
}

int TrayIconCount() {
  const HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  if (!tray) return 0;
  int count = 0;
  for (HWND icon = FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr); icon;
       icon = FindWindowExW(tray, icon, L"__winex11_tray_icon", nullptr))
    ++count;
  return count;
}

HWND OpenMenu(const RunningApp& app, std::chrono::milliseconds timeout) {
  // Other programs (the test's own windows among them) may keep menu
  // windows of their own, hidden or not: only the program's visible one counts.
  HWND menu = nullptr;
  WaitUntil(
      [&] {
        for (menu = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); menu;
             menu = FindWindowExW(nullptr, menu, L"#32768", nullptr))
          if (IsWindowVisible(menu) && GetWindowThreadProcessId(menu, nullptr) == app.ThreadId()) return true;
        return false;
      },
      timeout);
  return menu;
}

}  // namespace e2e
