#include "picture_shelf.h"

namespace rtrillex {
namespace {

std::uint64_t HashOf(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (std::uint8_t byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
  return hash;
}

}  // namespace

PictureData PictureShelf::Share(PictureData picture) {
  if (!picture.png) return picture;
  ForgetReleased();
  const std::uint64_t hash = HashOf(*picture.png);
  const auto [first, last] = held_.equal_range(hash);
  for (auto held = first; held != last; ++held) {
    std::shared_ptr<const std::vector<std::uint8_t>> png = held->second.png.lock();
    if (!png || *png != *picture.png) continue;
    picture.png = std::move(png);
    if (std::shared_ptr<const Pixels> thumbnail = held->second.thumbnail.lock()) picture.thumbnail = std::move(thumbnail);
    return picture;
  }
  held_.emplace(hash, Held{picture.png, picture.thumbnail});
  return picture;
}

std::size_t PictureShelf::HeldCount() {
  ForgetReleased();
  return held_.size();
}

void PictureShelf::ForgetReleased() {
  for (auto held = held_.begin(); held != held_.end();) held = held->second.png.expired() ? held_.erase(held) : std::next(held);
}

}  // namespace rtrillex
