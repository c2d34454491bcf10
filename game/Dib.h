// TDib: a decoded picture as the image library hands it to the game (palette, bottom-up rows).
#pragma once
#include <array>
#include <cstdint>
#include <memory>

namespace blubbi {

struct TRGBQuad {
    uint8_t Red = 0, Green = 0, Blue = 0, Reserved = 0;
};

// Only fields and meanings matter here, not the byte packing of the old library record.
// A record whose file was missing or unreadable has Bits == nullptr and describes a
// 0 x 0 picture, so it can still be asked for its size and draws nothing.
struct TDib {
    int32_t Width = 0;        // biWidth
    int32_t Height = 0;       // biHeight, rows stored bottom-up
    int32_t BitCount = 0;     // biBitCount: 8 for the sheets, 24 for true-colour rows
    uint8_t* Bits = nullptr;  // first stored row is the bottom row of the picture
    int32_t Stride = 0;       // bytes per stored row
    uint8_t UsesPalette = 0;
    std::array<TRGBQuad, 256> Colours{};
    std::unique_ptr<uint8_t[]> Storage;  // owns what Bits points into
    // Which picture this is: the image library numbers every picture it makes and gives it a
    // new number whenever it writes a pixel, never using one twice. What the drawing layer
    // keeps of a picture it keeps under this number, so it is never taken for another's.
    // 0: a record filled in by hand, of which nothing is kept.
    uint64_t Serial = 0;

    // The pixel at (x, y), y counted from the top: a palette index for 8-bit pictures.
    // Callers ask only for pixels inside the picture.
    uint8_t Index(int32_t x, int32_t y) const { return Bits[(Height - 1 - y) * Stride + x]; }
};

}  // namespace blubbi
