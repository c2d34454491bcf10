// The image library: GIF sheets into TDib records, empty pictures, pixel reads and writes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "game/Dib.h"

namespace blubbi {

// The most pixels a sheet may have: the game's largest is 340 x 34, and a picture of this
// size takes a quarter megabyte, a few megabytes in the ways it is drawn.
constexpr int64_t kMaxSheetPixels = int64_t{1} << 18;

// Decodes the first image of a GIF file into an 8-bit palette picture with bottom-up rows.
// A missing, corrupt or truncated file, or one of more than kMaxSheetPixels, gives an empty
// 0 x 0 record with Bits == nullptr.
TDib OpenDib(const std::string& fileName);
// The same for the bytes of a GIF file.
TDib DecodeGif(const uint8_t* data, size_t size);

// A zero-filled picture of the given size and depth (1, 4, 8, 16, 24 or 32 bits), with a
// serial number of its own. Its colour table takes the first `colourCount` colours of
// `colourSource` (nullptr and 0 for none). Impossible sizes give an empty record.
TDib newdib(int width, int height, int bitsPerPixel, const TDib* colourSource, int colourCount);

// Releases the pixels; the record is left empty.
void deldib(TDib& dib);

// The pixel at column x, row y, counted from the top-left: the palette index for pictures of
// 8 bits or fewer, red + green * 256 + blue * 65536 for 24 and 32 bits, the raw 16-bit value
// for 16 bits. Outside the picture, or for an empty record: 0.
int32_t getpixel(const TDib& dib, int x, int y);

// Writes a pixel value in the same terms as getpixel; outside the picture nothing happens.
// The picture gets a new serial number, so nothing kept of it before is used again.
void setpixel(TDib& dib, int x, int y, int32_t value);

// An 8-bit copy of a picture on a fixed 6 x 6 x 6 colour cube, each pixel taking the nearest
// cube colour; the XY form resamples to the given size (nearest neighbour) first.
TDib DIBHalftoneDIB(const TDib& dib);
TDib DIBHalftoneDIBXY(const TDib& dib, int width, int height);

}  // namespace blubbi
