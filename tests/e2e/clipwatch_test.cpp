// rTrillex reacting to clipboard changes made by other programs (this test).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>

#include "clipboard.h"
#include "control_layout.h"
#include "desktop.h"
#include "handle.h"
#include "harness.h"
#include "test_viewer.h"

namespace e2e {
namespace {

using rtrillex::ControlId;

// A running rTrillex with the given switches (tones of no length keep the
// tests quick), and helpers to wait for its reactions.
class ClipWatch : public testing::Test {
 protected:
  TestFolder folder;
  std::optional<RunningApp> app;

  void Start(const char* comment = "1", const char* clear = "0", const char* viewTime = "1",
             const char* clrTime = "60", const char* beep = "0") {
    WriteSettings(folder, beep, comment, clear, viewTime, clrTime);
    app.emplace(folder);
    ASSERT_TRUE(app->WaitForMainWindow());
  }

  // Waits until the history holds `count` lines; returns them.
  std::vector<std::wstring> WaitForLines(std::size_t count) {
    std::vector<std::wstring> lines;
    EXPECT_TRUE(WaitUntil([&] { return (lines = HistoryLines(*app)).size() >= count; }))
        << "history has " << lines.size() << " lines, waited for " << count;
    return lines;
  }

  // A change that adds no line is over once a later text copy has shown.
  void ExpectNoLineFor(std::size_t linesBefore) {
    PutText(L"sentinel");
    const std::vector<std::wstring> lines = WaitForLines(linesBefore + 1);
    ASSERT_EQ(lines.size(), linesBefore + 1) << testing::PrintToString(lines);
    EXPECT_EQ(EntryOfLine(lines.back()), L"sentinel");
  }

  // Another program opens the clipboard and keeps it open for `hold`.
  static void HoldClipboard(std::chrono::milliseconds hold) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    WaitUntil([] { return false; }, hold);
    CloseClipboard();
  }

  // A copy that another viewer, told of it first, opens at once and keeps
  // open for `hold`.
  static void PutTextHeldFor(const std::wstring& text, std::chrono::milliseconds hold) {
    HoldingViewer ahead;
    ahead.HoldNextChange();
    PutText(text);
    ASSERT_TRUE(WaitUntil([&] { return ahead.holding(); }));
    WaitUntil([] { return false; }, hold);
  }

  std::wstring Current() const { return WindowText(app->Control(ControlId::txtCurCB)); }
  HWND PopupLabel() const { return GetDlgItem(app->PopupWindow(), 1); }
  bool PopupShown() const { return app->PopupWindow() && IsWindowVisible(app->PopupWindow()); }
};

TEST_F(ClipWatch, PlainTextGoesToHistoryCurrentBoxAndPopupBesideThePointer) {
  Start();
  SetCursorPos(400, 300);
  POINT pointer;
  GetCursorPos(&pointer);
  PutText(L"hello & goodbye");
  const std::vector<std::wstring> lines = WaitForLines(1);
  EXPECT_EQ(EntryOfLine(lines[0]), L"hello & goodbye");
  EXPECT_EQ(Current(), L"hello & goodbye");

  ASSERT_TRUE(WaitUntil([&] { return PopupShown(); }));
  RECT place;
  GetWindowRect(app->PopupWindow(), &place);
  EXPECT_EQ(place.left, pointer.x + 10);
  EXPECT_EQ(place.top, pointer.y - 25);
  EXPECT_EQ(WindowText(PopupLabel()), L"hello & goodbye");
  EXPECT_TRUE(GetWindowLongW(PopupLabel(), GWL_STYLE) & SS_NOPREFIX);  // '&' shows as itself
  EXPECT_TRUE(GetWindowLongW(app->PopupWindow(), GWL_EXSTYLE) & WS_EX_TOPMOST);

  // In two corners and at the top edge, where the place beside the pointer
  // would cross the screen's edge, the popup stays whole on the screen, near
  // the pointer but never under it.
  const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  for (const POINT at : {POINT{screen.right - 5, 3}, POINT{screen.right / 2, 2}, POINT{3, screen.bottom - 4}}) {
    SetCursorPos(at.x, at.y);
    GetCursorPos(&pointer);
    const std::wstring text = L"at " + std::to_wstring(pointer.x) + L"," + std::to_wstring(pointer.y);
    PutText(text);
    const bool placed =
        WaitUntil([&] { return WindowText(PopupLabel()) == text && GetWindowRect(app->PopupWindow(), &place); });
    ASSERT_TRUE(placed) << testing::PrintToString(text);
    SCOPED_TRACE(testing::PrintToString(text) + " placed at " + std::to_string(place.left) + "," +
                 std::to_string(place.top) + " to " + std::to_string(place.right) + "," + std::to_string(place.bottom));
    RECT onScreen;
    EXPECT_TRUE(IntersectRect(&onScreen, &place, &screen) && EqualRect(&onScreen, &place));
    EXPECT_FALSE(PtInRect(&place, pointer));
    RECT nearby = place;
    InflateRect(&nearby, 30, 30);
    EXPECT_TRUE(PtInRect(&nearby, pointer));
  }

  // ViewTime 1: ten ticks of 100 ms later the popup is gone.
  EXPECT_TRUE(WaitUntil([&] { return app->PopupWindow() == nullptr; }, 3s));
}

TEST_F(ClipWatch, APopupLifetimeInTenthsEndsOnTimeAlsoAfterALateRead) {
  // 0.3 s is three ticks: exact in single precision, on every build.
  Start("1", "0", "0.3");
  PutText(L"short");
  ASSERT_TRUE(WaitUntil([&] { return PopupShown(); }));
  EXPECT_TRUE(WaitUntil([&] { return app->PopupWindow() == nullptr; }, 2s));

  // Read only after the popup's lifetime: it still shows beside the pointer, then goes.
  SetCursorPos(400, 300);
  POINT pointer;
  GetCursorPos(&pointer);
  PutTextHeldFor(L"late", 700ms);
  ASSERT_TRUE(WaitUntil([&] { return PopupShown(); }, 2s));
  RECT place;
  GetWindowRect(app->PopupWindow(), &place);
  EXPECT_EQ(place.left, pointer.x + 10);
  EXPECT_EQ(place.top, pointer.y - 25);
  EXPECT_TRUE(WaitUntil([&] { return app->PopupWindow() == nullptr; }, 2s));
}

// Whether `upper` stands above `lower` in the z-order of the screen's windows.
bool IsAbove(HWND upper, HWND lower) {
  for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
    if (window == upper) return true;
    if (window == lower) return false;
  }
  return false;
}

// The extent of a text in the popup's font (the program's default), drawn
// on the screen: its longest line across, all its lines down.
SIZE ExtentInPopupFont(const std::wstring& text) {
  const rtrillex::UniqueFont font = rtrillex::CreatePointFont(rtrillex::kDefaultFace, rtrillex::kDefaultPoints);
  return rtrillex::MeasureText(nullptr, font.get(), text);
}

// How many pixels of a window, as the screen shows it, are not of `colour`
// outside `skipped` (in the window's own coordinates); -1 for a window gone.
int PixelsNotOf(HWND window, COLORREF colour, const RECT& skipped) {
  RECT place;
  if (!GetWindowRect(window, &place) || IsRectEmpty(&place)) return -1;
  const int width = place.right - place.left;
  const int height = place.bottom - place.top;
  BITMAPINFO format{};
  format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP picture = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ previous = SelectObject(memory, picture);
  int others = bits ? 0 : -1;
  if (bits) BitBlt(memory, 0, 0, width, height, screen, place.left, place.top, SRCCOPY);
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  const std::uint32_t wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  for (int y = 0; bits && y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (!PtInRect(&skipped, POINT{x, y}) && (pixels[y * width + x] & 0xFFFFFF) != wanted) ++others;
  SelectObject(memory, previous);
  DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return others;
}

TEST_F(ClipWatch, ASecondCopyWhileThePopupShowsReusesItWithTheNewText) {
  Start("1", "0", "5");
  PutText(L"a first copy of\r\nthree long lines that fill\r\nthe whole popup");
  ASSERT_TRUE(WaitUntil([&] { return PopupShown(); }));
  const HWND popup = app->PopupWindow();

  PutText(L"2nd");
  EXPECT_TRUE(WaitUntil([&] { return WindowText(PopupLabel()) == L"2nd"; }));
  EXPECT_EQ(app->PopupWindow(), popup);
  EXPECT_EQ(app->TopLevelWindows(L"rTrillexPopup").size(), 1u);
  // The label shrinks to its new caption, and nothing of the old one is
  // left beside it: the rest of the popup is its light blue.
  RECT label{};
  GetClientRect(PopupLabel(), &label);
  const SIZE extent = ExtentInPopupFont(L"2nd");
  EXPECT_EQ(label.right, extent.cx);
  EXPECT_EQ(label.bottom, extent.cy);
  int stray = -1;
  EXPECT_TRUE(WaitUntil([&] {
    const int now = PixelsNotOf(popup, RGB(192, 192, 255), label);
    if (now >= 0) stray = now;
    return now == 0;
  })) << stray << " pixels beside the label are not the popup's background";

  // Another program's topmost window comes over the popup: the next copy
  // brings the popup back on top of it.
  RECT place;
  GetWindowRect(popup, &place);
  rtrillex::UniqueWindow other(CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP,
                                               place.left, place.top, 200, 100, nullptr, nullptr,
                                               GetModuleHandleW(nullptr), nullptr));
  SetWindowPos(other.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  ASSERT_TRUE(IsAbove(other.get(), popup));
  PutText(L"3rd");
  EXPECT_TRUE(WaitUntil([&] { return WindowText(PopupLabel()) == L"3rd"; }));
  EXPECT_TRUE(WaitUntil([&] { return IsAbove(popup, other.get()); }));
}

TEST_F(ClipWatch, EndingBeforeTheAutoClearDelayLeavesTheClipboardAsItIs) {
  Start("1", "1", "1", "1");
  PutText(L"stays");
  WaitForLines(1);
  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  EXPECT_FALSE(WaitUntil([] { return ClipboardIsEmpty(); }, 1500ms));
  EXPECT_EQ(ClipboardText(), L"stays");
}

TEST_F(ClipWatch, JapaneseLinesAndEmojiSurviveUnchanged) {
  Start();
  const std::wstring text = L"一行目：コピー\r\n二行目 😀 ＆ 終わり\r\n";
  PutText(text);
  const std::vector<std::wstring> lines = WaitForLines(1);
  EXPECT_EQ(EntryOfLine(lines[0]), text);
  EXPECT_EQ(Current(), text);
  ASSERT_TRUE(WaitUntil([&] { return PopupShown(); }));
  EXPECT_EQ(WindowText(PopupLabel()), text);
}

TEST_F(ClipWatch, ImagesTextWithImagesAndRichTextGetTheirTags) {
  Start();
  ClipboardWriter().Image();
  EXPECT_EQ(EntryOfLine(WaitForLines(1).back()), L"[画像COPY]");
  EXPECT_EQ(Current(), L"[画像COPY]");

  ClipboardWriter().Text(L"caption").Image();
  EXPECT_EQ(EntryOfLine(WaitForLines(2).back()), L"[TextFile ＆ 画像COPY]");
  EXPECT_EQ(Current(), L"[TextFile ＆ 画像COPY]");

  ClipboardWriter().RichText("{\\rtf1 bold}").Text(L"bold");
  EXPECT_EQ(EntryOfLine(WaitForLines(3).back()), L"[LichTexit COPY]");
  EXPECT_EQ(Current(), L"[LichTexit COPY]");

  ClipboardWriter().RichText("{\\rtf1 only}");
  EXPECT_EQ(EntryOfLine(WaitForLines(4).back()), L"[LichTexit COPY]");
  EXPECT_FALSE(PopupShown());  // only text shows in the popup
}

// Wine's word processor, copying formatted text the way any editor does.
class WordPad {
 public:
  WordPad() {
    wchar_t programs[MAX_PATH];
    GetEnvironmentVariableW(L"ProgramFiles", programs, MAX_PATH);
    std::wstring exe = std::wstring(programs) + L"\\Windows NT\\Accessories\\wordpad.exe";
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_))
      return;
    WaitUntil([&] { return (editor_ = FindEditor()) != nullptr; }, 10s);
  }
  ~WordPad() {
    if (!process_.hProcess) return;
    TerminateProcess(process_.hProcess, 0);
    WaitForSingleObject(process_.hProcess, 5000);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  HWND editor() const { return editor_; }

  void CopyAll(const std::wstring& text) {
    SendMessageW(editor_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(editor_, EM_SETSEL, 0, -1);
    SendMessageW(editor_, WM_COPY, 0, 0);
  }

 private:
  HWND FindEditor() const {
    struct Search {
      DWORD processId;
      HWND editor = nullptr;
    } search{process_.dwProcessId};
    struct Visitor {
      static BOOL CALLBACK Child(HWND window, LPARAM data) {
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        if (_wcsnicmp(name, L"RichEdit", 8) == 0) {
          reinterpret_cast<Search*>(data)->editor = window;
          return FALSE;
        }
        return TRUE;
      }
      static BOOL CALLBACK TopLevel(HWND window, LPARAM data) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == reinterpret_cast<Search*>(data)->processId) EnumChildWindows(window, Child, data);
        return reinterpret_cast<Search*>(data)->editor == nullptr;
      }
    };
    EnumWindows(Visitor::TopLevel, reinterpret_cast<LPARAM>(&search));
    return search.editor;
  }

  PROCESS_INFORMATION process_{};
  HWND editor_ = nullptr;
};

TEST_F(ClipWatch, RichTextCopiedInWordPadIsTaggedAsRichText) {
  Start();
  WordPad wordpad;
  ASSERT_NE(wordpad.editor(), nullptr) << "Wine's wordpad did not start";
  wordpad.CopyAll(L"書式付きの文 rich text");
  EXPECT_EQ(EntryOfLine(WaitForLines(1).back()), L"[LichTexit COPY]");
  EXPECT_EQ(Current(), L"[LichTexit COPY]");
}

TEST_F(ClipWatch, RichTextWithAnImageAndAnEmptyClipboardAddNoLineAndEmptyTheCurrentBox) {
  Start();
  PutText(L"first");
  WaitForLines(1);
  ClipboardWriter().RichText("{\\rtf1 x}").Image();
  EXPECT_TRUE(WaitUntil([&] { return Current().empty(); }));
  ExpectNoLineFor(1);

  EmptyClipboardNow();
  EXPECT_TRUE(WaitUntil([&] { return Current().empty(); }));
  ExpectNoLineFor(2);
}

TEST_F(ClipWatch, CommentOffShowsNoPopup) {
  Start("0");
  PutText(L"quiet");
  WaitForLines(1);
  EXPECT_EQ(Current(), L"quiet");
  EXPECT_FALSE(PopupShown());
}

TEST_F(ClipWatch, TextAlreadyOnTheClipboardAtStartUpCausesNothing) {
  PutText(L"before start");
  Start();
  EXPECT_EQ(Current(), L"");
  ExpectNoLineFor(0);
}

TEST_F(ClipWatch, AutoClearEmptiesTheClipboardAfterClrTimeWithoutAddingALine) {
  Start("0", "1", "1", "1");
  PutText(L"to be cleared");
  WaitForLines(1);
  EXPECT_TRUE(WaitUntil([] { return ClipboardIsEmpty(); }, 4s));
  EXPECT_TRUE(WaitUntil([&] { return Current().empty(); }));
  EXPECT_EQ(HistoryLines(*app).size(), 1u);
}

TEST_F(ClipWatch, AutoClearWaitsForAClipboardHeldWhenItFallsDue) {
  Start("0", "1", "1", "1");
  PutText(L"password");
  WaitForLines(1);
  WaitUntil([] { return false; }, 600ms);
  HoldClipboard(1200ms);  // from 0.6 to 1.8 s after the copy: the clear falls due meanwhile
  EXPECT_TRUE(WaitUntil([] { return ClipboardIsEmpty(); }, 1500ms));
}

TEST_F(ClipWatch, AutoClearOffKeepsTheClipboard) {
  Start("0", "0", "1", "1");
  PutText(L"kept");
  WaitForLines(1);
  // Well past the one-second delay, the text is still there.
  EXPECT_FALSE(WaitUntil([] { return ClipboardIsEmpty(); }, 2500ms));
  EXPECT_EQ(ClipboardText(), L"kept");
}

TEST_F(ClipWatch, DoubleClickPutsAHistoryLineBackAsAFreshCopy) {
  TestViewer viewer;  // reached through rTrillex
  Start("0");
  const std::wstring text = L"二行\r\nの文 😀";
  PutText(text);
  WaitForLines(1);
  ClipboardWriter().Image();
  WaitForLines(2);

  const HWND list = app->Control(ControlId::List1);
  ASSERT_TRUE(WaitUntil([&] { return viewer.notifications == 2; }));
  SendMessageW(list, LB_SETCURSEL, 0, 0);
  RECT item;
  SendMessageW(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
  const LPARAM at = MAKELPARAM(item.left + 5, item.top + 3);
  PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(list, WM_LBUTTONUP, 0, at);
  PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageW(list, WM_LBUTTONUP, 0, at);

  const std::vector<std::wstring> lines = WaitForLines(3);
  EXPECT_EQ(EntryOfLine(lines[2]), text);
  EXPECT_EQ(EntryOfLine(lines[0]), text);  // the clicked line stays as it was
  EXPECT_EQ(ClipboardText(), text);
  EXPECT_EQ(Current(), text);
  EXPECT_EQ(viewer.notifications, 3);  // one change: never an empty clipboard between
}

TEST_F(ClipWatch, EnterCopiesTheSelectedLineAgainAndDeleteRemovesIt) {
  Start("0");
  for (const wchar_t* text : {L"a", L"b", L"c"}) {
    PutText(text);
    WaitUntil([&] { return !HistoryLines(*app).empty() && EntryOfLine(HistoryLines(*app).back()) == text; });
  }
  ASSERT_EQ(WaitForLines(3).size(), 3u);
  ASSERT_TRUE(app->ShowMainWindow());
  const HWND list = app->Control(ControlId::List1);
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  PostMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
  ASSERT_TRUE(WaitUntil([&] { return HistoryLines(*app).size() == 2; }));
  EXPECT_EQ(EntryOfLine(HistoryLines(*app)[1]), L"c");
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);  // the next line
  EXPECT_EQ(ClipboardText(), L"c");                       // untouched

  // Enter on the line that took the removed one's place copies that line.
  PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
  const std::vector<std::wstring> lines = WaitForLines(3);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(EntryOfLine(lines[2]), L"c");
  EXPECT_TRUE(IsWindowVisible(app->MainWindow()));  // Enter pressed no button of the window
}

TEST_F(ClipWatch, DoubleClickWithNoLineSelectedLeavesTheClipboardAlone) {
  Start("0");
  PutText(L"keep me");
  WaitForLines(1);
  const HWND list = app->Control(ControlId::List1);
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  // Double-click below the last line, where no item is.
  RECT client;
  GetClientRect(list, &client);
  const LPARAM at = MAKELPARAM(5, client.bottom - 5);
  PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageW(list, WM_LBUTTONUP, 0, at);
  PostMessageW(app->MainWindow(), WM_COMMAND, MAKEWPARAM(static_cast<int>(ControlId::List1), LBN_DBLCLK),
               reinterpret_cast<LPARAM>(list));
  ExpectNoLineFor(1);
  EXPECT_EQ(HistoryLines(*app).size(), 2u);
}

TEST_F(ClipWatch, ACopyHeldOpenByAnotherProgramForUpToHalfASecondIsNotLost) {
  Start("0");
  std::size_t lines = 0;
  for (const auto hold : {50ms, 200ms, 500ms}) {
    const std::wstring text = L"held " + std::to_wstring(hold.count()) + L" ms";
    PutTextHeldFor(text, hold);
    EXPECT_EQ(EntryOfLine(WaitForLines(++lines).back()), text);
  }
}

TEST_F(ClipWatch, AViewerAfterItThatHangsHoldsNothingUp) {
  HangingViewer hanging(5000);  // joined before rTrillex: rTrillex tells it of each change
  Start("1", "0", "1");
  PutText(L"first");
  ASSERT_TRUE(WaitUntil([&] { return PopupShown(); }));
  ASSERT_TRUE(WaitUntil([&] { return hanging.hanging(); }));
  // The popup's second runs out, a copy is recorded and the program answers, all during the hang.
  EXPECT_TRUE(WaitUntil([&] { return app->PopupWindow() == nullptr; }, 2500ms));
  PutText(L"during the hang");
  EXPECT_EQ(EntryOfLine(WaitForLines(2).back()), L"during the hang");
  DWORD_PTR result = 0;
  EXPECT_TRUE(SendMessageTimeoutW(app->MainWindow(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &result));
  EXPECT_TRUE(hanging.hanging());
}

// A copy whose text is made only when asked for (delayed rendering): the
// request comes from inside rTrillex's handler, after the tones. A program
// that fails while rendering promises the text and never delivers it.
class TextRenderedOnRequest {
 public:
  explicit TextRenderedOnRequest(std::function<void()> onRequest, bool delivers = true)
      : onRequest_(std::move(onRequest)), delivers_(delivers) {
    window_ = CreateMessageWindow(L"E2eRenderingOwner", Proc, this);
    if (WaitUntil([&] { return OpenClipboard(window_) != FALSE; }, 2s)) {
      EmptyClipboard();
      SetClipboardData(CF_UNICODETEXT, nullptr);
      CloseClipboard();
    }
  }
  ~TextRenderedOnRequest() { DestroyWindow(window_); }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = SelfOf<TextRenderedOnRequest>(window);
    if (self && message == WM_RENDERFORMAT && wParam == CF_UNICODETEXT) {
      self->onRequest_();
      if (!self->delivers_) return 0;
      const wchar_t text[] = L"rendered";
      HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
      std::memcpy(GlobalLock(memory), text, sizeof text);
      GlobalUnlock(memory);
      SetClipboardData(CF_UNICODETEXT, memory);
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
  std::function<void()> onRequest_;
  bool delivers_;
  HWND window_ = nullptr;
};

TEST_F(ClipWatch, AViewerAfterItHearsOfAChangeBeforeItsHandlerEnds) {
  TestViewer after;  // joined before rTrillex: after it in the chain
  Start("0");
  int heardWhenAskedForText = -1;
  TextRenderedOnRequest copy([&] { heardWhenAskedForText = after.notifications; });
  EXPECT_EQ(EntryOfLine(WaitForLines(1).back()), L"rendered");
  EXPECT_EQ(heardWhenAskedForText, 1);
}

TEST_F(ClipWatch, ATextPromisedAndNeverDeliveredIsRecordedOnceAndClearedWhenDue) {
  Start("0", "1", "1", "1");
  int requests = 0;
  TextRenderedOnRequest copy([&] { ++requests; }, false);
  const HWND promiser = GetClipboardOwner();
  // Given up on after its second: one line with an empty entry.
  EXPECT_EQ(WaitForLines(1).back().size(), 9u);
  // Emptied a second later; the emptying is no copy, and the copy given up on
  // is never read again.
  EXPECT_TRUE(WaitUntil([&] { return GetClipboardOwner() != promiser; }, 4s));
  const int requestsWhenCleared = requests;
  WaitUntil([] { return false; }, 2500ms);
  EXPECT_EQ(HistoryLines(*app).size(), 1u);
  EXPECT_EQ(requests, requestsWhenCleared);
}

TEST_F(ClipWatch, CopiesMarkedAsNotToBeMonitoredLeaveNoTrace) {
  Start();
  const DWORD no = 0, yes = 1;
  struct Marker {
    const wchar_t* name;
    std::size_t size;  // of `no`'s bytes, or of `yes`'s where the value is cut short
  };
  // A value too short to read counts as a secret's: better an entry missing than a password shown.
  const Marker markers[] = {{L"ExcludeClipboardContentFromMonitorProcessing", sizeof no},
                            {L"Clipboard Viewer Ignore", sizeof no},
                            {L"CanIncludeInClipboardHistory", sizeof no},
                            {L"CanIncludeInClipboardHistory", 2}};
  std::size_t lines = 0;
  for (const auto& [marker, size] : markers) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(marker)) + " of " + std::to_string(size) + " bytes");
    // Something visible first, so that the secret's own change can be seen to empty the box.
    PutText(L"visible");
    WaitForLines(++lines);
    ClipboardWriter().Text(L"secret").Registered(marker, size == sizeof no ? &no : &yes, size);
    EXPECT_TRUE(WaitUntil([&] { return Current().empty(); }));
  }
  ExpectNoLineFor(lines);
  for (const std::wstring& line : HistoryLines(*app)) EXPECT_EQ(line.find(L"secret"), std::wstring::npos);
  EXPECT_NE(WindowText(PopupLabel()), L"secret");

  ClipboardWriter().Text(L"ordinary").Registered(L"CanIncludeInClipboardHistory", &yes, sizeof yes);
  EXPECT_EQ(EntryOfLine(WaitForLines(lines + 2).back()), L"ordinary");
}

TEST_F(ClipWatch, ASecretCopiedWhileTheTonesPlayIsNeverShown) {
  Start("1", "0", "1", "60", "1");  // the tones take their real time
  const DWORD no = 0;
  PutText(L"visible");
  WaitUntil([] { return false; }, 100ms);
  ClipboardWriter().Text(L"secret").Registered(L"ExcludeClipboardContentFromMonitorProcessing", &no, sizeof no);
  bool shown = false;
  const auto secretShows = [&] {
    for (const std::wstring& line : HistoryLines(*app)) shown |= line.find(L"secret") != std::wstring::npos;
    shown |= Current() == L"secret" || WindowText(PopupLabel()) == L"secret";
  };
  // The secret's own change empties the box, after the first copy's line.
  EXPECT_TRUE(WaitUntil([&] {
    secretShows();
    return HistoryLines(*app).size() == 1 && Current().empty();
  }));
  WaitUntil([&] { return secretShows(), false; }, 500ms);
  EXPECT_FALSE(shown);
  const std::vector<std::wstring> lines = HistoryLines(*app);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(EntryOfLine(lines[0]), L"visible");
}

TEST_F(ClipWatch, CopiesMadeDuringTheTonesAreEachRecordedAtMostOnce) {
  Start("1", "0", "1", "60", "1");  // the tones take their real time
  PutText(L"first");
  WaitUntil([] { return false; }, 60ms);
  PutText(L"second");
  WaitUntil([] { return false; }, 40ms);
  PutText(L"third");
  EXPECT_TRUE(WaitUntil([&] { return Current() == L"third"; }));
  WaitUntil([] { return false; }, 800ms);  // a second reaction to the same copy would have come by now
  const std::vector<std::wstring> lines = HistoryLines(*app);
  for (const wchar_t* entry : {L"first", L"second", L"third"}) {
    const auto count = std::count_if(lines.begin(), lines.end(), [&](const std::wstring& line) {
      return EntryOfLine(line) == entry;
    });
    EXPECT_LE(count, 1) << testing::PrintToString(lines);
    if (std::wstring(entry) != L"second") {  // the second may be overtaken before it is read
      EXPECT_EQ(count, 1) << testing::PrintToString(lines);
    }
  }
}

TEST_F(ClipWatch, AViewerAheadOfItIsNotHeldUpByItsTones) {
  Start("1", "0", "1", "60", "1");
  TestViewer ahead;  // joined after rTrillex: hands each change on to it and waits
  PutText(L"timed");
  WaitForLines(1);
  EXPECT_TRUE(WaitUntil([&] { return ahead.notifications == 1; }));
  EXPECT_LT(ahead.longestHandOff.count(), 100) << "milliseconds";
}

TEST_F(ClipWatch, ViewersBeforeAndAfterItKeepHearingOfEveryChange) {
  TestViewer before;  // joined before rTrillex: reached only through it
  Start("0");
  TestViewer after;   // joined after: passes changes on to rTrillex

  PutText(L"one");
  WaitForLines(1);
  EXPECT_TRUE(WaitUntil([&] { return before.notifications == 1 && after.notifications == 1; }));

  PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(app->WaitForExit());
  PutText(L"two");
  EXPECT_TRUE(WaitUntil([&] { return before.notifications == 2 && after.notifications == 2; }));
}

}  // namespace
}  // namespace e2e
