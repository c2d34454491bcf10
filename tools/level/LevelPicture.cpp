// Draws a level with the game itself: the level is loaded into a headless game and its first frame saved.
#include "tools/level/LevelPicture.h"

#include <filesystem>

#include "platform/sim/SimPlatform.h"

namespace blubbi::leveltool {

bool WriteLevelPicture(const TLevelData& level, const std::string& graphicsDir, const std::string& pngPath,
                       std::string& error) {
    if (!std::filesystem::is_regular_file(graphicsDir + "/stein1.gif")) {
        error = graphicsDir + ": cannot read the sprite sheets (stein1.gif)";
        return false;
    }
    EnsureOffscreenGuiApplication();
    // The play field alone: a paint box of the field's size puts it at (0, 0).
    TSimPlatform platform(kFieldWidth, kFieldHeight);
    platform.Dir = std::filesystem::path(graphicsDir).lexically_normal().parent_path().string() + "/";
    TMainForm game(platform);
    game.FormCreate();
    game.MusicEnabled = 0;
    game.TransitionCounter = 0;  // no slide: the loaded level's frame is shown in place
    game.ApplyLevel(level);
    const bool saved = platform.SavePng(pngPath);
    game.FormDestroy();
    if (!saved) error = pngPath + ": cannot write the picture";
    return saved;
}

}  // namespace blubbi::leveltool
