// txtCurCB, the box that shows what the clipboard holds now. An edit control
// lays out all of its text when the text is set (Wine's takes about 1.5 ms a
// kilobyte, several times that for a long line), and the box is hidden with
// the main window nearly all the time: it takes a text once it shows, or
// once anything asks it anything.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace rtrillex {

class CurrentContentBox {
 public:
  CurrentContentBox() = default;
  CurrentContentBox(const CurrentContentBox&) = delete;
  CurrentContentBox& operator=(const CurrentContentBox&) = delete;

  // The box, whose messages then pass here first; it lives as long as this.
  void Attach(HWND box);
  // `shown`: what the box shows of the copy (CurrentContentShown).
  void Show(std::wstring_view shown);

 private:
  static LRESULT CALLBACK Procedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam);
  void PutPendingText();

  HWND box_ = nullptr;
  WNDPROC editProcedure_ = nullptr;
  std::optional<std::wstring> pending_;  // until the box is seen or asked
};

}  // namespace rtrillex
