// Prints how long the clipboard change handler takes on large texts and a
// long history, next to the time of merely reading the same text from the
// clipboard. Runs the real main window in this process, from a copy of
// itself in a fresh folder so that its Setting.ini (tones of no length,
// popup on, auto-clear off) is its own.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/main_window.h"
#include "clipwatch/system_clipboard.h"

namespace {

using Clock = std::chrono::steady_clock;

std::wstring ThisExe() {
  wchar_t path[MAX_PATH];
  return std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
}

bool InBenchFolder() { return ThisExe().find(L"rtrillex-bench-") != std::wstring::npos; }

int RunFromFreshFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"rtrillex-bench-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring exe = folder + L"\\clipboard_bench.exe";
  const std::wstring settings = folder + L"\\Setting.ini";
  CopyFileW(ThisExe().c_str(), exe.c_str(), FALSE);
  WritePrivateProfileStringW(L"CheckBox", L"Beep", L"0", settings.c_str());
  WritePrivateProfileStringW(L"CheckBox", L"Comment", L"1", settings.c_str());
  WritePrivateProfileStringW(L"CheckBox", L"Clear", L"0", settings.c_str());
  WritePrivateProfileStringW(L"TimeSet", L"ViewTime", L"1", settings.c_str());
  WritePrivateProfileStringW(L"TimeSet", L"ClrTime", L"60", settings.c_str());

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  std::wstring commandLine = L"\"" + exe + L"\"";
  DWORD code = 1;
  if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                     &child)) {
    WaitForSingleObject(child.hProcess, INFINITE);
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
  }
  DeleteFileW(exe.c_str());
  DeleteFileW(settings.c_str());
  RemoveDirectoryW(folder.c_str());
  return static_cast<int>(code);
}

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

void PutText(const std::wstring& text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(memory);
  OpenClipboard(nullptr);
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
}

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Lines of 80 characters, Japanese and ASCII mixed, up to `chars` characters.
std::wstring SampleText(std::size_t chars) {
  const std::wstring line = L"クリップボードの履歴 clipboard history line with some words in it, 1234567890 abc\r\n";
  std::wstring text;
  text.reserve(chars);
  while (text.size() < chars) text += line;
  text.resize(chars);
  return text;
}

// How long `work` takes, in milliseconds.
template <typename Work>
double TimeMs(Work work) {
  const auto start = Clock::now();
  work();
  return Milliseconds(Clock::now() - start);
}

void Measure(rtrillex::Form1& form, const char* label, const std::wstring& text) {
  PutText(text);
  Pump();  // the window's own notification runs once here, untimed

  rtrillex::SystemClipboard clipboard(form);
  std::size_t read = 0;
  const double readMs = TimeMs([&] { read = clipboard.ReadText().value_or(L"").size(); });
  const double handlerMs = TimeMs([&] { form.ChangeClipBoard(); });

  // The share of the platform's multi-line text box, which lays out the
  // whole text: the same text set into the current-content box alone.
  const HWND box = form.Control(rtrillex::ControlId::txtCurCB);
  SetWindowTextW(box, L"");
  const double boxMs = TimeMs([&] { SetWindowTextW(box, text.c_str()); });

  // The history list's share: a line as long as the text, added alone.
  const HWND list = form.Control(rtrillex::ControlId::List1);
  const std::wstring line = L"12:00:00\t" + text;
  LRESULT added = LB_ERR;
  const double listMs =
      TimeMs([&] { added = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str())); });
  if (added >= 0) SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(added), 0);

  std::printf("%-36s %9zu chars  handler %9.2f ms  read %8.2f ms  ratio %6.1f  (text box alone %9.2f ms, list alone %8.2f ms)\n",
              label, read, handlerMs, readMs, readMs > 0 ? handlerMs / readMs : 0.0, boxMs, listMs);
  std::fflush(stdout);
  Pump();
}

}  // namespace

int main() {
  if (!InBenchFolder()) return RunFromFreshFolder();

  rtrillex::Form1 form;
  if (!form.Start()) {
    std::printf("clipboard_bench: another rTrillex is running; stop it first\n");
    return 1;
  }
  Pump();
  Measure(form, "text 1 KB", SampleText(1024));
  Measure(form, "text 1 MB", SampleText(1024 * 1024));
  Measure(form, "text 10 MB", SampleText(10 * 1024 * 1024));

  const HWND list = form.Control(rtrillex::ControlId::List1);
  const std::wstring line = L"12:00:00\t" + SampleText(60);
  while (SendMessageW(list, LB_GETCOUNT, 0, 0) < 10000)
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  Measure(form, "text 1 KB, history of 10,000 lines", SampleText(1024));
  form.EndProgram();
  return 0;
}
