// The clipboard as another program sees it: the tests put data on it the
// way editors and image programs do, and read what rTrillex left there.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace e2e {

// One change of the clipboard: opened, emptied, filled, closed.
class ClipboardWriter {
 public:
  ClipboardWriter();
  ~ClipboardWriter();  // closing announces the change
  ClipboardWriter(const ClipboardWriter&) = delete;
  ClipboardWriter& operator=(const ClipboardWriter&) = delete;

  bool open() const { return open_; }
  ClipboardWriter& Text(const std::wstring& text);
  ClipboardWriter& Image();  // a small device-independent bitmap
  ClipboardWriter& RichText(const std::string& rtf);
  ClipboardWriter& Registered(const wchar_t* formatName, const void* data, std::size_t size);

 private:
  bool open_ = false;
};

void PutText(const std::wstring& text);
void EmptyClipboardNow();
std::optional<std::wstring> ClipboardText();
bool ClipboardIsEmpty();

}  // namespace e2e
