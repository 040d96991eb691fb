#include "system_clipboard.h"

#include <algorithm>
#include <cstring>

#include "clipboard_change.h"

namespace rtrillex {
namespace {

// Opens the clipboard for as long as it lives, trying once: another program
// may hold it open for a moment (often another viewer reading the same
// change), and the clipboard watch tries again later without blocking.
class ClipboardSession {
 public:
  explicit ClipboardSession(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~ClipboardSession() {
    if (open_) CloseClipboard();  // a change made in the session is announced here
  }
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  bool open() const { return open_; }

 private:
  bool open_ = false;
};

// Locks a global memory block for reading or writing while it lives. Its
// size is asked for once: each GlobalSize is a call into the system, and a
// loop that asks on every character of a copy of megabytes takes seconds.
template <typename T>
class GlobalLockView {
 public:
  explicit GlobalLockView(HGLOBAL memory)
      : memory_(memory),
        data_(static_cast<T*>(GlobalLock(memory))),
        count_(data_ ? GlobalSize(memory) / sizeof(T) : 0) {}
  ~GlobalLockView() {
    if (data_) GlobalUnlock(memory_);
  }
  GlobalLockView(const GlobalLockView&) = delete;
  GlobalLockView& operator=(const GlobalLockView&) = delete;
  T* data() const { return data_; }
  std::size_t count() const { return count_; }

 private:
  HGLOBAL memory_;
  T* data_;
  std::size_t count_;
};

// Registered formats are known by name; their numbers differ between
// sessions but hold for the life of one: each is asked for until known,
// not on every copy.
class RegisteredFormat {
 public:
  explicit RegisteredFormat(const wchar_t* name) : name_(name) {}
  UINT id() {
    if (!id_) id_ = RegisterClipboardFormatW(name_);
    return id_;
  }

 private:
  const wchar_t* name_;
  UINT id_ = 0;
};

RegisteredFormat richText{L"Rich Text Format"};
RegisteredFormat excludeFromMonitoring{L"ExcludeClipboardContentFromMonitorProcessing"};
RegisteredFormat viewerIgnore{L"Clipboard Viewer Ignore"};
RegisteredFormat canIncludeInHistory{L"CanIncludeInClipboardHistory"};

}  // namespace

bool SystemClipboard::HasFormat(ClipboardFormat format) {
  switch (format) {
    case ClipboardFormat::Text:
      return IsClipboardFormatAvailable(CF_UNICODETEXT) || IsClipboardFormatAvailable(CF_TEXT);
    case ClipboardFormat::Bitmap:
      return IsClipboardFormatAvailable(CF_BITMAP);
    case ClipboardFormat::Dib:
      return IsClipboardFormatAvailable(CF_DIB);
    case ClipboardFormat::RichText:
      return IsClipboardFormatAvailable(richText.id());
  }
  return false;
}

bool SystemClipboard::ReadInSession(const std::function<void()>& read) {
  ClipboardSession session(owner_.hwnd());
  if (!session.open()) return false;
  struct Open {
    bool& flag;
    explicit Open(bool& f) : flag(f) { flag = true; }
    ~Open() { flag = false; }
  } open{inSession_};
  read();
  return true;
}

std::uint32_t SystemClipboard::SequenceNumber() { return GetClipboardSequenceNumber(); }

bool SystemClipboard::AsksNotToBeMonitored() {
  if (IsClipboardFormatAvailable(excludeFromMonitoring.id()) || IsClipboardFormatAvailable(viewerIgnore.id()))
    return true;
  // "CanIncludeInClipboardHistory" holding a DWORD 0 keeps a copy out of histories.
  const UINT historyFormat = canIncludeInHistory.id();
  if (!IsClipboardFormatAvailable(historyFormat)) return false;
  // Where the value cannot be read, err on the side of the secret.
  if (!inSession_) return true;
  HANDLE data = GetClipboardData(historyFormat);
  if (!data) return true;
  GlobalLockView<BYTE> value(data);
  DWORD allowed = 0;
  if (!value.data() || value.count() < sizeof allowed) return true;
  std::memcpy(&allowed, value.data(), sizeof allowed);
  return allowed == 0;
}

std::optional<std::wstring> SystemClipboard::ReadText() {
  if (!inSession_) return std::nullopt;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (!data) return std::nullopt;
  GlobalLockView<wchar_t> text(data);
  if (!text.data()) return std::nullopt;
  // The block may be larger than the text, or (from a careless program) lack its NUL.
  const wchar_t* begin = text.data();
  const wchar_t* end = std::find(begin, begin + text.count(), L'\0');
  // With room for the time stamp its history line puts before it, so that
  // the line is made where the text already is.
  std::wstring copy;
  copy.reserve(static_cast<std::size_t>(end - begin) + kHistoryPrefixLength);
  copy.assign(begin, end);
  return copy;
}

Clipboard::EmptyResult SystemClipboard::EmptyIfStill(std::uint32_t seen) {
  ClipboardSession session(owner_.hwnd());
  if (!session.open()) return EmptyResult::Held;
  // Compared while it is open, so that no copy can come in between.
  if (GetClipboardSequenceNumber() != seen) return EmptyResult::Changed;
  return EmptyClipboard() ? EmptyResult::Emptied : EmptyResult::Held;
}

Clipboard::PutResult SystemClipboard::PutTextIfStill(std::uint32_t seen, std::wstring_view text, std::uint32_t& put) {
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory) return PutResult::Failed;
  {
    GlobalLockView<wchar_t> copy(memory);
    if (!copy.data()) {
      GlobalFree(memory);
      return PutResult::Failed;
    }
    std::memcpy(copy.data(), text.data(), text.size() * sizeof(wchar_t));
    copy.data()[text.size()] = L'\0';
  }
  const PutResult result = PutInSession(seen, memory, put);
  // Once the clipboard takes the block it owns it; otherwise it is still ours.
  if (result != PutResult::Put) GlobalFree(memory);
  return result;
}

Clipboard::PutResult SystemClipboard::PutInSession(std::uint32_t seen, HGLOBAL text, std::uint32_t& put) {
  {
    ClipboardSession session(owner_.hwnd());
    if (!session.open()) return PutResult::Held;
    // Compared while it is open, so that no copy can come in between.
    if (GetClipboardSequenceNumber() != seen) return PutResult::Changed;
    if (!EmptyClipboard()) return PutResult::Held;
    if (!SetClipboardData(CF_UNICODETEXT, text)) return PutResult::Failed;
    put = GetClipboardSequenceNumber();
  }
  put = NumberIfStillOurs(put);
  return PutResult::Put;
}

// The closing may move the number on by itself (Wine adds the text's other
// forms then), and it announces the change to the other viewers, one of
// which may copy before it returns. The number is the put's only while the
// clipboard is still ours, read twice around the owner so that no copy came
// in between; else the one taken inside the session, which a later copy has
// already moved past.
std::uint32_t SystemClipboard::NumberIfStillOurs(std::uint32_t put) {
  const std::uint32_t now = GetClipboardSequenceNumber();
  const bool ours = GetClipboardOwner() == owner_.hwnd();
  return ours && GetClipboardSequenceNumber() == now ? now : put;
}

}  // namespace rtrillex
