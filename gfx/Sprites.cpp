// Sprite drawing on 32-bit pixel rows: keyed sprites, the in-bubble look, scaled blocks.
#include "gfx/Sprites.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "gfx/BildIO.h"

namespace blubbi {

namespace {

constexpr int kBubbleRadiusSquared = 19 * 19;

// One pixel word per palette index, made once per call: 256 entries cost less than the
// smallest sprite, and nothing about a sheet has to be remembered between frames.
struct TPalettePixels {
    uint32_t Word[256];
    TPalettePixels(const TDib& sheet, bool inBubble) {
        for (int i = 0; i < 256; ++i) {
            const TRGBQuad& c = sheet.Colours[i];
            uint32_t r = c.Red, g = c.Green;
            if (inBubble) {
                r = (r + 64) / 2;
                g = (g + 64) / 2;
            }
            Word[i] = 0xFF000000u | (r << 16) | (g << 8) | c.Blue;
        }
    }
};

// The stored row of picture row y (counted from the top).
inline const uint8_t* SourceRow(const TDib& dib, int64_t y) {
    return dib.Bits + static_cast<size_t>(dib.Height - 1 - y) * static_cast<size_t>(dib.Stride);
}

inline uint32_t* TargetRow(TPixels& target, int64_t y) {
    return target.Pixels + static_cast<size_t>(y) * static_cast<size_t>(target.Stride);
}

bool Drawable(const TPixels& target, const TDib& sheet) {
    return target.Pixels != nullptr && sheet.Bits != nullptr && sheet.BitCount == 8 && sheet.Width > 0 &&
           sheet.Height > 0;
}

// Largest m with m * m <= n, for n >= 0.
int64_t IntSqrt(int64_t n) {
    auto m = static_cast<int64_t>(std::sqrt(static_cast<double>(n)));
    while (m * m > n) --m;
    while ((m + 1) * (m + 1) <= n) ++m;
    return m;
}

// A division of the clipping rules: in floating point, taken to the nearest whole number
// with halves to even (the default rounding mode). A zero divisor or a result beyond 32 bits
// gives 0, so nothing odd is drawn from odd arguments.
int32_t ScaleRound(int64_t a, int64_t b, int64_t divisor) {
    if (divisor == 0) return 0;
    const double q = std::nearbyint(static_cast<double>(a) * static_cast<double>(b) / static_cast<double>(divisor));
    if (!(q >= std::numeric_limits<int32_t>::min() && q <= std::numeric_limits<int32_t>::max())) return 0;
    return static_cast<int32_t>(q);
}

// The source and destination rectangles of StretchDrawDib after clipping to the image.
struct TStretch {
    int64_t X, Y, DestWidth, DestHeight, SrcX, SrcY, SrcWidth, SrcHeight;
};

TStretch ClipSource(const TDib& image, int x, int y, int destWidth, int destHeight, int srcX, int srcY,
                    int srcWidth, int srcHeight) {
    TStretch s{x, y, destWidth, destHeight, srcX, srcY, srcWidth, srcHeight};
    const int64_t width = image.Width, height = image.Height;
    if (s.SrcX + s.SrcWidth > width) {
        const int64_t w = width - s.SrcX;
        s.DestWidth = ScaleRound(s.DestWidth, w, s.SrcWidth);
        s.SrcWidth = w;
    }
    if (s.SrcY < 0) {
        const int64_t h = s.SrcHeight + s.SrcY;
        s.DestHeight = ScaleRound(s.DestHeight, h, s.SrcHeight);
        s.SrcHeight = h;
        s.SrcY = 0;
    }
    if (s.SrcY + s.SrcHeight > height) {
        const int64_t h = height - s.SrcY;
        const int64_t n = ScaleRound(s.DestHeight, h, s.SrcHeight);
        s.Y = s.Y + s.DestHeight - n;
        s.DestHeight = n;
        s.SrcHeight = h;
    }
    if (s.SrcX < 0) {
        const int64_t w = s.SrcX + s.SrcWidth;
        const int64_t n = ScaleRound(s.DestWidth, w, s.SrcWidth);
        s.X = s.X + s.DestWidth - n;
        s.DestWidth = n;
        s.SrcWidth = w;
        s.SrcX = 0;
    }
    return s;
}

bool Stretchable(const TDib& image) {
    return image.Bits != nullptr && (image.BitCount == 8 || image.BitCount == 24) && image.Width > 0 &&
           image.Height > 0;
}

inline uint32_t Pixel24(const uint8_t* p) {
    return 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

}  // namespace

void FillRect(TPixels& target, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint32_t pixel) {
    if (!target.Pixels) return;
    x1 = std::max<int64_t>(x1, 0);
    y1 = std::max<int64_t>(y1, 0);
    x2 = std::min<int64_t>(x2, target.Width);
    y2 = std::min<int64_t>(y2, target.Height);
    if (x1 >= x2) return;
    for (int64_t y = y1; y < y2; ++y) {
        uint32_t* row = TargetRow(target, y);
        std::fill(row + x1, row + x2, pixel);
    }
}

void DrawSprite(TPixels& target, const TDib& sheet, int x, int y, bool mirrored, int frame, int frameCount,
                bool inBubble) {
    if (!Drawable(target, sheet) || frameCount <= 0 || frame < 0 || frame >= frameCount) return;
    const int width = sheet.Width;
    const int frameHeight = sheet.Height / frameCount;
    const int firstRow = frameHeight * frame;
    const uint8_t key = sheet.Index(0, 0);
    const TPalettePixels colours(sheet, inBubble);
    const int centreX = width / 2, centreY = frameHeight / 2;

    // Frame columns c and rows r that land inside the target.
    const int64_t cLo = std::max<int64_t>(0, -int64_t{x});
    const int64_t cHi = std::min<int64_t>(width, int64_t{target.Width} - x);
    const int64_t rLo = std::max<int64_t>(0, -int64_t{y});
    const int64_t rHi = std::min<int64_t>(frameHeight, int64_t{target.Height} - y);
    for (int64_t r = rLo; r < rHi; ++r) {
        int64_t from = cLo, to = cHi;
        if (inBubble) {
            // Only pixels strictly inside the radius-19 circle about the frame's centre.
            const int64_t dy = r - centreY;
            const int64_t room = kBubbleRadiusSquared - 1 - dy * dy;
            if (room < 0) continue;
            const int64_t m = IntSqrt(room);
            from = std::max<int64_t>(from, centreX - m);
            to = std::min<int64_t>(to, centreX + m + 1);
        }
        const uint8_t* src = SourceRow(sheet, firstRow + r);
        uint32_t* dst = TargetRow(target, y + r) + x;
        if (mirrored) {
            const uint8_t* back = src + (width - 1);
            for (int64_t c = from; c < to; ++c) {
                const uint8_t index = back[-c];
                if (index != key) dst[c] = colours.Word[index];
            }
        } else {
            for (int64_t c = from; c < to; ++c) {
                const uint8_t index = src[c];
                if (index != key) dst[c] = colours.Word[index];
            }
        }
    }
}

void DrawSpriteRow(TPixels& target, const TDib& sheet, int x, int y, int frameCount, int frame) {
    if (!Drawable(target, sheet) || frameCount <= 0 || frame < 0 || frame >= frameCount) return;
    const int frameWidth = sheet.Width / frameCount;
    const int firstColumn = frameWidth * frame;
    const uint8_t key = sheet.Index(0, 0);
    const TPalettePixels colours(sheet, false);

    const int64_t cLo = std::max<int64_t>(0, -int64_t{x});
    const int64_t cHi = std::min<int64_t>(frameWidth, int64_t{target.Width} - x);
    const int64_t rLo = std::max<int64_t>(0, -int64_t{y});
    const int64_t rHi = std::min<int64_t>(sheet.Height, int64_t{target.Height} - y);
    for (int64_t r = rLo; r < rHi; ++r) {
        const uint8_t* src = SourceRow(sheet, r) + firstColumn;
        uint32_t* dst = TargetRow(target, y + r) + x;
        for (int64_t c = cLo; c < cHi; ++c) {
            const uint8_t index = src[c];
            if (index != key) dst[c] = colours.Word[index];
        }
    }
}

void StretchDrawDib(TPixels& target, int x, int y, int destWidth, int destHeight, const TDib& image, int srcX,
                    int srcY, int srcWidth, int srcHeight) {
    if (!target.Pixels || !Stretchable(image)) return;
    const TStretch s = ClipSource(image, x, y, destWidth, destHeight, srcX, srcY, srcWidth, srcHeight);
    if (s.DestWidth <= 0 || s.DestHeight <= 0) return;

    // Only the destination columns and rows that land inside the target are worked out.
    const int64_t iLo = std::max<int64_t>(0, -s.X), iHi = std::min<int64_t>(s.DestWidth, target.Width - s.X);
    const int64_t jLo = std::max<int64_t>(0, -s.Y), jHi = std::min<int64_t>(s.DestHeight, target.Height - s.Y);
    if (iLo >= iHi || jLo >= jHi) return;

    // Column map; a column outside the image stays at zero, as an unfilled row buffer would.
    constexpr int kSmall = 64;
    int64_t columnsSmall[kSmall];
    std::vector<int64_t> columnsLarge;
    int64_t* columns = columnsSmall;
    if (iHi - iLo > kSmall) {
        columnsLarge.resize(static_cast<size_t>(iHi - iLo));
        columns = columnsLarge.data();
    }
    for (int64_t i = iLo; i < iHi; ++i) {
        const int64_t column = s.SrcX + s.SrcWidth * i / s.DestWidth;
        columns[i - iLo] = (column >= 0 && column < image.Width) ? column : -1;
    }

    const TPalettePixels colours(image, false);
    const uint32_t zero = image.BitCount == 8 ? colours.Word[0] : PixelOf(0);
    const int64_t topRow = image.Height - s.SrcY - s.SrcHeight;
    for (int64_t j = jLo; j < jHi; ++j) {
        uint32_t* dst = TargetRow(target, s.Y + j) + s.X;
        const int64_t row = topRow + s.SrcHeight * j / s.DestHeight;
        if (row < 0 || row >= image.Height) {
            std::fill(dst + iLo, dst + iHi, zero);
            continue;
        }
        const uint8_t* src = SourceRow(image, row);
        if (image.BitCount == 8) {
            for (int64_t i = iLo; i < iHi; ++i) {
                const int64_t column = columns[i - iLo];
                dst[i] = column >= 0 ? colours.Word[src[column]] : zero;
            }
        } else {
            for (int64_t i = iLo; i < iHi; ++i) {
                const int64_t column = columns[i - iLo];
                dst[i] = column >= 0 ? Pixel24(src + 3 * column) : zero;
            }
        }
    }
}

namespace literal {

void setPixel(TPixels& target, int64_t x, int64_t y, uint32_t pixel) {
    if (!target.Pixels || x < 0 || y < 0 || x >= target.Width || y >= target.Height) return;
    TargetRow(target, y)[x] = pixel;
}

namespace {

uint32_t ColourOfIndex(const TDib& sheet, int32_t index) {
    const TRGBQuad& c = sheet.Colours[static_cast<uint8_t>(index)];
    return c.Red + c.Green * 256u + c.Blue * 65536u;
}

}  // namespace

void DrawSprite(TPixels& target, const TDib& sheet, int x, int y, bool mirrored, int frame, int frameCount,
                bool inBubble) {
    if (sheet.BitCount != 8 || frameCount <= 0 || frame < 0 || frame >= frameCount) return;
    const int32_t key = getpixel(sheet, 0, 0);
    const int frameHeight = sheet.Height / frameCount;
    const int firstRow = frameHeight * frame;
    int centreX = 0, centreY = 0;
    if (inBubble) {
        centreX = sheet.Width / 2;
        centreY = frameHeight / 2;
    }
    for (int c = 0; c <= sheet.Width - 1; ++c) {
        for (int r = firstRow; r <= firstRow + frameHeight - 1; ++r) {
            const int32_t index = mirrored ? getpixel(sheet, sheet.Width - 1 - c, r) : getpixel(sheet, c, r);
            if (index == key) continue;
            uint32_t colour;
            if (inBubble) {
                const int dx = c - centreX, dy = (r - firstRow) - centreY;
                if (std::sqrt(static_cast<double>(dx * dx + dy * dy)) >= 19.0) continue;
                colour = InBubbleColour(ColourOfIndex(sheet, index));
            } else {
                colour = ColourOfIndex(sheet, index);
            }
            setPixel(target, int64_t{x} + c, int64_t{y} + r - firstRow, PixelOf(colour));
        }
    }
}

void DrawSpriteRow(TPixels& target, const TDib& sheet, int x, int y, int frameCount, int frame) {
    if (sheet.BitCount != 8 || frameCount <= 0 || frame < 0 || frame >= frameCount) return;
    const int32_t key = getpixel(sheet, 0, 0);
    const int frameWidth = sheet.Width / frameCount;
    const int firstColumn = frameWidth * frame;
    for (int c = firstColumn; c <= firstColumn + frameWidth - 1; ++c) {
        for (int r = 0; r <= sheet.Height - 1; ++r) {
            const int32_t index = getpixel(sheet, c, r);
            if (index != key) {
                setPixel(target, int64_t{x} + c - firstColumn, int64_t{y} + r, PixelOf(ColourOfIndex(sheet, index)));
            }
        }
    }
}

void StretchDrawDib(TPixels& target, int x, int y, int destWidth, int destHeight, const TDib& image, int srcX,
                    int srcY, int srcWidth, int srcHeight) {
    if (!Stretchable(image)) return;
    const TStretch s = ClipSource(image, x, y, destWidth, destHeight, srcX, srcY, srcWidth, srcHeight);
    if (s.DestWidth <= 0 || s.DestHeight <= 0) return;

    // The one-row image; its colour table is the image's.
    TDib row = image.BitCount == 8 ? newdib(static_cast<int>(s.DestWidth), 1, 8, &image, 256)
                                   : newdib(static_cast<int>(s.DestWidth), 1, 24, nullptr, 0);
    if (!row.Bits) return;
    std::vector<int64_t> column(static_cast<size_t>(s.DestWidth));
    int64_t first = -1, last = -1;
    for (int64_t i = 0; i < s.DestWidth; ++i) {
        column[i] = s.SrcX + s.SrcWidth * i / s.DestWidth;
        if (column[i] >= 0 && column[i] < image.Width) {
            if (first < 0) first = i;
            last = i;
        }
    }
    const int64_t topRow = image.Height - s.SrcY - s.SrcHeight;
    int64_t previousOffset = -1;
    for (int64_t j = 0; j < s.DestHeight; ++j) {
        const int64_t source = topRow + s.SrcHeight * j / s.DestHeight;
        const int64_t offset = (image.Height - 1 - source) * image.Stride;
        if (offset != previousOffset) {
            const bool inside = source >= 0 && source < image.Height;
            for (int64_t i = first; first >= 0 && i <= last; ++i) {
                setpixel(row, static_cast<int>(i), 0, inside ? getpixel(image, static_cast<int>(column[i]),
                                                                        static_cast<int>(source))
                                                             : 0);
            }
            previousOffset = offset;
        }
        for (int64_t i = 0; i < s.DestWidth; ++i) {
            const int32_t value = getpixel(row, static_cast<int>(i), 0);
            const uint32_t colour = image.BitCount == 8 ? ColourOfIndex(row, value) : static_cast<uint32_t>(value);
            setPixel(target, s.X + i, s.Y + j, PixelOf(colour));
        }
    }
    deldib(row);
}

}  // namespace literal

}  // namespace blubbi
