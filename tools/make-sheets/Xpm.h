// Reader for the XPM pixel-art sources: keeps the palette order, so a picture's colour list is its GIF palette.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sheets {

struct PaletteEntry {
    std::uint8_t r = 0, g = 0, b = 0;
    bool transparent = false;  // written as "None" in the source
};

struct IndexedPicture {
    int width = 0;
    int height = 0;
    std::vector<PaletteEntry> palette;
    std::vector<std::uint8_t> pixels;  // row-major palette indices

    std::uint8_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
    int transparentIndex() const;  // -1 when the picture has no transparent entry
};

// Throws std::runtime_error with the file name and the reason when the source is malformed.
IndexedPicture readXpm(const std::string& path);

}  // namespace sheets
