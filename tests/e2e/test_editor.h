// A window of the test's own where a person types: a frame with a multi-line
// edit box, in front, the box holding the keyboard.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

class TestEditor {
 public:
  TestEditor();
  ~TestEditor();
  TestEditor(const TestEditor&) = delete;
  TestEditor& operator=(const TestEditor&) = delete;

  bool HasKeyboard() const { return GetForegroundWindow() == frame_ && GetFocus() == box_; }
  // As a person clicks into it: true once it has the keyboard.
  bool TakeKeyboard() const;
  // For a failure's message: the class of the window in front instead.
  std::wstring WindowInFront() const;
  std::wstring Text() const;
  // From now on a paste changes nothing (the box is read-only).
  void RefusePastes() const { SendMessageW(box_, EM_SETREADONLY, TRUE, 0); }
  // How often an editor of the test's has come to the front so far.
  int Activations() const;

 private:
  HWND frame_ = nullptr;
  HWND box_ = nullptr;
};

}  // namespace e2e
