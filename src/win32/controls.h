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

// The windows added since (the phrases', the sharing one) are laid out in
// pixels at 96 dpi, scaled with the screen's density.
int ScaledFrom96(int pixels);
// A control of a system class with `style` (visible child added), placed
// at `at96` scaled, in `font`; edits and lists sunken.
HWND CreateScaledControl(HWND parent, const wchar_t* className, std::wstring_view text, DWORD style, int id,
                         const RECT& at96, HFONT font);

// The keyboard moved as a dialog moves it, in a window that is not one: to
// `control`, an edit's text selected whole; and WM_NEXTDLGCTL, which a
// label's access key sends to go to the control after it.
void FocusControl(HWND control);
void OnNextDialogControl(HWND window, WPARAM wParam, LPARAM lParam);

}  // namespace rtrillex
