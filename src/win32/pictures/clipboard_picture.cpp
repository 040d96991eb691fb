#include "pictures/clipboard_picture.h"

#include <new>

namespace rtrillex {
namespace {

// Open for as long as it lives. With a window of the reader's own: a
// clipboard opened with none is not closed to others under Wine, and a
// copy could come in the middle of the read.
class Session {
 public:
  explicit Session(HWND reader) : open_(OpenClipboard(reader) != FALSE) {}
  ~Session() {
    if (open_) CloseClipboard();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  bool open() const { return open_; }

 private:
  bool open_;
};

// Of the bitmaps, the one its program put there comes first among the
// formats; the other is made from it, and making it for tens of megabytes
// costs time.
UINT BitmapFormat() {
  for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format))
    if (format == CF_DIB || format == CF_DIBV5) return format;
  return 0;
}

std::optional<CopiedPicture> Copied(UINT format, bool isPng) {
  HANDLE data = format ? GetClipboardData(format) : nullptr;
  if (!data) return std::nullopt;
  const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(data));
  if (!bytes) return std::nullopt;
  std::optional<CopiedPicture> copied;
  try {
    copied = CopiedPicture{std::vector<std::uint8_t>(bytes, bytes + GlobalSize(data)), isPng, 0};
  } catch (const std::bad_alloc&) {
    // Too large to hold twice: its line stays a tag line.
  }
  GlobalUnlock(data);
  return copied;
}

}  // namespace

std::optional<CopiedPicture> ReadCopiedPicture(HWND reader, std::uint32_t sequence, bool& held,
                                               const std::function<void()>& opening) {
  const UINT png = RegisterClipboardFormatW(L"PNG");
  std::optional<CopiedPicture> copied;
  HWND copier = nullptr;
  held = false;
  {
    Session session(reader);
    opening();
    held = !session.open() && GetClipboardSequenceNumber() == sequence;
    if (!session.open() || GetClipboardSequenceNumber() != sequence) return std::nullopt;
    copier = GetClipboardOwner();
    copied = IsClipboardFormatAvailable(png) ? Copied(png, true) : std::nullopt;
    if (!copied) copied = Copied(BitmapFormat(), false);
    if (!copied) return std::nullopt;
    copied->sequenceAfter = GetClipboardSequenceNumber();
  }
  // The closing may move the number on once more for what the rendering
  // added; it is this copy's while its program still owns the clipboard (a
  // copy made with no owner cannot be told from the next one).
  const std::uint32_t now = GetClipboardSequenceNumber();
  if (copier && GetClipboardOwner() == copier && GetClipboardSequenceNumber() == now) copied->sequenceAfter = now;
  return copied;
}

}  // namespace rtrillex
