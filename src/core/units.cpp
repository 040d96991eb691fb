#include "units.h"

#include "number_text.h"

namespace rtrillex {

TwipsPerPixel TwipsPerPixelFor(int dotsPerInchX, int dotsPerInchY) {
  return {static_cast<float>(kTwipsPerInch) / static_cast<float>(dotsPerInchX),
          static_cast<float>(kTwipsPerInch) / static_cast<float>(dotsPerInchY)};
}

int TwipsToPixels(int twips, float twipsPerPixel) {
  return static_cast<int>(RoundHalfEven(static_cast<double>(twips) / static_cast<double>(twipsPerPixel)));
}

PixelRect ToPixels(const TwipRect& twips, TwipsPerPixel scale) {
  return {TwipsToPixels(twips.left, scale.x), TwipsToPixels(twips.top, scale.y),
          TwipsToPixels(twips.width, scale.x), TwipsToPixels(twips.height, scale.y)};
}

}  // namespace rtrillex
