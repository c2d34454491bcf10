// The image library on giflib: decoding sheets, making pictures, reading and writing pixels.
#include "gfx/BildIO.h"

#include <gif_lib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

namespace blubbi {

namespace {

// Nothing the game draws comes near this; a file that claims more is not one of ours and
// must not make us reserve gigabytes.
constexpr int64_t kMaxSide = 16384;
constexpr int64_t kMaxPixels = int64_t{1} << 26;

int32_t RowBytes(int width, int bitsPerPixel) {
    // Rows are padded to whole 32-bit words, as the platform's bitmaps are.
    return static_cast<int32_t>(((int64_t{width} * bitsPerPixel + 31) / 32) * 4);
}

// Numbers for pictures, one after the other from 1; pictures may be made on any thread.
uint64_t NewSerial() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

bool SizeAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

// Closes the decoder on every way out of OpenDib.
struct TGifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using TGifHandle = std::unique_ptr<GifFileType, TGifCloser>;

// Skips an extension block and its sub-blocks; false on a read error.
bool SkipExtension(GifFileType* gif) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    while (block != nullptr) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

void TakeColours(TDib& dib, const ColorMapObject* map) {
    if (map == nullptr || map->Colors == nullptr) {
        // A GIF may come without any colour table; a grey ramp keeps its indices apart.
        for (size_t i = 0; i < 256; ++i) dib.Colours[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
        return;
    }
    const auto count = static_cast<size_t>(std::clamp(map->ColorCount, 0, 256));
    for (size_t i = 0; i < count; ++i) {
        dib.Colours[i] = {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue, 0};
    }
}

// Reads the first image into the top-down canvas `rows` (stride = canvas width).
bool ReadFirstImage(GifFileType* gif, std::vector<uint8_t>& rows, int canvasWidth, int canvasHeight,
                    const ColorMapObject*& map) {
    const GifImageDesc& desc = gif->Image;
    const int left = desc.Left, top = desc.Top, width = desc.Width, height = desc.Height;
    if (!SizeAllowed(width, height)) return false;
    map = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;

    // Stored order of the rows: one pass, or the four passes of an interlaced image.
    std::vector<int> order;
    order.reserve(static_cast<size_t>(height));
    if (desc.Interlace) {
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = kStart[pass]; y < height; y += kStep[pass]) order.push_back(y);
        }
    } else {
        for (int y = 0; y < height; ++y) order.push_back(y);
    }

    std::vector<GifPixelType> line(static_cast<size_t>(width));
    for (const int y : order) {
        if (DGifGetLine(gif, line.data(), width) == GIF_ERROR) return false;
        const int64_t cy = int64_t{top} + y;
        if (cy < 0 || cy >= canvasHeight) continue;
        for (int x = 0; x < width; ++x) {
            const int64_t cx = int64_t{left} + x;
            if (cx >= 0 && cx < canvasWidth)
                rows[static_cast<size_t>(cy * canvasWidth + cx)] = line[static_cast<size_t>(x)];
        }
    }
    return true;
}

uint32_t ColourAt(const TDib& dib, int x, int y) {
    const int32_t value = getpixel(dib, x, y);
    if (dib.BitCount <= 8) {
        const TRGBQuad& c = dib.Colours[static_cast<uint8_t>(value)];
        return c.Red | (static_cast<uint32_t>(c.Green) << 8) | (static_cast<uint32_t>(c.Blue) << 16);
    }
    return static_cast<uint32_t>(value);
}

uint8_t CubeIndex(uint32_t colour) {
    auto level = [](uint32_t v) { return (v * 5 + 127) / 255; };  // nearest of 0, 51, ..., 255
    return static_cast<uint8_t>(level(colour & 0xFF) * 36 + level((colour >> 8) & 0xFF) * 6 +
                                level((colour >> 16) & 0xFF));
}

TDib HalftoneFrom(const TDib& source, int width, int height) {
    TDib result = newdib(width, height, 8, nullptr, 0);
    if (!result.Bits) return result;
    for (size_t i = 0; i < 216; ++i) {
        result.Colours[i] = {uint8_t(i / 36 * 51), uint8_t(i / 6 % 6 * 51), uint8_t(i % 6 * 51), 0};
    }
    for (int y = 0; y < height; ++y) {
        const int sy = static_cast<int>(int64_t{y} * source.Height / height);
        for (int x = 0; x < width; ++x) {
            const int sx = static_cast<int>(int64_t{x} * source.Width / width);
            setpixel(result, x, y, CubeIndex(ColourAt(source, sx, sy)));
        }
    }
    return result;
}

// The first image of an opened GIF as a sheet; empty when anything about it is wrong.
TDib FirstImage(GifFileType* gif) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    do {
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) return TDib{};
        if (record == EXTENSION_RECORD_TYPE) {
            if (!SkipExtension(gif)) return TDib{};
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR) return TDib{};
            break;
        }
    } while (record != TERMINATE_RECORD_TYPE);
    if (record != IMAGE_DESC_RECORD_TYPE) return TDib{};  // a file without any image

    // The logical screen, grown to hold the first image should it stick out. A few bytes may
    // claim any size; nothing larger than a sheet can be is decoded.
    const GifImageDesc& desc = gif->Image;
    const int64_t width = std::max<int64_t>(gif->SWidth, int64_t{desc.Left} + desc.Width);
    const int64_t height = std::max<int64_t>(gif->SHeight, int64_t{desc.Top} + desc.Height);
    if (!SizeAllowed(width, height) || width * height > kMaxSheetPixels) return TDib{};

    const int w = static_cast<int>(width), h = static_cast<int>(height);
    const int background = gif->SColorMap != nullptr ? std::clamp(gif->SBackGroundColor, 0, 255) : 0;
    std::vector<uint8_t> rows(static_cast<size_t>(width * height), static_cast<uint8_t>(background));
    const ColorMapObject* map = nullptr;
    if (!ReadFirstImage(gif, rows, w, h, map)) return TDib{};

    TDib dib = newdib(w, h, 8, nullptr, 0);
    if (!dib.Bits) return TDib{};
    TakeColours(dib, map);
    for (int y = 0; y < h; ++y) {
        std::memcpy(dib.Bits + static_cast<size_t>(h - 1 - y) * static_cast<size_t>(dib.Stride),
                    rows.data() + static_cast<size_t>(y) * static_cast<size_t>(w), static_cast<size_t>(w));
    }
    return dib;
}

// Bytes in memory, handed to giflib as it asks for them.
struct TGifBytes {
    const uint8_t* Data;
    size_t Size;
    size_t At = 0;
};

int ReadGifBytes(GifFileType* gif, GifByteType* into, int wanted) {
    auto* source = static_cast<TGifBytes*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(std::max(wanted, 0)), source->Size - source->At);
    if (n > 0) std::memcpy(into, source->Data + source->At, n);
    source->At += n;
    return static_cast<int>(n);
}

}  // namespace

TDib OpenDib(const std::string& fileName) {
    int error = 0;
    TGifHandle gif(DGifOpenFileName(fileName.c_str(), &error));
    return gif ? FirstImage(gif.get()) : TDib{};
}

TDib DecodeGif(const uint8_t* data, size_t size) {
    TGifBytes source{data, size};
    int error = 0;
    TGifHandle gif(DGifOpen(&source, ReadGifBytes, &error));
    return gif ? FirstImage(gif.get()) : TDib{};
}

TDib newdib(int width, int height, int bitsPerPixel, const TDib* colourSource, int colourCount) {
    static constexpr int kDepths[] = {1, 4, 8, 16, 24, 32};
    if (std::find(std::begin(kDepths), std::end(kDepths), bitsPerPixel) == std::end(kDepths)) return TDib{};
    if (!SizeAllowed(width, height)) return TDib{};

    TDib dib;
    dib.Width = width;
    dib.Height = height;
    dib.BitCount = bitsPerPixel;
    dib.Stride = RowBytes(width, bitsPerPixel);
    const size_t bytes = static_cast<size_t>(dib.Stride) * static_cast<size_t>(height);
    dib.Storage = std::make_unique<uint8_t[]>(bytes);  // value-initialised: all zero
    dib.Bits = dib.Storage.get();
    dib.Serial = NewSerial();
    if (colourSource != nullptr) {
        const int count = std::clamp(colourCount, 0, 256);
        std::copy_n(colourSource->Colours.begin(), count, dib.Colours.begin());
        dib.UsesPalette = colourSource->UsesPalette;
    }
    return dib;
}

void deldib(TDib& dib) { dib = TDib{}; }

namespace {

// A record whose rows would not fit its Stride (one made by hand) is not read or written.
bool Addressable(const TDib& dib, int x, int y) {
    return dib.Bits != nullptr && x >= 0 && y >= 0 && x < dib.Width && y < dib.Height &&
           dib.Stride >= (int64_t{dib.Width} * dib.BitCount + 7) / 8;
}

}  // namespace

int32_t getpixel(const TDib& dib, int x, int y) {
    if (!Addressable(dib, x, y)) return 0;
    const uint8_t* row = dib.Bits + static_cast<size_t>(dib.Height - 1 - y) * static_cast<size_t>(dib.Stride);
    const auto ux = static_cast<size_t>(x);
    switch (dib.BitCount) {
        case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
        case 8: return row[x];
        case 16: return row[2 * ux] | (row[2 * ux + 1] << 8);
        case 24: return row[3 * ux + 2] | (row[3 * ux + 1] << 8) | (row[3 * ux] << 16);
        case 32: return row[4 * ux + 2] | (row[4 * ux + 1] << 8) | (row[4 * ux] << 16);
        default: return 0;
    }
}

void setpixel(TDib& dib, int x, int y, int32_t value) {
    if (!Addressable(dib, x, y)) return;
    // A new picture now: what drawing kept of the old one no longer holds.
    dib.Serial = NewSerial();
    uint8_t* row = dib.Bits + static_cast<size_t>(dib.Height - 1 - y) * static_cast<size_t>(dib.Stride);
    const auto ux = static_cast<size_t>(x);
    const auto v = static_cast<uint32_t>(value);
    switch (dib.BitCount) {
        case 1: {
            const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
            row[x >> 3] = static_cast<uint8_t>((v & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
            break;
        }
        case 4: {
            const int shift = (x & 1) ? 0 : 4;
            const unsigned mask = 0x0Fu << shift;
            row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & ~mask) | ((static_cast<unsigned>(v) & 0x0Fu) << shift));
            break;
        }
        case 8: row[x] = static_cast<uint8_t>(v); break;
        case 16:
            row[2 * ux] = static_cast<uint8_t>(v);
            row[2 * ux + 1] = static_cast<uint8_t>(v >> 8);
            break;
        case 24:
        case 32: {
            const size_t bytes = static_cast<size_t>(dib.BitCount) / 8;
            row[bytes * ux] = static_cast<uint8_t>(v >> 16);  // stored blue, green, red
            row[bytes * ux + 1] = static_cast<uint8_t>(v >> 8);
            row[bytes * ux + 2] = static_cast<uint8_t>(v);
            break;
        }
        default: break;
    }
}

TDib DIBHalftoneDIB(const TDib& dib) { return HalftoneFrom(dib, dib.Width, dib.Height); }

TDib DIBHalftoneDIBXY(const TDib& dib, int width, int height) {
    if (!dib.Bits) return TDib{};
    return HalftoneFrom(dib, width, height);
}

}  // namespace blubbi
