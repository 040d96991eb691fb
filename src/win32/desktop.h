// Fonts, colours and icons as the screen and the exe's resources give them.
#pragma once

#include <windows.h>

#include <string_view>

#include "handle.h"
#include "units.h"

namespace rtrillex {

// 1440 divided by the screen's dots per inch, across and down.
TwipsPerPixel ScreenTwipsPerPixel();
int ScreenDotsPerInchY();

// A font of the given face and size in points, Shift-JIS character set, regular.
UniqueFont CreatePointFont(std::wstring_view face, float points);

// The extent of a text drawn in a font: the longest line across, every line down.
SIZE MeasureText(HWND window, HFONT font, std::wstring_view text);

// The same measure, taken again and again in one font: on a device context
// of its own, made once, rather than a window's borrowed each time.
class TextMeasurer {
 public:
  TextMeasurer() = default;
  explicit TextMeasurer(HFONT font);  // the font must outlive the measurer
  SIZE Measure(std::wstring_view text) const;

 private:
  UniqueDC dc_;
};

// The font of the system's menus, which the menus of the program draw with.
UniqueFont CreateMenuFont();

// The work area (the monitor less its taskbars) of the monitor nearest `point`.
PixelRect WorkAreaAt(POINT point);

// A colour as stored (0x00BBGGRR, or 0x800000nn for system colour nn).
COLORREF ResolveColour(Colour colour);

// The program icon at a size of its own (the version window's picture).
UniqueIcon LoadProgramIcon(int width, int height);
UniqueIcon LoadPopupIcon();

// The program icon at the sizes of a window's title bar and taskbar button.
class ProgramIcons {
 public:
  ProgramIcons();
  void AttachTo(HWND window) const;
  HICON small() const { return small_.get(); }

 private:
  UniqueIcon big_;
  UniqueIcon small_;
};

}  // namespace rtrillex
