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
RegisteredFormat canUploadToCloud{L"CanUploadToCloudClipboard"};
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

// Pictures of more pixels than this are put back rendered on request: a
// 4K screenshot's bitmap is 33 MB, decoded only when a program pastes it.
constexpr std::uint64_t kRenderOnRequestPixels = 1920 * 1080;

bool RendersOnRequest(const PictureData& picture) {
  return std::uint64_t{picture.width} * picture.height > kRenderOnRequestPixels;
}

// A picture's bitmap in `format` (CF_DIB or CF_DIBV5), decoded from its PNG.
std::optional<ClipboardBlock> BitmapBlock(const PictureBytes& picture, UINT format) {
  const ComApartment apartment;
  PngCodec codec;
  const std::optional<Pixels> pixels = codec.Decode(picture->data(), picture->size());
  if (!pixels) return std::nullopt;
  const std::vector<std::uint8_t> dib = format == CF_DIBV5 ? DibV5FromPixels(*pixels) : DibFromPixels(*pixels);
  return ClipboardBlock(format, dib.data(), dib.size());
}

// What a put-back puts on the clipboard, one block a format; none when it
// could not be made. A picture as every program pastes it: a bitmap always;
// with transparency also the forms that keep it, a bitmap with an alpha mask
// and its PNG. A large one's bitmaps are left in `onRequest`.
std::vector<ClipboardBlock> BlocksFor(const PutContent& content, std::vector<UINT>& onRequest) {
  std::vector<ClipboardBlock> blocks;
  const Attachment* attachment = content.attachment.get();
  if (attachment && attachment->kind == EntryKind::Picture && attachment->picture.png) {
    const PictureBytes& picture = attachment->picture.png;
    bool transparent = false;
    if (RendersOnRequest(attachment->picture)) {
      // Told by its header alone: offering the alpha forms of an opaque picture does no harm.
      transparent = PngMayBeTransparent(*picture);
      onRequest.push_back(CF_DIB);
      if (transparent) onRequest.push_back(CF_DIBV5);
    } else {
      const ComApartment apartment;
      PngCodec codec;
      const std::optional<Pixels> pixels = codec.Decode(picture->data(), picture->size());
      if (!pixels) return {};
      transparent = HasTransparency(*pixels);
      const std::vector<std::uint8_t> dib = DibFromPixels(*pixels);
      blocks.emplace_back(CF_DIB, dib.data(), dib.size());
      if (transparent) {
        const std::vector<std::uint8_t> dibV5 = DibV5FromPixels(*pixels);
        blocks.emplace_back(CF_DIBV5, dibV5.data(), dibV5.size());
      }
    }
    if (transparent) blocks.emplace_back(png.id(), picture->data(), picture->size());
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

// A DWORD format a copy carries to say what may be done with it: false
// when it holds 0. Where the value cannot be read, err on the side of the secret.
bool SystemClipboard::Allows(UINT format) {
  if (!IsClipboardFormatAvailable(format)) return true;
  if (!inSession_) return false;
  HANDLE data = GetClipboardData(format);
  if (!data) return false;
  GlobalLockView<BYTE> value(data);
  DWORD allowed = 0;
  if (!value.data() || value.count() < sizeof allowed) return false;
  std::memcpy(&allowed, value.data(), sizeof allowed);
  return allowed != 0;
}

// Each look asks this first: whether the copy may also go to the other PCs
// is noted at the same time, in the same session.
bool SystemClipboard::AsksNotToBeMonitored() {
  lastMayBeShared_ = false;
  if (IsClipboardFormatAvailable(excludeFromMonitoring.id()) || IsClipboardFormatAvailable(viewerIgnore.id()))
    return true;
  // "CanIncludeInClipboardHistory" holding a DWORD 0 keeps a copy out of histories.
  if (!Allows(canIncludeInHistory.id())) return true;
  // "CanUploadToCloudClipboard" holding 0: kept on this PC, never shared.
  lastMayBeShared_ = Allows(canUploadToCloud.id());
  return false;
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

Clipboard::EmptyResult SystemClipboard::EmptyIfStill(std::uint32_t seen) {
  ClipboardSession session(owner_.hwnd());
  if (!session.open()) return EmptyResult::Held;
  // Compared while it is open, so that no copy can come in between.
  if (GetClipboardSequenceNumber() != seen) return EmptyResult::Changed;
  return EmptyClipboard() ? EmptyResult::Emptied : EmptyResult::Held;
}

Clipboard::PutResult SystemClipboard::PutIfStill(std::uint32_t seen, const PutContent& content, std::uint32_t& put) {
  std::vector<ClipboardBlock> blocks;
  std::vector<UINT> onRequest;
  try {
    blocks = BlocksFor(content, onRequest);
  } catch (const std::bad_alloc&) {
    return PutResult::Failed;
  }
  if (blocks.empty() && onRequest.empty()) return PutResult::Failed;
  {
    ClipboardSession session(owner_.hwnd());
    if (!session.open()) return PutResult::Held;
    // Compared while it is open, so that no copy can come in between.
    if (GetClipboardSequenceNumber() != seen) return PutResult::Changed;
    // Emptying tells this window too when a picture of its own was there.
    if (!EmptyClipboard()) return PutResult::Held;
    for (ClipboardBlock& block : blocks)
      if (!block.Give()) return PutResult::Failed;
    // A format promised gives no handle back: only its error tells.
    for (UINT format : onRequest) {
      SetLastError(ERROR_SUCCESS);
      if (!SetClipboardData(format, nullptr) && GetLastError() != ERROR_SUCCESS) return PutResult::Failed;
    }
    if (!onRequest.empty()) onRequest_ = OnRequest{content.attachment->picture.png, std::move(onRequest)};
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

// Asked while the program that wants it has the clipboard open: given
// without opening it.
void SystemClipboard::RenderFormat(UINT format) {
  if (!onRequest_) return;
  std::vector<UINT>& formats = onRequest_->formats;
  const auto wanted = std::find(formats.begin(), formats.end(), format);
  if (wanted == formats.end()) return;
  try {
    std::optional<ClipboardBlock> block = BitmapBlock(onRequest_->png, format);
    if (block && block->made() && block->Give()) formats.erase(wanted);
  } catch (const std::bad_alloc&) {
    // Not enough memory for the bitmap: that program gets nothing this time.
  }
}

// The program is ending while the clipboard still waits for its picture:
// given whole, so that it can still be pasted.
void SystemClipboard::RenderAllFormats() {
  if (!onRequest_) return;
  ClipboardSession session(owner_.hwnd());
  if (!session.open() || GetClipboardOwner() != owner_.hwnd()) return;
  for (const UINT format : std::vector<UINT>(onRequest_->formats)) RenderFormat(format);
}

void SystemClipboard::ClipboardDestroyed() { onRequest_.reset(); }

}  // namespace rtrillex
