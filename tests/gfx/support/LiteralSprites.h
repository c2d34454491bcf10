// The sprite primitives drawn one getpixel and one setPixel per pixel: the yardstick of the fast ones.
#pragma once
#include <cstdint>

#include "gfx/Sprites.h"

namespace blubbi::literal {

// The same three drawings as gfx/Sprites.h, loop for loop as the drawing rules read. Slow on
// purpose; only the tests and the benchmarks draw with them.
void setPixel(TPixels& target, int64_t x, int64_t y, uint32_t pixel);
void DrawSprite(TPixels& target, const TDib& sheet, int x, int y, bool mirrored, int frame, int frameCount,
                bool inBubble);
void DrawSpriteRow(TPixels& target, const TDib& sheet, int x, int y, int frameCount, int frame);
void StretchDrawDib(TPixels& target, int x, int y, int destWidth, int destHeight, const TDib& image, int srcX, int srcY,
                    int srcWidth, int srcHeight);

}  // namespace blubbi::literal
