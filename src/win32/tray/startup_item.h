// The icon's menu item "Windows の起動時に開始": checked while the person's
// Startup folder holds rTrillex.lnk pointing to this very exe.
#pragma once

#include <windows.h>

namespace rtrillex {

class StartupItem {
 public:
  // Reads the folder each time the menu opens, so that a shortcut made,
  // deleted or moved by hand shows as it is.
  void ShowIn(HMENU menu, UINT command);

  // At start: clears what an interrupted making left in the Startup folder.
  static void RemoveLeftovers();

  // Does the opposite of what the menu showed. A failure changes nothing
  // and is told once, in a message box over `owner`.
  void OnChosen(HWND owner);

 private:
  bool shownChecked_ = false;
};

}  // namespace rtrillex
