// The clipboard as another program sees it: the tests put data on it the
// way editors and image programs do, and read what rTrillex left there.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

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
  ClipboardWriter& Files(const std::vector<std::wstring>& paths);  // as Explorer's Ctrl+C
  ClipboardWriter& Block(UINT format, const std::vector<BYTE>& bytes);
  ClipboardWriter& Registered(const wchar_t* formatName, const void* data, std::size_t size);

 private:
  bool open_ = false;
};

void PutText(const std::wstring& text);
void EmptyClipboardNow();
std::optional<std::wstring> ClipboardText();
bool ClipboardIsEmpty();
// The files on the clipboard as the shell reads them, and what their paste
// is to do with them ("Preferred DropEffect"; 0 when not said).
std::vector<std::wstring> ClipboardFiles();
DWORD ClipboardDropEffect();
// A format's block as it is on the clipboard; empty when it is not there.
std::vector<BYTE> ClipboardBlock(UINT format);

}  // namespace e2e
