// Checks the committed icons in resources/ (made by tools/icongen): the
// layout Windows and windres rely on, and that the main artwork is really
// drawn rather than left as a flat fill.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef RTRILLEX_RESOURCE_DIR
#error "RTRILLEX_RESOURCE_DIR must name the folder holding the icons"
#endif

namespace {

// A single-image .ico file with little-endian field readers; the image's
// BITMAPINFOHEADER starts at the offset given in the directory entry.
struct Ico {
    std::vector<std::uint8_t> bytes;

    static Ico load(const std::string& name) {
        std::ifstream f(std::string(RTRILLEX_RESOURCE_DIR) + "/" + name, std::ios::binary);
        return {std::vector<std::uint8_t>(std::istreambuf_iterator<char>(f), {})};
    }
    unsigned u8(std::size_t at) const { return bytes.at(at); }
    unsigned u16(std::size_t at) const { return u8(at) | u8(at + 1) << 8; }
    std::uint32_t u32(std::size_t at) const { return u16(at) | static_cast<std::uint32_t>(u16(at + 2)) << 16; }
    std::size_t dib() const { return u32(18); }
    std::size_t rowBytes(int width, int bits) const { return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4; }
};

// Checks the directory, the single entry and the bitmap header, including
// that the declared sizes add up and match the file length exactly.
void expectSingleImage(const Ico& ico, int width, int height, int bits, int colours) {
    ASSERT_GE(ico.bytes.size(), 22u + 40u);
    EXPECT_EQ(ico.u16(0), 0u);  // reserved
    EXPECT_EQ(ico.u16(2), 1u);  // icon, not cursor
    EXPECT_EQ(ico.u16(4), 1u);  // exactly one image

    EXPECT_EQ(ico.u8(6), static_cast<unsigned>(width));
    EXPECT_EQ(ico.u8(7), static_cast<unsigned>(height));
    EXPECT_EQ(ico.u8(8), static_cast<unsigned>(colours == 16 ? 16 : 0));
    EXPECT_EQ(ico.u16(10), 1u);  // planes
    EXPECT_EQ(ico.u16(12), static_cast<unsigned>(bits));

    const std::size_t paletteBytes = static_cast<std::size_t>(colours) * 4;
    const std::size_t expected = 40 + paletteBytes + ico.rowBytes(width, bits) * height + ico.rowBytes(width, 1) * height;
    EXPECT_EQ(ico.u32(14), expected);
    EXPECT_EQ(ico.dib(), 22u);
    EXPECT_EQ(ico.dib() + ico.u32(14), ico.bytes.size());

    const std::size_t h = ico.dib();
    EXPECT_EQ(ico.u32(h), 40u);                                  // BITMAPINFOHEADER
    EXPECT_EQ(ico.u32(h + 4), static_cast<std::uint32_t>(width));
    EXPECT_EQ(ico.u32(h + 8), static_cast<std::uint32_t>(height * 2));  // colour rows + AND mask
    EXPECT_EQ(ico.u16(h + 12), 1u);
    EXPECT_EQ(ico.u16(h + 14), static_cast<unsigned>(bits));
    EXPECT_EQ(ico.u32(h + 16), 0u);  // BI_RGB
}

constexpr int kMainWidth = 150, kMainHeight = 153;

struct Rgb {
    unsigned r, g, b;
};

// Pixel of the 24-bit main icon, with y counted from the top.
Rgb mainPixel(const Ico& ico, int x, int y) {
    const std::size_t row = ico.dib() + 40 + ico.rowBytes(kMainWidth, 24) * (kMainHeight - 1 - y);
    const std::size_t at = row + static_cast<std::size_t>(x) * 3;
    return {ico.u8(at + 2), ico.u8(at + 1), ico.u8(at)};
}

bool isNavy(Rgb p) { return p.r < 60 && p.g < 70 && p.b > 50 && p.b < 130 && p.b > p.r + 20; }
bool isWhite(Rgb p) { return p.r > 235 && p.g > 235 && p.b > 235; }
bool isTurquoise(Rgb p) { return p.g > 140 && p.b > 120 && p.r + 80 < p.g && p.r + 80 < p.b; }
bool isBlue(Rgb p) { return p.b > 150 && p.b > p.r + 100 && p.b > p.g + 60; }

}  // namespace

TEST(IconFiles, MainIconIsOne150x153TrueColourImage) {
    const Ico ico = Ico::load("rTrillex.ico");
    expectSingleImage(ico, kMainWidth, kMainHeight, 24, 0);
    EXPECT_EQ(ico.u32(ico.dib() + 32), 0u);  // no palette
}

TEST(IconFiles, MainIconIsFullyOpaque) {
    const Ico ico = Ico::load("rTrillex.ico");
    ASSERT_EQ(ico.bytes.size(), 22u + 40 + 452 * 153 + 20 * 153);  // rows padded to 4 bytes
    const std::size_t mask = ico.dib() + 40 + ico.rowBytes(kMainWidth, 24) * kMainHeight;
    for (std::size_t i = mask; i < ico.bytes.size(); ++i) ASSERT_EQ(ico.bytes[i], 0u) << "mask byte " << i;
}

TEST(IconFiles, MainIconShowsPinnedSheetWithNote) {
    const Ico ico = Ico::load("rTrillex.ico");
    ASSERT_EQ(ico.bytes.size(), 22u + 40 + 452 * 153 + 20 * 153);  // rows padded to 4 bytes
    // Background in corners the sheet, pin and tab leave free.
    EXPECT_TRUE(isNavy(mainPixel(ico, 3, 149)));
    EXPECT_TRUE(isNavy(mainPixel(ico, 146, 3)));
    // Paper between the pin and the ruled lines, and between two lines.
    EXPECT_TRUE(isWhite(mainPixel(ico, 80, 45)));
    EXPECT_TRUE(isWhite(mainPixel(ico, 80, 67)));
    // A ruled line crossing the middle of the sheet is neither paper nor navy.
    const Rgb rule = mainPixel(ico, 80, 61);
    EXPECT_FALSE(isWhite(rule));
    EXPECT_GT(rule.b, rule.r);
    // Push-pin head at the sheet's top left, the note on the lower-right tab.
    EXPECT_TRUE(isTurquoise(mainPixel(ico, 38, 34)));
    EXPECT_TRUE(isBlue(mainPixel(ico, 115, 135)));
}

TEST(IconFiles, PopupIconIsOne32x32SixteenColourImage) {
    const Ico ico = Ico::load("popup.ico");
    expectSingleImage(ico, 32, 32, 4, 16);
    ASSERT_EQ(ico.bytes.size(), 22u + 40 + 64 + 512 + 128);
    const std::uint32_t used = ico.u32(ico.dib() + 32);
    EXPECT_TRUE(used == 0 || used == 16) << used;

    // Palette: the standard VGA set, stored as blue, green, red, 0.
    const std::size_t pal = ico.dib() + 40;
    EXPECT_EQ(ico.u32(pal + 0 * 4), 0x000000u);   // black
    EXPECT_EQ(ico.u32(pal + 4 * 4), 0x000080u);   // navy
    EXPECT_EQ(ico.u32(pal + 12 * 4), 0x0000FFu);  // blue
    EXPECT_EQ(ico.u32(pal + 14 * 4), 0x00FFFFu);  // cyan
    EXPECT_EQ(ico.u32(pal + 15 * 4), 0xFFFFFFu);  // white

    // The artwork uses several colours, and some pixels are opaque.
    const std::size_t pixels = pal + 64;
    std::vector<bool> seen(16, false);
    for (std::size_t i = pixels; i < pixels + 512; ++i) {
        seen[ico.u8(i) >> 4] = true;
        seen[ico.u8(i) & 0xF] = true;
    }
    EXPECT_TRUE(seen[4] && seen[12] && seen[14]);  // outline, text lines, balloon
    bool anyOpaque = false;
    for (std::size_t i = pixels + 512; i < ico.bytes.size(); ++i) anyOpaque = anyOpaque || ico.u8(i) != 0xFF;
    EXPECT_TRUE(anyOpaque);
}
