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
    pictureReader_->Read({read.line, std::move(copied->bytes), copied->isPng, ThumbnailHeightAt(ScreenDotsPerInchY()), nullptr});
  }
}

void Form1::OnPicturesRead() {
  if (!pictureReader_) return;
  for (PictureReader::Result& result : pictureReader_->TakeResults()) {
    if (!result.picture) continue;
    const PictureData picture = pictureShelf_.Share(std::move(*result.picture));
    historyList_.SetAttachment(result.line, PictureAttachment(picture));
    if (!result.kept) KeepPicture(result.line, picture.png);
  }
  searchWindow_.OnHistoryChanged();
}

// A kept picture loaded at the start: its thumbnail, made as a copy's is.
void Form1::MakeThumbnailOf(HistoryId line) {
  const AttachmentPtr attachment = historyList_.history().AttachmentOf(line);
  if (!attachment || !attachment->picture.png || ending_) return;
  if (!pictureReader_) pictureReader_.emplace(hwnd(), kPicturesReadMessage);
  PictureReader::Job job;
  job.line = line;
  job.kept = attachment->picture.png;
  job.thumbnailHeight = ThumbnailHeightAt(ScreenDotsPerInchY());
  pictureReader_->Read(std::move(job));
}

}  // namespace rtrillex
