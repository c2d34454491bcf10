// A picture of a level as the game draws it when loaded.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "level/LevelCodec.h"

namespace blubbi::leveltool {

// The number of the level that the game's own file name names (level001.lev is 1, level1000.lev
// 1000); none for any other name.
std::optional<int32_t> LevelNoOfFileName(const std::string& path);

// Loads the level into a headless game whose sheets come from `graphicsDir` and writes it as
// loaded, before any game step, as a 475 x 380 PNG, with "Level: N" only when `levelNo` is
// given; false with `error` set when the sheets or the picture file cannot be had.
bool WriteLevelPicture(const TLevelData& level, std::optional<int32_t> levelNo, const std::string& graphicsDir,
                       const std::string& pngPath, std::string& error);

}  // namespace blubbi::leveltool
