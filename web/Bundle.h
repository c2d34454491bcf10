// The browser's data file: the game's files and its sheets decoded, written by blubbi-web-data
// at build time and read by the page.
#pragma once
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#include "game/Dib.h"

namespace blubbi {

// A decoded sheet as bytes: width, height, depth, stride and whether it uses its palette as
// 32-bit little-endian words, then the 256 colours (red, green, blue, 0), then the stored rows.
inline std::string EncodeDib(const TDib& dib) {
    std::string out;
    for (const int32_t v : {dib.Width, dib.Height, dib.BitCount, dib.Stride, int32_t{dib.UsesPalette}})
        for (int i = 0; i < 4; ++i) out += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
    for (const TRGBQuad& c : dib.Colours)
        out += {static_cast<char>(c.Red), static_cast<char>(c.Green), static_cast<char>(c.Blue), 0};
    out.append(reinterpret_cast<const char*>(dib.Bits),
               static_cast<size_t>(dib.Stride) * static_cast<size_t>(dib.Height));
    return out;
}

// The sheet back; an empty record when the bytes do not describe one whole.
TDib DecodeDib(std::string_view bytes);

// Calls `file` for every entry of a data file; false when the file is damaged.
bool ReadBundle(std::string_view bundle, const std::function<void(const std::string&, std::string_view)>& file);

}  // namespace blubbi
