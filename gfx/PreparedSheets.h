// Sheets turned into ready pixel words once, so sprites are copied rather than looked up.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "game/Dib.h"

namespace blubbi {

class TPreparedSheets;

// The pixel words of one sheet, top row first, Width words per row, in the looks the
// primitives draw: plain or in-bubble tint, as stored or mirrored left to right, and opaque.
// Keyed looks also list each row's runs of pixels that are not the key colour, so drawing
// copies whole runs and never looks at a transparent pixel. Each way of drawing the sheet
// keeps one copy of its pixels, made when the sheet is first drawn that way.
class TPreparedSheet {
public:
    enum TLook : int { kKeyed = 0, kKeyedMirrored = 1, kTinted = 2, kTintedMirrored = 3, kOpaque = 4, kLooks };

    struct TLookData {
        std::vector<uint32_t> Words;
        std::vector<int32_t> Runs;     // start, end (exclusive) pairs, row after row
        std::vector<int32_t> RowRuns;  // row y's runs are Runs[RowRuns[y] .. RowRuns[y + 1])
    };

    // The keyed look of a sheet with frames side by side, cut into its frames: frame f's
    // rows lie one after the other in Words from f * FrameWidth * Height on, FrameWidth words
    // each, so one item reads one stretch of memory. Frame f's runs on row y are
    // Runs[Index[f * Height + y] .. Index[f * Height + y + 1]), counted from the frame's left.
    struct TFrameRuns {
        int32_t Frames = 0;
        int32_t FrameWidth = 0;
        std::vector<uint32_t> Words;
        std::vector<int32_t> Runs;
        std::vector<int32_t> Index;
    };

    // Nothing is built yet; `sheet` must be drawable: 8 or 24 bits, Bits set, rows that fit
    // Stride. What is built is counted in `owner`, if any.
    explicit TPreparedSheet(const TDib& sheet, TPreparedSheets* owner = nullptr);

    // Whether this was prepared for `sheet` as it is now: its size, depth and pixel memory.
    bool Describes(const TDib& sheet) const {
        return sheet.Bits == Bits && sheet.Width == W && sheet.Height == H && sheet.Stride == Stride &&
               sheet.BitCount == BitCount;
    }

    // Each is built on first use, from `sheet`, the record this was prepared for.
    const TLookData& Look(const TDib& sheet, TLook look);
    const TFrameRuns& SideBySide(const TDib& sheet, int frames);
    // The whole picture scaled to width x height words as the row copy of StretchDrawDib
    // draws it (nearest neighbour, from the top-left); nullptr when too large to keep.
    const uint32_t* Scaled(const TDib& sheet, int64_t width, int64_t height);

    // The memory all that is built takes.
    size_t Bytes() const;

private:
    friend class TPreparedSheets;
    // Tells the owner what the built parts take now.
    void Built();

    TPreparedSheets* Owner = nullptr;
    size_t Counted = 0;  // bytes the owner has been told of
    const uint8_t* Bits = nullptr;
    int W = 0, H = 0, Stride = 0, BitCount = 0;
    std::array<TLookData, kLooks> Looks;
    TFrameRuns FrameRuns;
    int64_t ScaledWidth = 0, ScaledHeight = 0;
    std::vector<uint32_t> ScaledWords;
};

// The prepared forms of the sheets one screen draws, each kept under its sheet's serial number
// from its first drawing on. Sheets are not written after loading: one written with setpixel
// has a new number and is prepared afresh, and so is one whose size, depth or pixel memory
// was changed by hand. Records filled in by hand (serial 0) are prepared for each drawing.
// All kept together take at most kMostBytes beside the sheet being drawn: past that, the
// others are let go and prepared again when they are drawn next. Drawing runs on one thread
// at a time.
class TPreparedSheets {
public:
    // The game's sheets take a few hundred kilobytes prepared; even sheets of the largest
    // size the image library opens fit several times over.
    static constexpr size_t kMostBytes = size_t{64} << 20;

    TPreparedSheet& Of(const TDib& sheet) {
        const TSlot& slot = Slots[sheet.Serial % kSlots];
        if (slot.Serial == sheet.Serial && slot.Sheet->Describes(sheet)) return *slot.Sheet;
        return Find(sheet);
    }

    // The memory the kept sheets take.
    size_t Bytes() const { return Total; }

private:
    friend class TPreparedSheet;
    TPreparedSheet& Find(const TDib& sheet);
    // `sheet` takes `bytes` now, having taken `before`; past the limit, every other sheet is let go.
    void Resized(const TPreparedSheet& sheet, size_t before, size_t bytes);

    struct TEntry {
        uint64_t Serial = 0;
        std::unique_ptr<TPreparedSheet> Sheet;
    };
    std::vector<TEntry> Entries;
    size_t Total = 0;
    // Where each sheet is found at once, by its serial number: a frame's sprites switch sheets
    // all the time, and the game's sheets, loaded one after the other, have numbers in a row.
    // An empty slot holds a number no picture has.
    struct TSlot {
        uint64_t Serial = ~uint64_t{0};
        TPreparedSheet* Sheet = nullptr;
    };
    static constexpr uint64_t kSlots = 16;
    std::array<TSlot, kSlots> Slots{};
    std::unique_ptr<TPreparedSheet> Unnumbered;
};

}  // namespace blubbi
