// Window and control places are described in twips (1440 per logical inch)
// and become pixels through the screen's twips per pixel.
#pragma once

#include <cstdint>

namespace rtrillex {

struct TwipRect {
  int left, top, width, height;
};

struct PixelRect {
  int left, top, width, height;
  bool operator==(const PixelRect& other) const {
    return left == other.left && top == other.top && width == other.width && height == other.height;
  }
};

struct TwipsPerPixel {
  float x, y;
};

inline constexpr int kTwipsPerInch = 1440;

// 1440 / dots per inch, held in single precision (15 at 96 dpi, 12 at 120 dpi).
TwipsPerPixel TwipsPerPixelFor(int dotsPerInchX, int dotsPerInchY);

// A twip count in pixels, rounded to the nearest pixel, halves to even.
int TwipsToPixels(int twips, float twipsPerPixel);

PixelRect ToPixels(const TwipRect& twips, TwipsPerPixel scale);

// Colours are stored as 0x00BBGGRR, or as 0x800000nn for system colour nn.
using Colour = std::uint32_t;
constexpr Colour Rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }
constexpr Colour SystemColour(unsigned index) { return 0x80000000u | index; }
constexpr bool IsSystemColour(Colour c) { return (c & 0x80000000u) != 0; }
constexpr unsigned SystemColourIndex(Colour c) { return c & 0xFFu; }

}  // namespace rtrillex
