// The notification-area icon: its reports, its menu, hiding to the tray,
// the version window, and the icon's life from start to every exit.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "clipboard.h"
#include "harness.h"
#include "picture.h"
#include "keyboard_driver.h"
#include "test_editor.h"
#include "test_viewer.h"
#include "program_spy.h"
#include "version.h"

namespace e2e {
namespace {

using rtrillex::ControlId;
using rtrillex::MenuId;

void PressKeyInMenu(HWND menu, WPARAM key) { PostMessageW(menu, WM_KEYDOWN, key, 0); }

void PressHistoryKey() { PressKeys({VK_CONTROL, VK_MENU, 'V'}); }

// Keys typed one after the other by a quick typist, about 80 ms apart.
void TypeQuickly(std::initializer_list<WORD> keys) {
  for (WORD key : keys) {
    for (DWORD flags : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
      INPUT input = KeyInput(key, flags);
      SendInput(1, &input, sizeof input);
      WaitUntil([] { return false; }, 40ms);
    }
  }
}

// Keys pressed or released on the display's own keyboard, as a person's are.
// Wine does not signal the end of a Linux program it started: wait for the
// keys' effect.
void DisplayKeys(const std::wstring& xdotoolArguments) {
  std::wstring command = L"Z:\\usr\\bin\\xdotool " + xdotoolArguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

bool IsDown(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

// A click with the mouse at a point of a window's client area.
void ClickAt(HWND window, POINT at, bool right = false) {
  ClientToScreen(window, &at);
  SetCursorPos(at.x, at.y);
  if (right) WaitUntil([] { return false; }, 200ms);  // the item under the pointer is selected first
  INPUT click[2] = {};
  click[0].type = click[1].type = INPUT_MOUSE;
  click[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  click[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  SendInput(2, click, sizeof(INPUT));
}

// On the first item of the open menu of recent copies: its newest entry
// while no phrase is above it.
void ClickFirstItem(HWND menu, bool right = false) {
  RECT client;
  GetClientRect(menu, &client);
  ClickAt(menu, {client.right / 2, GetSystemMetrics(SM_CYMENU) / 2}, right);
}

int VisibleMenuCount(const RunningApp& app) {
  int count = 0;
  for (HWND menu = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); menu;
       menu = FindWindowExW(nullptr, menu, L"#32768", nullptr))
    if (IsWindowVisible(menu) && GetWindowThreadProcessId(menu, nullptr) == app.ThreadId()) ++count;
  return count;
}

class Tray : public testing::Test {
 protected:
  TestFolder folder;
  std::optional<RunningApp> app;

  void Start() {
    app.emplace(folder);
    ASSERT_TRUE(app->WaitForMainWindow());
    ASSERT_TRUE(WaitUntil([] { return TrayIconCount() == 1; })) << "no icon in the notification area";
  }
  bool Shown() const { return IsWindowVisible(app->MainWindow()) != FALSE; }
  void StartQuietWithHotKey(const char* historyLine) {
    WriteSettings(folder, "0", "0", "0", "1", "60");
    if (historyLine) WriteFileBytes(folder.SettingsFile(), ReadFileBytes(folder.SettingsFile()) + historyLine);
    Start();
  }
  std::size_t WaitForLines(std::size_t count) {
    std::size_t lines = 0;
    EXPECT_TRUE(WaitUntil([&] { return (lines = HistoryLines(*app).size()) >= count; }));
    return lines;
  }
};

TEST_F(Tray, StartUpEndsInTheTrayWithOneIcon) {
  Start();
  EXPECT_FALSE(Shown());
  EXPECT_FALSE(IsWindowVisible(app->PopupWindow()));
}

TEST_F(Tray, OnlyADoubleClickAndTheRightButtonsPressAct) {
  Start();
  for (UINT report : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONDOWN})
    app->PostTrayReport(report);
  EXPECT_EQ(OpenMenu(*app, 300ms), nullptr);
  EXPECT_FALSE(Shown());

  app->PostTrayReport(WM_RBUTTONDOWN);
  const HWND menu = OpenMenu(*app);
  ASSERT_NE(menu, nullptr);
  EXPECT_FALSE(Shown());  // the menu opens over the tray; the window stays hidden
  app->PostTrayReport(WM_RBUTTONDOWN);  // a second press while it is open opens no second menu
  EXPECT_FALSE(WaitUntil([&] { return VisibleMenuCount(*app) > 1; }, 300ms));
  PressKeyInMenu(menu, VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
  EXPECT_FALSE(Shown());  // closing without a choice runs nothing

  app->PostTrayReport(WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return Shown(); }));
  app->PostTrayReport(WM_LBUTTONDBLCLK);  // again while shown: it stays shown
  EXPECT_TRUE(app->Running());
  EXPECT_TRUE(Shown());
}

TEST_F(Tray, TheMenusAdvancedSettingsShowsTheWindowUntilItGoesBackToTheTray) {
  Start();
  app->PostTrayReport(WM_RBUTTONDOWN);
  const HWND menu = OpenMenu(*app);
  ASSERT_NE(menu, nullptr);
  PressKeyInMenu(menu, 'M');  // "詳細設定(&M)"
  ASSERT_TRUE(WaitUntil([&] { return Shown(); }));

  // Chosen again while shown: nothing happens, and the window keeps answering.
  PostMessageW(app->MainWindow(), WM_COMMAND, static_cast<WPARAM>(MenuId::mnuMain), 0);
  EXPECT_EQ(WindowText(app->Control(ControlId::txtViewTime)), L"1");
  EXPECT_TRUE(Shown());

  // The version window opens over the modal showing, which goes on.
  PostMessageW(app->MainWindow(), WM_COMMAND, static_cast<WPARAM>(MenuId::mnuVer), 0);
  EXPECT_TRUE(WaitUntil([&] { return app->TopLevelWindows(L"rTrillexVersion").size() == 1; }));
  EXPECT_TRUE(Shown());

  ClickControl(app->Control(ControlId::lblGoToTask));
  EXPECT_TRUE(WaitUntil([&] { return !Shown(); }));
  EXPECT_EQ(TrayIconCount(), 1);  // one icon, however often the window goes to the tray

  // Back in the tray, the program goes on as before.
  app->PostTrayReport(WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return Shown(); }));
}

TEST_F(Tray, GoingToTheTraySavesTheEditedPanelAndHides) {
  Start();
  ASSERT_TRUE(app->ShowMainWindow());
  SendMessageW(app->Control(ControlId::chkBeep), BM_SETCHECK, BST_UNCHECKED, 0);
  SetWindowTextW(app->Control(ControlId::txtClrTime), L"15");
  ClickControl(app->Control(ControlId::lblGoToTask));
  ASSERT_TRUE(WaitUntil([&] { return !Shown(); }));
  EXPECT_EQ(ReadFileBytes(folder.SettingsFile()),
            "[CheckBox]\r\nBeep=0\r\nComment=1\r\nClear=1\r\n[TimeSet]\r\nViewTime=1\r\nClrTime=15\r\n");
  EXPECT_EQ(TrayIconCount(), 1);
}

TEST_F(Tray, GoingToTheTrayAgainLeavesNoTimerRunning) {
  WriteSettings(folder, "0", "1", "0", "1", "60");  // the popup's timer only
  Start();
  ProgramSpy spy(app->ThreadId());
  ASSERT_TRUE(spy.WaitUntilWatching(app->MainWindow())) << spy.Problem();
  // The spy sees the popup's timer tick...
  PutText(L"tick");
  ASSERT_TRUE(WaitUntil([&] { return spy.Ticks() > 0; }));
  ASSERT_TRUE(WaitUntil([&] { return app->PopupWindow() == nullptr; }, 3s));
  for (int time = 0; time < 2; ++time) {
    ASSERT_TRUE(app->ShowMainWindow());
    ClickControl(app->Control(ControlId::lblGoToTask));
    ASSERT_TRUE(WaitUntil([&] { return !Shown(); }));
  }
  EXPECT_EQ(TrayIconCount(), 1);
  // ...and then none for longer than any timer of the program would wait.
  const LONG ticks = spy.Ticks();
  EXPECT_FALSE(WaitUntil([&] { return spy.Ticks() != ticks; }, 2500ms)) << spy.Ticks() - ticks << " ticks, the last of timer " << spy.LastTimerId();
}

// The icon's report carries the mouse message whatever the display scaling.
class TrayAtDensity : public Tray, public testing::WithParamInterface<DWORD> {};

TEST_P(TrayAtDensity, TheIconsDoubleClickAndRightButtonAct) {
  ScreenDpi density(GetParam());
  Start();
  app->PostTrayReport(WM_RBUTTONDOWN);
  const HWND menu = OpenMenu(*app);
  ASSERT_NE(menu, nullptr);
  PressKeyInMenu(menu, VK_ESCAPE);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
  app->PostTrayReport(WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return Shown(); }));
}

INSTANTIATE_TEST_SUITE_P(Every, TrayAtDensity, testing::Values(96, 120, 144, 168, 192, 240));

TEST_F(Tray, TheVersionWindowOpensOnceTopmostAndClosesWithAltC) {
  Start();
  ASSERT_TRUE(app->ShowMainWindow());
  PostMessageW(app->MainWindow(), WM_COMMAND, static_cast<WPARAM>(MenuId::mnuVer), 0);
  PostMessageW(app->MainWindow(), WM_COMMAND, static_cast<WPARAM>(MenuId::mnuVer), 0);
  std::vector<HWND> windows;
  ASSERT_TRUE(WaitUntil([&] {
    windows = app->TopLevelWindows(L"rTrillexVersion");
    return !windows.empty() && IsWindowVisible(windows.front());
  }));
  PumpMessages();
  EXPECT_EQ(app->TopLevelWindows(L"rTrillexVersion").size(), 1u);
  const HWND version = windows.front();
  EXPECT_TRUE(IsWindowVisible(version));
  EXPECT_EQ(WindowText(version), L"rStashel バージョン情報");
  EXPECT_TRUE(GetWindowLongW(version, GWL_EXSTYLE) & WS_EX_TOPMOST);
  const LONG style = GetWindowLongW(version, GWL_STYLE);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(style & WS_MAXIMIZEBOX);
  RECT client;
  GetClientRect(version, &client);
  EXPECT_EQ(client.right, 467);
  EXPECT_EQ(client.bottom, 268);

  const HWND close = FindWindowExW(version, nullptr, L"Button", L"閉じる(&C)");
  ASSERT_NE(close, nullptr);
  RECT button;
  GetWindowRect(close, &button);
  MapWindowPoints(nullptr, version, reinterpret_cast<POINT*>(&button), 2);
  EXPECT_EQ(button.left, 200);
  EXPECT_EQ(button.top, 232);
  const HWND versionLine = FindWindowExW(version, nullptr, L"Static", L"rTrillex Ver" RTRILLEX_VERSION_TEXT);
  EXPECT_NE(versionLine, nullptr);

  PostMessageW(close, WM_SYSCHAR, 'c', 1 << 29);  // Alt+C
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(version); }));
  EXPECT_TRUE(app->Running());

  // Asked for again, it comes back as a new window.
  PostMessageW(app->MainWindow(), WM_COMMAND, static_cast<WPARAM>(MenuId::mnuVer), 0);
  EXPECT_TRUE(WaitUntil([&] { return app->TopLevelWindows(L"rTrillexVersion").size() == 1; }));
}

TEST_F(Tray, AGenuineMouseMoveOverTheWindowIsNoReport) {
  ScreenDpi density(120);  // the client area is 531 pixels wide: x 516 lies inside it
  Start();
  ASSERT_TRUE(app->ShowMainWindow());

  // Put the window so that the pointer stands at client (516, 5), then move
  // the mouse there: the message carries the pointer's own place.
  POINT pointer, origin{0, 0};
  GetCursorPos(&pointer);
  SetCursorPos(pointer.x, pointer.y);  // the pointer's place as every process sees it
  ClientToScreen(app->MainWindow(), &origin);
  RECT window;
  GetWindowRect(app->MainWindow(), &window);
  SetWindowPos(app->MainWindow(), nullptr, window.left + (pointer.x - 516 - origin.x),
               window.top + (pointer.y - 5 - origin.y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(WaitUntil([&] {
    POINT client = pointer;
    ScreenToClient(app->MainWindow(), &client);
    return client.x == 516 && client.y == 5;
  }));
  PostMessageW(app->MainWindow(), WM_MOUSEMOVE, 0, MAKELPARAM(516, 5));
  EXPECT_EQ(OpenMenu(*app, 300ms), nullptr);
  EXPECT_TRUE(Shown());

  // The icon's own report of the right button's press does open the menu.
  app->PostTrayReport(WM_RBUTTONDOWN);
  const HWND menu = OpenMenu(*app);
  ASSERT_NE(menu, nullptr);
  PressKeyInMenu(menu, VK_ESCAPE);
}

TEST_F(Tray, TheIconComesBackWhenTheShellRestarts) {
  Start();
  // The shell forgets the icon, as a restarted one would...
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = app->MainWindow();
  icon.uID = 1;
  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &icon));
  ASSERT_TRUE(WaitUntil([] { return TrayIconCount() == 0; }));
  // ...and says it is back.
  PostMessageW(app->MainWindow(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(WaitUntil([] { return TrayIconCount() == 1; }));
}

TEST_F(Tray, TheHistoryKeyOpensRecentCopiesAtThePointerNewestFirst) {
  StartQuietWithHotKey(nullptr);  // the default combination
  PressHistoryKey();
  HWND menu = OpenMenu(*app);
  ASSERT_NE(menu, nullptr) << "Ctrl+Alt+V opened no menu";
  PressKeys({VK_ESCAPE});  // the greyed item of an empty history
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));

  const std::wstring lines = L"一行目\r\n\t二行目 & more\r\n";
  for (const std::wstring& text : {std::wstring(L"oldest"), lines, std::wstring(L"newest")}) {
    PutText(text);
    WaitUntil([&] { return HistoryLines(*app).size() > 0 && EntryOfLine(HistoryLines(*app).back()) == text; });
  }
  ASSERT_EQ(WaitForLines(3), 3u);

  SetCursorPos(300, 200);
  PressHistoryKey();
  menu = OpenMenu(*app);
  ASSERT_NE(menu, nullptr);
  RECT place;
  GetWindowRect(menu, &place);
  EXPECT_EQ(place.left, 300);
  EXPECT_EQ(place.top, 200);
  PressKeys({'2'});  // the second newest, whole
  ASSERT_EQ(WaitForLines(4), 4u);
  EXPECT_EQ(ClipboardText(), lines);
  EXPECT_EQ(EntryOfLine(HistoryLines(*app).back()), lines);

  // Newest first: of the four, the last item is the oldest copy.
  PressHistoryKey();
  menu = OpenMenu(*app);
  ASSERT_NE(menu, nullptr);
  PressKeys({'4'});
  ASSERT_EQ(WaitForLines(5), 5u);
  EXPECT_EQ(ClipboardText(), L"oldest");
  // A click chooses too.
  PressHistoryKey();
  menu = OpenMenu(*app);
  ASSERT_NE(menu, nullptr);
  ClickFirstItem(menu);
  ASSERT_EQ(WaitForLines(6), 6u);
  EXPECT_EQ(ClipboardText(), L"oldest");

  // Escape closes it and changes nothing.
  PressHistoryKey();
  menu = OpenMenu(*app);
  ASSERT_NE(menu, nullptr);
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
  EXPECT_FALSE(WaitUntil([&] { return HistoryLines(*app).size() > 6; }, 500ms));
  EXPECT_EQ(ClipboardText(), L"oldest");
}

TEST_F(Tray, AChoiceIsPastedWhereThePersonWasTypingAndTheKeysComeBack) {
  StartQuietWithHotKey(nullptr);
  const std::wstring lines = L"一行目\r\n\t二行目";
  PutText(L"older");
  ASSERT_EQ(WaitForLines(1), 1u);
  PutText(lines);
  ASSERT_EQ(WaitForLines(2), 2u);
  TestEditor editor;
  ASSERT_TRUE(editor.HasKeyboard());

  // Escape: the keys go back to the editor, and nothing else happens.
  HWND menu = OpenRecentCopiesAtOnce(*app);
  ASSERT_NE(menu, nullptr);
  PressKeys({VK_ESCAPE});
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
  EXPECT_TRUE(WaitUntil([&] { return editor.HasKeyboard(); }));
  PressKeys({'A', VK_RETURN});  // Enter would copy a history line again were the keys still rTrillex's
  EXPECT_TRUE(WaitUntil([&] { return editor.Text() == L"a\r\n"; })) << testing::PrintToString(editor.Text());
  EXPECT_FALSE(WaitUntil([&] { return HistoryLines(*app).size() > 2; }, 300ms));

  // A digit: the entry pasted once, whole, and typing goes on after it.
  menu = OpenRecentCopiesAtOnce(*app);
  ASSERT_NE(menu, nullptr);
  PressKeys({'1'});
  const std::wstring pasted = L"a\r\n" + lines;
  EXPECT_TRUE(WaitUntil([&] { return editor.Text() == pasted; })) << testing::PrintToString(editor.Text());
  PressKeys({'B'});
  EXPECT_TRUE(WaitUntil([&] { return editor.Text() == pasted + L"b"; })) << testing::PrintToString(editor.Text());
  EXPECT_EQ(ClipboardText(), lines);

  // The combination's keys still down when the choice is made: no second
  // menu; the paste waits until they are up. Held on the display's keyboard,
  // which Wine reads again as the front window changes.
  DisplayKeys(L"keydown ctrl alt");
  ASSERT_TRUE(WaitUntil([&] { return IsDown(VK_CONTROL) && IsDown(VK_MENU); }));
  DisplayKeys(L"key v");
  menu = OpenMenu(*app);
  ASSERT_NE(menu, nullptr);
  // A digit with Ctrl and Alt down types no character: the mouse chooses.
  ClickFirstItem(menu);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
  EXPECT_EQ(OpenMenu(*app, 400ms), nullptr) << "a second menu opened";
  EXPECT_EQ(editor.Text(), pasted + L"b");
  DisplayKeys(L"keyup alt ctrl");
  EXPECT_TRUE(WaitUntil([&] { return !IsDown(VK_CONTROL) && !IsDown(VK_MENU); }));
  EXPECT_TRUE(WaitUntil([&] { return editor.Text() == pasted + L"b" + lines; })) << testing::PrintToString(editor.Text());
  EXPECT_FALSE(WaitUntil([&] { return editor.Text() != pasted + L"b" + lines; }, 300ms));  // once
}

TEST_F(Tray, WithPasteOffAChoiceIsOnlyPutOnTheClipboard) {
  StartQuietWithHotKey("[HotKey]\r\nPaste=0\r\n");
  PutText(L"entry");
  ASSERT_EQ(WaitForLines(1), 1u);
  EmptyClipboardNow();
  TestEditor editor;
  ASSERT_TRUE(editor.HasKeyboard());
  const HWND menu = OpenRecentCopiesAtOnce(*app);
  ASSERT_NE(menu, nullptr);
  PressKeys({'1'});
  EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == std::optional<std::wstring>(L"entry"); }));
  EXPECT_TRUE(WaitUntil([&] { return editor.HasKeyboard(); }));
  EXPECT_FALSE(WaitUntil([&] { return !editor.Text().empty(); }, 500ms)) << testing::PrintToString(editor.Text());
}

TEST_F(Tray, FilesCopiedAreChosenAgainAsTheSameFilesToCopy) {
  StartQuietWithHotKey("[HotKey]\r\nPaste=0\r\n");
  const std::vector<std::wstring> paths = {L"C:\\work\\report.docx", L"C:\\work\\写真.png", L"C:\\work\\data.csv"};
  ClipboardWriter().Files(paths);
  ASSERT_EQ(WaitForLines(1), 1u);
  EXPECT_EQ(EntryOfLine(HistoryLines(*app).back()), L"C:\\work\\report.docx\r\nC:\\work\\写真.png\r\nC:\\work\\data.csv");
  PutText(L"after the files");
  ASSERT_EQ(WaitForLines(2), 2u);
  TestEditor editor;  // where the person was typing
  ASSERT_TRUE(editor.HasKeyboard());
  const HWND menu = OpenRecentCopiesAtOnce(*app);
  ASSERT_NE(menu, nullptr);
  PressKeys({'2'});
  EXPECT_TRUE(WaitUntil([&] { return ClipboardFiles() == paths; })) << testing::PrintToString(ClipboardFiles());
  EXPECT_EQ(ClipboardDropEffect(), 1u) << "copied, not moved, by the paste";
  // The put-back is a copy of its own, files again.
  ASSERT_EQ(WaitForLines(3), 3u);
  EXPECT_EQ(EntryOfLine(HistoryLines(*app).back()), EntryOfLine(HistoryLines(*app).front()));
}

TEST_F(Tray, APictureCopiedIsChosenAgainPixelForPixelWithItsTransparency) {
  StartQuietWithHotKey("[HotKey]\r\nPaste=0\r\n");
  rtrillex::Pixels opaque;
  opaque.width = 3;
  opaque.height = 2;
  opaque.bgra = {10, 20, 30, 255, 40, 50, 60, 255, 70, 80, 90, 255, 1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255};
  rtrillex::Pixels seeThrough = opaque;
  for (std::size_t i = 3; i < seeThrough.bgra.size(); i += 4) seeThrough.bgra[i] = static_cast<BYTE>(i * 20);
  ClipboardWriter().Block(CF_DIB, rtrillex::DibFromPixels(opaque));
  ASSERT_EQ(WaitForLines(1), 1u);
  ClipboardWriter().Block(CF_DIBV5, rtrillex::DibV5FromPixels(seeThrough));
  ASSERT_EQ(WaitForLines(2), 2u);
  EXPECT_EQ(EntryOfLine(HistoryLines(*app).back()), L"[画像COPY]");
  PutText(L"after the pictures");
  ASSERT_EQ(WaitForLines(3), 3u);
  // Each picture is read just after its line, within milliseconds.
  WaitUntil([] { return false; }, 500ms);

  const auto pixelsOf = [](UINT format) {
    const std::vector<BYTE> block = ClipboardBlock(format);
    return rtrillex::PixelsFromDib(block.data(), block.size());
  };
  TestEditor editor;
  ASSERT_TRUE(editor.HasKeyboard());
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  PressKeys({'2'});  // the transparent one
  ASSERT_TRUE(WaitUntil([&] { return pixelsOf(CF_DIBV5).has_value(); }));
  EXPECT_EQ(pixelsOf(CF_DIBV5)->bgra, seeThrough.bgra);
  EXPECT_FALSE(ClipboardBlock(RegisterClipboardFormatW(L"PNG")).empty()) << "its PNG, for programs that paste that";
  ASSERT_EQ(WaitForLines(4), 4u);  // the put-back is a copy of its own

  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  PressKeys({'4'});  // the opaque one, older by now
  ASSERT_TRUE(WaitUntil([&] { return pixelsOf(CF_DIB) && pixelsOf(CF_DIB)->bgra == opaque.bgra; }))
      << testing::PrintToString(pixelsOf(CF_DIB) ? pixelsOf(CF_DIB)->bgra : std::vector<std::uint8_t>{});
  EXPECT_TRUE(ClipboardBlock(RegisterClipboardFormatW(L"PNG")).empty()) << "an opaque picture needs none";
  ASSERT_EQ(WaitForLines(5), 5u);

  // A large one is rendered only when a program asks for it, and whole
  // before rTrillex ends, so that it can still be pasted afterwards.
  rtrillex::Pixels large;
  large.width = 2000;
  large.height = 1100;
  large.bgra.resize(std::size_t{large.width} * large.height * 4);
  for (std::size_t i = 0; i < large.bgra.size(); ++i) large.bgra[i] = static_cast<BYTE>(i * 7 / 3);
  ClipboardWriter().Block(CF_DIBV5, rtrillex::DibV5FromPixels(large));
  ASSERT_EQ(WaitForLines(6), 6u);
  PutText(L"after the large one");
  ASSERT_EQ(WaitForLines(7), 7u);
  WaitUntil([] { return false; }, 2s);  // its PNG made
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  PressKeys({'2'});
  ASSERT_EQ(WaitForLines(8), 8u);
  ASSERT_TRUE(WaitUntil([&] { return pixelsOf(CF_DIBV5).has_value(); }));
  EXPECT_TRUE(pixelsOf(CF_DIBV5)->bgra == large.bgra);
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  PressKeys({'1'});  // the put-back's own line: the same picture, not read again
  ASSERT_EQ(WaitForLines(9), 9u);
  // The search finds the pictures by their word, each row as high as a thumbnail.
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  TypeQuickly({'I', 'M', 'A', 'G', 'E'});
  const SearchWindow search = OpenSearchWindow(*app);
  ASSERT_NE(search.window, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return search.Lines() == 7; })) << search.Lines();  // all but the two texts
  EXPECT_GE(SendMessageW(search.list, LB_GETITEMHEIGHT, 0, 0), 64);
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(search.window); }));
  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  const std::optional<rtrillex::Pixels> left = pixelsOf(CF_DIB);
  ASSERT_TRUE(left);
  EXPECT_EQ(left->width, large.width);
  EXPECT_EQ(left->height, large.height);
  EXPECT_TRUE(pixelsOf(CF_DIBV5) && pixelsOf(CF_DIBV5)->bgra == large.bgra);
}

TEST_F(Tray, AnEntryPinnedInTheMenuComesFirstWithALetterAndStaysAfterARestart) {
  StartQuietWithHotKey(nullptr);
  std::size_t lines = 0;
  for (const wchar_t* text : {L"Dear Sir or Madam,", L"a passing copy"}) {
    PutText(text);
    ASSERT_EQ(WaitForLines(++lines), lines);
  }
  TestEditor editor;
  ASSERT_TRUE(editor.HasKeyboard());
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  PressKeys({VK_DOWN, VK_DOWN});  // the older copy
  PressKeys({VK_CONTROL, 'P'});
  ASSERT_TRUE(WaitUntil([] { return !IsDown(VK_CONTROL); }));
  // The menu opens again with the phrase above the copies; its letter pastes it.
  ASSERT_TRUE(WaitUntil([&] { return VisibleMenuCount(*app) == 1; }));
  WaitForMenuKeyboard(*app);
  PressKeys({'A'});
  EXPECT_TRUE(WaitUntil([&] { return editor.Text() == L"Dear Sir or Madam,"; })) << testing::PrintToString(editor.Text());
  ASSERT_EQ(WaitForLines(3), 3u);  // recorded as any put-back

  // Kept with the history off: first in the menu after a restart, and a
  // digit still picks a recent copy below it.
  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  Start();
  PutText(L"after the restart");
  ASSERT_EQ(WaitForLines(1), 1u);
  TestEditor another;
  ASSERT_TRUE(another.HasKeyboard());
  // Read from its file by then (the search lists it when it comes).
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  TypeQuickly({'D'});
  const SearchWindow reading = OpenSearchWindow(*app);
  ASSERT_NE(reading.window, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return reading.Lines() == 1; })) << reading.Lines();
  PressKeys({VK_ESCAPE});
  ASSERT_TRUE(WaitUntil([&] { return another.HasKeyboard(); }));
  // Wine takes the display's modifiers (none down) as the editor takes the
  // front again: the combination waits for that, and the letter for the menu.
  WaitUntil([] { return false; }, 300ms);
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  WaitForMenuKeyboard(*app);
  PressKeys({'A'});
  EXPECT_TRUE(WaitUntil([&] { return another.Text() == L"Dear Sir or Madam,"; })) << testing::PrintToString(another.Text());
  ASSERT_EQ(WaitForLines(2), 2u);
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  PressKeys({'2'});
  EXPECT_TRUE(WaitUntil([&] { return another.Text() == L"Dear Sir or Madam,after the restart"; }))
      << testing::PrintToString(another.Text());
  ASSERT_EQ(WaitForLines(3), 3u);

  // Pinned from the search too: the phrase is listed first there at once.
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  TypeQuickly({'R', 'E', 'S', 'T'});
  const SearchWindow search = OpenSearchWindow(*app);
  ASSERT_NE(search.window, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return search.Lines() == 2; })) << search.Lines();
  PressKeys({VK_CONTROL, 'P'});
  EXPECT_TRUE(WaitUntil([&] { return search.Lines() == 3; })) << search.Lines();
  ASSERT_TRUE(WaitUntil([] { return !IsDown(VK_CONTROL); }));
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(WaitUntil([&] { return another.HasKeyboard(); }));

  // A right click on a phrase offers to delete it, as Ctrl+P does; taken
  // and confirmed, the menu comes back with the other phrase first.
  // Menu windows may be used again: each menu is told by the menu it shows.
  const auto menuOnShow = [&] {
    const HWND window = OpenMenu(*app, 0ms);
    return window ? SendMessageW(window, MN_GETHMENU, 0, 0) : 0;
  };
  const HWND menu = OpenRecentCopiesAtOnce(*app);
  ASSERT_NE(menu, nullptr);
  const LRESULT recent = menuOnShow();
  ClickFirstItem(menu, true);
  LRESULT offer = 0;
  ASSERT_TRUE(WaitUntil([&] { return (offer = menuOnShow()) != 0 && offer != recent; })) << "nothing offered";
  PressKeys({VK_DOWN});
  PressKeys({VK_RETURN});
  HWND question = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (question = FindWindowW(L"#32770", L"rTrillex")) != nullptr; }));
  PostMessageW(question, WM_COMMAND, IDYES, 0);
  ASSERT_TRUE(WaitUntil([&] { return menuOnShow() != 0 && menuOnShow() != offer; }));
  WaitForMenuKeyboard(*app);
  PressKeys({'A'});
  EXPECT_TRUE(WaitUntil([&] { return another.Text() == L"Dear Sir or Madam,after the restartafter the restart"; }))
      << testing::PrintToString(another.Text());

  // In the search, a right click on a line offers to pin it.
  PutText(L"right-clicked");
  ASSERT_EQ(WaitForLines(5), 5u);
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  TypeQuickly({'C', 'L', 'I', 'C', 'K'});
  const SearchWindow clicked = OpenSearchWindow(*app);
  ASSERT_NE(clicked.window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return clicked.Lines() == 1; })) << clicked.Lines();
  ClickAt(clicked.list, {20, 5}, true);
  ASSERT_NE(OpenMenu(*app), nullptr) << "nothing offered";
  PressKeys({VK_DOWN});
  PressKeys({VK_RETURN});
  EXPECT_TRUE(WaitUntil([&] { return clicked.Lines() == 2; })) << "no phrase listed first";
  EXPECT_TRUE(IsWindowVisible(clicked.window));
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(WaitUntil([&] { return another.HasKeyboard(); }));
}

// The window that arranges the phrases, from the icon's menu; it opens once
// their file has been read.
HWND OpenPhraseEditor(const RunningApp& app) {
  HWND editor = nullptr;
  WaitUntil([&] {
    PostMessageW(app.MainWindow(), WM_COMMAND, static_cast<WPARAM>(MenuId::mnuPhrases), 0);
    const std::vector<HWND> windows = app.TopLevelWindows(L"rTrillexPhrases");
    editor = windows.empty() || !IsWindowVisible(windows.front()) ? nullptr : windows.front();
    return editor != nullptr;
  });
  // Keys wait for its list to have the keyboard: Wine may take the display's
  // modifiers (none down) as a window takes the front.
  const HWND list = FindWindowExW(editor, nullptr, L"LISTBOX", nullptr);
  WaitUntil([&] {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    return GetGUIThreadInfo(app.ThreadId(), &thread) && thread.hwndFocus == list;
  });
  WaitUntil([] { return false; }, 300ms);
  return editor;
}

TEST_F(Tray, PhrasesTypedInMovedAndNamedInTheirWindowStaySoAfterARestart) {
  StartQuietWithHotKey(nullptr);
  HWND editor = OpenPhraseEditor(*app);
  ASSERT_NE(editor, nullptr);
  // Two typed in, the second after the first, then moved above it and named;
  // Escape in the label takes it and closes.
  PressKeys({VK_MENU, 'A'});
  TypeQuickly({'O', 'N', 'E'});
  PressKeys({VK_MENU, 'A'});
  TypeQuickly({'T', 'W', 'O'});
  PressKeys({VK_MENU, VK_UP});
  PressKeys({VK_MENU, 'N'});
  TypeQuickly({'G', 'R', 'E', 'E', 'T'});
  PressKeys({VK_ESCAPE});
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(editor); }));
  EXPECT_TRUE(app->TopLevelWindows(L"rTrillexPhrases").empty());

  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  Start();
  editor = OpenPhraseEditor(*app);
  ASSERT_NE(editor, nullptr);
  const HWND list = FindWindowExW(editor, nullptr, L"LISTBOX", nullptr);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(WindowText(FindWindowExW(editor, nullptr, L"EDIT", nullptr)), L"greet") << "the first phrase's label";
  // Delete asks first; No keeps it.
  PressKeys({VK_DELETE});
  HWND question = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (question = FindWindowW(L"#32770", L"rTrillex")) != nullptr; }));
  PostMessageW(question, WM_COMMAND, IDNO, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(question); }));
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
  PostMessageW(editor, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(editor); }));

  // In the menu in that order: A is the one moved up, B the first typed.
  TestEditor typing;
  ASSERT_TRUE(typing.HasKeyboard());
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  PressKeys({'A'});
  EXPECT_TRUE(WaitUntil([&] { return typing.Text() == L"two"; })) << testing::PrintToString(typing.Text());
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  PressKeys({'B'});
  EXPECT_TRUE(WaitUntil([&] { return typing.Text() == L"twoone"; })) << testing::PrintToString(typing.Text());
}

TEST_F(Tray, TypingInTheMenuSearchesTheWholeHistoryAndPastesTheChoice) {
  StartQuietWithHotKey(nullptr);
  std::size_t lines = 0;
  for (const wchar_t* text : {L"apple pie", L"banana split", L"cherry tart"}) {
    PutText(text);
    ASSERT_EQ(WaitForLines(++lines), lines);
  }
  TestEditor editor;
  ASSERT_TRUE(editor.HasKeyboard());

  // A letter typed in the menu opens the search with it, and the letters
  // typed on without a pause follow it into the box, in order.
  ASSERT_NE(OpenRecentCopiesAtOnce(*app), nullptr);
  const int activations = editor.Activations();
  TypeQuickly({'B', 'A', 'N', 'A'});
  SearchWindow search = OpenSearchWindow(*app);
  ASSERT_NE(search.window, nullptr) << "no search window";
  EXPECT_TRUE(WaitUntil([&] { return search.Typed() == L"bana"; })) << testing::PrintToString(search.Typed());
  EXPECT_TRUE(WaitUntil([&] { return search.Lines() == 1; })) << search.Lines();
  EXPECT_TRUE(IsWindowVisible(search.window));
  EXPECT_EQ(editor.Text(), L"");
  // The search took the keyboard straight from the menu: the editor never
  // came to the front between, to take the front and the keys from it.
  EXPECT_EQ(editor.Activations(), activations);
  // More letters narrow it.
  PressKeys({VK_BACK, VK_BACK, VK_BACK, VK_BACK, 'A'});
  EXPECT_TRUE(WaitUntil([&] { return search.Lines() == 3; })) << search.Lines();  // every entry holds an "a"
  PressKeys({VK_SPACE, 'P'});
  EXPECT_TRUE(WaitUntil([&] { return search.Lines() == 2; })) << search.Lines();  // and a "p": apple, banana split

  // Down, Enter: the older of the two pasted where the person was typing.
  PressKeys({VK_DOWN});
  PressKeys({VK_RETURN});
  EXPECT_TRUE(WaitUntil([&] { return editor.Text() == L"apple pie"; })) << testing::PrintToString(editor.Text());
  EXPECT_FALSE(IsWindowVisible(search.window));
  ASSERT_EQ(WaitForLines(4), 4u);

  // From the menu's last item, empty; Escape closes it and changes nothing.
  HWND menu = OpenRecentCopiesAtOnce(*app);
  ASSERT_NE(menu, nullptr);
  PressKeys({VK_END, VK_RETURN});
  search = OpenSearchWindow(*app);
  ASSERT_NE(search.window, nullptr);
  EXPECT_EQ(search.Typed(), L"");
  EXPECT_TRUE(WaitUntil([&] { return search.Lines() == 4; })) << search.Lines();
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(search.window); }));
  EXPECT_TRUE(WaitUntil([&] { return editor.HasKeyboard(); }));
  EXPECT_FALSE(WaitUntil([&] { return HistoryLines(*app).size() > 4; }, 300ms));
  EXPECT_EQ(editor.Text(), L"apple pie");
}

TEST_F(Tray, TheHistoryKeyComesFromTheSettingsFileAndAnEmptyOneIsOff) {
  StartQuietWithHotKey("[HotKey]\r\nHistory=Ctrl+Shift+F12\r\n");
  PressHistoryKey();
  EXPECT_EQ(OpenMenu(*app, 500ms), nullptr);
  PressKeys({VK_CONTROL, VK_SHIFT, VK_F12});
  const HWND menu = OpenMenu(*app);
  ASSERT_NE(menu, nullptr) << "Ctrl+Shift+F12 opened no menu";
  PressKeys({VK_ESCAPE});
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
  app.reset();

  StartQuietWithHotKey("[HotKey]\r\nHistory=\r\n");
  PressHistoryKey();
  PressKeys({VK_CONTROL, VK_SHIFT, VK_F12});
  EXPECT_EQ(OpenMenu(*app, 500ms), nullptr);
}

TEST_F(Tray, AHistoryKeyTakenByAnotherProgramLeavesItRunning) {
  ASSERT_TRUE(RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, 'V'));
  StartQuietWithHotKey(nullptr);
  PressHistoryKey();
  EXPECT_EQ(OpenMenu(*app, 500ms), nullptr);
  PutText(L"still watching");
  EXPECT_EQ(WaitForLines(1), 1u);
  UnregisterHotKey(nullptr, 1);
}

// Every way out takes the icon along, leaves the viewer chain whole for the
// viewers that joined before and after, and leaves the clipboard as it was.
class ExitPath : public Tray, public testing::WithParamInterface<const char*> {
 protected:
  void Leave(const std::string& path) {
    if (path == "close box") {
      ASSERT_TRUE(app->ShowMainWindow());
      PostMessageW(app->MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (path == "label") {
      ASSERT_TRUE(app->ShowMainWindow());
      ClickControl(app->Control(ControlId::lblEnd));
    } else if (path == "tray menu") {
      app->PostTrayReport(WM_RBUTTONDOWN);
      const HWND menu = OpenMenu(*app);
      ASSERT_NE(menu, nullptr);
      PressKeyInMenu(menu, 'X');
    } else if (path == "file menu") {
      ASSERT_TRUE(app->ShowMainWindow());
      PostMessageW(app->MainWindow(), WM_SYSCOMMAND, SC_KEYMENU, 'f');
      const HWND menu = OpenMenu(*app);
      ASSERT_NE(menu, nullptr);
      PressKeyInMenu(menu, 'X');
    } else if (path == "log off") {
      SendMessageTimeoutW(app->MainWindow(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, nullptr);
      PostMessageW(app->MainWindow(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    }
  }
};

TEST_P(ExitPath, TakesTheIconAlongAndLeavesTheViewerChainWhole) {
  TestViewer before;
  Start();
  TestViewer after;
  PutText(L"while running");
  ASSERT_TRUE(WaitUntil([&] { return HistoryLines(*app).size() == 1; }));
  ASSERT_TRUE(WaitUntil([&] { return before.notifications == 1 && after.notifications == 1; }));

  Leave(GetParam());
  ASSERT_TRUE(app->WaitForExit());
  EXPECT_EQ(app->ExitCode(), 0u);
  EXPECT_TRUE(WaitUntil([] { return TrayIconCount() == 0; }));
  EXPECT_EQ(ClipboardText(), L"while running");

  PutText(L"after the end");
  EXPECT_TRUE(WaitUntil([&] { return before.notifications == 2 && after.notifications == 2; }))
      << before.notifications << " " << after.notifications;
}

INSTANTIATE_TEST_SUITE_P(Every, ExitPath,
                         testing::Values("close box", "label", "tray menu", "file menu", "log off"));

}  // namespace
}  // namespace e2e
