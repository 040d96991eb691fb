// Windows described as data: each control's kind, caption, place in twips,
// colours and font, listed in tab order. The Win32 side creates them.
#pragma once

#include <string_view>

#include "units.h"

namespace rtrillex {

enum class ControlKind {
  ListBox,
  Label,          // one line, as wide as its caption
  WrappingLabel,  // fixed size, words wrap inside it
  GroupBox,
  CheckBox,
  Edit,
  MultiLineEdit,
  LabelButton,  // a bordered label that acts as a button
  PushButton,
  Picture,  // the program icon, stretched to fill it
};

// The two label buttons share a font of their own; every other control uses
// its window's default font.
enum class ControlFont { Default, LabelButton };

inline constexpr Colour kDefaultColour = 0xFFFFFFFFu;  // the control's usual colour

template <typename Id>
struct ControlDescription {
  Id id;
  ControlKind kind;
  std::wstring_view caption;
  TwipRect place;    // from the client area's corner, or from the frame's
  bool insideFrame;  // placed relative to the window's group box
  Colour background = kDefaultColour;
  Colour text = kDefaultColour;
  ControlFont font = ControlFont::Default;
};

// The control's place in client pixels. A control inside the frame is
// converted on its own and added to the frame's converted corner, as a child
// placed inside the frame would be.
template <typename Id>
PixelRect PlaceInClient(const ControlDescription<Id>& control, const TwipRect& frame, TwipsPerPixel scale) {
  PixelRect place = ToPixels(control.place, scale);
  if (control.insideFrame) {
    const PixelRect origin = ToPixels(frame, scale);
    place.left += origin.left;
    place.top += origin.top;
  }
  return place;
}

// Windows use this face at 9 points (12-pixel lines at 96 dpi) unless a
// control has a font of its own, always in the Shift-JIS character set.
inline constexpr std::wstring_view kDefaultFace = L"ＭＳ Ｐゴシック";
inline constexpr float kDefaultPoints = 9.0f;
inline constexpr int kShiftJisCharset = 128;

}  // namespace rtrillex
