// A window of the program's own laid out in code (the phrases', the sharing
// one): fixed in size, in the windows' usual face, with the program icon,
// its controls placed in pixels at 96 dpi scaled with the screen, and the
// keyboard moved among them as in a dialog.
#pragma once

#include <windows.h>

#include <string_view>

#include "desktop.h"
#include "handle.h"
#include "window.h"

namespace rtrillex {

class FormWindow : public Window {
 protected:
  // Registers the class on first use and creates the window, hidden, with
  // its icon and font; false when it could not be made.
  bool CreateForm(const wchar_t* className, const wchar_t* title, DWORD style, int clientWidth96, int clientHeight96);
  HWND AddControl(const wchar_t* className, std::wstring_view text, DWORD style, int id, const RECT& at96);
  HFONT font() const { return font_.get(); }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  ProgramIcons icons_;
  UniqueFont font_;
};

}  // namespace rtrillex
