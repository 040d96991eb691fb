#include "pictures/picture_reader.h"

#include <new>
#include <utility>

#include "com.h"
#include "exclusive_lock.h"
#include "pictures/png_codec.h"

namespace rtrillex {

struct PictureReader::Shared {
  HWND window;
  UINT resultMessage;
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE wake = CONDITION_VARIABLE_INIT;
  // Guarded by `lock`:
  std::vector<Job> jobs;
  std::vector<Result> results;
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

// The picture a job's bytes hold, as PNG: a copied PNG is kept as it came,
// once it is known to decode; a bitmap is encoded once. With its thumbnail.
std::optional<PictureData> PictureOf(PngCodec& codec, PictureReader::Job& job) {
  std::optional<Pixels> pixels;
  std::shared_ptr<const std::vector<std::uint8_t>> png;
  if (job.kept) {
    pixels = codec.Decode(job.kept->data(), job.kept->size());
    if (!pixels) return std::nullopt;
    png = job.kept;
  } else if (job.isPng) {
    pixels = codec.Decode(job.bytes.data(), job.bytes.size());
    if (!pixels) return TooLargeToRead(PngSize(job.bytes));
    png = std::make_shared<const std::vector<std::uint8_t>>(std::move(job.bytes));
  } else {
    pixels = PixelsFromDib(job.bytes.data(), job.bytes.size());
    if (!pixels) return TooLargeToRead(DibSize(job.bytes.data(), job.bytes.size()));
    job.bytes = {};  // the bitmap is not needed beside its pixels
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

PictureReader::PictureReader(HWND window, UINT resultMessage) : shared_(std::make_shared<Shared>()) {
  shared_->window = window;
  shared_->resultMessage = resultMessage;
  thread_ = CreateThread(nullptr, 0, Run, shared_.get(), 0, nullptr);
}

PictureReader::~PictureReader() {
  if (!thread_) return;
  {
    ExclusiveLock held(shared_->lock);
    shared_->ending = true;
  }
  WakeConditionVariable(&shared_->wake);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
}

void PictureReader::Read(Job job) {
  {
    ExclusiveLock held(shared_->lock);
    shared_->jobs.push_back(std::move(job));
  }
  WakeConditionVariable(&shared_->wake);
}

std::vector<PictureReader::Result> PictureReader::TakeResults() {
  ExclusiveLock held(shared_->lock);
  return std::exchange(shared_->results, {});
}

DWORD WINAPI PictureReader::Run(void* data) {
  Shared& shared = *static_cast<Shared*>(data);
  const ComApartment apartment;
  PngCodec codec;
  for (;;) {
    Job job;
    {
      ExclusiveLock held(shared.lock);
      while (shared.jobs.empty() && !shared.ending) SleepConditionVariableSRW(&shared.wake, &shared.lock, INFINITE, 0);
      if (shared.ending) return 0;
      job = std::move(shared.jobs.front());
      shared.jobs.erase(shared.jobs.begin());
    }
    Result result{job.line, std::nullopt, job.kept != nullptr};
    try {
      if (codec.ok()) result.picture = PictureOf(codec, job);
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
