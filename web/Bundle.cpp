// Reading the browser's data file.
#include "web/Bundle.h"

#include <charconv>

namespace blubbi {

namespace {

uint32_t Word(std::string_view bytes, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= uint32_t{static_cast<uint8_t>(bytes[at + i])} << (8 * i);
    return v;
}

}  // namespace

TDib DecodeDib(std::string_view bytes) {
    constexpr size_t kHead = 5 * 4 + 256 * 4;
    TDib dib;
    if (bytes.size() < kHead) return dib;
    const auto width = static_cast<int32_t>(Word(bytes, 0)), height = static_cast<int32_t>(Word(bytes, 4));
    const auto depth = static_cast<int32_t>(Word(bytes, 8)), stride = static_cast<int32_t>(Word(bytes, 12));
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096 || (depth != 8 && depth != 24) ||
        int64_t{stride} < int64_t{width} * depth / 8 || stride > 3 * 4096 + 3)
        return dib;
    const size_t rows = static_cast<size_t>(stride) * static_cast<size_t>(height);
    if (bytes.size() != kHead + rows) return dib;
    // Numbers of their own, far above the image library's, so what is kept of a sheet is its own.
    static uint64_t serial = uint64_t{1} << 40;
    dib.Width = width;
    dib.Height = height;
    dib.BitCount = depth;
    dib.Stride = stride;
    dib.UsesPalette = static_cast<uint8_t>(Word(bytes, 16) != 0);
    for (size_t i = 0; i < 256; ++i) {
        const size_t at = 20 + 4 * i;
        dib.Colours[i] = {static_cast<uint8_t>(bytes[at]), static_cast<uint8_t>(bytes[at + 1]),
                          static_cast<uint8_t>(bytes[at + 2]), 0};
    }
    dib.Storage = std::make_unique<uint8_t[]>(rows + 1);
    std::memcpy(dib.Storage.get(), bytes.data() + kHead, rows);
    dib.Bits = dib.Storage.get();
    dib.Serial = ++serial;
    return dib;
}

bool ReadBundle(std::string_view bundle, const std::function<void(const std::string&, std::string_view)>& file) {
    while (!bundle.empty()) {
        const size_t nameEnd = bundle.find('\n');
        if (nameEnd == std::string_view::npos) return false;
        const std::string name(bundle.substr(0, nameEnd));
        bundle.remove_prefix(nameEnd + 1);
        const size_t sizeEnd = bundle.find('\n');
        if (sizeEnd == std::string_view::npos) return false;
        size_t size = 0;
        const auto [at, error] = std::from_chars(bundle.data(), bundle.data() + sizeEnd, size);
        if (error != std::errc() || at != bundle.data() + sizeEnd) return false;
        bundle.remove_prefix(sizeEnd + 1);
        if (size > bundle.size() || name.empty() || name.find("..") != std::string::npos) return false;
        file(name, bundle.substr(0, size));
        bundle.remove_prefix(size);
    }
    return true;
}

}  // namespace blubbi
