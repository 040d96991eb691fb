// A copied picture read from the clipboard, by the picture reader's thread,
// so that the window never waits for tens of megabytes to come across.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace rtrillex {

struct CopiedPicture {
  std::vector<std::uint8_t> bytes;
  bool isPng = false;
  // The clipboard's number once read: another than the copy's when its
  // program rendered the picture only now, for this read.
  std::uint32_t sequenceAfter = 0;
};

// The picture of copy `sequence` as its program offered it, read with the
// reader thread's own window `reader`: its own PNG where
// there is one, else the bitmap it put there. nullopt when the clipboard
// holds another copy by now, is held by another program (then `held` is
// set), or gives no picture.
// `opening` runs once the clipboard was tried, open or not.
std::optional<CopiedPicture> ReadCopiedPicture(HWND reader, std::uint32_t sequence, bool& held,
                                               const std::function<void()>& opening);

}  // namespace rtrillex
