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

  // The picture of copy `sequence`, as its program offered it: its own PNG
  // where there is one, else its bitmap. nullopt when the clipboard holds
  // another copy by now, is held by another program, or gives no picture.
  struct CopiedPicture {
    std::vector<std::uint8_t> bytes;
    bool isPng = false;
    // The clipboard's number once read: another than `sequence` when its
    // program rendered the picture only now, for this read.
    std::uint32_t sequenceAfter = 0;
  };
  std::optional<CopiedPicture> ReadPictureIfStill(std::uint32_t sequence);

 private:
  std::uint32_t NumberIfStillOurs(std::uint32_t put);
  std::optional<CopiedPicture> PictureInSession();

  const Window& owner_;
  bool inSession_ = false;
};

}  // namespace rtrillex
