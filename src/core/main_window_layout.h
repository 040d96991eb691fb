// What the main window "Trillex" looks like: its size, its menu captions and
// every control with its caption, place, tab order and colours. The Win32
// side creates the controls from this table.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "control_layout.h"

namespace rtrillex {

// Control ids; also how the tests find the controls from outside.
enum class ControlId : int {
  List1 = 1001,
  Label1,
  Frame1,
  chkBeep,
  chkComment,
  Label2,
  chkClear,
  txtViewTime,
  txtClrTime,
  Label3,
  Label5,
  lblGoToTask,
  lblEnd,
  txtCurCB,
};

enum class MenuId : int { mnuMain = 2001, mnuExit, mnuVer, mnuStartup, mnuKeepHistory, mnuClearHistory,
                            mnuPhrases, mnuSharing };

inline constexpr Colour kLightBlue = Rgb(192, 192, 255);
inline constexpr Colour kDarkBlue = Rgb(0, 0, 192);
inline constexpr Colour kWindowText = SystemColour(8);

using MainControl = ControlDescription<ControlId>;

namespace main_window {

inline constexpr std::wstring_view kCaption = L"Trillex";
inline constexpr int kClientWidthTwips = 6375;
inline constexpr int kClientHeightTwips = 6765;

inline constexpr std::wstring_view kFileMenu = L"ファイル(&F )";
inline constexpr std::wstring_view kMainItem = L"詳細設定(&M)";
inline constexpr std::wstring_view kStartupItem = L"Windows の起動時に開始(&W)";
inline constexpr std::wstring_view kExitItem = L"終了(&X)";
inline constexpr std::wstring_view kKeepHistoryItem = L"履歴を保存する(&K)";
inline constexpr std::wstring_view kClearHistoryItem = L"履歴をすべて消去(&D)...";
inline constexpr std::wstring_view kPhrasesItem = L"定型文の編集(&E)...";
inline constexpr std::wstring_view kSharingItem = L"ほかの PC と共有(&O)...";
inline constexpr std::wstring_view kHelpMenu = L"ヘルプ(&H)";
inline constexpr std::wstring_view kVersionItem = L"バージョン情報(&V)";

// The label buttons' face: 11.25 points, regular, Shift-JIS character set.
inline constexpr std::wstring_view kLabelButtonFace = L"ＭＳ Ｐゴシック";
inline constexpr float kLabelButtonPoints = 11.25f;

// In tab order, which is also the order of creation. The three push buttons
// "登録", "タスクトレイへ" and "終了" of the original design stood beyond
// the right edge of the client area, out of every user's reach; they exist
// only as the operations behind them and are not created as controls.
inline constexpr std::array<MainControl, 14> kControls = {{
    {ControlId::List1, ControlKind::ListBox, L"", {120, 2160, 6015, 2370}, false},
    {ControlId::Label1, ControlKind::Label, L"ClipBoard History", {240, 1920, 1365, 180}, false},
    {ControlId::Frame1, ControlKind::GroupBox, L"Option", {120, 4800, 6015, 1335}, false},
    {ControlId::chkBeep, ControlKind::CheckBox, L"Beep音を鳴らす", {120, 240, 2775, 255}, true, kDefaultColour, kWindowText},
    {ControlId::chkComment, ControlKind::CheckBox, L"カーソル右上にコピーしたテキストを表示する →", {120, 600, 4575, 255}, true, kDefaultColour, kWindowText},
    {ControlId::Label2, ControlKind::Label, L"Sec", {5400, 600, 285, 180}, true},
    {ControlId::chkClear, ControlKind::CheckBox, L"指定秒数後にクリップボード内のデータを消去する → ", {120, 960, 4575, 255}, true, kDefaultColour, kWindowText},
    {ControlId::txtViewTime, ControlKind::Edit, L"1", {4680, 600, 615, 270}, true},
    {ControlId::txtClrTime, ControlKind::Edit, L"30", {4680, 960, 615, 270}, true},
    {ControlId::Label3, ControlKind::Label, L"Sec", {5400, 960, 285, 180}, true},
    {ControlId::Label5, ControlKind::Label, L"Now ClipBoard Data", {240, 120, 1560, 180}, false},
    {ControlId::lblGoToTask, ControlKind::LabelButton, L"タスクへ移動", {4560, 6240, 1575, 375}, false, Rgb(0, 255, 0), kWindowText, ControlFont::LabelButton},
    {ControlId::lblEnd, ControlKind::LabelButton, L"終了", {3240, 6240, 1215, 375}, false, SystemColour(21), Rgb(255, 255, 255), ControlFont::LabelButton},
    {ControlId::txtCurCB, ControlKind::MultiLineEdit, L"", {120, 360, 6015, 1455}, false, kLightBlue, kDarkBlue},
}};

// What the current-content box shows of a copy: all of an ordinary text,
// the beginning of a huge one (laid out whole, it would hold the program up
// for seconds), marked as cut. The history line keeps the whole text.
inline constexpr std::size_t kCurrentBoxMaxLines = 256;
inline constexpr std::size_t kCurrentBoxMaxColumns = 1024;
inline constexpr std::wstring_view kCutMarker = L"…（以下省略）";
std::wstring CurrentContentShown(std::wstring_view text);

// The control's place in pixels within the client area.
PixelRect PlaceInClient(const MainControl& control, TwipsPerPixel scale);

const MainControl& Describe(ControlId id);

}  // namespace main_window
}  // namespace rtrillex
