// Form2, the text popup "rGlimmet": a borderless, topmost light-blue box
// beside the mouse pointer whose one label shows the copied text. It exists
// only while loaded: the first use creates it, unloading destroys it.
#pragma once

#include <windows.h>

#include <string_view>

#include "handle.h"
#include "window.h"

namespace rtrillex {

class Form2 : public Window {
 public:
  void Load();    // creates the window, hidden, if it does not exist
  void Unload();  // destroys it and its text

  // Each of these loads the window first.
  void SetLabelCaption(std::wstring_view caption);
  void Show();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Form_Load();
  void FitLabelToCaption();

  HWND label_ = nullptr;
  UniqueFont font_;
  UniqueBrush background_;
  UniqueIcon icon_;
};

}  // namespace rtrillex
