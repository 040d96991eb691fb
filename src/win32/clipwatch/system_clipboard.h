// The Windows clipboard as the clipboard watch sees it.
#pragma once

#include <windows.h>

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
  PutResult PutTextIfStill(std::uint32_t seen, std::wstring_view text, std::uint32_t& put) override;

 private:
  PutResult PutInSession(std::uint32_t seen, HGLOBAL text, std::uint32_t& put);
  std::uint32_t NumberIfStillOurs(std::uint32_t put);

  const Window& owner_;
  bool inSession_ = false;
};

}  // namespace rtrillex
