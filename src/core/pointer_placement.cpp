#include "pointer_placement.h"

#include <algorithm>

namespace rtrillex {
namespace {

constexpr int kRightOfPointer = 10;
constexpr int kAbovePointer = 25;
// Flipped below, the window keeps clear of the pointer's arrow, which hangs
// down from the hot spot.
constexpr int kBelowPointer = 25;

// One axis: the described start if the window fits there, else the start
// on the pointer's other side, else as near the described start as fits.
int PlaceAlong(int described, int flipped, int length, int areaStart, int areaLength) {
  const auto fits = [&](int start) { return start >= areaStart && start + length <= areaStart + areaLength; };
  if (fits(described)) return described;
  if (fits(flipped)) return flipped;
  // max last: a window longer than the area starts at the area's start.
  return std::max(areaStart, std::min(described, areaStart + areaLength - length));
}

}  // namespace

PixelRect PlaceBesidePointer(ScreenPoint pointer, PixelSize size, const PixelRect& workArea) {
  const int left = PlaceAlong(pointer.x + kRightOfPointer, pointer.x - kRightOfPointer - size.width, size.width,
                              workArea.left, workArea.width);
  const int top = PlaceAlong(pointer.y - kAbovePointer, pointer.y + kBelowPointer, size.height, workArea.top,
                             workArea.height);
  return {left, top, size.width, size.height};
}

}  // namespace rtrillex
