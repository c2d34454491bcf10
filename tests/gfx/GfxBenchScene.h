// Sheets of the game's sizes, drawn in code, for the graphics benchmarks.
#pragma once
#include <cstdint>

#include "GfxTestSupport.h"

namespace blubbi::test {

// A sheet of `frames` frames (stacked, or side by side), each an oval figure of several
// palette indices on key index 0, as a drawn sprite would be.
inline TDib FigureSheet(int frameWidth, int frameHeight, int frames, bool sideBySide) {
    const int width = sideBySide ? frameWidth * frames : frameWidth;
    const int height = sideBySide ? frameHeight : frameHeight * frames;
    return MakeSheet(width, height, [=](int x, int y) -> uint8_t {
        const int fx = x % frameWidth, fy = y % frameHeight;
        const double dx = (fx + 0.5 - frameWidth / 2.0) / (frameWidth / 2.0);
        const double dy = (fy + 0.5 - frameHeight / 2.0) / (frameHeight / 2.0);
        if (dx * dx + dy * dy > 0.95) return 0;
        return static_cast<uint8_t>(1 + (fx / 3 + fy / 4) % 20);
    });
}

}  // namespace blubbi::test
