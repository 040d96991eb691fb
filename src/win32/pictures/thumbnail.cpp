#include "pictures/thumbnail.h"

#include <algorithm>
#include <vector>

namespace rtrillex {
namespace {

std::uint8_t Blend(std::uint8_t colour, std::uint8_t under, std::uint8_t alpha) {
  return static_cast<std::uint8_t>((colour * alpha + under * (255 - alpha) + 127) / 255);
}

// The thumbnail's pixels over `background`, ready for a plain DIB call.
std::vector<std::uint8_t> Blended(const Pixels& thumbnail, COLORREF background) {
  std::vector<std::uint8_t> shown(thumbnail.bgra.size());
  const std::uint8_t under[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  for (std::size_t i = 0; i < shown.size(); i += 4) {
    const std::uint8_t alpha = thumbnail.bgra[i + 3];
    for (std::size_t c = 0; c < 3; ++c) shown[i + c] = Blend(thumbnail.bgra[i + c], under[c], alpha);
  }
  return shown;
}

BITMAPINFO TopDownInfo(const Pixels& thumbnail) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = static_cast<LONG>(thumbnail.width);
  info.bmiHeader.biHeight = -static_cast<LONG>(thumbnail.height);  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

bool Holds(const Pixels& thumbnail) {
  return thumbnail.width > 0 && thumbnail.bgra.size() == std::size_t{thumbnail.width} * thumbnail.height * 4;
}

}  // namespace

void DrawThumbnail(HDC dc, int x, int y, const Pixels& thumbnail, COLORREF background) {
  if (!Holds(thumbnail)) return;
  const std::vector<std::uint8_t> shown = Blended(thumbnail, background);
  const BITMAPINFO info = TopDownInfo(thumbnail);
  SetDIBitsToDevice(dc, x, y, thumbnail.width, thumbnail.height, 0, 0, 0, thumbnail.height, shown.data(), &info,
                    DIB_RGB_COLORS);
}

void DrawThumbnailIn(HDC dc, const RECT& area, const Pixels& thumbnail, COLORREF background) {
  if (!Holds(thumbnail) || area.bottom <= area.top) return;
  const auto room = static_cast<std::uint32_t>(area.bottom - area.top);
  const auto across = static_cast<std::uint32_t>(std::max<LONG>(area.right - area.left, 1));
  PictureSize size = ThumbnailSize({thumbnail.width, thumbnail.height}, room);
  if (size.width > across) size = {across, std::max<std::uint32_t>(1, size.height * across / size.width)};
  const std::vector<std::uint8_t> shown = Blended(thumbnail, background);
  const BITMAPINFO info = TopDownInfo(thumbnail);
  const int top = area.top + static_cast<int>(room - size.height) / 2;
  const int previous = SetStretchBltMode(dc, HALFTONE);
  StretchDIBits(dc, area.left, top, static_cast<int>(size.width), static_cast<int>(size.height), 0, 0,
                static_cast<int>(thumbnail.width), static_cast<int>(thumbnail.height), shown.data(), &info,
                DIB_RGB_COLORS, SRCCOPY);
  SetStretchBltMode(dc, previous);
}

void DrawThumbnailPlaceholder(HDC dc, const RECT& area) {
  FrameRect(dc, &area, GetSysColorBrush(COLOR_GRAYTEXT));
}

}  // namespace rtrillex
