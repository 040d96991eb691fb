// Creates a window's controls from their descriptions.
#pragma once

#include <windows.h>

#include <string_view>

#include "control_layout.h"

namespace rtrillex {

// One child control at a place in client pixels, with its font. A plain
// label takes the size of its caption in that font.
HWND CreateControl(HWND parent, int id, ControlKind kind, std::wstring_view caption, const PixelRect& place,
                   HFONT font);

template <typename Id>
HWND CreateControl(HWND parent, const ControlDescription<Id>& control, const TwipRect& frame, TwipsPerPixel scale,
                   HFONT font) {
  return CreateControl(parent, static_cast<int>(control.id), control.kind, control.caption,
                       PlaceInClient(control, frame, scale), font);
}

// A group box is created before the controls it frames, for the tab order;
// put below them in the z-order, it cannot paint over them.
void PutFrameBelowItsControls(HWND frame);

}  // namespace rtrillex
