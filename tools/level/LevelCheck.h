// The designer's checks of a level: where the player starts, where the enemies stand, their kinds and sizes.
#pragma once
#include <string>
#include <vector>

#include "level/LevelCodec.h"

namespace blubbi::leveltool {

// One plain sentence per problem; an empty list means the level passes.
std::vector<std::string> CheckLevel(const TLevelData& level);

// The game's own tests, exposed for the checks and their tests.
bool CellSolid(const TLevelData& level, int64_t col, int64_t row);
// Feet on a block top whose cell above is free, for some pixel column from x0 to x1.
bool StandsOn(const TLevelData& level, int64_t footRow, int64_t x0, int64_t x1);
// Some solid cell under the box from (x0, y0) to (x1, y1), both ends included.
bool BoxMeetsBlock(const TLevelData& level, int64_t x0, int64_t y0, int64_t x1, int64_t y1);

}  // namespace blubbi::leveltool
