// The sprite primitives one pixel at a time, for the graphics tests and benchmarks.
#include "LiteralSprites.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "gfx/BildIO.h"

namespace blubbi::literal {

// A real call for every pixel, never folded into the loops that use it: the yardstick writes
// through the canvas one pixel at a time, as a canvas's own pixel write does.
[[gnu::noinline]] void setPixel(TPixels& target, int64_t x, int64_t y, uint32_t pixel) {
    if (!target.Pixels || x < 0 || y < 0 || x >= target.Width || y >= target.Height) return;
    target.Pixels[static_cast<size_t>(y) * static_cast<size_t>(target.Stride) + static_cast<size_t>(x)] = pixel;
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

void StretchDrawDib(TPixels& target, int x, int y, int destWidth, int destHeight, const TDib& image, int srcX, int srcY,
                    int srcWidth, int srcHeight) {
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
                setpixel(row, static_cast<int>(i), 0,
                         inside ? getpixel(image, static_cast<int>(column[i]), static_cast<int>(source)) : 0);
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

}  // namespace blubbi::literal
