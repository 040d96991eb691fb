// rTrillex: sits in the notification area and reacts to every clipboard change.
#include <windows.h>

#include "app/main_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  rtrillex::Form1 form1;
  if (!form1.Start()) return 0;

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (form1.TranslateDialogMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
