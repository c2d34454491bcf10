// Sheets turned into ready pixel words once, so sprites are copied rather than looked up.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "game/Dib.h"

namespace blubbi {

// The pixel words of one sheet, top row first, Width words per row, in the looks the
// primitives draw: plain or in-bubble tint, as stored or mirrored left to right, and opaque.
// Keyed looks also list each row's runs of pixels that are not the key colour, so drawing
// copies whole runs and never looks at a transparent pixel.
class TPreparedSheet {
public:
    enum TLook : int { kKeyed = 0, kKeyedMirrored = 1, kTinted = 2, kTintedMirrored = 3, kOpaque = 4, kLooks };

    struct TLookData {
        std::vector<uint32_t> Words;
        std::vector<int32_t> Runs;      // start, end (exclusive) pairs, row after row
        std::vector<int32_t> RowRuns;   // row y's runs are Runs[RowRuns[y] .. RowRuns[y + 1])
    };

    int Width() const { return W; }
    int Height() const { return H; }
    // Builds the look on first use.
    const TLookData& Look(TLook look);

private:
    friend class TPreparedSheets;
    bool Matches(const TDib& sheet, int64_t storedFirst, int64_t storedEnd, int64_t byteFirst, int64_t byteEnd) const;
    void Take(const TDib& sheet);

    const uint8_t* Bits = nullptr;
    int W = 0, H = 0, Stride = 0, BitCount = 0;
    std::array<TRGBQuad, 256> Colours{};
    std::vector<uint8_t> Copy;  // the stored rows as they were when the looks were made
    std::vector<uint8_t> Used;  // the palette indices that occur in Copy
    std::array<TLookData, kLooks> Looks;
};

// The prepared sheets of this thread. A sheet is recognised by its pixel memory, and before
// each use the stored rows the drawing will read and the colour table are compared with the
// copy the looks were made from: a sheet that was changed, or freed and its memory reused,
// is prepared afresh, so the pictures are always those of the sheet as it is now.
class TPreparedSheets {
public:
    // The sheet prepared from its current contents, checked over the bytes byteFirst ..
    // byteEnd - 1 of the stored rows storedFirst .. storedEnd - 1, the key pixel and the
    // colours. The reference lives until the next call.
    static TPreparedSheet& Get(const TDib& sheet, int64_t storedFirst, int64_t storedEnd, int64_t byteFirst,
                               int64_t byteEnd);
};

}  // namespace blubbi
