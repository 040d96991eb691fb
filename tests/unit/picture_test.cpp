#include "picture.h"
#include "entry.h"
#include "picture_shelf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rtrillex {
namespace {

using Block = std::vector<std::uint8_t>;

void Append32(Block& block, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) block.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A BITMAPINFOHEADER, as a program writes it.
Block Header(std::int32_t width, std::int32_t height, int bitCount, std::uint32_t compression = 0,
             std::uint32_t coloursUsed = 0) {
  Block block;
  Append32(block, 40);
  Append32(block, static_cast<std::uint32_t>(width));
  Append32(block, static_cast<std::uint32_t>(height));
  block.push_back(1), block.push_back(0);
  block.push_back(static_cast<std::uint8_t>(bitCount)), block.push_back(0);
  Append32(block, compression);
  for (int field = 0; field < 3; ++field) Append32(block, 0);
  Append32(block, coloursUsed);
  Append32(block, 0);
  return block;
}

Block operator+(Block block, const Block& more) {
  block.insert(block.end(), more.begin(), more.end());
  return block;
}

struct Case {
  const char* what;
  Block dib;
  Block bgra;  // top row first
};

TEST(Picture, ReadsEachKindOfBitmapToTheSamePixels) {
  const std::vector<Case> cases = {
      {"24 bits, bottom-up, rows padded to 4 bytes",
       Header(1, 2, 24) + Block{1, 2, 3, 0, 4, 5, 6, 0},
       {4, 5, 6, 255, 1, 2, 3, 255}},
      {"24 bits, top-down", Header(1, -2, 24) + Block{1, 2, 3, 0, 4, 5, 6, 0}, {1, 2, 3, 255, 4, 5, 6, 255}},
      {"32 bits whose fourth byte is never used: opaque", Header(2, 1, 32) + Block{1, 2, 3, 0, 4, 5, 6, 0},
       {1, 2, 3, 255, 4, 5, 6, 255}},
      {"32 bits with alpha", Header(2, 1, 32) + Block{1, 2, 3, 0, 4, 5, 6, 128}, {1, 2, 3, 0, 4, 5, 6, 128}},
      {"32 bits, bit fields after the header, no alpha mask",
       Header(1, 1, 32, 3) + Block{0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0} + Block{9, 8, 7, 0},
       {9, 8, 7, 255}},
      {"16 bits, 5-6-5", Header(1, 1, 16, 3) + Block{0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0} + Block{0x1F, 0xF8, 0, 0},
       {255, 0, 255, 255}},
      {"16 bits, 5-5-5", Header(1, 1, 16) + Block{0xE0, 0x03, 0, 0}, {0, 255, 0, 255}},
      {"8 bits with two colours", Header(2, 1, 8, 0, 2) + Block{10, 20, 30, 0, 40, 50, 60, 0} + Block{1, 0, 0, 0},
       {40, 50, 60, 255, 10, 20, 30, 255}},
      {"1 bit", Header(3, 1, 1) + Block{0, 0, 0, 0, 255, 255, 255, 0} + Block{0xA0, 0, 0, 0},
       {255, 255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 255}},
  };
  for (const Case& c : cases) {
    const std::optional<Pixels> read = PixelsFromDib(c.dib.data(), c.dib.size());
    ASSERT_TRUE(read) << c.what;
    EXPECT_EQ(read->bgra, c.bgra) << c.what;
    EXPECT_EQ(std::size_t{read->width} * read->height * 4, read->bgra.size()) << c.what;
  }
}

TEST(Picture, PutsBackTheSamePixelsWithTheirTransparency) {
  Pixels picture;
  picture.width = 3;
  picture.height = 2;
  picture.bgra = {1, 2, 3, 255, 4, 5, 6, 0, 7, 8, 9, 128, 10, 11, 12, 255, 13, 14, 15, 1, 16, 17, 18, 254};
  EXPECT_TRUE(HasTransparency(picture));
  // As some programs write a CF_DIBV5: its masks once more after the header.
  Block repeatedMasks = DibV5FromPixels(picture);
  repeatedMasks.insert(repeatedMasks.begin() + 124, repeatedMasks.begin() + 40, repeatedMasks.begin() + 52);
  for (const Block& dib : {DibFromPixels(picture), DibV5FromPixels(picture), repeatedMasks}) {
    const std::optional<Pixels> back = PixelsFromDib(dib.data(), dib.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width, 3u);
    EXPECT_EQ(back->height, 2u);
    EXPECT_EQ(back->bgra, picture.bgra);
  }
}

TEST(Picture, ABitmapThatLiesOrIsCutShortIsNotRead) {
  const Block fine = Header(1, 1, 24) + Block{1, 2, 3, 0};
  ASSERT_TRUE(PixelsFromDib(fine.data(), fine.size()));
  const std::vector<std::pair<const char*, Block>> refused = {
      {"no width", Header(0, 1, 24) + Block{0, 0, 0, 0}},
      {"no height", Header(1, 0, 24) + Block{0, 0, 0, 0}},
      {"a side beyond the largest", Header(30000, 1, 24) + Block(90000, 0)},
      {"16384 by 16384 claimed in a small block", Header(16384, 16384, 32) + Block(64, 0)},
      {"run-length compressed", Header(1, 1, 8, 1) + Block(1024 + 4, 0)},
      {"2 bits a pixel", Header(1, 1, 2) + Block(64, 0)},
      {"a header longer than the block", [] { Block b = Header(1, 1, 24) + Block{1, 2, 3, 0}; b[0] = 200; return b; }()},
      {"more colours than the block holds", Header(1, 1, 24, 0, 0x40000000) + Block{1, 2, 3, 0}},
  };
  for (const auto& [what, dib] : refused) EXPECT_FALSE(PixelsFromDib(dib.data(), dib.size())) << what;
  EXPECT_FALSE(PixelsFromDib(nullptr, 0));

  // Cut anywhere, or any bit of the header flipped: never a read beyond the
  // block (the sanitizers watch), and what is read is whole.
  Pixels picture;
  picture.width = 3;
  picture.height = 2;
  picture.bgra.assign(24, 77);
  for (const Block& whole : {DibV5FromPixels(picture), Header(2, 2, 8, 0, 4) + Block(16, 9) + Block{0, 1, 2, 3, 3, 2, 1, 0}}) {
    for (std::size_t size = 0; size < whole.size(); ++size) EXPECT_FALSE(PixelsFromDib(whole.data(), size)) << size;
    for (std::size_t bit = 0; bit < 8 * std::min<std::size_t>(whole.size(), 160); ++bit) {
      Block flipped = whole;
      flipped[bit / 8] ^= static_cast<std::uint8_t>(1 << (bit % 8));
      if (const std::optional<Pixels> read = PixelsFromDib(flipped.data(), flipped.size())) {
        EXPECT_EQ(std::size_t{read->width} * read->height * 4, read->bgra.size()) << bit;
        EXPECT_LE(read->width, kLargestPictureSide);
      }
    }
  }
}

// A PNG of `colourType` whose chunks before its image are `chunks`.
std::vector<std::uint8_t> PngHead(std::uint8_t colourType, const std::vector<std::string>& chunks) {
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                   0, 0, 7, 128, 0, 0, 4, 56, 8, colourType, 0, 0, 0, 1, 2, 3, 4};
  for (const std::string& type : chunks) {
    const std::uint8_t chunk[] = {0, 0, 0, 1, static_cast<std::uint8_t>(type[0]), static_cast<std::uint8_t>(type[1]),
                                  static_cast<std::uint8_t>(type[2]), static_cast<std::uint8_t>(type[3]), 9, 1, 2, 3, 4};
    png.insert(png.end(), std::begin(chunk), std::end(chunk));
  }
  return png;
}

TEST(Picture, APngsHeaderTellsItsSizeAndWhetherItMayBeTransparent) {
  EXPECT_EQ(PngSize(PngHead(2, {"IDAT"})), (PictureSize{1920, 1080}));
  EXPECT_FALSE(PngMayBeTransparent(PngHead(2, {"pHYs", "IDAT"})));
  EXPECT_FALSE(PngMayBeTransparent(PngHead(3, {"PLTE", "IDAT", "tRNS"}))) << "only a chunk before the image counts";
  EXPECT_TRUE(PngMayBeTransparent(PngHead(3, {"PLTE", "tRNS", "IDAT"})));
  EXPECT_TRUE(PngMayBeTransparent(PngHead(6, {"IDAT"})));
  EXPECT_TRUE(PngMayBeTransparent(PngHead(4, {"IDAT"})));
  EXPECT_TRUE(PngMayBeTransparent(PngHead(2, {"pHYs"}))) << "cut short before its image";
  std::vector<std::uint8_t> lying = PngHead(2, {"pHYs", "IDAT"});
  lying[33 + 2] = 0xFF;  // a chunk longer than the file
  EXPECT_TRUE(PngMayBeTransparent(lying));
  lying[33] = lying[34] = 0xFF;
  lying[35] = 0xFF;
  lying[36] = 0xF4;  // one that wraps a 32-bit count round to nothing
  EXPECT_TRUE(PngMayBeTransparent(lying));
  EXPECT_FALSE(PngSize(std::vector<std::uint8_t>(20, 0)));
}

TEST(Picture, AThumbnailKeepsTheAspectWithinItsHeightAndFourTimesItsWidth) {
  struct SizeCase {
    PictureSize picture;
    PictureSize thumbnail;
  };
  const std::vector<SizeCase> cases = {
      {{1920, 1080}, {113, 64}},  {{100, 50}, {100, 50}},  // never enlarged
      {{30000, 1}, {256, 1}},     {{1, 30000}, {1, 64}},   {{1000, 100}, {256, 25}},
      {{0, 0}, {1, 1}},
  };
  for (const SizeCase& c : cases) {
    EXPECT_EQ(ThumbnailSize(c.picture, 64), c.thumbnail) << c.picture.width << "x" << c.picture.height;
  }
  EXPECT_EQ(ThumbnailHeightAt(96), 64u);
  EXPECT_EQ(ThumbnailHeightAt(144), 96u);
}

TEST(Picture, AnEntrySaysItsSizeOnceReadAndWhenItIsTooLargeToKeep) {
  PictureData picture;
  EXPECT_EQ(AttachmentLabel(*PictureAttachment(picture)), L"画像");
  picture.width = 1920;
  picture.height = 1080;
  picture.png = std::make_shared<const std::vector<std::uint8_t>>(1, 0);
  EXPECT_EQ(AttachmentLabel(*PictureAttachment(picture)), L"画像 1920x1080");
  EXPECT_EQ(AttachmentSearchText(*PictureAttachment(picture)), L"画像 image 1920x1080");
  const Block wide = Header(30000, 1, 24) + Block(16, 0);  // cut short, and beyond the largest side
  ASSERT_FALSE(PixelsFromDib(wide.data(), wide.size()));
  const std::optional<PictureSize> size = DibSize(wide.data(), wide.size());
  ASSERT_TRUE(size);
  EXPECT_EQ(*size, (PictureSize{30000, 1}));
  picture = {size->width, size->height, nullptr, nullptr, true};
  EXPECT_EQ(AttachmentLabel(*PictureAttachment(picture)), L"画像 30000x1（大きすぎるため保存しません）");

  // Kept without its picture (past the bound, too large): a tag line, never
  // a picture waited for.
  EXPECT_EQ(KeptAttachment(EntryKind::Picture, L"[Bitmap]", nullptr), nullptr);
}

TEST(PictureShelf, AnEqualPictureIsHeldOnceAndOnlyWhileALineHoldsIt) {
  const auto png = [](std::vector<std::uint8_t> bytes) {
    return std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
  };
  PictureShelf shelf;
  PictureData first = shelf.Share({2, 2, png({1, 2, 3}), std::make_shared<const Pixels>()});
  PictureData again = shelf.Share({2, 2, png({1, 2, 3}), std::make_shared<const Pixels>()});
  EXPECT_EQ(again.png, first.png) << "the same bytes held once";
  EXPECT_EQ(again.thumbnail, first.thumbnail);
  const PictureData other = shelf.Share({2, 2, png({1, 2, 4}), nullptr});
  EXPECT_NE(other.png, first.png);
  EXPECT_EQ(shelf.HeldCount(), 2u);

  // Released by every line that held it: no longer held.
  first = {};
  EXPECT_EQ(shelf.HeldCount(), 2u) << "one line still holds it";
  again = {};
  EXPECT_EQ(shelf.HeldCount(), 1u);
}

}  // namespace
}  // namespace rtrillex
