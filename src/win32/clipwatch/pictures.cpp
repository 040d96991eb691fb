// The main window's side of the pictures copied: each picture copy's line is
// made at once, and its picture read from the clipboard by the picture
// reader's thread just after, turned into PNG there and kept with the line,
// so that the menu of recent copies and the search put it back whole.
#include <utility>

#include "app/main_window.h"

namespace rtrillex {

// Handed to the picture reader's thread at once: it reads the clipboard
// before the next copy can replace this one, which leaves its line a tag line.
void Form1::QueuePictureRead(std::uint32_t sequence) {
  if (!lastAppended_ || ending_) return;
  StartPictureReader();
  pictureReader_->Read({*lastAppended_, sequence, ThumbnailHeightAt(ScreenDotsPerInchY()), nullptr});
}

// Its thread only once a picture has been copied or loaded.
void Form1::StartPictureReader() {
  if (!pictureReader_) pictureReader_.emplace(hwnd(), kPicturesReadMessage, kPictureClipboardReadMessage);
}

bool Form1::ReadingPicture() { return pictureReader_ && pictureReader_->ReadingClipboard(); }

void Form1::OnPictureClipboardRead(std::uint32_t copy, std::uint32_t after) {
  if (!pictureReader_) return;
  pictureReader_->EndClipboardRead();
  watch_.PictureRead(copy, after);
}

void Form1::OnPicturesRead() {
  if (!pictureReader_) return;
  for (PictureReader::Result& result : pictureReader_->TakeResults()) {
    if (!result.picture) {
      // A copy whose picture could not be read stays a tag line, as any
      // copy of unknown content, instead of waiting for it for ever.
      if (!result.kept) historyList_.SetAttachment(result.line, nullptr);
      continue;
    }
    const PictureData picture = pictureShelf_.Share(std::move(*result.picture));
    historyList_.SetAttachment(result.line, PictureAttachment(picture));
    if (!result.kept) KeepPicture(result.line, picture.png);
    ShareReadPicture(result.line, picture.png);
  }
  recentCopies_.OnPicturesRead();
  searchWindow_.OnHistoryChanged();
}

// A kept picture loaded at the start: its thumbnail, made as a copy's is.
void Form1::MakeThumbnailOf(HistoryId line) {
  const AttachmentPtr attachment = historyList_.history().AttachmentOf(line);
  if (!attachment || !attachment->picture.png || ending_) return;
  StartPictureReader();
  PictureReader::Job job;
  job.line = line;
  job.kept = attachment->picture.png;
  job.thumbnailHeight = ThumbnailHeightAt(ScreenDotsPerInchY());
  pictureReader_->Read(std::move(job));
}

}  // namespace rtrillex
