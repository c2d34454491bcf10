// A picture of a level as the game draws it at the start: blocks, enemies and the player.
#pragma once
#include <string>

#include "level/LevelCodec.h"

namespace blubbi::leveltool {

// Reads the sprite sheets from `graphicsDir` and writes a 475 x 380 PNG; false with `error` set
// when the sheets or the picture file cannot be had.
bool WriteLevelPicture(const TLevelData& level, const std::string& graphicsDir, const std::string& pngPath,
                       std::string& error);

}  // namespace blubbi::leveltool
