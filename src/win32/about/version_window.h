// Form3, the version window: the program icon, the version line, the rights
// notice and the project's addresses. One at a time; closing destroys it.
#pragma once

#include <windows.h>

#include "desktop.h"
#include "handle.h"
#include "window.h"

namespace rtrillex {

class Form3 : public Window {
 public:
  // Creates the window if it is not open, then shows it without an owner.
  void Show();
  void Unload() { DestroyOwnedWindow(); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Load();
  void Form_Load();
  void Command1_Click() { Unload(); }
  void DrawPicture(const DRAWITEMSTRUCT& item);

  UniqueFont font_;
  ProgramIcons icons_;
  UniqueIcon picture_;  // the icon at its full 150 x 153
};

}  // namespace rtrillex
