#include "current_content_box.h"

namespace rtrillex {
namespace {

constexpr wchar_t kSelfProperty[] = L"rTrillexCurrentContentBox";

}  // namespace

void CurrentContentBox::Attach(HWND box) {
  box_ = box;
  // The whole copied text, not 32K of it.
  SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
  SetPropW(box, kSelfProperty, this);
  editProcedure_ =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure)));
}

void CurrentContentBox::Show(std::wstring_view shown) {
  pending_ = std::wstring(shown);
  if (IsWindowVisible(box_)) PutPendingText();
}

// Every message to the box finds it holding the current content: what was
// set while nobody could see it goes in first.
LRESULT CALLBACK CurrentContentBox::Procedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<CurrentContentBox*>(GetPropW(box, kSelfProperty));
  if (!self) return DefWindowProcW(box, message, wParam, lParam);
  const WNDPROC editProcedure = self->editProcedure_;
  if (message == WM_NCDESTROY) {
    RemovePropW(box, kSelfProperty);
    SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editProcedure));
  } else {
    self->PutPendingText();
  }
  return CallWindowProcW(editProcedure, box, message, wParam, lParam);
}

void CurrentContentBox::PutPendingText() {
  if (!pending_) return;
  // Taken out first: setting it sends the box a message, which comes back here.
  const std::wstring text = std::move(*pending_);
  pending_.reset();
  SetWindowTextW(box_, text.c_str());
}

}  // namespace rtrillex
