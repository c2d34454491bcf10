// The designer's checks of a level: where the player starts, where the enemies stand, their kinds and sizes.
#pragma once
#include <string>
#include <vector>

#include "level/LevelCodec.h"

namespace blubbi::leveltool {

// One plain sentence per problem; an empty list means the level passes.
std::vector<std::string> CheckLevel(const TLevelData& level);

}  // namespace blubbi::leveltool
