// icongen: draws rTrillex's two icons and writes them as Windows .ico files.
//
// Usage: icongen <output-dir>
//   writes <output-dir>/rTrillex.ico  (one 150x153 image, 24 bits per pixel)
//          <output-dir>/popup.ico     (one 32x32 image, 16 colours)
//
// Only the C++ standard library is used, so the icons can be rebuilt on any
// host. The output is fully deterministic: no clocks, no randomness.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <iostream>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Colours

struct Rgb {
    std::uint8_t r, g, b;
};

// Main icon.
constexpr Rgb kNavy{0x17, 0x24, 0x45};
constexpr Rgb kBlack{0x00, 0x00, 0x00};
constexpr Rgb kPaper{0xFF, 0xFF, 0xFF};
constexpr Rgb kRuleLine{0x9E, 0xB5, 0xD6};
constexpr Rgb kPinRim{0x0A, 0x7E, 0x78};
constexpr Rgb kPinHead{0x1D, 0xC4, 0xB8};
constexpr Rgb kPinHighlight{0xD2, 0xFB, 0xF6};
constexpr Rgb kNeedle{0x7C, 0x86, 0x92};
constexpr Rgb kTabEdge{0x74, 0x8C, 0xB2};
constexpr Rgb kNoteBlue{0x1E, 0x5A, 0xD2};

// The standard Windows 16-colour (VGA) palette, in its usual index order.
constexpr std::array<Rgb, 16> kVgaPalette{{
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
}};

// Palette indices used by the popup icon.
constexpr std::uint8_t kVgaBlack = 0;
constexpr std::uint8_t kVgaNavy = 4;
constexpr std::uint8_t kVgaSilver = 7;
constexpr std::uint8_t kVgaBlue = 12;
constexpr std::uint8_t kVgaCyan = 14;
constexpr std::uint8_t kVgaWhite = 15;

// ---------------------------------------------------------------------------
// Shapes. Each helper returns a predicate telling whether a point (in pixel
// units, y growing downwards) lies inside the shape. Keeping shapes as plain
// predicates lets one painting routine anti-alias all of them alike.

struct Point {
    double x, y;
};

auto rect(double x0, double y0, double x1, double y1) {
    return [=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

auto roundRect(double x0, double y0, double x1, double y1, double radius) {
    return [=](double x, double y) {
        if (x < x0 || x >= x1 || y < y0 || y >= y1) return false;
        // Distance from the point to the inner rectangle whose corners are
        // the centres of the rounding circles.
        const double dx = std::max({x0 + radius - x, 0.0, x - (x1 - radius)});
        const double dy = std::max({y0 + radius - y, 0.0, y - (y1 - radius)});
        return dx * dx + dy * dy <= radius * radius;
    };
}

// An ellipse turned by angleDeg (positive turns clockwise on screen).
auto ellipse(double cx, double cy, double rx, double ry, double angleDeg = 0.0) {
    const double a = angleDeg * 3.14159265358979323846 / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    return [=](double x, double y) {
        const double u = ((x - cx) * c + (y - cy) * s) / rx;
        const double v = (-(x - cx) * s + (y - cy) * c) / ry;
        return u * u + v * v <= 1.0;
    };
}

auto circle(double cx, double cy, double r) { return ellipse(cx, cy, r, r); }

double distanceToSegment(Point p, Point a, Point b) {
    const double vx = b.x - a.x, vy = b.y - a.y;
    const double lengthSq = vx * vx + vy * vy;
    double t = lengthSq > 0 ? ((p.x - a.x) * vx + (p.y - a.y) * vy) / lengthSq : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double dx = p.x - (a.x + t * vx), dy = p.y - (a.y + t * vy);
    return std::sqrt(dx * dx + dy * dy);
}

// A stroke of the given width through the points, with round ends and joins.
auto polyline(std::vector<Point> points, double width) {
    return [points = std::move(points), width](double x, double y) {
        for (std::size_t i = 0; i + 1 < points.size(); ++i)
            if (distanceToSegment({x, y}, points[i], points[i + 1]) <= width / 2) return true;
        return false;
    };
}

auto line(Point a, Point b, double width) { return polyline({a, b}, width); }

// Points along a quadratic Bezier curve, for strokes that bend smoothly.
std::vector<Point> bezier(Point p0, Point p1, Point p2, int steps) {
    std::vector<Point> points;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps, u = 1 - t;
        points.push_back({u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x,
                          u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y});
    }
    return points;
}

// ---------------------------------------------------------------------------
// A true-colour canvas with anti-aliased painting.

class Canvas {
public:
    Canvas(int width, int height, Rgb background)
        : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, background) {}

    int width() const { return width_; }
    int height() const { return height_; }
    Rgb at(int x, int y) const { return pixels_[index(x, y)]; }

    // Paints `colour` over every pixel the shape touches. Each pixel is split
    // into 4x4 sub-samples; the share that falls inside the shape (times
    // `opacity`) sets how much of the colour is blended in, which smooths
    // the edges without any real rasteriser.
    template <typename Shape>
    void paint(Rgb colour, const Shape& inside, double opacity = 1.0) {
        constexpr int kSub = 4;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                int hits = 0;
                for (int sy = 0; sy < kSub; ++sy)
                    for (int sx = 0; sx < kSub; ++sx)
                        if (inside(x + (sx + 0.5) / kSub, y + (sy + 0.5) / kSub)) ++hits;
                if (hits == 0) continue;
                const double alpha = opacity * hits / (kSub * kSub);
                Rgb& p = pixels_[index(x, y)];
                p = {blend(p.r, colour.r, alpha), blend(p.g, colour.g, alpha), blend(p.b, colour.b, alpha)};
            }
        }
    }

private:
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }

    static std::uint8_t blend(std::uint8_t under, std::uint8_t over, double alpha) {
        return static_cast<std::uint8_t>(std::lround(under + (over - under) * alpha));
    }

    int width_, height_;
    std::vector<Rgb> pixels_;
};

// ---------------------------------------------------------------------------
// Main icon artwork: a ruled sheet pinned at its top left by a large
// turquoise push-pin, with a tab bearing a musical note at its lower right.
// Everything is kept chunky so it still reads when Windows shrinks it to
// 32x32 or 16x16.

constexpr int kMainWidth = 150;
constexpr int kMainHeight = 153;

// The sheet of paper.
constexpr double kSheetLeft = 28, kSheetTop = 24, kSheetRight = 132, kSheetBottom = 140;

void drawSheet(Canvas& c) {
    // A soft drop shadow lifts the sheet off the background.
    c.paint(kBlack, roundRect(kSheetLeft + 3, kSheetTop + 4, kSheetRight + 3, kSheetBottom + 4, 3), 0.35);
    c.paint(kPaper, roundRect(kSheetLeft, kSheetTop, kSheetRight, kSheetBottom, 3));

    // Ruled lines, thick enough to survive downscaling; they start below the
    // pin head and the lower ones run under the tab.
    for (double y = 60; y < kSheetBottom - 8; y += 14)
        c.paint(kRuleLine, rect(kSheetLeft + 12, y, kSheetRight - 12, y + 3));
}

void drawPushPin(Canvas& c) {
    const Point head{32, 28};
    const Point tip{54, 52};
    const double radius = 22;

    // Shadow of the pin falling onto the sheet, down and to the right.
    c.paint(kBlack, circle(head.x + 6, head.y + 7, radius), 0.22);
    c.paint(kBlack, line({head.x + 6, head.y + 7}, {tip.x + 3, tip.y + 2}, 3), 0.22);

    // The needle: the head hides its upper part, leaving a short stub that
    // pierces the paper.
    c.paint(kNeedle, line(head, tip, 3.5));

    // The head: a darker rim, the turquoise dome, then a glossy highlight.
    c.paint(kPinRim, circle(head.x, head.y, radius));
    c.paint(kPinHead, circle(head.x - 1, head.y - 1, radius - 3));
    c.paint(kPinHighlight, ellipse(head.x - 8, head.y - 9, 7.5, 4.5, -40), 0.9);
    c.paint(kPinHighlight, circle(head.x + 9, head.y + 8, 2.2), 0.5);
}

void drawNoteTab(Canvas& c) {
    const double left = 96, top = 102, right = 144, bottom = 148;

    c.paint(kBlack, roundRect(left + 2, top + 3, right + 2, bottom + 3, 7), 0.35);
    // An outline keeps the white tab distinct where it lies on the white sheet.
    c.paint(kTabEdge, roundRect(left, top, right, bottom, 7));
    c.paint(kPaper, roundRect(left + 2.5, top + 2.5, right - 2.5, bottom - 2.5, 5));

    // Eighth note: tilted oval head, stem rising from its right side, and a
    // flag curling down from the top of the stem.
    // Strokes are bold so the note survives shrinking to a few pixels.
    const double stemX = 122, stemTop = 109, headY = 135.5;
    c.paint(kNoteBlue, ellipse(stemX - 7, headY, 9, 6.5, -25));
    c.paint(kNoteBlue, line({stemX, headY - 1}, {stemX, stemTop}, 4.5));
    c.paint(kNoteBlue, polyline(bezier({stemX, stemTop}, {stemX + 2, stemTop + 7}, {stemX + 10, stemTop + 12}, 12), 5));
    c.paint(kNoteBlue, polyline(bezier({stemX + 10, stemTop + 12}, {stemX + 14, stemTop + 17}, {stemX + 10, stemTop + 24}, 12), 3.5));
}

Canvas drawMainIcon() {
    Canvas c(kMainWidth, kMainHeight, kNavy);
    drawSheet(c);
    drawNoteTab(c);
    drawPushPin(c);
    return c;
}

// ---------------------------------------------------------------------------
// Popup icon artwork: a light-blue speech balloon holding blue text lines,
// drawn pixel by pixel with the 16 VGA colours. Pixels outside the balloon
// are marked transparent.

constexpr int kPopupSize = 32;
constexpr int kTransparent = -1;

bool insideBalloon(int x, int y) {
    // Body: a rounded rectangle; corners cut by distance to the corner centre.
    const int left = 1, top = 3, right = 30, bottom = 22, r = 4;
    if (x >= left && x <= right && y >= top && y <= bottom) {
        const int dx = std::max({left + r - x, 0, x - (right - r)});
        const int dy = std::max({top + r - y, 0, y - (bottom - r)});
        if (dx * dx + dy * dy <= r * r + 1) return true;
    }
    // Tail: rows hanging below the body's left part, narrowing to a point
    // at the lower left so the balloon seems to speak from there. Listed row
    // by row because at this size hand-placed pixels beat any formula.
    struct Span { int first, last; };
    const Span tail[] = {{6, 15}, {6, 13}, {5, 11}, {5, 9}, {4, 7}, {4, 6}, {3, 4}};
    const int row = y - bottom - 1;
    if (row >= 0 && row < static_cast<int>(std::size(tail)))
        return x >= tail[row].first && x <= tail[row].last;
    return false;
}

std::vector<int> drawPopupIcon() {
    std::vector<int> px(kPopupSize * kPopupSize, kTransparent);
    auto at = [&](int x, int y) -> int& { return px[y * kPopupSize + x]; };
    auto inside = [](int x, int y) {
        return x >= 0 && y >= 0 && x < kPopupSize && y < kPopupSize && insideBalloon(x, y);
    };

    for (int y = 0; y < kPopupSize; ++y) {
        for (int x = 0; x < kPopupSize; ++x) {
            if (!inside(x, y)) continue;
            // A pixel with any outside neighbour, diagonals included, belongs
            // to the outline; counting diagonals keeps slanted edges closed.
            bool edge = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) edge = edge || !inside(x + dx, y + dy);
            at(x, y) = edge ? kVgaNavy : kVgaCyan;
        }
    }

    // A white sheen along the top and left inner edges and a silver shade
    // along the bottom give the flat balloon a little depth. The shade stops
    // short of the tail so the tail still flows out of the body.
    for (int x = 5; x <= 26; ++x) at(x, 4) = kVgaWhite;
    for (int y = 7; y <= 18; ++y) at(2, y) = kVgaWhite;
    for (int x = 17; x <= 27; ++x) at(x, 21) = kVgaSilver;

    // Text lines, two pixels thick so they stay visible; the last is shorter,
    // like the end of a paragraph.
    const int lineRows[] = {8, 12, 16};
    const int lineEnds[] = {26, 26, 19};
    for (int i = 0; i < 3; ++i)
        for (int y = lineRows[i]; y < lineRows[i] + 2; ++y)
            for (int x = 6; x <= lineEnds[i]; ++x) at(x, y) = kVgaBlue;
    return px;
}

// ---------------------------------------------------------------------------
// ICO encoding. An .ico is a small directory followed by the image: a
// BITMAPINFOHEADER (its height doubled to cover the AND mask), an optional
// palette, the colour rows bottom-up, then the 1-bit AND mask, every row
// padded to a multiple of 4 bytes.

void put8(std::vector<std::uint8_t>& out, unsigned v) { out.push_back(static_cast<std::uint8_t>(v)); }
void put16(std::vector<std::uint8_t>& out, unsigned v) { put8(out, v & 0xFF); put8(out, (v >> 8) & 0xFF); }
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) { put16(out, v & 0xFFFF); put16(out, v >> 16); }

std::size_t paddedRowBytes(int width, int bitsPerPixel) { return ((static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32) * 4; }

struct IconImage {
    int width = 0, height = 0, bitsPerPixel = 0;
    std::vector<Rgb> palette;                // empty for true colour
    std::vector<std::uint8_t> colourRows;    // bottom-up, padded
    std::vector<bool> transparent;           // top-down, one per pixel
};

std::vector<std::uint8_t> encodeIco(const IconImage& img) {
    const std::size_t maskRow = paddedRowBytes(img.width, 1);
    const std::size_t maskBytes = maskRow * img.height;
    const std::size_t headerBytes = 40 + img.palette.size() * 4;
    const std::size_t imageBytes = headerBytes + img.colourRows.size() + maskBytes;
    const std::uint32_t imageOffset = 6 + 16;  // ICONDIR + one ICONDIRENTRY

    std::vector<std::uint8_t> out;
    // ICONDIR
    put16(out, 0);  // reserved
    put16(out, 1);  // type: icon
    put16(out, 1);  // one image
    // ICONDIRENTRY
    put8(out, img.width & 0xFF);
    put8(out, img.height & 0xFF);
    // Colour count: the palette size, or 0 for true colour (and for 256,
    // which does not fit the byte).
    put8(out, img.palette.size() < 256 ? static_cast<unsigned>(img.palette.size()) : 0u);
    put8(out, 0);   // reserved
    put16(out, 1);  // planes
    put16(out, img.bitsPerPixel);
    put32(out, static_cast<std::uint32_t>(imageBytes));
    put32(out, imageOffset);
    // BITMAPINFOHEADER
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(img.width));
    put32(out, static_cast<std::uint32_t>(img.height * 2));  // colour rows + mask rows
    put16(out, 1);                                           // planes
    put16(out, img.bitsPerPixel);
    put32(out, 0);  // BI_RGB
    put32(out, static_cast<std::uint32_t>(img.colourRows.size() + maskBytes));
    put32(out, 0);  // horizontal resolution: unused for icons
    put32(out, 0);  // vertical resolution
    put32(out, static_cast<std::uint32_t>(img.palette.size()));
    put32(out, 0);  // all colours important
    // Palette as RGBQUADs (blue, green, red, reserved).
    for (const Rgb& c : img.palette) {
        put8(out, c.b);
        put8(out, c.g);
        put8(out, c.r);
        put8(out, 0);
    }
    out.insert(out.end(), img.colourRows.begin(), img.colourRows.end());
    // AND mask, bottom-up, most significant bit = leftmost pixel; 1 = see-through.
    for (int y = img.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(maskRow, 0);
        for (int x = 0; x < img.width; ++x)
            if (img.transparent[static_cast<std::size_t>(y) * img.width + x]) {
                std::uint8_t& bits = row[static_cast<std::size_t>(x / 8)];
                bits = static_cast<std::uint8_t>(bits | (0x80 >> (x % 8)));
            }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

IconImage trueColourImage(const Canvas& c) {
    IconImage img;
    img.width = c.width();
    img.height = c.height();
    img.bitsPerPixel = 24;
    const std::size_t rowBytes = paddedRowBytes(c.width(), 24);
    for (int y = c.height() - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(rowBytes, 0);
        for (int x = 0; x < c.width(); ++x) {
            const Rgb p = c.at(x, y);
            row[x * 3 + 0] = p.b;  // DIBs store blue first
            row[x * 3 + 1] = p.g;
            row[x * 3 + 2] = p.r;
        }
        img.colourRows.insert(img.colourRows.end(), row.begin(), row.end());
    }
    img.transparent.assign(static_cast<std::size_t>(c.width()) * c.height(), false);  // fully opaque
    return img;
}

IconImage sixteenColourImage(const std::vector<int>& pixels, int size) {
    IconImage img;
    img.width = size;
    img.height = size;
    img.bitsPerPixel = 4;
    img.palette.assign(kVgaPalette.begin(), kVgaPalette.end());
    const std::size_t rowBytes = paddedRowBytes(size, 4);
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(rowBytes, 0);
        for (int x = 0; x < size; ++x) {
            const int v = pixels[y * size + x];
            // Transparent pixels are black in the colour plane so that the
            // AND/XOR combination leaves the screen untouched there.
            const unsigned index = v == kTransparent ? kVgaBlack : static_cast<unsigned>(v);
            row[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
        }
        img.colourRows.insert(img.colourRows.end(), row.begin(), row.end());
    }
    for (int v : pixels) img.transparent.push_back(v == kTransparent);
    return img;
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: icongen <output-dir>\n";
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = writeFile(dir + "/rTrillex.ico", encodeIco(trueColourImage(drawMainIcon()))) &&
                    writeFile(dir + "/popup.ico", encodeIco(sixteenColourImage(drawPopupIcon(), kPopupSize)));
    if (!ok) {
        std::cerr << "icongen: cannot write icons into " << dir << "\n";
        return 1;
    }
    return 0;
}
