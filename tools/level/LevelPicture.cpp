// Draws a level with the game itself: the level is loaded into a headless game and drawn as loaded.
#include "tools/level/LevelPicture.h"

#include <charconv>
#include <filesystem>
#include <string_view>

#include "platform/sim/SimPlatform.h"

namespace blubbi::leveltool {

std::optional<int32_t> LevelNoOfFileName(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    constexpr std::string_view kStart = "level", kEnd = ".lev";
    if (name.size() <= kStart.size() + kEnd.size() || !name.starts_with(kStart) || !name.ends_with(kEnd))
        return std::nullopt;
    const std::string digits = name.substr(kStart.size(), name.size() - kStart.size() - kEnd.size());
    int32_t n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc{} || end != digits.data() + digits.size() || n < 1) return std::nullopt;
    // Only the game's own spelling of that number names its level.
    if (TMainForm::leadzero(std::to_string(n), 3) != digits) return std::nullopt;
    return n;
}

bool WriteLevelPicture(const TLevelData& level, std::optional<int32_t> levelNo, const std::string& graphicsDir,
                       const std::string& pngPath, std::string& error) {
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
    // The level as loaded: while the game is inactive its load runs no frame, so nothing moves.
    game.GameActive = 0;
    game.ApplyLevel(level);
    game.LevelNo = levelNo.value_or(0);
    game.ComposeLoadedLevel(levelNo.has_value());
    if (game.BackBuffer) platform.Present(*game.BackBuffer, 0, 0);
    std::string why;
    const bool saved = platform.SavePng(pngPath, why);
    game.FormDestroy();
    if (!saved) error = pngPath + ": cannot write the picture: " + why;
    return saved;
}

}  // namespace blubbi::leveltool
