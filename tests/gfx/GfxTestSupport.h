// Helpers of the graphics tests: small 8-bit sheets made in code and plain pixel canvases.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "game/Platform.h"
#include "gfx/BildIO.h"
#include "gfx/Sprites.h"

namespace blubbi::test {

// An 8-bit sheet whose pixel (x, y), counted from the top, is index(x, y). Palette entry i is
// the colour (i, 255 - i, i * 7) unless `colours` says otherwise.
inline TDib MakeSheet(int width, int height, const std::function<uint8_t(int, int)>& index) {
    TDib dib = newdib(width, height, 8, nullptr, 0);
    for (int i = 0; i < 256; ++i) dib.Colours[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) setpixel(dib, x, y, index(x, y));
    }
    return dib;
}

inline uint32_t PixelOfIndex(const TDib& sheet, uint8_t i) {
    const TRGBQuad& c = sheet.Colours[i];
    return PixelOf(RGB(c.Red, c.Green, c.Blue));
}

// A pixel buffer of its own, filled with one background word, with a stride wider than it.
struct TCanvas {
    static constexpr uint32_t kBackground = 0xFF123456u;
    std::vector<uint32_t> Store;
    TPixels View;
    TCanvas(int width, int height, uint32_t fill = kBackground)
        : Store(static_cast<size_t>(width + 3) * static_cast<size_t>(height), fill),
          View{Store.data(), width, height, width + 3} {}
    uint32_t At(int x, int y) const { return Store[static_cast<size_t>(y) * View.Stride + x]; }
    bool operator==(const TCanvas& other) const { return Store == other.Store; }
};

}  // namespace blubbi::test
