#include "test_editor.h"

#include <vector>

#include "harness.h"

namespace e2e {
namespace {

int activations = 0;

// As editors do: the frame hands the keyboard on to its box whenever it gets it.
LRESULT CALLBACK FrameProcedure(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) ++activations;
  if (message == WM_SETFOCUS) {
    if (HWND box = GetWindow(frame, GW_CHILD)) SetFocus(box);
    return 0;
  }
  return DefWindowProcW(frame, message, wParam, lParam);
}

}  // namespace

TestEditor::TestEditor() {
  static const ATOM frameClass = [] {
    WNDCLASSW description{};
    description.lpfnWndProc = FrameProcedure;
    description.hInstance = GetModuleHandleW(nullptr);
    description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    description.lpszClassName = L"rTrillexE2eEditor";
    return RegisterClassW(&description);
  }();
  frame_ = CreateWindowExW(0, MAKEINTATOM(frameClass), L"test editor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 500,
                           400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  box_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, 10,
                         10, 360, 200, frame_, nullptr, GetModuleHandleW(nullptr), nullptr);
  TakeKeyboard();
}

bool TestEditor::TakeKeyboard() const {
  // Taken again until it holds: the window in front before may still be
  // going (a program of the last test ending).
  return WaitUntil([&] {
    if (GetForegroundWindow() != frame_) SetForegroundWindow(frame_);
    if (GetForegroundWindow() == frame_ && GetFocus() != box_) SetFocus(box_);
    return HasKeyboard();
  });
}

std::wstring TestEditor::WindowInFront() const {
  wchar_t name[64] = L"(none)";
  if (HWND front = GetForegroundWindow()) GetClassNameW(front, name, 64);
  return name;
}

TestEditor::~TestEditor() { DestroyWindow(frame_); }

int TestEditor::Activations() const { return activations; }

std::wstring TestEditor::Text() const {
  std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(box_)) + 1);
  GetWindowTextW(box_, text.data(), static_cast<int>(text.size()));
  return text.data();
}

}  // namespace e2e
