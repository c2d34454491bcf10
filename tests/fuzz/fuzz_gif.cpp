// libFuzzer target: any bytes as a GIF sheet; a decoded one is within the sheet limit and reads whole.
#include <cstddef>
#include <cstdint>

#include "gfx/BildIO.h"

using namespace blubbi;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TDib dib = DecodeGif(data, size);
    if (!dib.Bits) return 0;
    if (dib.BitCount != 8 || int64_t{dib.Width} * dib.Height > kMaxSheetPixels) __builtin_trap();
    uint64_t sum = 0;
    for (int y = 0; y < dib.Height; ++y)
        for (int x = 0; x < dib.Width; ++x) sum += static_cast<uint64_t>(getpixel(dib, x, y));
    if (sum > uint64_t{255} * static_cast<uint64_t>(dib.Width) * static_cast<uint64_t>(dib.Height)) __builtin_trap();
    return 0;
}
