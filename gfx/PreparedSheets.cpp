// Prepared sheets: pixel words in every look the sprites need, checked against the sheet.
#include "gfx/PreparedSheets.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace blubbi {

namespace {

// The game has ten sheets; tests make many more, which simply push the oldest out.
constexpr size_t kMaxSheets = 16;

uint32_t Word(const TRGBQuad& c, bool tinted) {
    uint32_t r = c.Red, g = c.Green;
    if (tinted) {
        r = (r + 64) / 2;
        g = (g + 64) / 2;
    }
    return 0xFF000000u | (r << 16) | (g << 8) | c.Blue;
}

}  // namespace

bool TPreparedSheet::Matches(const TDib& sheet, int64_t storedFirst, int64_t storedEnd, int64_t byteFirst,
                             int64_t byteEnd) const {
    if (sheet.Bits != Bits || sheet.Width != W || sheet.Height != H || sheet.Stride != Stride ||
        sheet.BitCount != BitCount) {
        return false;
    }
    // The key pixel (0, 0) starts the last stored row.
    const size_t keyOffset = static_cast<size_t>(H - 1) * static_cast<size_t>(Stride);
    if (sheet.Bits[keyOffset] != Copy[keyOffset]) return false;
    // Rows equal to the copy use no index outside Used, so only those colours matter.
    for (const uint8_t i : Used) {
        const TRGBQuad &now = sheet.Colours[i], &then = Colours[i];
        if (now.Red != then.Red || now.Green != then.Green || now.Blue != then.Blue) return false;
    }
    storedFirst = std::max<int64_t>(storedFirst, 0);
    storedEnd = std::min<int64_t>(storedEnd, H);
    byteFirst = std::max<int64_t>(byteFirst, 0);
    byteEnd = std::min<int64_t>(byteEnd, Stride);
    if (storedFirst >= storedEnd || byteFirst >= byteEnd) return true;
    const size_t stride = static_cast<size_t>(Stride);
    if (2 * (byteEnd - byteFirst) >= Stride) {
        // Most of each row is read: one comparison over the whole block is quickest.
        const size_t from = static_cast<size_t>(storedFirst) * stride;
        const size_t bytes = static_cast<size_t>(storedEnd - storedFirst) * stride;
        return std::memcmp(sheet.Bits + from, Copy.data() + from, bytes) == 0;
    }
    // A narrow frame of a wide sheet: only its own bytes, eight at a time.
    uint64_t differ = 0;
    const size_t span = static_cast<size_t>(byteEnd - byteFirst);
    for (int64_t row = storedFirst; row < storedEnd; ++row) {
        const uint8_t* a = sheet.Bits + static_cast<size_t>(row) * stride + static_cast<size_t>(byteFirst);
        const uint8_t* b = Copy.data() + static_cast<size_t>(row) * stride + static_cast<size_t>(byteFirst);
        size_t i = 0;
        for (; i + 8 <= span; i += 8) {
            uint64_t u, v;
            std::memcpy(&u, a + i, 8);
            std::memcpy(&v, b + i, 8);
            differ |= u ^ v;
        }
        for (; i < span; ++i) differ |= static_cast<uint64_t>(a[i] ^ b[i]);
    }
    return differ == 0;
}

void TPreparedSheet::Take(const TDib& sheet) {
    Bits = sheet.Bits;
    W = sheet.Width;
    H = sheet.Height;
    Stride = sheet.Stride;
    BitCount = sheet.BitCount;
    Colours = sheet.Colours;
    Copy.assign(sheet.Bits, sheet.Bits + static_cast<size_t>(H) * static_cast<size_t>(Stride));
    Used.clear();
    if (BitCount == 8) {
        std::array<bool, 256> seen{};
        for (int y = 0; y < H; ++y) {
            const uint8_t* row = Copy.data() + static_cast<size_t>(y) * static_cast<size_t>(Stride);
            for (int x = 0; x < W; ++x) seen[row[x]] = true;
        }
        for (int i = 0; i < 256; ++i) {
            if (seen[i]) Used.push_back(static_cast<uint8_t>(i));
        }
    }
    for (auto& look : Looks) look = TLookData{};
}

const TPreparedSheet::TLookData& TPreparedSheet::Look(TLook look) {
    TLookData& data = Looks[look];
    if (!data.Words.empty()) return data;
    data.Words.resize(static_cast<size_t>(W) * static_cast<size_t>(H));
    const bool mirrored = look == kKeyedMirrored || look == kTintedMirrored;
    const bool tinted = look == kTinted || look == kTintedMirrored;
    const bool keyed = look != kOpaque;
    std::array<uint32_t, 256> palette{};
    for (int i = 0; i < 256; ++i) palette[i] = Word(Colours[i], tinted);
    const uint8_t key = Copy[static_cast<size_t>(H - 1) * static_cast<size_t>(Stride)];
    data.RowRuns.push_back(0);
    for (int y = 0; y < H; ++y) {
        const uint8_t* row = Copy.data() + static_cast<size_t>(H - 1 - y) * static_cast<size_t>(Stride);
        uint32_t* out = data.Words.data() + static_cast<size_t>(y) * static_cast<size_t>(W);
        int runStart = -1;
        for (int x = 0; x < W; ++x) {
            const int sx = mirrored ? W - 1 - x : x;
            bool opaque = true;
            if (BitCount == 24) {
                const uint8_t* p = row + 3 * sx;
                out[x] = 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
            } else {
                const uint8_t index = row[sx];
                opaque = !keyed || index != key;
                out[x] = palette[index];
            }
            if (opaque && runStart < 0) runStart = x;
            if (!opaque && runStart >= 0) {
                data.Runs.insert(data.Runs.end(), {runStart, x});
                runStart = -1;
            }
        }
        if (runStart >= 0) data.Runs.insert(data.Runs.end(), {runStart, W});
        data.RowRuns.push_back(static_cast<int32_t>(data.Runs.size()));
    }
    return data;
}

TPreparedSheet& TPreparedSheets::Get(const TDib& sheet, int64_t storedFirst, int64_t storedEnd, int64_t byteFirst,
                                     int64_t byteEnd) {
    // Most recently used first; the window thread is the only drawing thread, tests may have more.
    thread_local std::vector<std::unique_ptr<TPreparedSheet>> sheets;
    auto found = std::find_if(sheets.begin(), sheets.end(),
                              [&](const auto& p) { return p->Bits == sheet.Bits; });
    if (found == sheets.end()) {
        if (sheets.size() >= kMaxSheets) sheets.pop_back();
        sheets.insert(sheets.begin(), std::make_unique<TPreparedSheet>());
        sheets.front()->Take(sheet);
        return *sheets.front();
    }
    if (found != sheets.begin()) std::rotate(sheets.begin(), found, found + 1);
    TPreparedSheet& prepared = *sheets.front();
    if (!prepared.Matches(sheet, storedFirst, storedEnd, byteFirst, byteEnd)) prepared.Take(sheet);
    return prepared;
}

}  // namespace blubbi
