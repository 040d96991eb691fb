#include "clipboard.h"

#include <cstring>
#include <vector>

#include "harness.h"

namespace e2e {
namespace {

HGLOBAL Copy(const void* data, std::size_t size) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (memory) {
    std::memcpy(GlobalLock(memory), data, size);
    GlobalUnlock(memory);
  }
  return memory;
}

bool OpenWithRetry() {
  return WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2s);
}

}  // namespace

ClipboardWriter::ClipboardWriter() : open_(OpenWithRetry()) {
  if (open_) EmptyClipboard();
}

ClipboardWriter::~ClipboardWriter() {
  if (open_) CloseClipboard();
}

ClipboardWriter& ClipboardWriter::Text(const std::wstring& text) {
  SetClipboardData(CF_UNICODETEXT, Copy(text.c_str(), (text.size() + 1) * sizeof(wchar_t)));
  return *this;
}

ClipboardWriter& ClipboardWriter::Image() {
  // A 2 x 2 true-colour bitmap.
  std::vector<BYTE> dib(sizeof(BITMAPINFOHEADER) + 2 * 8, 0x80);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = 2;
  header.biHeight = 2;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  std::memcpy(dib.data(), &header, sizeof header);
  SetClipboardData(CF_DIB, Copy(dib.data(), dib.size()));
  return *this;
}

ClipboardWriter& ClipboardWriter::RichText(const std::string& rtf) {
  return Registered(L"Rich Text Format", rtf.c_str(), rtf.size() + 1);
}

ClipboardWriter& ClipboardWriter::Registered(const wchar_t* formatName, const void* data, std::size_t size) {
  SetClipboardData(RegisterClipboardFormatW(formatName), Copy(data, size));
  return *this;
}

void PutText(const std::wstring& text) { ClipboardWriter().Text(text); }

void EmptyClipboardNow() { ClipboardWriter writer; }

std::optional<std::wstring> ClipboardText() {
  if (!OpenWithRetry()) return std::nullopt;
  std::optional<std::wstring> text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

bool ClipboardIsEmpty() { return CountClipboardFormats() == 0; }

}  // namespace e2e
