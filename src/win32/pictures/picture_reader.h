// Turns the pictures programs copy into PNG on a thread of its own, so that
// no copy waits for the reading or the encoding: the thread reads the
// clipboard for the copy the window names, tells the window when that read is
// over (its program may have rendered the picture for it), and a posted
// message tells the window to take the results.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "entry.h"
#include "history.h"
#include "history_store.h"
#include "pictures/clipboard_picture.h"

namespace rtrillex {

class PictureReader {
 public:
  struct Job {
    HistoryId line = 0;
    std::uint32_t sequence = 0;  // the copy whose picture is read from the clipboard
    std::uint32_t thumbnailHeight = 64;  // in pixels of the screen
    PictureBytes kept;  // instead: a picture kept already, for its thumbnail alone
  };
  struct Result {
    HistoryId line = 0;
    std::optional<PictureData> picture;  // none: the bytes were no picture that can be kept
    bool kept = false;                    // it came kept already
  };

  // `resultMessage` is posted to `window` whenever results wait;
  // `clipboardReadMessage` is sent to it when a read of the clipboard is
  // over, with the copy's number as WPARAM and the clipboard's number after
  // the read as LPARAM: it differs when the picture's program rendered it
  // only for the read. The window calls EndClipboardRead as it takes it.
  PictureReader(HWND window, UINT resultMessage, UINT clipboardReadMessage);
  // Finishes the pictures under way and ends the threads; the rest is dropped.
  ~PictureReader();
  PictureReader(const PictureReader&) = delete;
  PictureReader& operator=(const PictureReader&) = delete;

  // A job that reads the clipboard returns once the reading thread has the
  // clipboard open (or could not open it): no copy comes in before the read.
  void Read(Job job);
  std::vector<Result> TakeResults();
  // True from before the thread opens the clipboard until the window has
  // taken the message of the read's end.
  bool ReadingClipboard() const;
  void EndClipboardRead();

 private:
  struct Shared;
  struct Work;
  // One thread reads the clipboard, at once; another encodes and makes
  // thumbnails, which takes long for a large picture.
  static DWORD WINAPI ReadClipboard(void* shared);
  static DWORD WINAPI Encode(void* shared);
  static std::optional<CopiedPicture> ReadFromClipboard(Shared& shared, HWND reader, std::uint32_t sequence);

  std::shared_ptr<Shared> shared_;
  HANDLE reading_ = nullptr;
  HANDLE encoding_ = nullptr;
};

}  // namespace rtrillex
