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

using TPalette = std::array<uint32_t, 256>;

TPalette PaletteOf(const TDib& sheet, bool tinted) {
    TPalette palette{};
    for (size_t i = 0; i < 256; ++i) palette[i] = Word(sheet.Colours[i], tinted);
    return palette;
}

// Stored row y from the top.
const uint8_t* RowOf(const TDib& sheet, int64_t y) {
    return sheet.Bits + static_cast<size_t>(sheet.Height - 1 - y) * static_cast<size_t>(sheet.Stride);
}

// The pixel in column x of a stored row as a word.
uint32_t WordAt(const TDib& sheet, const TPalette& palette, const uint8_t* row, int64_t x) {
    if (sheet.BitCount == 24) {
        const uint8_t* p = row + 3 * x;
        return 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    }
    return palette[row[x]];
}

// One look of the whole sheet.
TPreparedSheet::TLookData MakeLook(const TDib& sheet, TPreparedSheet::TLook look) {
    const int w = sheet.Width, h = sheet.Height;
    TPreparedSheet::TLookData data;
    data.Words.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    const bool mirrored = look == TPreparedSheet::kKeyedMirrored || look == TPreparedSheet::kTintedMirrored;
    const bool tinted = look == TPreparedSheet::kTinted || look == TPreparedSheet::kTintedMirrored;
    const bool keyed = look != TPreparedSheet::kOpaque && sheet.BitCount != 24;
    const TPalette palette = PaletteOf(sheet, tinted);
    const uint8_t key = RowOf(sheet, 0)[0];  // the key pixel (0, 0)
    data.RowRuns.reserve(static_cast<size_t>(h) + 1);
    data.RowRuns.push_back(0);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = RowOf(sheet, y);
        uint32_t* out = data.Words.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
        int runStart = -1;
        for (int x = 0; x < w; ++x) {
            const int sx = mirrored ? w - 1 - x : x;
            out[x] = WordAt(sheet, palette, row, sx);
            const bool opaque = !keyed || row[sx] != key;
            if (opaque && runStart < 0) runStart = x;
            if (!opaque && runStart >= 0) {
                data.Runs.insert(data.Runs.end(), {runStart, x});
                runStart = -1;
            }
        }
        if (runStart >= 0) data.Runs.insert(data.Runs.end(), {runStart, w});
        data.RowRuns.push_back(static_cast<int32_t>(data.Runs.size()));
    }
    return data;
}

template <class T>
size_t BytesOf(const std::vector<T>& v) {
    return v.capacity() * sizeof(T);
}

}  // namespace

TPreparedSheet::TPreparedSheet(const TDib& sheet, TPreparedSheets* owner)
    : Owner(owner), Bits(sheet.Bits), W(sheet.Width), H(sheet.Height), Stride(sheet.Stride), BitCount(sheet.BitCount) {}

size_t TPreparedSheet::Bytes() const {
    size_t bytes = BytesOf(FrameRuns.Words) + BytesOf(FrameRuns.Runs) + BytesOf(FrameRuns.Index) + BytesOf(ScaledWords);
    for (const TLookData& look : Looks) bytes += BytesOf(look.Words) + BytesOf(look.Runs) + BytesOf(look.RowRuns);
    return bytes;
}

void TPreparedSheet::Built() {
    const size_t before = Counted;
    Counted = Bytes();
    if (Owner != nullptr) Owner->Resized(*this, before, Counted);
}

TPreparedSheet& TPreparedSheets::Find(const TDib& sheet) {
    if (sheet.Serial == 0) {
        Unnumbered = std::make_unique<TPreparedSheet>(sheet);
        return *Unnumbered;
    }
    auto entry =
        std::find_if(Entries.begin(), Entries.end(), [&](const TEntry& e) { return e.Serial == sheet.Serial; });
    if (entry == Entries.end()) entry = Entries.insert(Entries.end(), {sheet.Serial, nullptr});
    // Fields set by hand after a drawing (another size, other pixel memory) start afresh.
    if (!entry->Sheet || !entry->Sheet->Describes(sheet)) {
        if (entry->Sheet) Total -= entry->Sheet->Counted;
        entry->Sheet = std::make_unique<TPreparedSheet>(sheet, this);
    }
    Slots[sheet.Serial % kSlots] = {sheet.Serial, entry->Sheet.get()};
    return *entry->Sheet;
}

void TPreparedSheets::Resized(const TPreparedSheet& sheet, size_t before, size_t bytes) {
    Total = Total - before + bytes;
    if (Total <= kMostBytes) return;
    // Sheets are few and drawn every frame; what passes the limit is sheets no longer drawn,
    // or far larger ones than the game's, and those may well be prepared again.
    std::erase_if(Entries, [&](const TEntry& e) { return e.Sheet.get() != &sheet; });
    Slots.fill(TSlot{});
    Total = bytes;
}

const TPreparedSheet::TLookData& TPreparedSheet::Look(const TDib& sheet, TLook look) {
    TLookData& data = Looks[static_cast<size_t>(look)];
    if (!data.Words.empty()) return data;
    data = MakeLook(sheet, look);
    Built();
    return data;
}

const TPreparedSheet::TFrameRuns& TPreparedSheet::SideBySide(const TDib& sheet, int frames) {
    if (FrameRuns.Frames == frames) return FrameRuns;
    // Cut from the keyed look, which is kept only when the sheet is also drawn that way.
    TLookData made;
    const TLookData* look = &Looks[kKeyed];
    if (look->Words.empty()) {
        made = MakeLook(sheet, kKeyed);
        look = &made;
    }
    const int frameWidth = W / frames;
    FrameRuns = TFrameRuns{};
    FrameRuns.Frames = frames;
    FrameRuns.FrameWidth = frameWidth;
    FrameRuns.Words.reserve(static_cast<size_t>(frames) * static_cast<size_t>(frameWidth) * static_cast<size_t>(H));
    FrameRuns.Index.reserve(static_cast<size_t>(frames) * static_cast<size_t>(H) + 1);
    for (int f = 0; f < frames; ++f) {
        const int first = f * frameWidth, last = first + frameWidth;
        for (int y = 0; y < H; ++y) {
            const uint32_t* row = look->Words.data() + static_cast<size_t>(y) * static_cast<size_t>(W);
            FrameRuns.Words.insert(FrameRuns.Words.end(), row + first, row + last);
            FrameRuns.Index.push_back(static_cast<int32_t>(FrameRuns.Runs.size()));
            const int32_t* run = look->Runs.data() + look->RowRuns[static_cast<size_t>(y)];
            const int32_t* end = look->Runs.data() + look->RowRuns[static_cast<size_t>(y) + 1];
            for (; run != end && run[0] < last; run += 2) {
                const int a = std::max<int>(run[0], first), b = std::min<int>(run[1], last);
                if (a < b) FrameRuns.Runs.insert(FrameRuns.Runs.end(), {a - first, b - first});
            }
        }
    }
    FrameRuns.Index.push_back(static_cast<int32_t>(FrameRuns.Runs.size()));
    FrameRuns.Runs.shrink_to_fit();
    Built();
    return FrameRuns;
}

const uint32_t* TPreparedSheet::Scaled(const TDib& sheet, int64_t width, int64_t height) {
    if (width <= 0 || height <= 0 || width > kMaxScaledWords || height > kMaxScaledWords / width) return nullptr;
    if (width == ScaledWidth && height == ScaledHeight) return ScaledWords.data();
    // Straight from the sheet: the opaque look is kept only when the sheet is also drawn in part.
    const TPalette palette = PaletteOf(sheet, false);
    ScaledWords.resize(static_cast<size_t>(width * height));
    uint32_t* out = ScaledWords.data();
    for (int64_t j = 0; j < height; ++j) {
        const uint8_t* row = RowOf(sheet, H * j / height);
        for (int64_t i = 0; i < width; ++i) *out++ = WordAt(sheet, palette, row, W * i / width);
    }
    ScaledWidth = width;
    ScaledHeight = height;
    Built();
    return ScaledWords.data();
}

}  // namespace blubbi
