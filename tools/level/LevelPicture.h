// A picture of a level as the game draws its first frame.
#pragma once
#include <string>

#include "level/LevelCodec.h"

namespace blubbi::leveltool {

// Loads the level into a headless game whose sheets come from `graphicsDir` and writes its first
// frame as a 475 x 380 PNG; false with `error` set
// when the sheets or the picture file cannot be had.
bool WriteLevelPicture(const TLevelData& level, const std::string& graphicsDir, const std::string& pngPath,
                       std::string& error);

}  // namespace blubbi::leveltool
