// The Windows clipboard as the clipboard watch sees it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "clipboard_watch.h"
#include "window.h"

namespace rtrillex {

class SystemClipboard : public Clipboard {
 public:
  // `owner`'s window becomes the clipboard's owner when the program puts text on it.
  explicit SystemClipboard(const Window& owner) : owner_(owner) {}

  bool ReadInSession(const std::function<void()>& read) override;
  std::uint32_t SequenceNumber() override;
  bool HasFormat(ClipboardFormat format) override;
  bool AsksNotToBeMonitored() override;
  std::optional<std::wstring> ReadText() override;
  EmptyResult EmptyIfStill(std::uint32_t seen) override;
  std::optional<std::vector<std::wstring>> ReadFiles() override;
  PutResult PutIfStill(std::uint32_t seen, const PutContent& content, std::uint32_t& put) override;

  // The owner window's clipboard messages. A large picture put back is
  // rendered only when a program asks for it (WM_RENDERFORMAT), and whole
  // before the window goes (WM_RENDERALLFORMATS), until another copy
  // replaces it (WM_DESTROYCLIPBOARD).
  void RenderFormat(UINT format);
  void RenderAllFormats();
  void ClipboardDestroyed();

  // Whether the copy last looked at may go to the person's other PCs.
  bool LastCopyMayBeShared() const { return lastMayBeShared_; }

 private:
  std::uint32_t NumberIfStillOurs(std::uint32_t put);
  bool Allows(UINT format);

  struct OnRequest {
    PictureBytes png;
    std::vector<UINT> formats;  // not rendered yet
  };

  const Window& owner_;
  bool inSession_ = false;
  bool lastMayBeShared_ = false;
  std::optional<OnRequest> onRequest_;
};

}  // namespace rtrillex
