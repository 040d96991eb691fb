#include "pictures/png_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rtrillex {
namespace {

// A screenshot's size, every alpha value and colour in use.
Pixels Pattern(std::uint32_t width, std::uint32_t height, bool opaque) {
  Pixels pixels;
  pixels.width = width;
  pixels.height = height;
  pixels.bgra.resize(std::size_t{width} * height * 4);
  for (std::size_t i = 0; i < pixels.bgra.size(); i += 4) {
    const std::size_t n = i / 4;
    pixels.bgra[i] = static_cast<std::uint8_t>(n);
    pixels.bgra[i + 1] = static_cast<std::uint8_t>(n / 7);
    pixels.bgra[i + 2] = static_cast<std::uint8_t>(n / 1920);
    pixels.bgra[i + 3] = opaque ? 255 : static_cast<std::uint8_t>(n * 31 / 5);
  }
  return pixels;
}

TEST(PngCodec, KeepsEveryPixelAndItsTransparencyAndRefusesWhatIsNoPicture) {
  const ComApartment apartment;
  ASSERT_HRESULT_SUCCEEDED(apartment.result());
  PngCodec codec;
  ASSERT_TRUE(codec.ok());
  for (const bool opaque : {false, true}) {
    const Pixels picture = Pattern(1920, 1080, opaque);
    const std::optional<std::vector<std::uint8_t>> png = codec.Encode(picture);
    ASSERT_TRUE(png) << opaque;
    EXPECT_LT(png->size(), picture.bgra.size()) << "kept compressed";
    ASSERT_GT(png->size(), 25u);
    EXPECT_EQ((*png)[25], opaque ? 2 : 6) << "an opaque picture kept without its alpha bytes";  // IHDR's colour type
    EXPECT_EQ(PngMayBeTransparent(*png), !opaque);
    const std::optional<Pixels> back = codec.Decode(png->data(), png->size());
    ASSERT_TRUE(back) << opaque;
    EXPECT_EQ(back->width, 1920u);
    EXPECT_EQ(back->height, 1080u);
    EXPECT_TRUE(back->bgra == picture.bgra) << "the pixels came back changed, opaque " << opaque;
  }

  const std::optional<std::vector<std::uint8_t>> small = codec.Encode(Pattern(3, 2, false));
  ASSERT_TRUE(small);
  for (const std::size_t cut : {std::size_t{0}, std::size_t{8}, small->size() / 2})
    EXPECT_FALSE(codec.Decode(small->data(), cut)) << cut;
  const std::string notPng = "not a picture at all, though long enough to look at";
  EXPECT_FALSE(codec.Decode(reinterpret_cast<const std::uint8_t*>(notPng.data()), notPng.size()));
  // A picture of another format offered as PNG is not taken for one.
  std::vector<std::uint8_t> bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
  const std::vector<std::uint8_t> dib = DibFromPixels(Pattern(3, 2, true));
  bmp.insert(bmp.end(), dib.begin(), dib.end());
  bmp[2] = static_cast<std::uint8_t>(bmp.size());
  EXPECT_FALSE(codec.Decode(bmp.data(), bmp.size()));
  EXPECT_FALSE(codec.Encode(Pixels{})) << "no picture at all";
}

}  // namespace
}  // namespace rtrillex
