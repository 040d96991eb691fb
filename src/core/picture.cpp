#include "picture.h"

#include <algorithm>
#include <new>

namespace rtrillex {
namespace {

// BITMAPINFOHEADER and the fields of its longer forms (V4, V5).
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kV5HeaderSize = 124;
constexpr std::uint32_t kNoCompression = 0;      // BI_RGB
constexpr std::uint32_t kBitFields = 3;          // BI_BITFIELDS
constexpr std::uint32_t kAlphaBitFields = 6;     // BI_ALPHABITFIELDS
constexpr std::uint32_t kSrgb = 0x73524742;      // LCS_sRGB
constexpr std::uint32_t kImagesIntent = 4;       // LCS_GM_IMAGES

std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// One colour channel of a bit-field pixel, scaled to 8 bits; `fallback` when
// the mask is empty.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint64_t top = 0;  // the channel's largest value
  explicit Channel(std::uint32_t m) : mask(m) {
    if (!mask) return;
    while (!((mask >> shift) & 1)) ++shift;
    top = mask >> shift;
  }
  std::uint8_t Of(std::uint32_t pixel, std::uint8_t fallback) const {
    if (!mask) return fallback;
    return static_cast<std::uint8_t>((static_cast<std::uint64_t>((pixel & mask) >> shift) * 255 + top / 2) / top);
  }
};

struct Layout {
  std::uint32_t width = 0, height = 0;
  bool topDown = false;
  int bitCount = 0;
  std::size_t stride = 0;
  std::size_t pixelsAt = 0;   // where the rows start
  std::size_t paletteAt = 0;  // colours, for 8 bits and fewer
  std::size_t colours = 0;
  std::uint32_t masks[4] = {};  // red, green, blue, alpha
  bool hasMasks = false;
};

// The layout of a block, every offset and size checked against `size`.
std::optional<Layout> LayoutOf(const std::uint8_t* data, std::size_t size) {
  if (!data || size < kInfoHeaderSize) return std::nullopt;
  const std::uint32_t headerSize = U32(data);
  if (headerSize < kInfoHeaderSize || headerSize > size) return std::nullopt;
  Layout layout;
  const auto width = static_cast<std::int32_t>(U32(data + 4));
  const auto height = static_cast<std::int32_t>(U32(data + 8));
  if (width <= 0 || height == 0 || height == INT32_MIN) return std::nullopt;
  layout.width = static_cast<std::uint32_t>(width);
  layout.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
  layout.topDown = height < 0;
  if (layout.width > kLargestPictureSide || layout.height > kLargestPictureSide) return std::nullopt;
  layout.bitCount = U16(data + 14);
  const std::uint32_t compression = U32(data + 16);
  const std::uint32_t coloursUsed = U32(data + 32);
  switch (layout.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return std::nullopt;
  }
  std::size_t at = headerSize;
  if (compression == kBitFields || compression == kAlphaBitFields) {
    if (layout.bitCount != 16 && layout.bitCount != 32) return std::nullopt;
    const std::size_t count = compression == kAlphaBitFields ? 4 : 3;
    // In the longer headers the masks are fields of their own; after the
    // short one they follow it.
    std::size_t masksAt = kInfoHeaderSize;
    if (headerSize < kInfoHeaderSize + 4 * count) {
      masksAt = at;
      at += 4 * count;
      if (at > size) return std::nullopt;
    }
    for (std::size_t i = 0; i < count; ++i) layout.masks[i] = U32(data + masksAt + 4 * i);
    if (headerSize >= kInfoHeaderSize + 16) layout.masks[3] = U32(data + kInfoHeaderSize + 12);
    layout.hasMasks = true;
  } else if (compression != kNoCompression) {
    return std::nullopt;
  }
  if (layout.bitCount <= 8) {
    const std::size_t most = std::size_t{1} << layout.bitCount;
    layout.colours = coloursUsed == 0 || coloursUsed > most ? most : coloursUsed;
  } else if (coloursUsed <= size / 4) {
    at += 4 * std::size_t{coloursUsed};  // a palette of no use to true colours
  } else {
    return std::nullopt;
  }
  layout.paletteAt = at;
  at += 4 * layout.colours;
  layout.stride = (std::size_t{layout.width} * static_cast<std::size_t>(layout.bitCount) + 31) / 32 * 4;
  // Some programs repeat the three masks of a longer header after it, as a
  // short header has them: exactly that much more than the rows need.
  constexpr std::size_t kRepeatedMasks = 12;
  if (layout.hasMasks && headerSize > kInfoHeaderSize && at <= size && size - at >= kRepeatedMasks &&
      (size - at - kRepeatedMasks) / layout.stride == layout.height &&
      (size - at - kRepeatedMasks) % layout.stride == 0)
    at += kRepeatedMasks;
  layout.pixelsAt = at;
  if (at > size || (size - at) / layout.stride < layout.height) return std::nullopt;
  return layout;
}

void ReadRow(const Layout& layout, const std::uint8_t* data, const std::uint8_t* row, std::uint8_t* out) {
  const Channel red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]), alpha(layout.masks[3]);
  for (std::uint32_t x = 0; x < layout.width; ++x, out += 4) {
    switch (layout.bitCount) {
      case 1: case 4: case 8: {
        const int bits = layout.bitCount;
        const std::size_t bit = std::size_t{x} * static_cast<std::size_t>(bits);
        const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        const std::uint8_t* colour = data + layout.paletteAt + 4 * (index < layout.colours ? index : 0);
        out[0] = colour[0], out[1] = colour[1], out[2] = colour[2], out[3] = 255;
        break;
      }
      case 16: {
        const std::uint32_t pixel = U16(row + 2 * x);
        if (layout.hasMasks) {
          out[0] = blue.Of(pixel, 0), out[1] = green.Of(pixel, 0), out[2] = red.Of(pixel, 0), out[3] = alpha.Of(pixel, 255);
        } else {  // 5 bits each
          const Channel b(0x001F), g(0x03E0), r(0x7C00);
          out[0] = b.Of(pixel, 0), out[1] = g.Of(pixel, 0), out[2] = r.Of(pixel, 0), out[3] = 255;
        }
        break;
      }
      case 24:
        out[0] = row[3 * x], out[1] = row[3 * x + 1], out[2] = row[3 * x + 2], out[3] = 255;
        break;
      case 32: {
        const std::uint8_t* p = row + 4 * x;
        if (layout.hasMasks) {
          const std::uint32_t pixel = U32(p);
          out[0] = blue.Of(pixel, 0), out[1] = green.Of(pixel, 0), out[2] = red.Of(pixel, 0), out[3] = alpha.Of(pixel, 255);
        } else {
          out[0] = p[0], out[1] = p[1], out[2] = p[2], out[3] = p[3];
        }
        break;
      }
    }
  }
}

bool AlphaAllZero(const Pixels& pixels) {
  for (std::size_t i = 3; i < pixels.bgra.size(); i += 4)
    if (pixels.bgra[i] != 0) return false;
  return true;
}

}  // namespace

bool HasTransparency(const Pixels& pixels) {
  for (std::size_t i = 3; i < pixels.bgra.size(); i += 4)
    if (pixels.bgra[i] != 255) return true;
  return false;
}

PictureSize ThumbnailSize(PictureSize picture, std::uint32_t height) {
  if (picture.width == 0 || picture.height == 0 || height == 0) return {1, 1};
  const std::uint64_t widest = std::uint64_t{height} * 4;
  // The tighter of the two limits, and never beyond the picture itself.
  std::uint64_t across = picture.width, down = picture.height;
  if (down > height) {
    across = across * height / down;
    down = height;
  }
  if (across > widest) {
    down = down * widest / across;
    across = widest;
  }
  return {static_cast<std::uint32_t>(std::max<std::uint64_t>(across, 1)),
          static_cast<std::uint32_t>(std::max<std::uint64_t>(down, 1))};
}

std::optional<PictureSize> DibSize(const std::uint8_t* data, std::size_t size) {
  if (!data || size < kInfoHeaderSize) return std::nullopt;
  const auto width = static_cast<std::int32_t>(U32(data + 4));
  const auto height = static_cast<std::int32_t>(U32(data + 8));
  if (width <= 0 || height == 0 || height == INT32_MIN) return std::nullopt;
  return PictureSize{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height < 0 ? -height : height)};
}

std::optional<PictureSize> PngSize(const std::vector<std::uint8_t>& png) {
  static constexpr std::uint8_t kStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  if (png.size() < 24 || !std::equal(std::begin(kStart), std::end(kStart), png.begin())) return std::nullopt;
  const auto bigEndian = [&png](std::size_t at) {
    return static_cast<std::uint32_t>(png[at]) << 24 | static_cast<std::uint32_t>(png[at + 1]) << 16 |
           static_cast<std::uint32_t>(png[at + 2]) << 8 | png[at + 3];
  };
  return PictureSize{bigEndian(16), bigEndian(20)};
}

bool PngMayBeTransparent(const std::vector<std::uint8_t>& png) {
  if (!PngSize(png) || png.size() < 26) return true;
  constexpr std::uint8_t kGreyAlpha = 4, kColourAlpha = 6;
  const std::uint8_t colourType = png[25];
  if (colourType == kGreyAlpha || colourType == kColourAlpha) return true;
  // A transparent colour comes in a chunk before the first image data.
  const auto isType = [&png](std::size_t at, const char* type) { return std::equal(type, type + 4, png.begin() + at); };
  std::size_t at = 8;
  while (at + 12 <= png.size()) {
    const std::uint64_t length = std::uint64_t{png[at]} << 24 | std::uint64_t{png[at + 1]} << 16 |
                                 std::uint64_t{png[at + 2]} << 8 | png[at + 3];
    if (isType(at + 4, "tRNS")) return true;
    if (isType(at + 4, "IDAT")) return false;
    if (length > png.size() - at - 12) break;
    at += 12 + static_cast<std::size_t>(length);
  }
  return true;  // cut short before its image: nothing can be told
}

std::uint32_t ThumbnailHeightAt(int dotsPerInch) {
  constexpr int kHeightAt96 = 64;
  return static_cast<std::uint32_t>(std::max(1, (kHeightAt96 * dotsPerInch + 48) / 96));
}

std::optional<Pixels> PixelsFromDib(const std::uint8_t* data, std::size_t size) {
  const std::optional<Layout> layout = LayoutOf(data, size);
  if (!layout) return std::nullopt;
  Pixels pixels;
  pixels.width = layout->width;
  pixels.height = layout->height;
  try {
    pixels.bgra.resize(std::size_t{pixels.width} * pixels.height * 4);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  const std::size_t rowBytes = std::size_t{pixels.width} * 4;
  for (std::uint32_t y = 0; y < pixels.height; ++y) {
    const std::uint32_t stored = layout->topDown ? y : pixels.height - 1 - y;
    ReadRow(*layout, data, data + layout->pixelsAt + stored * layout->stride, pixels.bgra.data() + y * rowBytes);
  }
  // 32 bits without an alpha mask: many writers leave the fourth byte 0, and
  // a picture whose every fourth byte is 0 is opaque, not invisible.
  if (layout->bitCount == 32 && !layout->hasMasks && AlphaAllZero(pixels))
    for (std::size_t i = 3; i < pixels.bgra.size(); i += 4) pixels.bgra[i] = 255;
  return pixels;
}

namespace {

// The rows bottom first, as both blocks keep them, after a header of `headerSize`.
std::vector<std::uint8_t> BottomUpBlock(const Pixels& pixels, std::size_t headerSize, std::uint32_t compression) {
  const std::size_t rowBytes = std::size_t{pixels.width} * 4;
  std::vector<std::uint8_t> block(headerSize + rowBytes * pixels.height, 0);
  Put32(block, 0, static_cast<std::uint32_t>(headerSize));
  Put32(block, 4, pixels.width);
  Put32(block, 8, pixels.height);
  block[12] = 1;   // planes
  block[14] = 32;  // bits a pixel
  Put32(block, 16, compression);
  Put32(block, 20, static_cast<std::uint32_t>(rowBytes * pixels.height));
  for (std::uint32_t y = 0; y < pixels.height; ++y) {
    const std::uint8_t* row = pixels.bgra.data() + (pixels.height - 1 - y) * rowBytes;
    std::copy(row, row + rowBytes, block.begin() + static_cast<std::ptrdiff_t>(headerSize + y * rowBytes));
  }
  return block;
}

}  // namespace

std::vector<std::uint8_t> DibFromPixels(const Pixels& pixels) {
  return BottomUpBlock(pixels, kInfoHeaderSize, kNoCompression);
}

std::vector<std::uint8_t> DibV5FromPixels(const Pixels& pixels) {
  std::vector<std::uint8_t> block = BottomUpBlock(pixels, kV5HeaderSize, kBitFields);
  Put32(block, 40, 0x00FF0000);  // red
  Put32(block, 44, 0x0000FF00);  // green
  Put32(block, 48, 0x000000FF);  // blue
  Put32(block, 52, 0xFF000000);  // alpha
  Put32(block, 56, kSrgb);
  Put32(block, 108, kImagesIntent);
  return block;
}

}  // namespace rtrillex
