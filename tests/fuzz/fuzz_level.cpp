// libFuzzer target: any bytes as a level file, decoded, loaded and played for a few frames.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "level/LevelCodec.h"
#include "platform/headless/HeadlessPlatform.h"

using namespace blubbi;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto level = DecodeLevel(data, size);
    if (!level) return 0;
    // Writing a loaded level and reading it again loses nothing.
    const auto bytes = EncodeLevel(*level);
    const auto again = DecodeLevel(bytes.data(), bytes.size());
    if (!again || again->Grid != level->Grid || again->StartX != level->StartX || again->StartY != level->StartY ||
        again->Enemies.size() != level->Enemies.size() ||
        (!level->Enemies.empty() &&
         std::memcmp(again->Enemies.data(), level->Enemies.data(), level->Enemies.size() * sizeof(TEnemy)) != 0))
        __builtin_trap();

    THeadlessPlatform platform;
    platform.Dir = "/nonexistent/";
    TMainForm game(platform);
    game.FormCreate();
    game.TransitionCounter = 0;
    game.ApplyLevel(*level);
    // Frames with every key held: the rules meet whatever coordinates the file holds.
    game.FormKeyDown(VK_RIGHT);
    game.FormKeyDown(VK_SPACE);
    game.FormKeyDown(VK_UP);
    for (int i = 0; i < 30; ++i) platform.Tick(game);
    game.FormDestroy();
    return 0;
}
