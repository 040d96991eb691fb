#include "pictures/picture_reader.h"

#include <new>
#include <utility>

#include "com.h"
#include "exclusive_lock.h"
#include "handle.h"
#include "pictures/png_codec.h"

namespace rtrillex {

struct PictureReader::Work {
  Job job;
  std::optional<CopiedPicture> copied;  // read from the clipboard for it
};

struct PictureReader::Shared {
  HWND window;
  UINT resultMessage;
  UINT clipboardReadMessage;
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE toRead = CONDITION_VARIABLE_INIT;
  CONDITION_VARIABLE toEncode = CONDITION_VARIABLE_INIT;
  CONDITION_VARIABLE opened = CONDITION_VARIABLE_INIT;
  // Guarded by `lock`:
  bool readingClipboard = false;
  std::vector<Job> reads;
  std::vector<Work> encodings;
  std::vector<Result> results;
  std::uint64_t readsAsked = 0;
  std::uint64_t readsOpened = 0;  // of those, how many had their first try at opening the clipboard
  bool ending = false;
};

namespace {

// A picture that could not be read because of its size is told as such.
std::optional<PictureData> TooLargeToRead(std::optional<PictureSize> size) {
  if (!size || (size->width <= kLargestPictureSide && size->height <= kLargestPictureSide)) return std::nullopt;
  PictureData picture;
  picture.width = size->width;
  picture.height = size->height;
  picture.tooLarge = true;
  return picture;
}

// The picture as PNG: a kept one as it is, a copied PNG as it came once it is
// known to decode, a bitmap encoded once. With its thumbnail.
std::optional<PictureData> PictureOf(PngCodec& codec, const PictureReader::Job& job, CopiedPicture* copied) {
  std::optional<Pixels> pixels;
  std::shared_ptr<const std::vector<std::uint8_t>> png;
  if (job.kept) {
    pixels = codec.Decode(job.kept->data(), job.kept->size());
    if (!pixels) return std::nullopt;
    png = job.kept;
  } else if (copied->isPng) {
    pixels = codec.Decode(copied->bytes.data(), copied->bytes.size());
    if (!pixels) return TooLargeToRead(PngSize(copied->bytes));
    png = std::make_shared<const std::vector<std::uint8_t>>(std::move(copied->bytes));
  } else {
    pixels = PixelsFromDib(copied->bytes.data(), copied->bytes.size());
    if (!pixels) return TooLargeToRead(DibSize(copied->bytes.data(), copied->bytes.size()));
    copied->bytes = {};  // the bitmap is not needed beside its pixels
    std::optional<std::vector<std::uint8_t>> encoded = codec.Encode(*pixels);
    if (!encoded) return std::nullopt;
    png = std::make_shared<const std::vector<std::uint8_t>>(std::move(*encoded));
  }
  PictureData picture{pixels->width, pixels->height, std::move(png), nullptr};
  const PictureSize small = ThumbnailSize({pixels->width, pixels->height}, job.thumbnailHeight);
  if (std::optional<Pixels> thumbnail = codec.Scale(*pixels, small))
    picture.thumbnail = std::make_shared<const Pixels>(std::move(*thumbnail));
  return picture;
}

}  // namespace

PictureReader::PictureReader(HWND window, UINT resultMessage, UINT clipboardReadMessage)
    : shared_(std::make_shared<Shared>()) {
  shared_->window = window;
  shared_->resultMessage = resultMessage;
  shared_->clipboardReadMessage = clipboardReadMessage;
  reading_ = CreateThread(nullptr, 0, ReadClipboard, shared_.get(), 0, nullptr);
  encoding_ = CreateThread(nullptr, 0, Encode, shared_.get(), 0, nullptr);
}

PictureReader::~PictureReader() {
  {
    ExclusiveLock held(shared_->lock);
    shared_->ending = true;
  }
  WakeAllConditionVariable(&shared_->toRead);
  WakeAllConditionVariable(&shared_->toEncode);
  // The reading thread may be telling the window of a read meanwhile: what
  // is sent to this thread is answered while it waits.
  for (HANDLE thread : {reading_, encoding_}) {
    if (!thread) continue;
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
      MSG message;
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread);
  }
}

void PictureReader::Read(Job job) {
  // Bounded: a thread still waiting for a clipboard another program holds
  // does not hold the window up for long.
  constexpr DWORD kWaitForOpenMs = 100;
  ExclusiveLock held(shared_->lock);
  if (job.kept) {
    shared_->encodings.push_back({std::move(job), std::nullopt});
    WakeConditionVariable(&shared_->toEncode);
    return;
  }
  if (!reading_) return;
  shared_->reads.push_back(std::move(job));
  const std::uint64_t ticket = ++shared_->readsAsked;
  WakeConditionVariable(&shared_->toRead);
  const ULONGLONG until = GetTickCount64() + kWaitForOpenMs;
  while (shared_->readsOpened < ticket) {
    const ULONGLONG now = GetTickCount64();
    if (now >= until) break;
    SleepConditionVariableSRW(&shared_->opened, &shared_->lock, static_cast<DWORD>(until - now), 0);
  }
}

std::vector<PictureReader::Result> PictureReader::TakeResults() {
  ExclusiveLock held(shared_->lock);
  return std::exchange(shared_->results, {});
}

bool PictureReader::ReadingClipboard() const {
  ExclusiveLock held(shared_->lock);
  return shared_->readingClipboard;
}

void PictureReader::EndClipboardRead() {
  ExclusiveLock held(shared_->lock);
  shared_->readingClipboard = false;
}

std::optional<CopiedPicture> PictureReader::ReadFromClipboard(Shared& shared, HWND reader, std::uint32_t sequence) {
  // Other viewers read the same copy at the same moment: tried again while
  // one holds the clipboard, for as long as it holds this copy.
  constexpr int kAttempts = 40;
  constexpr DWORD kPauseMs = 25;
  std::optional<CopiedPicture> copied;
  bool held = false;
  for (int attempt = 0; attempt < kAttempts && !copied; ++attempt) {
    if (attempt > 0) Sleep(kPauseMs);
    copied = ReadCopiedPicture(reader, sequence, held, [&shared, attempt] {
      if (attempt > 0) return;
      ExclusiveLock told(shared.lock);
      ++shared.readsOpened;
      WakeAllConditionVariable(&shared.opened);
    });
    if (!held) break;
  }
  return copied;
}

DWORD WINAPI PictureReader::ReadClipboard(void* data) {
  Shared& shared = *static_cast<Shared*>(data);
  // Only to open the clipboard with: nothing is sent to it.
  const UniqueWindow reader(
      CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr));
  for (;;) {
    Job job;
    {
      ExclusiveLock held(shared.lock);
      while (shared.reads.empty() && !shared.ending) SleepConditionVariableSRW(&shared.toRead, &shared.lock, INFINITE, 0);
      if (shared.ending) return 0;
      job = std::move(shared.reads.front());
      shared.reads.erase(shared.reads.begin());
      // While it is up, the window puts off looking at a changed clipboard:
      // the change may be this read's rendering, which the message tells.
      shared.readingClipboard = true;
    }
    std::optional<CopiedPicture> copied;
    try {
      copied = ReadFromClipboard(shared, reader.get(), job.sequence);
    } catch (const std::bad_alloc&) {
      // Too large for the memory left: its line stays as it is.
    }
    const std::uint32_t after = copied ? copied->sequenceAfter : job.sequence;
    SendMessageW(shared.window, shared.clipboardReadMessage, job.sequence, after);
    ExclusiveLock held(shared.lock);
    if (!copied) {
      // Replaced before it could be read, or no picture after all: told, so
      // that its line stops waiting for it.
      shared.results.push_back({job.line, std::nullopt, false});
      PostMessageW(shared.window, shared.resultMessage, 0, 0);
      continue;
    }
    shared.encodings.push_back({std::move(job), std::move(copied)});
    WakeConditionVariable(&shared.toEncode);
  }
}

DWORD WINAPI PictureReader::Encode(void* data) {
  Shared& shared = *static_cast<Shared*>(data);
  const ComApartment apartment;
  PngCodec codec;
  for (;;) {
    Work work;
    {
      ExclusiveLock held(shared.lock);
      while (shared.encodings.empty() && !shared.ending)
        SleepConditionVariableSRW(&shared.toEncode, &shared.lock, INFINITE, 0);
      if (shared.ending) return 0;
      work = std::move(shared.encodings.front());
      shared.encodings.erase(shared.encodings.begin());
    }
    Result result{work.job.line, std::nullopt, work.job.kept != nullptr};
    try {
      if (codec.ok()) result.picture = PictureOf(codec, work.job, work.copied ? &*work.copied : nullptr);
    } catch (const std::bad_alloc&) {
      // Too large for the memory left: its line stays as it is.
    }
    {
      ExclusiveLock held(shared.lock);
      shared.results.push_back(std::move(result));
    }
    PostMessageW(shared.window, shared.resultMessage, 0, 0);
  }
}

}  // namespace rtrillex
