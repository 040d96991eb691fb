// The main window's controls stand where their twips put them, at 96 dpi
// (15 twips per pixel) and at 120 dpi (12 twips per pixel).
#include <gtest/gtest.h>

#include "harness.h"

namespace e2e {
namespace {

using rtrillex::ControlId;

struct Expected {
  ControlId id;
  RECT at96;   // left, top, width, height in client pixels; 0 x 0 for labels that size themselves
  RECT at120;
};

const Expected kPlaces[] = {
    {ControlId::List1, {8, 144, 401, 158}, {10, 180, 501, 198}},
    {ControlId::Frame1, {8, 320, 401, 89}, {10, 400, 501, 111}},
    {ControlId::chkBeep, {16, 336, 185, 17}, {20, 420, 231, 21}},
    {ControlId::chkComment, {16, 360, 305, 17}, {20, 450, 381, 21}},
    {ControlId::chkClear, {16, 384, 305, 17}, {20, 480, 381, 21}},
    {ControlId::txtViewTime, {320, 360, 41, 18}, {400, 450, 51, 22}},
    {ControlId::txtClrTime, {320, 384, 41, 18}, {400, 480, 51, 22}},
    {ControlId::lblGoToTask, {304, 416, 105, 25}, {380, 520, 131, 31}},
    {ControlId::lblEnd, {216, 416, 81, 25}, {270, 520, 101, 31}},
    {ControlId::txtCurCB, {8, 24, 401, 97}, {10, 30, 501, 121}},
    {ControlId::Label1, {16, 128, 0, 0}, {20, 160, 0, 0}},
    {ControlId::Label5, {16, 8, 0, 0}, {20, 10, 0, 0}},
    {ControlId::Label2, {368, 360, 0, 0}, {460, 450, 0, 0}},
    {ControlId::Label3, {368, 384, 0, 0}, {460, 480, 0, 0}},
};

RECT PlaceInClient(HWND control, HWND parent) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void ExpectLayout(DWORD dpi, int clientWidth, int clientHeight) {
  ScreenDpi density(dpi);
  TestFolder folder;
  RunningApp app(folder);
  ASSERT_TRUE(app.WaitForMainWindow());
  ASSERT_TRUE(app.ShowMainWindow());

  RECT client;
  GetClientRect(app.MainWindow(), &client);
  EXPECT_EQ(client.right, clientWidth);
  EXPECT_EQ(client.bottom, clientHeight);

  for (const Expected& e : kPlaces) {
    SCOPED_TRACE(static_cast<int>(e.id));
    const HWND control = app.Control(e.id);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(IsWindowVisible(control));
    const RECT want = dpi == 96 ? e.at96 : e.at120;
    const RECT got = PlaceInClient(control, app.MainWindow());
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    if (want.right == 0) {
      // A label as wide and as high as its caption, at least one text line.
      EXPECT_GE(got.bottom, dpi * 12 / 96);
      EXPECT_GT(got.right, got.bottom);
    } else {
      EXPECT_EQ(got.right, want.right);
      EXPECT_EQ(got.bottom, want.bottom);
    }
  }

  // Nothing lies beyond the client area, and the window has no push button:
  // the unreachable ones of old are not controls at all.
  int children = 0;
  for (HWND child = GetWindow(app.MainWindow(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    ++children;
    const RECT place = PlaceInClient(child, app.MainWindow());
    EXPECT_LE(place.left + place.right, client.right) << WindowText(child).size();
    EXPECT_LE(place.top + place.bottom, client.bottom);
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    const LONG type = GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK;
    const bool pushButton = std::wstring(className) == L"Button" && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
    EXPECT_FALSE(pushButton) << "a push button: " << testing::PrintToString(WindowText(child));
  }
  EXPECT_EQ(children, 14);
}

TEST(Layout, ControlsStandAtTheirTwipsAt96Dpi) { ExpectLayout(96, 425, 451); }

TEST(Layout, ControlsStandAtTheirTwipsAt120Dpi) { ExpectLayout(120, 531, 564); }

TEST(Layout, TabMovesThroughTheControlsInTheirOrder) {
  TestFolder folder;
  RunningApp app(folder);
  ASSERT_TRUE(app.WaitForMainWindow());
  ASSERT_TRUE(app.ShowMainWindow());
  const ControlId order[] = {ControlId::List1,       ControlId::chkBeep,    ControlId::chkComment, ControlId::chkClear,
                             ControlId::txtViewTime, ControlId::txtClrTime, ControlId::txtCurCB,   ControlId::List1};
  HWND expected = app.Control(order[0]);
  for (std::size_t i = 1; i < std::size(order); ++i) {
    HWND next = GetNextDlgTabItem(app.MainWindow(), expected, FALSE);
    EXPECT_EQ(next, app.Control(order[i])) << "after step " << i;
    expected = app.Control(order[i]);
  }
}

TEST(Layout, TheHelpMenuOpensWithAltH) {
  TestFolder folder;
  RunningApp app(folder);
  ASSERT_TRUE(app.WaitForMainWindow());
  ASSERT_TRUE(app.ShowMainWindow());
  PostMessageW(app.MainWindow(), WM_SYSCOMMAND, SC_KEYMENU, 'h');
  const HWND menu = OpenMenu(app);
  ASSERT_NE(menu, nullptr);
  PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
  EXPECT_TRUE(app.Running());
}

}  // namespace
}  // namespace e2e
