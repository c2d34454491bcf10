// The level checks, asked of the game's own probes: where a body stands, what blocks, and what meets.
#include "tools/level/LevelCheck.h"

#include "game/EnemyKinds.h"
#include "game/Geometry.h"

namespace blubbi::leveltool {
namespace {

std::string Describe(size_t index, const TEnemy& e) {
    const TEnemyKind* k = KindOf(e.Kind);
    return "enemy " + std::to_string(index + 1) + " (" + (k ? std::string(k->Name) : "kind " + std::to_string(e.Kind)) +
           " at " + std::to_string(e.X) + ", " + std::to_string(e.Y) + ")";
}

// Some solid cell under the box, its ends included.
bool InBlock(const TGrid& grid, const TBox& box) { return AnySolid(grid, box.X, box.X + box.W, box.Y, box.Y + box.H); }

}  // namespace

std::vector<std::string> CheckLevel(const TLevelData& level) {
    std::vector<std::string> found;
    const int64_t px = level.StartX, py = level.StartY;
    const TBox player = PlayerBoxAt(px, py);
    const std::string start = "start position (" + std::to_string(px) + ", " + std::to_string(py) + ")";

    if (!StandsAt(level.Grid, py + kPlayerH + 1, px + kFootLeft, px + kFootRight))
        found.push_back(start + ": the player does not stand on a block top with a free cell above it");
    if (InBlock(level.Grid, player)) found.push_back(start + ": the player's box is inside a block");

    for (size_t i = 0; i < level.Enemies.size(); ++i) {
        const TEnemy& e = level.Enemies[i];
        const TBox box{e.X, e.Y, e.Width, e.Height};
        const TEnemyKind* k = KindOf(e.Kind);
        if (!k) {
            found.push_back(Describe(i, e) + ": unknown kind " + std::to_string(e.Kind) +
                            "; the game neither moves nor draws it, yet it hurts the player");
        } else if (e.Width != k->Width || e.Height != k->Height) {
            found.push_back(Describe(i, e) + ": size " + std::to_string(e.Width) + " x " + std::to_string(e.Height) +
                            " differs from its kind's " + std::to_string(k->Width) + " x " + std::to_string(k->Height));
        }
        // The ghost flies through blocks, so only the others can be stuck in one.
        if (e.Kind != kGeist && InBlock(level.Grid, box)) found.push_back(Describe(i, e) + ": stuck inside a block");
        if (box.X < 0 || box.Y < 0 || box.X + box.W >= kFieldWidth || box.Y + box.H >= kFieldHeight)
            found.push_back(Describe(i, e) + ": its box reaches outside the play field");
        if (Meet(box, player)) found.push_back(start + ": the player starts inside " + Describe(i, e));
    }
    return found;
}

}  // namespace blubbi::leveltool
