// Prints how long the clipboard change handler takes on large texts (in
// short lines and in one single line) and with a long history, next to the
// time of merely reading the same text from the clipboard; how long the
// main window takes to show after a huge copy; and the memory that 100
// copies of 1 MB take. Each figure stands beside its target. Runs the real
// main window in this process, from a copy of itself in a fresh folder so
// that its Setting.ini (tones of no length, popup on, auto-clear off) is
// its own.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
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

// Lines of 100 characters (CR LF included), Japanese and ASCII mixed, up to `chars` characters.
std::wstring TextInLines(std::size_t chars) {
  const std::wstring line =
      L"クリップボードの履歴 clipboard history line with some words in it, 1234567890 abcdefghijklmnopqrstu\r\n";
  std::wstring text;
  text.reserve(chars);
  while (text.size() < chars) text += line;
  text.resize(chars);
  return text;
}

// One line without a break: minified code, base64, a long list of addresses.
std::wstring TextInOneLine(std::size_t chars) {
  const std::wstring piece = L"QmFzZTY0IGRhdGEgd2l0aG91dCBhbnkgbGluZSBicmVha3M=";
  std::wstring text;
  text.reserve(chars);
  while (text.size() < chars) text += piece;
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

const char* Verdict(bool met) { return met ? "met" : "NOT MET"; }

// A change the handler meets while the window is hidden (its usual state),
// next to one plain read of the same text. The target is at most three
// reads, or for a small copy at most `limitMs`.
void MeasureHidden(rtrillex::Form1& form, const char* label, const std::wstring& text, double limitMs = 0) {

  // The best of a few runs for a small copy, whose figures a busy machine blurs.
  const int runs = text.size() < 100000 ? 5 : 1;
  rtrillex::SystemClipboard clipboard(form);
  std::size_t read = 0;
  double readMs = 1e9, handlerMs = 1e9;
  for (int run = 0; run < runs; ++run) {
    // Each run a fresh copy: its notice queues the look that the pump runs.
    PutText(text);
    readMs = std::min(readMs, TimeMs([&] {
      clipboard.ReadInSession([&] { read = clipboard.ReadText().value_or(L"").size(); });
    }));
    handlerMs = std::min(handlerMs, TimeMs(Pump));
  }
  const double ratio = readMs > 0 ? handlerMs / readMs : 0.0;
  if (limitMs > 0)
    std::printf("%-28s %9zu chars  handler %8.1f ms  read %7.1f ms  target <= %.0f ms: %s\n", label, read, handlerMs,
                readMs, limitMs, Verdict(handlerMs <= limitMs));
  else
    std::printf("%-28s %9zu chars  handler %8.1f ms  read %7.1f ms  ratio %5.1f  target <= 3 reads: %s\n", label,
                read, handlerMs, readMs, ratio, Verdict(ratio <= 3.0));
  std::fflush(stdout);
  Pump();
}

// What a double-click on the icon costs after a huge copy: the window shown
// and painted, its box holding the beginning of the text.
void MeasureShowing(rtrillex::Form1& form, const char* label, const std::wstring& text) {
  PutText(text);
  Pump();
  const HWND window = form.hwnd();
  const double showMs = TimeMs([&] {
    ShowWindow(window, SW_SHOW);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  });
  wchar_t shown[64] = {};
  GetWindowTextW(form.Control(rtrillex::ControlId::txtCurCB), shown, 64);
  const bool beginning = text.compare(0, std::wcslen(shown), shown) == 0 && shown[0] != L'\0';
  std::printf("%-28s %9zu chars  shown in %7.1f ms  target < 2000 ms: %s; the box shows the beginning: %s\n", label,
              text.size(), showMs, Verdict(showMs < 2000), beginning ? "yes" : "NO");
  std::fflush(stdout);
  ShowWindow(window, SW_HIDE);
  Pump();
}

// The commit charge: what the program holds in memory of its own. (Its
// PrivateUsage is the same figure on Windows, but Wine reports no such.)
double CommittedMegabytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return static_cast<double>(counters.PagefileUsage) / (1024.0 * 1024.0);
}

// The memory that the history of 100 copies of 1 MB takes, against the
// texts' own size in UTF-16.
void MeasureMemory(rtrillex::Form1& form) {
  constexpr int kCopies = 100;
  std::wstring text = TextInLines(1024 * 1024);
  const HWND list = form.Control(rtrillex::ControlId::List1);
  const LRESULT linesBefore = SendMessageW(list, LB_GETCOUNT, 0, 0);
  const double before = CommittedMegabytes();
  for (int copy = 0; copy < kCopies; ++copy) {
    text[0] = static_cast<wchar_t>(L'A' + copy % 26);  // each copy a text of its own
    PutText(text);
    Pump();
  }
  const double grown = CommittedMegabytes() - before;
  const double texts = kCopies * static_cast<double>(text.size() * sizeof(wchar_t)) / (1024.0 * 1024.0);
  const LRESULT lines = SendMessageW(list, LB_GETCOUNT, 0, 0) - linesBefore;
  std::printf("memory after %d copies of 1 MB (%ld history lines): %.0f MB more for %.0f MB of text (%.2f times)  "
              "target <= 2.5 times: %s\n",
              kCopies, static_cast<long>(lines), grown, texts, grown / texts, Verdict(grown / texts <= 2.5));
  std::fflush(stdout);
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
  constexpr std::size_t kMegabyte = 1024 * 1024;
  MeasureHidden(form, "1 KB", TextInLines(1024), 6.0);
  MeasureHidden(form, "1 MB in lines", TextInLines(kMegabyte));
  MeasureHidden(form, "1 MB in one line", TextInOneLine(kMegabyte));
  MeasureHidden(form, "10 MB in lines", TextInLines(10 * kMegabyte));
  MeasureHidden(form, "10 MB in one line", TextInOneLine(10 * kMegabyte));
  MeasureShowing(form, "showing after 10 MB in lines", TextInLines(10 * kMegabyte));
  MeasureShowing(form, "showing after 10 MB, 1 line", TextInOneLine(10 * kMegabyte));

  // The history grows as the window's own copies grow it.
  rtrillex::WatchWindow& history = form;
  const std::wstring line = L"12:00:00\t" + TextInLines(60);
  while (SendMessageW(form.Control(rtrillex::ControlId::List1), LB_GETCOUNT, 0, 0) < 10000)
    history.AppendHistoryLine(line);
  MeasureHidden(form, "1 KB, 10,000 history lines", TextInLines(1024), 6.0);

  MeasureMemory(form);
  form.EndProgram();
  return 0;
}
