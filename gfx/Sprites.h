// Sprite primitives on 32-bit pixel rows: keyed sprites, sprite rows, scaled blocks, filled rectangles.
#pragma once
#include <cstdint>

#include "game/Dib.h"

namespace blubbi {

// A picture's pixels as 0xffRRGGBB words, top row first; Stride counts words per row.
struct TPixels {
    uint32_t* Pixels = nullptr;
    int Width = 0;
    int Height = 0;
    int Stride = 0;
};

// A picture colour (red + green * 256 + blue * 65536) as a pixel word, and back.
constexpr uint32_t PixelOf(uint32_t colour) {
    return 0xFF000000u | ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}
constexpr uint32_t ColourOf(uint32_t pixel) {
    return ((pixel >> 16) & 0xFFu) | (pixel & 0xFF00u) | ((pixel & 0xFFu) << 16);
}

class TPreparedSheets;

// (x, y) is where the frame's top-left pixel lands in `target`. Pixels that fall outside
// are dropped. The key colour is the palette index of the sheet's pixel (0, 0). Only 8-bit
// sheets draw; a frame outside 0 .. frameCount - 1 draws nothing. The sheets' pixels are
// read as `prepared` keeps them, prepared there on their first drawing.
void DrawSprite(TPixels& target, TPreparedSheets& prepared, const TDib& sheet, int x, int y, bool mirrored, int frame,
                int frameCount, bool inBubble);
void DrawSpriteRow(TPixels& target, TPreparedSheets& prepared, const TDib& sheet, int x, int y, int frameCount,
                   int frame);
// Scaled copy of the source rectangle without transparency (nearest neighbour); srcY counts
// from the bottom row of the image. Draws 8-bit and 24-bit images.
void StretchDrawDib(TPixels& target, TPreparedSheets& prepared, int x, int y, int destWidth, int destHeight,
                    const TDib& image, int srcX, int srcY, int srcWidth, int srcHeight);

// Fills x1..x2-1, y1..y2-1 with `pixel`, clipped.
void FillRect(TPixels& target, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint32_t pixel);
// The platform's rectangle over x1..x2-1, y1..y2-1: a one-pixel outline in `pen` around `brush`, clipped.
void FramedRect(TPixels& target, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint32_t pen, uint32_t brush);

// The source and destination rectangles of StretchDrawDib after clipping to the image. Every
// drawing of a scaled block, the game's and any other, clips with these.
struct TStretch {
    int64_t X, Y, DestWidth, DestHeight, SrcX, SrcY, SrcWidth, SrcHeight;
};
TStretch ClipSource(const TDib& image, int x, int y, int destWidth, int destHeight, int srcX, int srcY, int srcWidth,
                    int srcHeight);
// Whether StretchDrawDib draws `image` at all: 8 or 24 bits, pixels present, rows within Stride.
bool Stretchable(const TDib& image);

// The in-bubble tint of a colour: red and green pulled halfway toward 64, blue kept.
constexpr uint32_t InBubbleColour(uint32_t colour) {
    const uint32_t r = colour & 0xFFu, g = (colour >> 8) & 0xFFu, b = (colour >> 16) & 0xFFu;
    return ((r + 64) / 2) | (((g + 64) / 2) << 8) | (b << 16);
}

}  // namespace blubbi
