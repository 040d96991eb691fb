#include "main_window_layout.h"

#include <gtest/gtest.h>

namespace rtrillex::main_window {
namespace {

constexpr TwipsPerPixel k96Dpi{15.0f, 15.0f};

TEST(TwipsToPixels, ConvertsWithTheScreensTwipsPerPixel) {
  EXPECT_EQ(TwipsPerPixelFor(96, 96).x, 15.0f);
  EXPECT_EQ(TwipsPerPixelFor(120, 120).y, 12.0f);
  EXPECT_EQ(TwipsPerPixelFor(144, 144).x, 10.0f);
  EXPECT_EQ(TwipsToPixels(6015, 15.0f), 401);
  EXPECT_EQ(TwipsToPixels(6015, 12.0f), 501);  // 501.25
  EXPECT_EQ(TwipsToPixels(2370, 12.0f), 198);  // 197.5: halves to even
  EXPECT_EQ(TwipsToPixels(2190, 12.0f), 182);  // 182.5: halves to even
}

TEST(MainWindowLayout, FallsOnWholePixelsAt96Dpi) {
  for (const MainControl& control : kControls) {
    const TwipRect& t = control.place;
    for (int v : {t.left, t.top, t.width, t.height}) EXPECT_EQ(v % 15, 0) << static_cast<int>(control.id);
  }
  EXPECT_EQ(PlaceInClient(Describe(ControlId::List1), k96Dpi), (PixelRect{8, 144, 401, 158}));
  EXPECT_EQ(PlaceInClient(Describe(ControlId::txtClrTime), k96Dpi), (PixelRect{8 + 312, 320 + 64, 41, 18}));
  EXPECT_EQ(PlaceInClient(Describe(ControlId::chkBeep), k96Dpi), (PixelRect{8 + 8, 320 + 16, 185, 17}));
}

TEST(MainWindowLayout, VisibleControlsStayInsideTheClientAreaAndApart) {
  const int width = TwipsToPixels(kClientWidthTwips, 15.0f);
  const int height = TwipsToPixels(kClientHeightTwips, 15.0f);
  EXPECT_EQ(width, 425);
  EXPECT_EQ(height, 451);
  const PixelRect frame = PlaceInClient(Describe(ControlId::Frame1), k96Dpi);
  for (const MainControl& a : kControls) {
    const PixelRect pa = PlaceInClient(a, k96Dpi);
    EXPECT_GE(pa.left, 0);
    EXPECT_GE(pa.top, 0);
    EXPECT_LE(pa.left + pa.width, width) << static_cast<int>(a.id);
    EXPECT_LE(pa.top + pa.height, height) << static_cast<int>(a.id);
    if (a.insideFrame) {
      EXPECT_LE(pa.left + pa.width, frame.left + frame.width) << static_cast<int>(a.id);
      EXPECT_LE(pa.top + pa.height, frame.top + frame.height) << static_cast<int>(a.id);
    }
    for (const MainControl& b : kControls) {
      if (&a == &b || a.kind == ControlKind::GroupBox || b.kind == ControlKind::GroupBox) continue;
      const PixelRect pb = PlaceInClient(b, k96Dpi);
      // The long check boxes run one pixel under the duration box beside them.
      constexpr int kTolerance = 1;
      const bool apart = pa.left + pa.width <= pb.left + kTolerance || pb.left + pb.width <= pa.left + kTolerance ||
                         pa.top + pa.height <= pb.top || pb.top + pb.height <= pa.top;
      EXPECT_TRUE(apart) << static_cast<int>(a.id) << " overlaps " << static_cast<int>(b.id);
    }
  }
}

TEST(MainWindowLayout, CaptionsKeepTheirExactBlanks) {
  EXPECT_EQ(Describe(ControlId::chkClear).caption.substr(Describe(ControlId::chkClear).caption.size() - 2), L"→ ");
  EXPECT_EQ(Describe(ControlId::chkComment).caption.back(), L'→');
  EXPECT_EQ(kFileMenu, L"ファイル(&F )");
}

}  // namespace
}  // namespace rtrillex::main_window
