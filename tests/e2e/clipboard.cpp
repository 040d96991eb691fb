#include "clipboard.h"

#include <shellapi.h>
#include <shlobj.h>

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

ClipboardWriter& ClipboardWriter::Files(const std::vector<std::wstring>& paths) {
  std::vector<BYTE> block(sizeof(DROPFILES), 0);
  DROPFILES header{};
  header.pFiles = sizeof header;
  header.fWide = TRUE;
  std::memcpy(block.data(), &header, sizeof header);
  for (const std::wstring& path : paths) {
    const auto* bytes = reinterpret_cast<const BYTE*>(path.c_str());
    block.insert(block.end(), bytes, bytes + (path.size() + 1) * sizeof(wchar_t));
  }
  block.insert(block.end(), sizeof(wchar_t), 0);
  SetClipboardData(CF_HDROP, Copy(block.data(), block.size()));
  return *this;
}

ClipboardWriter& ClipboardWriter::Block(UINT format, const std::vector<BYTE>& bytes) {
  SetClipboardData(format, Copy(bytes.data(), bytes.size()));
  return *this;
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

std::vector<std::wstring> ClipboardFiles() {
  std::vector<std::wstring> paths;
  if (!OpenWithRetry()) return paths;
  if (HANDLE data = GetClipboardData(CF_HDROP)) {
    const auto drop = static_cast<HDROP>(data);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      std::wstring path(DragQueryFileW(drop, i, nullptr, 0), L'\0');
      DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
      paths.push_back(path);
    }
  }
  CloseClipboard();
  return paths;
}

std::vector<BYTE> ClipboardBlock(UINT format) {
  std::vector<BYTE> bytes;
  if (!OpenWithRetry()) return bytes;
  if (HANDLE data = GetClipboardData(format)) {
    const auto* start = static_cast<const BYTE*>(GlobalLock(data));
    if (start) bytes.assign(start, start + GlobalSize(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return bytes;
}

DWORD ClipboardDropEffect() {
  DWORD effect = 0;
  if (!OpenWithRetry()) return effect;
  if (HANDLE data = GetClipboardData(RegisterClipboardFormatW(L"Preferred DropEffect"))) {
    if (GlobalSize(data) >= sizeof effect) std::memcpy(&effect, GlobalLock(data), sizeof effect);
    GlobalUnlock(data);
  }
  CloseClipboard();
  return effect;
}

}  // namespace e2e
