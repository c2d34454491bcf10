// Prepared sheets: pixel words in every look the sprites need, kept by the screen that draws them.
#include "gfx/PreparedSheets.h"

#include <algorithm>
#include <memory>

namespace blubbi {

namespace {

// A block of the grid is 19 x 19; far larger scaled pictures are drawn the generic way
// rather than kept.
constexpr int64_t kMaxScaledWords = int64_t{1} << 16;

uint32_t Word(const TRGBQuad& c, bool tinted) {
    uint32_t r = c.Red, g = c.Green;
    if (tinted) {
        r = (r + 64) / 2;
        g = (g + 64) / 2;
    }
    return 0xFF000000u | (r << 16) | (g << 8) | c.Blue;
}

}  // namespace

TPreparedSheet::TPreparedSheet(const TDib& sheet)
    : Bits(sheet.Bits), W(sheet.Width), H(sheet.Height), Stride(sheet.Stride), BitCount(sheet.BitCount) {}

TPreparedSheet& TPreparedSheets::Find(const TDib& sheet) {
    if (sheet.Serial == 0) {
        Unnumbered = std::make_unique<TPreparedSheet>(sheet);
        return *Unnumbered;
    }
    auto entry =
        std::find_if(Entries.begin(), Entries.end(), [&](const TEntry& e) { return e.Serial == sheet.Serial; });
    if (entry == Entries.end()) entry = Entries.insert(Entries.end(), {sheet.Serial, nullptr});
    // Fields set by hand after a drawing (another size, other pixel memory) start afresh.
    if (!entry->Sheet || !entry->Sheet->Describes(sheet)) entry->Sheet = std::make_unique<TPreparedSheet>(sheet);
    Slots[sheet.Serial % kSlots] = {sheet.Serial, entry->Sheet.get()};
    return *entry->Sheet;
}

const TPreparedSheet::TLookData& TPreparedSheet::Look(const TDib& sheet, TLook look) {
    TLookData& data = Looks[look];
    if (!data.Words.empty()) return data;
    data.Words.resize(static_cast<size_t>(W) * static_cast<size_t>(H));
    const bool mirrored = look == kKeyedMirrored || look == kTintedMirrored;
    const bool tinted = look == kTinted || look == kTintedMirrored;
    const bool keyed = look != kOpaque;
    std::array<uint32_t, 256> palette{};
    for (int i = 0; i < 256; ++i) palette[i] = Word(sheet.Colours[i], tinted);
    // The key pixel (0, 0) starts the last stored row.
    const uint8_t key = sheet.Bits[static_cast<size_t>(H - 1) * static_cast<size_t>(Stride)];
    data.RowRuns.push_back(0);
    for (int y = 0; y < H; ++y) {
        const uint8_t* row = sheet.Bits + static_cast<size_t>(H - 1 - y) * static_cast<size_t>(Stride);
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

const TPreparedSheet::TFrameRuns& TPreparedSheet::SideBySide(const TDib& sheet, int frames) {
    if (FrameRuns.Frames == frames) return FrameRuns;
    const TLookData& look = Look(sheet, kKeyed);
    const int frameWidth = W / frames;
    FrameRuns = TFrameRuns{};
    FrameRuns.Frames = frames;
    FrameRuns.FrameWidth = frameWidth;
    FrameRuns.Words.reserve(static_cast<size_t>(frames) * static_cast<size_t>(frameWidth) * static_cast<size_t>(H));
    FrameRuns.Index.reserve(static_cast<size_t>(frames) * static_cast<size_t>(H) + 1);
    for (int f = 0; f < frames; ++f) {
        const int first = f * frameWidth, last = first + frameWidth;
        for (int y = 0; y < H; ++y) {
            const uint32_t* row = look.Words.data() + static_cast<size_t>(y) * static_cast<size_t>(W);
            FrameRuns.Words.insert(FrameRuns.Words.end(), row + first, row + last);
            FrameRuns.Index.push_back(static_cast<int32_t>(FrameRuns.Runs.size()));
            const int32_t* run = look.Runs.data() + look.RowRuns[static_cast<size_t>(y)];
            const int32_t* end = look.Runs.data() + look.RowRuns[static_cast<size_t>(y) + 1];
            for (; run != end && run[0] < last; run += 2) {
                const int a = std::max<int>(run[0], first), b = std::min<int>(run[1], last);
                if (a < b) FrameRuns.Runs.insert(FrameRuns.Runs.end(), {a - first, b - first});
            }
        }
    }
    FrameRuns.Index.push_back(static_cast<int32_t>(FrameRuns.Runs.size()));
    return FrameRuns;
}

const uint32_t* TPreparedSheet::Scaled(const TDib& sheet, int64_t width, int64_t height) {
    if (width <= 0 || height <= 0 || width > kMaxScaledWords || height > kMaxScaledWords / width) return nullptr;
    if (width == ScaledWidth && height == ScaledHeight) return ScaledWords.data();
    const uint32_t* words = Look(sheet, kOpaque).Words.data();
    ScaledWords.resize(static_cast<size_t>(width * height));
    uint32_t* out = ScaledWords.data();
    for (int64_t j = 0; j < height; ++j) {
        const uint32_t* row = words + static_cast<size_t>(H * j / height) * static_cast<size_t>(W);
        for (int64_t i = 0; i < width; ++i) *out++ = row[W * i / width];
    }
    ScaledWidth = width;
    ScaledHeight = height;
    return ScaledWords.data();
}

}  // namespace blubbi
