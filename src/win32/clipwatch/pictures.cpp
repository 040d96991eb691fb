// The main window's side of the pictures copied: each picture copy's line is
// made at once, and its picture read from the clipboard from the message
// loop just after, turned into PNG by the picture reader's thread and kept
// with the line, so that the menu of recent copies and the search put it
// back whole.
#include <utility>

#include "app/main_window.h"

namespace rtrillex {

void Form1::QueuePictureRead(std::uint32_t sequence) {
  if (!lastAppended_) return;
  pictureReads_.push_back({*lastAppended_, sequence});
  PostMessageW(hwnd(), kReadPicturesMessage, 0, 0);
}

// A copy replaced in between leaves its line as a tag line: what the
// clipboard holds now is another copy's.
void Form1::ReadQueuedPictures() {
  for (PictureRead& read : std::exchange(pictureReads_, {})) {
    std::optional<SystemClipboard::CopiedPicture> copied = clipboard_.ReadPictureIfStill(read.sequence);
    if (!copied || ending_) continue;
    watch_.RenderedOnRequest(read.sequence, copied->sequenceAfter);
    // Its thread only once a picture has been copied.
    if (!pictureReader_) pictureReader_.emplace(hwnd(), kPicturesReadMessage);
    pictureReader_->Read({read.line, std::move(copied->bytes), copied->isPng, ThumbnailHeightAt(ScreenDotsPerInchY())});
  }
}

void Form1::OnPicturesRead() {
  if (!pictureReader_) return;
  for (PictureReader::Result& result : pictureReader_->TakeResults()) {
    if (result.picture)
      historyList_.SetAttachment(result.line, PictureAttachment(pictureShelf_.Share(std::move(*result.picture))));
  }
  searchWindow_.OnHistoryChanged();
}

}  // namespace rtrillex
