#include "pictures/thumbnail.h"

#include <vector>

namespace rtrillex {
namespace {

std::uint8_t Blend(std::uint8_t colour, std::uint8_t under, std::uint8_t alpha) {
  return static_cast<std::uint8_t>((colour * alpha + under * (255 - alpha) + 127) / 255);
}

}  // namespace

void DrawThumbnail(HDC dc, int x, int y, const Pixels& thumbnail, COLORREF background) {
  if (thumbnail.bgra.size() != std::size_t{thumbnail.width} * thumbnail.height * 4) return;
  std::vector<std::uint8_t> shown(thumbnail.bgra.size());
  const std::uint8_t under[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  for (std::size_t i = 0; i < shown.size(); i += 4) {
    const std::uint8_t alpha = thumbnail.bgra[i + 3];
    for (std::size_t c = 0; c < 3; ++c) shown[i + c] = Blend(thumbnail.bgra[i + c], under[c], alpha);
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = static_cast<LONG>(thumbnail.width);
  info.bmiHeader.biHeight = -static_cast<LONG>(thumbnail.height);  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, x, y, thumbnail.width, thumbnail.height, 0, 0, 0, thumbnail.height, shown.data(), &info,
                    DIB_RGB_COLORS);
}

void DrawThumbnailPlaceholder(HDC dc, const RECT& area) {
  FrameRect(dc, &area, GetSysColorBrush(COLOR_GRAYTEXT));
}

}  // namespace rtrillex
