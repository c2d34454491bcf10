// Building level files byte by byte for tests, independent of the game's own writer.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "game/Records.h"

namespace blubbi::test {

inline void PutInt32(std::vector<uint8_t>& out, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

inline int32_t GetInt32(const std::vector<uint8_t>& in, size_t at) {
    return static_cast<int32_t>(uint32_t(in[at]) | uint32_t(in[at + 1]) << 8 | uint32_t(in[at + 2]) << 16 |
                                uint32_t(in[at + 3]) << 24);
}

// A bordered grid (column 0 and 24, row 0 and 19 blocks).
inline std::vector<uint8_t> BorderGrid() {
    std::vector<uint8_t> grid(500, 0);
    for (int c = 0; c < 25; ++c)
        for (int r = 0; r < 20; ++r) grid[c * 20 + r] = (c == 0 || c == 24 || r == 0 || r == 19) ? 1 : 0;
    return grid;
}

inline std::vector<uint8_t> EnemyBytes(const TEnemy& e) {
    std::vector<uint8_t> out;
    for (int32_t v : {e.Timer, e.AnimCounter, e.Aux, e.DirX, e.Width, e.Height, e.SpeedY, e.Kind, e.X, e.Y})
        PutInt32(out, v);
    out.insert(out.end(), {e.Removed, e.Trapped, e.Padding[0], e.Padding[1]});
    return out;
}

inline std::vector<uint8_t> LevelBytes(const std::vector<uint8_t>& grid, const std::vector<TEnemy>& enemies,
                                       int32_t startX, int32_t startY) {
    std::vector<uint8_t> out = grid;
    PutInt32(out, static_cast<int32_t>(enemies.size()));
    for (const auto& e : enemies) {
        auto b = EnemyBytes(e);
        out.insert(out.end(), b.begin(), b.end());
    }
    PutInt32(out, startX);
    PutInt32(out, startY);
    return out;
}

inline TEnemy MakeEnemy(int32_t kind, int32_t x, int32_t y) {
    static const int32_t sizes[4][2] = {{46, 60}, {50, 40}, {30, 40}, {44, 50}};
    TEnemy e{};
    e.Kind = kind;
    e.X = x;
    e.Y = y;
    e.Width = sizes[kind & 3][0];
    e.Height = sizes[kind & 3][1];
    return e;
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh temporary program folder with levels/ inside.
inline std::string TempProgramDir(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() / ("blubbi-test-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "levels");
    return dir.string() + "/";
}

}  // namespace blubbi::test
