// libFuzzer target: any bytes as a replay, read and played without pictures within small bounds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "level/LevelCodec.h"
#include "platform/headless/HeadlessPlatform.h"
#include "platform/replay/Replay.h"

using namespace blubbi;

namespace {
std::string DataDir;

void Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
}  // namespace

// A data folder of two walled levels with enemies, so that replays reach the rules.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    DataDir = (std::filesystem::temp_directory_path() / ("blubbi-fuzz-replay-" + std::to_string(::getpid()))).string();
    TLevelData level;
    for (int c = 0; c < kCols; ++c)
        for (int r = 0; r < kRows; ++r) level.Grid[c * kRows + r] = (c == 0 || c == 24 || r == 0 || r == 19) ? 1 : 0;
    level.StartX = 38;
    level.StartY = 315;
    for (int32_t kind = 0; kind < 4; ++kind) {
        TEnemy e{};
        e.Kind = kind;
        e.X = 60 + 80 * kind;
        e.Y = 200;
        e.Width = 40;
        e.Height = 40;
        level.Enemies.push_back(e);
    }
    Write(DataDir + "/levels/level001.lev", EncodeLevel(level));
    Write(DataDir + "/levels/level002.lev", EncodeLevel(level));
    Write(DataDir + "/grafiken/stein1.gif", {1});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TVerifyLimits limits;
    limits.Text.MaxBytes = 1 << 20;
    limits.Text.MaxLines = 20000;
    limits.Text.MaxFrames = 5000;
    limits.MaxFrames = 5000;
    const TVerifyResult r = VerifyReplay(std::string_view(reinterpret_cast<const char*>(data), size), DataDir, limits);
    if (r.Frames > limits.MaxFrames + 1) __builtin_trap();
    (void)VerifyJson(r);
    return 0;
}
