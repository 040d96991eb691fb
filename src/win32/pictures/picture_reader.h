// Turns the pictures programs copy into PNG on a thread of its own, so that
// no copy waits for the encoding: the window hands it the clipboard's bytes
// as it read them, and a posted message tells the window to take the
// results. It never touches a window or the clipboard.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "entry.h"
#include "history.h"
#include "history_store.h"

namespace rtrillex {

class PictureReader {
 public:
  struct Job {
    HistoryId line = 0;
    std::vector<std::uint8_t> bytes;  // a PNG, or a CF_DIB / CF_DIBV5 block
    bool isPng = false;
    std::uint32_t thumbnailHeight = 64;  // in pixels of the screen
    PictureBytes kept;  // instead of `bytes`: a picture kept already, for its thumbnail alone
  };
  struct Result {
    HistoryId line = 0;
    std::optional<PictureData> picture;  // none: the bytes were no picture that can be kept
    bool kept = false;                    // it came kept already
  };

  // `resultMessage` is posted to `window` whenever results wait.
  PictureReader(HWND window, UINT resultMessage);
  // Finishes the picture under way and ends the thread; the rest is dropped.
  ~PictureReader();
  PictureReader(const PictureReader&) = delete;
  PictureReader& operator=(const PictureReader&) = delete;

  void Read(Job job);
  std::vector<Result> TakeResults();

 private:
  struct Shared;
  static DWORD WINAPI Run(void* shared);

  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;
};

}  // namespace rtrillex
