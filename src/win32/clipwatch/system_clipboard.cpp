#include "system_clipboard.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "clipboard_change.h"
#include "com.h"
#include "file_drop.h"
#include "picture.h"
#include "pictures/png_codec.h"
#include "text.h"

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
RegisteredFormat png{L"PNG"};
// What Explorer's paste does with the files: copy them (not move).
RegisteredFormat preferredDropEffect{L"Preferred DropEffect"};

// A block of global memory made for the clipboard: freed unless the
// clipboard took it.
class ClipboardBlock {
 public:
  ClipboardBlock(UINT format, const void* bytes, std::size_t size)
      : format_(format), memory_(GlobalAlloc(GMEM_MOVEABLE, size ? size : 1)) {
    if (!memory_) return;
    GlobalLockView<std::uint8_t> copy(memory_);
    if (!copy.data()) {
      GlobalFree(std::exchange(memory_, nullptr));
      return;
    }
    if (size) std::memcpy(copy.data(), bytes, size);
  }
  ClipboardBlock(ClipboardBlock&& other) noexcept
      : format_(other.format_), memory_(std::exchange(other.memory_, nullptr)) {}
  ClipboardBlock(const ClipboardBlock&) = delete;
  ClipboardBlock& operator=(const ClipboardBlock&) = delete;
  ClipboardBlock& operator=(ClipboardBlock&&) = delete;
  ~ClipboardBlock() {
    if (memory_) GlobalFree(memory_);
  }
  bool made() const { return memory_ != nullptr; }
  // In an open session, after emptying; the clipboard owns it from then on.
  bool Give() {
    if (!SetClipboardData(format_, memory_)) return false;
    memory_ = nullptr;
    return true;
  }

 private:
  UINT format_;
  HGLOBAL memory_;
};

// A picture as every program pastes it: a bitmap always; with transparency
// also the forms that keep it, a bitmap with an alpha mask and its PNG.
bool AddPictureBlocks(const PictureData& picture, std::vector<ClipboardBlock>& blocks) {
  const ComApartment apartment;
  PngCodec codec;
  const std::optional<Pixels> pixels = codec.Decode(picture.png->data(), picture.png->size());
  if (!pixels) return false;
  const std::vector<std::uint8_t> dib = DibFromPixels(*pixels);
  blocks.emplace_back(CF_DIB, dib.data(), dib.size());
  if (HasTransparency(*pixels)) {
    const std::vector<std::uint8_t> dibV5 = DibV5FromPixels(*pixels);
    blocks.emplace_back(CF_DIBV5, dibV5.data(), dibV5.size());
    blocks.emplace_back(png.id(), picture.png->data(), picture.png->size());
  }
  return true;
}

// What a put-back puts on the clipboard, one block a format; none when it
// could not be made.
std::vector<ClipboardBlock> BlocksFor(const PutContent& content) {
  std::vector<ClipboardBlock> blocks;
  const Attachment* attachment = content.attachment.get();
  if (attachment && attachment->kind == EntryKind::Picture && attachment->picture.png) {
    if (!AddPictureBlocks(attachment->picture, blocks)) return {};
  } else if (attachment && attachment->kind == EntryKind::Files) {
    const std::vector<std::uint8_t> list = DropBlockFromFiles(attachment->files);
    blocks.emplace_back(CF_HDROP, list.data(), list.size());
    const DWORD copy = 1;  // DROPEFFECT_COPY
    blocks.emplace_back(preferredDropEffect.id(), &copy, sizeof copy);
  } else {
    blocks.emplace_back(CF_UNICODETEXT, content.text.c_str(), (content.text.size() + 1) * sizeof(wchar_t));
  }
  for (const ClipboardBlock& block : blocks)
    if (!block.made()) return {};
  return blocks;
}

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
    case ClipboardFormat::Files:
      return IsClipboardFormatAvailable(CF_HDROP);
    case ClipboardFormat::Png:
      return IsClipboardFormatAvailable(png.id());
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

std::optional<std::vector<std::wstring>> SystemClipboard::ReadFiles() {
  if (!inSession_) return std::nullopt;
  HANDLE data = GetClipboardData(CF_HDROP);
  if (!data) return std::nullopt;
  GlobalLockView<std::uint8_t> block(data);
  if (!block.data()) return std::nullopt;
  return FilesFromDropBlock(block.data(), block.count(), FromAnsi);
}

std::optional<SystemClipboard::CopiedPicture> SystemClipboard::ReadPictureIfStill(std::uint32_t sequence) {
  std::optional<CopiedPicture> copied;
  HWND copier = nullptr;
  {
    ClipboardSession session(owner_.hwnd());
    if (!session.open() || GetClipboardSequenceNumber() != sequence) return std::nullopt;
    copier = GetClipboardOwner();
    copied = PictureInSession();
    if (!copied) return std::nullopt;
    copied->sequenceAfter = GetClipboardSequenceNumber();
  }
  // The closing may move the number on once more for what the rendering
  // added; it is this copy's while its program still owns the clipboard.
  const std::uint32_t now = GetClipboardSequenceNumber();
  if (GetClipboardOwner() == copier && GetClipboardSequenceNumber() == now) copied->sequenceAfter = now;
  return copied;
}

// Its program's own PNG is what it meant; a bitmap with an alpha mask keeps
// more than the plain one.
std::optional<SystemClipboard::CopiedPicture> SystemClipboard::PictureInSession() {
  for (const UINT format : {png.id(), static_cast<UINT>(CF_DIBV5), static_cast<UINT>(CF_DIB)}) {
    if (!IsClipboardFormatAvailable(format)) continue;
    HANDLE data = GetClipboardData(format);
    if (!data) continue;
    GlobalLockView<std::uint8_t> block(data);
    if (!block.data()) continue;
    try {
      return CopiedPicture{std::vector<std::uint8_t>(block.data(), block.data() + block.count()), format == png.id(), 0};
    } catch (const std::bad_alloc&) {
      return std::nullopt;  // too large to hold twice: its line stays a tag line
    }
  }
  return std::nullopt;
}

Clipboard::EmptyResult SystemClipboard::EmptyIfStill(std::uint32_t seen) {
  ClipboardSession session(owner_.hwnd());
  if (!session.open()) return EmptyResult::Held;
  // Compared while it is open, so that no copy can come in between.
  if (GetClipboardSequenceNumber() != seen) return EmptyResult::Changed;
  return EmptyClipboard() ? EmptyResult::Emptied : EmptyResult::Held;
}

Clipboard::PutResult SystemClipboard::PutIfStill(std::uint32_t seen, const PutContent& content, std::uint32_t& put) {
  std::vector<ClipboardBlock> blocks;
  try {
    blocks = BlocksFor(content);
  } catch (const std::bad_alloc&) {
    return PutResult::Failed;
  }
  if (blocks.empty()) return PutResult::Failed;
  {
    ClipboardSession session(owner_.hwnd());
    if (!session.open()) return PutResult::Held;
    // Compared while it is open, so that no copy can come in between.
    if (GetClipboardSequenceNumber() != seen) return PutResult::Changed;
    if (!EmptyClipboard()) return PutResult::Held;
    for (ClipboardBlock& block : blocks)
      if (!block.Give()) return PutResult::Failed;
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
