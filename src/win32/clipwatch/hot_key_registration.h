// A system-wide key combination registered for a window while this lives.
#pragma once

#include <windows.h>

#include "hot_key.h"

namespace rtrillex {

// The core names modifiers and keys by Win32's own values.
static_assert(key::kAlt == MOD_ALT && key::kControl == MOD_CONTROL && key::kShift == MOD_SHIFT && key::kWin == MOD_WIN);
static_assert(key::kF1 == VK_F1 && key::kF24 == VK_F24 && key::kSpace == VK_SPACE && key::kPageUp == VK_PRIOR &&
              key::kPageDown == VK_NEXT && key::kEnd == VK_END && key::kHome == VK_HOME && key::kLeft == VK_LEFT &&
              key::kUp == VK_UP && key::kRight == VK_RIGHT && key::kDown == VK_DOWN && key::kInsert == VK_INSERT &&
              key::kDelete == VK_DELETE);

class HotKeyRegistration {
 public:
  // A combination that another program holds is simply not registered.
  HotKeyRegistration(HWND window, int id, HotKey combination)
      : window_(window),
        id_(id),
        registered_(RegisterHotKey(window, id, combination.modifiers, combination.virtualKey) != FALSE) {}
  ~HotKeyRegistration() {
    if (registered_) UnregisterHotKey(window_, id_);
  }
  HotKeyRegistration(const HotKeyRegistration&) = delete;
  HotKeyRegistration& operator=(const HotKeyRegistration&) = delete;

 private:
  HWND window_;
  int id_;
  bool registered_;
};

}  // namespace rtrillex
