// What the version window "rStashel バージョン情報" looks like: the program
// icon, the version line, the rights notice and where to find the newest
// version and send reports, above a close button.
#pragma once

#include <array>
#include <string_view>

#include "control_layout.h"
#include "version.h"

namespace rtrillex {

enum class AboutControlId : int { Frame1 = 3001, Command1, Label1, Label2, Label3, Label4, Label5, Label6, Image1 };

using AboutControl = ControlDescription<AboutControlId>;

namespace about_window {

inline constexpr std::wstring_view kCaption = L"rStashel バージョン情報";
inline constexpr int kClientWidthTwips = 7005;
inline constexpr int kClientHeightTwips = 4020;

// The version comes from resources/version.h, which the version record and
// the release archive's name also read.
inline constexpr std::wstring_view kVersionLine = L"rTrillex Ver" RTRILLEX_VERSION_TEXT;
inline constexpr std::wstring_view kRightsNotice = L"本ソフトウェアの著作権は rTrillex project に帰属し、自由に使用・再配布できます。";
// The project has no web site or mail address of its own: the archives are
// published beside the sources, and reports go where the user got the
// program or to the sources' issue tracker. No address is made up.
inline constexpr std::wstring_view kNewestVersionPlace = L"ソースの公開場所（rTrillex project）";
inline constexpr std::wstring_view kReportPlace = L"入手元、またはソースの issue tracker";

inline constexpr TwipRect kFrame = {360, 240, 6255, 3135};

// In tab order, which is also the order of creation.
inline constexpr std::array<AboutControl, 9> kControls = {{
    {AboutControlId::Frame1, ControlKind::GroupBox, L"バージョン情報", kFrame, false},
    {AboutControlId::Command1, ControlKind::PushButton, L"閉じる(&C)", {3000, 3480, 975, 375}, false},
    {AboutControlId::Label1, ControlKind::WrappingLabel, kVersionLine, {2040, 600, 2295, 375}, true},
    {AboutControlId::Label2, ControlKind::WrappingLabel, kRightsNotice, {2040, 960, 4095, 495}, true},
    {AboutControlId::Label3, ControlKind::WrappingLabel, L"▼最新版はこちらから", {600, 1800, 3375, 375}, true},
    {AboutControlId::Label4, ControlKind::WrappingLabel, kNewestVersionPlace, {600, 2040, 3855, 255}, true},
    {AboutControlId::Label5, ControlKind::WrappingLabel, L"▼バグ報告・ご要望などはこちらまで", {600, 2400, 3255, 255}, true},
    {AboutControlId::Label6, ControlKind::WrappingLabel, kReportPlace, {600, 2640, 3375, 375}, true},
    {AboutControlId::Image1, ControlKind::Picture, L"", {360, 360, 1290, 1215}, true},
}};

}  // namespace about_window
}  // namespace rtrillex
