// How long a copy made by a Linux program (xclip, which scripts/bench.sh
// runs on its request) takes to reach rTrillex's history, next to a bare
// viewer of its own that only reads the text, in the same run. Each round
// the bare viewer and then each rTrillex.exe named on the command line meet
// the copy alone, so that none waits for another's hold on the clipboard.
//
//   copy_timing.exe TEXT_FOLDER LABEL=EXE...
//
// It writes the texts into TEXT_FOLDER (the same folder scripts/bench.sh
// sees under its Linux path), asks for each copy with a line "@copy NAME"
// on its output, and reads back when xclip was started, as nanoseconds of
// the Unix clock, which Wine's precise system time also counts.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bare_clipboard.h"
#include "bench_text.h"

namespace {

using namespace bench;

double MsSince(long long startNs, long long endNs) { return static_cast<double>(endNs - startNs) / 1e6; }

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// Waits, handling messages, until `done` holds or `timeoutMs` pass.
template <typename Condition>
bool WaitFor(Condition done, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() > deadline) return false;
    Pump();
    Sleep(1);
  }
  return true;
}

std::string Utf8(const std::wstring& text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

// A text file as a Linux program copies it: UTF-8 with LF line ends (Wine
// gives the CR back). Its length in UTF-16 characters without the CRs.
std::size_t WriteText(const std::wstring& path, std::wstring text) {
  text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
  const std::string bytes = Utf8(text);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return text.size();
}

// Has xclip copy the file NAME of the text folder; the moment it was started.
long long CopyWithXclip(const std::wstring& name) {
  std::printf("@copy %ls\n", name.c_str());
  std::fflush(stdout);
  char line[64] = {};
  if (!std::fgets(line, sizeof line, stdin)) return 0;
  return std::atoll(line);
}

// A clipboard viewer that does what any program reading a copy does, on a
// thread of its own: on each change (while armed), one bare read.
class BareViewer {
 public:
  struct Read {
    long long doneNs = 0;
    std::size_t chars = 0;
  };

  BareViewer()
      : done_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    WaitForSingleObject(ready_, 10000);
  }
  ~BareViewer() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
    CloseHandle(ready_);
    CloseHandle(done_);
  }
  BareViewer(const BareViewer&) = delete;
  BareViewer& operator=(const BareViewer&) = delete;

  DWORD threadId() const { return threadId_; }
  void Arm() {
    ResetEvent(done_);
    armed_ = true;
  }
  // The read of the change that came since Arm; nullopt if none came in time.
  std::optional<Read> WaitForRead(DWORD timeoutMs) {
    const bool came = WaitForSingleObject(done_, timeoutMs) == WAIT_OBJECT_0;
    armed_ = false;
    if (!came) return std::nullopt;
    return read_;
  }

 private:
  static DWORD WINAPI Run(void* self) { return static_cast<BareViewer*>(self)->Loop(); }

  DWORD Loop() {
    WNDCLASSW description{};
    description.lpfnWndProc = Procedure;
    description.hInstance = GetModuleHandleW(nullptr);
    description.lpszClassName = L"BareViewer";
    RegisterClassW(&description);
    window_ = CreateWindowExW(0, L"BareViewer", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    AddClipboardFormatListener(window_);
    SetEvent(ready_);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    RemoveClipboardFormatListener(window_);
    DestroyWindow(window_);
    return 0;
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<BareViewer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_CLIPBOARDUPDATE && self && self->armed_) self->ReadChange();
    return DefWindowProcW(window, message, wParam, lParam);
  }

  void ReadChange() {
    std::optional<std::wstring> text;
    // As a careful program would: the clipboard may be held for a moment.
    for (int attempt = 0; attempt < 1000 && !text; ++attempt) {
      if (attempt > 0) Sleep(1);
      text = BareReadText(window_);
    }
    read_.doneNs = UnixNanoseconds();
    read_.chars = text ? text->size() : 0;
    armed_ = false;
    SetEvent(done_);
  }

  HANDLE done_;
  HANDLE ready_;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  HWND window_ = nullptr;
  std::atomic<bool> armed_{false};
  Read read_;
};

// rTrillex.exe copied into a fresh folder with a Setting.ini of its own
// (tones of no length, popup on for a second, auto-clear off), running.
class RunningProgram {
 public:
  explicit RunningProgram(const std::wstring& exe) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"rtrillex-copy-timing-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    exe_ = folder_ + L"\\rTrillex.exe";
    CopyFileW(exe.c_str(), exe_.c_str(), FALSE);
    const std::wstring settings = folder_ + L"\\Setting.ini";
    bench::WriteBenchSettings(settings);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + exe_ + L"\"";
    CreateProcessW(exe_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(), &startup,
                   &process_);
    // Start-up is over once the popup, its last step, exists.
    WaitFor([&] { return (main_ = TopLevel(L"rTrillexMain")) && TopLevel(L"rTrillexPopup"); }, 10000);
  }
  ~RunningProgram() {
    if (main_) PostMessageW(main_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 5000);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    DeleteFileW(exe_.c_str());
    DeleteFileW((folder_ + L"\\Setting.ini").c_str());
    RemoveDirectoryW(folder_.c_str());
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool started() const { return main_ != nullptr; }
  DWORD threadId() const { return process_.dwThreadId; }
  // Asked the way the tests ask: the answer comes once the program is free
  // to give it, that is once its reaction to a copy is over.
  long HistoryLines() const {
    DWORD_PTR count = 0;
    const HWND list = GetDlgItem(main_, 1001);  // List1
    SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 20000, &count);
    return static_cast<long>(count);
  }

 private:
  HWND TopLevel(const wchar_t* className) const {
    for (HWND window = FindWindowExW(nullptr, nullptr, className, nullptr); window;
         window = FindWindowExW(nullptr, window, className, nullptr)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner == process_.dwProcessId) return window;
    }
    return nullptr;
  }

  std::wstring folder_, exe_;
  PROCESS_INFORMATION process_{};
  HWND main_ = nullptr;
};

struct Range {
  std::vector<double> values;
  void Add(double value) { values.push_back(value); }
  std::string Text() const {
    if (values.empty()) return "-";
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    char text[64];
    std::snprintf(text, sizeof text, "%.0f-%.0f", *low, *high);
    return text;
  }
};

struct Figures {
  Range toLine;  // from the copy to the read done, or to the history line
  Range held;    // the clipboard held open
  int rounds = 0, uncounted = 0;
};

// One copy met by the bare viewer alone: counted only when it read all of the text.
void TimeBareRead(BareViewer& viewer, const std::wstring& name, std::size_t chars, Figures& figures) {
  viewer.Arm();
  OpenClipboardWatch held(viewer.threadId());
  const long long copied = CopyWithXclip(name);
  const std::optional<BareViewer::Read> read = viewer.WaitForRead(30000);
  const double heldMs = held.Stop();
  ++figures.rounds;
  if (!read || read->chars < chars) {
    ++figures.uncounted;
    return;
  }
  figures.toLine.Add(MsSince(copied, read->doneNs));
  figures.held.Add(heldMs);
}

// One copy met by rTrillex alone, after a small copy of its own: a program
// some time after its last copy, its popup gone again.
void TimeProgram(const std::wstring& exe, const std::wstring& name, Figures& figures) {
  RunningProgram program(exe);
  ++figures.rounds;
  if (!program.started()) {
    ++figures.uncounted;
    return;
  }
  const long before = program.HistoryLines();
  CopyWithXclip(L"warm-up.txt");
  WaitFor([&] { return program.HistoryLines() > before; }, 10000);
  WaitFor([] { return false; }, 1300);  // the popup's second, and a little more
  const long warmed = program.HistoryLines();
  OpenClipboardWatch held(program.threadId());
  const long long copied = CopyWithXclip(name);
  long long lineNs = 0;
  WaitFor(
      [&] {
        if (program.HistoryLines() <= warmed) return false;
        lineNs = UnixNanoseconds();
        return true;
      },
      30000);
  const double heldMs = held.Stop();
  if (!lineNs) {
    ++figures.uncounted;
    return;
  }
  figures.toLine.Add(MsSince(copied, lineNs));
  figures.held.Add(heldMs);
}

struct Program {
  std::string label;
  std::wstring exe;
};

std::vector<Program> ProgramsFrom(int argc, wchar_t** argv) {
  std::vector<Program> programs;
  for (int i = 2; i < argc; ++i) {
    const std::wstring argument = argv[i];
    const std::size_t equals = argument.find(L'=');
    if (equals == std::wstring::npos) continue;
    programs.push_back({Utf8(argument.substr(0, equals)), argument.substr(equals + 1)});
  }
  return programs;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::printf("usage: copy_timing.exe TEXT_FOLDER LABEL=EXE...\n");
    return 2;
  }
  const std::wstring folder = argv[1];
  const std::vector<Program> programs = ProgramsFrom(argc, argv);
  WriteText(folder + L"\\warm-up.txt", TextInLines(1024));

  struct Size {
    const char* label;
    std::size_t chars;
  };
  constexpr Size kSizes[] = {{"1 KB", 1024}, {"1 MB", 1024 * 1024}, {"10 MB", 10 * 1024 * 1024}};
  constexpr int kRounds = 3;
  BareViewer viewer;
  CopyWithXclip(L"warm-up.txt");  // the bare viewer's first read, untimed
  viewer.Arm();
  viewer.WaitForRead(5000);

  std::printf("A text in lines copied by xclip, from the copy to a bare viewer's read and to rTrillex's history\n"
              "line; each meets the copy alone; ranges of %d rounds, in ms (shared machine):\n",
              kRounds);
  std::printf("%-6s | %-22s | %-9s", "copy", "bare viewer: read done", "held open");
  for (const Program& program : programs)
    std::printf(" | %-26s | %-9s", ("rTrillex " + program.label + ": line").c_str(), "held open");
  std::printf("\n");
  std::fflush(stdout);
  for (const Size& size : kSizes) {
    const std::wstring name = L"text-" + std::to_wstring(size.chars) + L".txt";
    const std::size_t chars = WriteText(folder + L"\\" + name, TextInLines(size.chars));
    Figures bare;
    std::vector<Figures> figures(programs.size());
    for (int round = 0; round < kRounds; ++round) {
      TimeBareRead(viewer, name, chars, bare);
      for (std::size_t i = 0; i < programs.size(); ++i) TimeProgram(programs[i].exe, name, figures[i]);
    }
    std::printf("%-6s | %-22s | %-9s", size.label, bare.toLine.Text().c_str(), bare.held.Text().c_str());
    for (const Figures& f : figures) std::printf(" | %-26s | %-9s", f.toLine.Text().c_str(), f.held.Text().c_str());
    if (bare.uncounted) std::printf("  (%d of %d bare reads short: not counted)", bare.uncounted, bare.rounds);
    std::printf("\n");
    std::fflush(stdout);
  }
  return 0;
}
