// Where a small window shown at the mouse pointer goes: beside the pointer,
// whole inside the work area of the pointer's monitor.
#pragma once

#include "units.h"

namespace rtrillex {

struct ScreenPoint {
  int x, y;
};

struct PixelSize {
  int width, height;
};

// The window's top-left corner goes 10 pixels right of and 25 above the
// pointer's hot spot. Where that crosses the top of the work area, the
// window goes below the pointer (its top 25 pixels under the hot spot);
// where it crosses the right edge, to the left of it (its right edge 10
// pixels left of the hot spot). Past the other edges, or where the flipped
// place does not fit either, it moves just far enough in; a window larger
// than the work area keeps its top-left corner inside.
// Coordinates are screen pixels; `workArea` may lie at negative ones.
PixelRect PlaceBesidePointer(ScreenPoint pointer, PixelSize size, const PixelRect& workArea);

}  // namespace rtrillex
