// Pictures as rTrillex holds them, and the device-independent bitmaps
// (CF_DIB, CF_DIBV5) other programs put on the clipboard. A bitmap is read
// from bytes another program wrote: every size in its header is checked
// against the block before a pixel is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace rtrillex {

// Rows top first, 4 bytes a pixel: blue, green, red, alpha (straight, not
// premultiplied).
struct Pixels {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> bgra;
};

// Larger sides are not read: no screen is that large, and a 32-bit program
// could not hold such a picture twice.
inline constexpr std::uint32_t kLargestPictureSide = 16384;

bool HasTransparency(const Pixels& pixels);

// A thumbnail's size: `height` high at most, no wider than four times that,
// the picture's aspect kept, never enlarged, at least 1 by 1.
struct PictureSize {
  std::uint32_t width = 0, height = 0;
  bool operator==(const PictureSize& other) const { return width == other.width && height == other.height; }
};
PictureSize ThumbnailSize(PictureSize picture, std::uint32_t height);
// The thumbnails' height at a screen's dots per inch: 64 pixels at 96.
std::uint32_t ThumbnailHeightAt(int dotsPerInch);

// A PNG's size as its header gives it, without decoding it; nullopt for
// what does not start as a PNG does.
std::optional<PictureSize> PngSize(const std::vector<std::uint8_t>& png);

// Whether a PNG may hold transparent pixels, from its header alone: it has
// an alpha channel or a transparent colour (a tRNS chunk). What does not
// start as a PNG does may.
bool PngMayBeTransparent(const std::vector<std::uint8_t>& png);

// A CF_DIB or CF_DIBV5 block's size as its header gives it, whether or not
// the rest can be read; nullopt for no such header.
std::optional<PictureSize> DibSize(const std::uint8_t* data, std::size_t size);

// A CF_DIB or CF_DIBV5 block: nullopt when it cannot be read whole (a header
// that lies about a size, a block cut short, a side of 0 or beyond
// kLargestPictureSide, a compression other than none or bit fields).
std::optional<Pixels> PixelsFromDib(const std::uint8_t* data, std::size_t size);

// The blocks a picture is put back as: CF_DIB at 32 bits a pixel, alpha in
// the fourth byte; CF_DIBV5 with an alpha mask, for programs that paste
// transparency.
std::vector<std::uint8_t> DibFromPixels(const Pixels& pixels);
std::vector<std::uint8_t> DibV5FromPixels(const Pixels& pixels);

}  // namespace rtrillex
