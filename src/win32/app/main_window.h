// Form1, the main window "Trillex": the settings panel, the current clipboard
// content, the history list and the menus. It lives from start to exit; its
// start-up and clean-up are in lifecycle.cpp, the panel in settings_panel.cpp.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "clipwatch/popup_window.h"
#include "handle.h"
#include "main_window_layout.h"
#include "single_instance.h"
#include "window.h"

namespace rtrillex {

class Form1 : public Window {
 public:
  Form1();

  // Creates the window hidden and runs Form_Load. False when another copy of
  // the program already runs: this one has then cleaned up and must end.
  bool Start();

  // Ends the program: the unload clean-up once, then every window goes.
  void EndProgram();

  HWND Control(ControlId id) const { return GetDlgItem(hwnd(), static_cast<int>(id)); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // lifecycle.cpp
  bool Form_Load();
  void Form_Unload();
  void cmdEnd_Click();
  void lblEnd_Click();
  void mnuExit_Click();

  // settings_panel.cpp
  void LoadSettingsOrFirstRun();
  void cmdSet_Click();

  // main_window.cpp: how the window looks
  void CreateMainWindow();
  void CreateControls();
  HMENU CreateMenuBar();
  LRESULT OnCommand(int id, int notification);
  LRESULT OnControlColour(HDC dc, HWND control, UINT message, WPARAM wParam, LPARAM lParam);
  void DrawLabelButton(const DRAWITEMSTRUCT& item);
  void OnActivate(WPARAM wParam);
  static std::size_t IndexOf(int controlId);  // in the layout table

  // Members named as the rest of the program knows them.
  HWND NextViewer = nullptr;
  std::int16_t ViewTicks = 0;
  std::int16_t ClearTicks = 0;
  std::wstring SettingPath;

  TwipsPerPixel scale_{15.0f, 15.0f};
  UniqueFont defaultFont_;
  UniqueFont labelButtonFont_;
  std::vector<UniqueBrush> brushes_;  // parallel to the layout table; empty for default colours
  UniqueIcon bigIcon_;
  UniqueIcon smallIcon_;
  HWND focus_ = nullptr;              // restored when the window is activated again
  std::optional<SingleInstance> instance_;
  bool ending_ = false;

  Form2 form2_;
};

}  // namespace rtrillex
