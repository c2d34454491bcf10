// The play field's grid, the actors' sizes, and the cell probes and pixel-by-pixel moves they all share.
#pragma once
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace blubbi {

// Play field: 25 x 20 cells of 19 pixels.
constexpr int32_t kCols = 25, kRows = 20, kCell = 19;
constexpr int32_t kFieldWidth = kCols * kCell, kFieldHeight = kRows * kCell;

// The cells column by column: cell (col, row) is byte col * 20 + row. A cell blocks when its byte is not 0.
using TGrid = std::array<uint8_t, size_t{kCols} * size_t{kRows}>;

// The byte of a cell that lies in the grid.
constexpr size_t CellIndex(int32_t col, int32_t row) {
    return static_cast<size_t>(col) * size_t{kRows} + static_cast<size_t>(row);
}

// The player is 41 x 46 pixels, a bubble 39 x 39, an item 34 x 34 (extents are one less).
constexpr int32_t kPlayerW = 40, kPlayerH = 45;
constexpr int32_t kBubbleSize = 38;
constexpr int32_t kItemSize = 33;
// Walls meet only the lower 24 rows of the player's box; the feet are its middle 29 columns.
constexpr int32_t kWallTop = 22;
constexpr int32_t kFootLeft = 6, kFootRight = 34;

// Everything that falls gains this much downward speed a frame.
constexpr int32_t kGravity = 2;
// Past this row, counted from the first pixel row under the box, a faller is out at the bottom.
constexpr int32_t kFallOutRow = 21;

// Positions are stored as int32 but may hold anything a level file brings, so every sum
// that reaches past a stored position is done in 64 bits and brought back with Clamp32.
inline int32_t Clamp32(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// A picture coordinate from the play-field origin and a play-field position. Anything this
// far out is off every picture; the clamp only keeps the drawing code's own sums small.
inline int ToPicture(int32_t origin, int64_t v) {
    constexpr int64_t kFar = int64_t{1} << 24;
    return static_cast<int>(std::clamp<int64_t>(int64_t{origin} + v, -kFar, kFar));
}

// An actor's box: it covers X .. X + W and Y .. Y + H, both ends included.
struct TBox {
    int64_t X, Y, W, H;
};

inline bool Meet(const TBox& a, const TBox& b) {
    return a.X + a.W >= b.X && a.X <= b.X + b.W && a.Y + a.H >= b.Y && a.Y <= b.Y + b.H;
}

inline TBox PlayerBoxAt(int64_t x, int64_t y) { return {x, y, kPlayerW, kPlayerH}; }

// The column or row of a pixel; division truncates toward zero, so pixels -18..-1 still
// belong to column or row 0.
inline int64_t CellOf(int64_t pixel) { return pixel / kCell; }

// Cells outside the grid are free.
inline bool Solid(const TGrid& grid, int64_t col, int64_t row) {
    return col >= 0 && col < kCols && row >= 0 && row < kRows &&
           grid[CellIndex(static_cast<int32_t>(col), static_cast<int32_t>(row))] != 0;
}

// The cell of a play-field pixel.
inline bool SolidAt(const TGrid& grid, int64_t x, int64_t y) { return Solid(grid, CellOf(x), CellOf(y)); }

// True when a solid cell lies under any pixel of columns x1..x2, rows y1..y2. Consecutive
// pixels fall into consecutive cells, so testing cells instead of pixels gives the same
// answer for any size of range.
inline bool AnySolid(const TGrid& grid, int64_t x1, int64_t x2, int64_t y1, int64_t y2) {
    if (x1 > x2 || y1 > y2) return false;
    const int64_t c1 = std::max<int64_t>(CellOf(x1), 0), c2 = std::min<int64_t>(CellOf(x2), kCols - 1);
    const int64_t r1 = std::max<int64_t>(CellOf(y1), 0), r2 = std::min<int64_t>(CellOf(y2), kRows - 1);
    for (int64_t c = c1; c <= c2; ++c)
        for (int64_t r = r1; r <= r2; ++r)
            if (Solid(grid, c, r)) return true;
    return false;
}

// Landing: `below` is the first pixel row under the box, a..b the columns it stands on.
// Only the top of a block whose upper neighbour is free carries anything, so the seam
// between two stacked blocks is no floor, and a block in row 0 carries nobody.
inline bool StandsAt(const TGrid& grid, int64_t below, int64_t a, int64_t b) {
    if (below <= 0 || below % kCell != 0 || a > b) return false;
    const int64_t r = below / kCell;
    if (r > kRows - 1) return false;
    const int64_t c1 = std::max<int64_t>(CellOf(a), 0), c2 = std::min<int64_t>(CellOf(b), kCols - 1);
    for (int64_t c = c1; c <= c2; ++c)
        if (Solid(grid, c, r) && !Solid(grid, c, r - 1)) return true;
    return false;
}

// Out at the bottom: the first pixel row under the box, `below` under y, lies past kFallOutRow.
inline bool FellOut(int32_t y, int64_t below) { return (int64_t{y} + below) / kCell > kFallOutRow; }

struct TVerticalResult {
    int32_t Y;
    bool Stands;  // the last landing test made
};

// The vertical pixel steps of anything that falls: from y toward y + speed one pixel at a
// time, testing for ground at every pixel. Going up nothing stops the mover (actors rise
// through blocks on purpose); the landing test still runs, and its last answer counts.
// Falling stops on the first pixel that stands; a fall that reaches its target exactly on
// a block top has tested one pixel higher and does not stand yet. `below` is the distance
// from y to the first row under the box.
//
// Pixel for pixel this is that loop, but ground can only be found on the 19 rows whose
// block tops lie in the grid, so only those are visited: a file may send an actor falling
// two thousand million pixels.
inline TVerticalResult VerticalSteps(const TGrid& grid, int32_t y, int32_t speed, int64_t below, int64_t a, int64_t b) {
    const int32_t target = Clamp32(int64_t{y} + speed);
    if (speed < 0) return {target, StandsAt(grid, int64_t{target} + below, a, b)};
    if (speed == 0 || target == y) return {y, StandsAt(grid, int64_t{y} + below, a, b)};
    // Falling: rows y .. target - 1 are tested; the first that stands ends the fall.
    const int64_t first = int64_t{y} + below, last = int64_t{target} - 1 + below;
    int64_t p = std::max<int64_t>(first, kCell);
    p = (p + kCell - 1) / kCell * kCell;
    for (; p <= last && p <= int64_t{kRows - 1} * kCell; p += kCell)
        if (StandsAt(grid, p, a, b)) return {static_cast<int32_t>(p - below), true};
    return {target, false};
}

// Steps pos one pixel at a time toward target, asking blocked(pos) before each step;
// returns whether the last answer was a block.
template <class Blocked>
bool StepToward(int32_t& pos, int64_t target, Blocked blocked) {
    const int32_t goal = Clamp32(target);
    bool hit = false;
    while (pos != goal) {
        hit = blocked(pos);
        if (hit) break;
        pos += pos < goal ? 1 : -1;
    }
    return hit;
}

// Sums that are counted up for ever (points, the blink counter) stay defined even then.
inline int32_t AddSaturated(int32_t v, int32_t add) { return Clamp32(int64_t{v} + add); }

}  // namespace blubbi
