// Start-up and every way the program ends.
#include <gtest/gtest.h>

#include <stdexcept>

#include "harness.h"
#include "window.h"

namespace e2e {
namespace {

using rtrillex::ControlId;
using rtrillex::MenuId;

TEST(StartUp, WaitsInTheTrayAndShowsTheWindowCentredAndTopmostWithFocusOnTheHistory) {
  TestFolder folder;
  RunningApp app(folder);
  ASSERT_TRUE(app.WaitForMainWindow());
  EXPECT_FALSE(IsWindowVisible(app.MainWindow()));
  ASSERT_TRUE(app.ShowMainWindow());
  EXPECT_EQ(WindowText(app.MainWindow()), L"Trillex");
  EXPECT_TRUE(GetWindowLongW(app.MainWindow(), GWL_EXSTYLE) & WS_EX_TOPMOST);

  const LONG style = GetWindowLongW(app.MainWindow(), GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

  RECT window;
  GetWindowRect(app.MainWindow(), &window);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_NEAR(window.left + window.right, screenWidth, 1);
  EXPECT_NEAR(window.top + window.bottom, screenHeight, 1);

  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  ASSERT_TRUE(WaitUntil([&] { return GetGUIThreadInfo(app.ThreadId(), &gui) && gui.hwndFocus; }));
  EXPECT_EQ(gui.hwndFocus, app.Control(ControlId::List1));
}

TEST(StartUp, PreloadsThePopupHiddenTopmostAndWithoutATaskbarButton) {
  TestFolder folder;
  RunningApp app(folder);
  ASSERT_TRUE(app.WaitForMainWindow());
  const HWND popup = app.PopupWindow();
  ASSERT_NE(popup, nullptr);
  EXPECT_FALSE(IsWindowVisible(popup));
  EXPECT_EQ(WindowText(popup), L"rGlimmet");
  const LONG exStyle = GetWindowLongW(popup, GWL_EXSTYLE);
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
  EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(GetWindowLongW(popup, GWL_STYLE) & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
  RECT client;
  GetClientRect(popup, &client);
  EXPECT_EQ(client.right, 123);
  EXPECT_EQ(client.bottom, 40);
  const HWND label = GetDlgItem(popup, 1);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(WindowText(label), L"");  // start-up empties the star
}

TEST(StartUp, ASecondStartEndsAtOnceAndLeavesTheFirstAsItWas) {
  TestFolder first;
  RunningApp running(first);
  ASSERT_TRUE(running.WaitForMainWindow());
  const std::string settings = ReadFileBytes(first.SettingsFile());

  TestFolder second;  // no Setting.ini: a run that went on would create one
  WriteFileBytes(second.SettingsFile(), "");
  DeleteFileW(second.SettingsFile().c_str());
  RunningApp again(second);
  ASSERT_TRUE(again.WaitForExit(5s));
  EXPECT_EQ(again.ExitCode(), 0u);
  EXPECT_TRUE(again.TopLevelWindows(L"rTrillexMain").empty());
  EXPECT_EQ(GetFileAttributesW(second.SettingsFile().c_str()), INVALID_FILE_ATTRIBUTES);

  EXPECT_TRUE(running.Running());
  EXPECT_EQ(TrayIconCount(), 1);  // the first one's, and no other
  EXPECT_TRUE(IsWindow(running.MainWindow()));
  EXPECT_TRUE(running.ShowMainWindow());
  EXPECT_EQ(ReadFileBytes(first.SettingsFile()), settings);
}

TEST(StartUp, AnUnrelatedWindowTitledTrillexIsNoEarlierInstance) {
  WNDCLASSW decoy{};
  decoy.lpfnWndProc = DefWindowProcW;
  decoy.hInstance = GetModuleHandleW(nullptr);
  decoy.lpszClassName = L"DecoyTrillex";
  RegisterClassW(&decoy);
  HWND impostor = CreateWindowW(L"DecoyTrillex", L"Trillex", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(impostor, nullptr);

  TestFolder folder;
  RunningApp app(folder);
  EXPECT_TRUE(app.WaitForMainWindow());
  DestroyWindow(impostor);
}

// Each exit control ends the process promptly and cleanly.
void ExpectEndsCleanly(RunningApp& app) {
  ASSERT_TRUE(app.WaitForExit(5s));
  EXPECT_EQ(app.ExitCode(), 0u);
  EXPECT_TRUE(app.TopLevelWindows(L"rTrillexPopup").empty());
}

TEST(Exit, LoggingOffEndsTheProgramAndSavesNothing) {
  TestFolder folder;
  RunningApp app(folder);
  ASSERT_TRUE(app.WaitForMainWindow());
  const std::string settings = ReadFileBytes(folder.SettingsFile());
  SetWindowTextW(app.Control(ControlId::txtClrTime), L"15");  // edited, never saved
  EXPECT_TRUE(SendMessageW(app.MainWindow(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
  SendMessageTimeoutW(app.MainWindow(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, nullptr);
  ExpectEndsCleanly(app);
  EXPECT_EQ(ReadFileBytes(folder.SettingsFile()), settings);
}

// A window of the program's own kind whose close handler fails.
class FailingCloseWindow : public rtrillex::Window {
 public:
  FailingCloseWindow() {
    RegisterWindowClass(L"E2eFailingClose", nullptr);
    CreateOwnedWindow(0, L"E2eFailingClose", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr);
  }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_CLOSE) throw std::runtime_error("clean-up failed");
    return Window::HandleMessage(message, wParam, lParam);
  }
};

TEST(Exit, AFailedCloseLeavesTheWindowForItsCleanUpInsteadOfDestroyingIt) {
  FailingCloseWindow window;
  ASSERT_TRUE(window.exists());
  SendMessageW(window.hwnd(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(window.hwnd()));
}

}  // namespace
}  // namespace e2e
