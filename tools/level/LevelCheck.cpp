// The level checks, using the game's cell rule: column x / 19 and row y / 19 truncated toward zero.
#include "tools/level/LevelCheck.h"

#include <algorithm>

#include "tools/level/EnemyKinds.h"

namespace blubbi::leveltool {
namespace {

constexpr int64_t kCols = 25, kRows = 20, kCell = 19;
constexpr int64_t kFieldWidth = kCols * kCell, kFieldHeight = kRows * kCell;
constexpr int64_t kPlayerWidth = 41, kPlayerHeight = 46;
constexpr int64_t kFootLeft = 6, kFootRight = 34;  // the middle columns of the player's feet

std::string Describe(size_t index, const TEnemy& e) {
    const TKindInfo* k = FindKind(e.Kind);
    return "enemy " + std::to_string(index + 1) + " (" + (k ? std::string(k->Name) : "kind " + std::to_string(e.Kind)) +
           " at " + std::to_string(e.X) + ", " + std::to_string(e.Y) + ")";
}

}  // namespace

bool CellSolid(const TLevelData& level, int64_t col, int64_t row) {
    return col >= 0 && col < kCols && row >= 0 && row < kRows && level.Grid[size_t(col * kRows + row)] != 0;
}

bool StandsOn(const TLevelData& level, int64_t footRow, int64_t x0, int64_t x1) {
    if (footRow <= 0 || footRow % kCell != 0) return false;
    const int64_t r = footRow / kCell;
    if (r > kRows - 1) return false;
    for (int64_t c = std::max<int64_t>(x0 / kCell, 0); c <= std::min<int64_t>(x1 / kCell, kCols - 1); ++c)
        if (CellSolid(level, c, r) && !CellSolid(level, c, r - 1)) return true;
    return false;
}

bool BoxMeetsBlock(const TLevelData& level, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    if (x1 < x0 || y1 < y0) return false;
    for (int64_t c = std::max<int64_t>(x0 / kCell, 0); c <= std::min<int64_t>(x1 / kCell, kCols - 1); ++c)
        for (int64_t r = std::max<int64_t>(y0 / kCell, 0); r <= std::min<int64_t>(y1 / kCell, kRows - 1); ++r)
            if (CellSolid(level, c, r)) return true;
    return false;
}

std::vector<std::string> CheckLevel(const TLevelData& level) {
    std::vector<std::string> found;
    const int64_t px = level.StartX, py = level.StartY;
    const std::string start = "start position (" + std::to_string(px) + ", " + std::to_string(py) + ")";

    if (!StandsOn(level, py + kPlayerHeight, px + kFootLeft, px + kFootRight))
        found.push_back(start + ": the player does not stand on a block top with a free cell above it");
    if (BoxMeetsBlock(level, px, py, px + kPlayerWidth - 1, py + kPlayerHeight - 1))
        found.push_back(start + ": the player's box is inside a block");

    for (size_t i = 0; i < level.Enemies.size(); ++i) {
        const TEnemy& e = level.Enemies[i];
        const int64_t x0 = e.X, y0 = e.Y, x1 = x0 + int64_t(e.Width), y1 = y0 + int64_t(e.Height);
        const TKindInfo* k = FindKind(e.Kind);
        if (!k) {
            found.push_back(Describe(i, e) + ": unknown kind " + std::to_string(e.Kind) +
                            "; the game neither moves nor draws it, yet it hurts the player");
        } else if (e.Width != k->Width || e.Height != k->Height) {
            found.push_back(Describe(i, e) + ": size " + std::to_string(e.Width) + " x " + std::to_string(e.Height) +
                            " differs from its kind's " + std::to_string(k->Width) + " x " + std::to_string(k->Height));
        }
        // The ghost flies through blocks, so only the others can be stuck in one.
        if (e.Kind != kGeist && BoxMeetsBlock(level, x0, y0, x1, y1))
            found.push_back(Describe(i, e) + ": stuck inside a block");
        if (x0 < 0 || y0 < 0 || x1 >= kFieldWidth || y1 >= kFieldHeight)
            found.push_back(Describe(i, e) + ": its box reaches outside the play field");
        if (x1 >= px && x0 <= px + kPlayerWidth - 1 && y1 >= py && y0 <= py + kPlayerHeight - 1)
            found.push_back(start + ": the player starts inside " + Describe(i, e));
    }
    return found;
}

}  // namespace blubbi::leveltool
