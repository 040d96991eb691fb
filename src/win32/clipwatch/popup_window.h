// Form2, the text popup "rGlimmet": a borderless, topmost light-blue box
// beside the mouse pointer whose one label shows the copied text. It exists
// only while loaded: the first use creates it, unloading destroys it.
#pragma once

#include <windows.h>

#include <string_view>

#include "clipboard_watch.h"
#include "desktop.h"
#include "handle.h"
#include "window.h"

namespace rtrillex {

class Form2 : public Window, public TextPopup {
 public:
  void Load();              // creates the window, hidden, if it does not exist
  void Unload() override;   // destroys it and its text

  // Each of these loads the window first.
  void SetTop(float twips) override;
  void SetLeft(float twips) override;
  void SetCaption(std::wstring_view shown) override;
  void Show() override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Form_Load();
  void LoadResources();
  void FitLabelTo(std::wstring_view caption);

  void MoveTo(int x, int y);

  HWND label_ = nullptr;
  POINT place_{0, 0};  // the window's top-left corner on the screen
  TwipsPerPixel scale_{15.0f, 15.0f};
  UniqueFont font_;
  TextMeasurer measurer_;  // in font_
  UniqueBrush background_;
  UniqueIcon icon_;
};

}  // namespace rtrillex
