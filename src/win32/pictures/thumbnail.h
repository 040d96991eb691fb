// A picture's thumbnail drawn in an owner-drawn menu item or list line.
#pragma once

#include <windows.h>

#include "picture.h"

namespace rtrillex {

// At (x, y), over a plain background of `background` (its transparency
// blended into that colour, so no alpha-aware drawing is needed).
void DrawThumbnail(HDC dc, int x, int y, const Pixels& thumbnail, COLORREF background);

// The same, scaled down to fit `area` (aspect kept), at its left edge,
// centred in its height.
void DrawThumbnailIn(HDC dc, const RECT& area, const Pixels& thumbnail, COLORREF background);

// The frame a picture not read yet stands in.
void DrawThumbnailPlaceholder(HDC dc, const RECT& area);

}  // namespace rtrillex
