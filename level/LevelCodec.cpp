// Decoding and encoding of the .lev layout, byte by byte so that host endianness never matters.
#include "level/LevelCodec.h"

#include <cstring>

namespace blubbi {
namespace {

int32_t ReadI32(const uint8_t* p) {
    const uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return static_cast<int32_t>(u);  // two's complement, defined since C++20
}

void PutI32(std::vector<uint8_t>& out, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    out.push_back(uint8_t(u));
    out.push_back(uint8_t(u >> 8));
    out.push_back(uint8_t(u >> 16));
    out.push_back(uint8_t(u >> 24));
}

TEnemy ReadEnemy(const uint8_t* p) {
    TEnemy e{};
    e.Timer = ReadI32(p + 0);
    e.AnimCounter = ReadI32(p + 4);
    e.Aux = ReadI32(p + 8);
    e.DirX = ReadI32(p + 12);
    e.Width = ReadI32(p + 16);
    e.Height = ReadI32(p + 20);
    e.SpeedY = ReadI32(p + 24);
    e.Kind = ReadI32(p + 28);
    e.X = ReadI32(p + 32);
    e.Y = ReadI32(p + 36);
    e.Removed = p[40];
    e.Trapped = p[41];
    e.Padding[0] = p[42];
    e.Padding[1] = p[43];
    return e;
}

void PutEnemy(std::vector<uint8_t>& out, const TEnemy& e) {
    for (int32_t v : {e.Timer, e.AnimCounter, e.Aux, e.DirX, e.Width, e.Height, e.SpeedY, e.Kind, e.X, e.Y})
        PutI32(out, v);
    out.push_back(e.Removed);
    out.push_back(e.Trapped);
    out.push_back(e.Padding[0]);
    out.push_back(e.Padding[1]);
}

}  // namespace

std::optional<int32_t> StoredEnemyCount(const uint8_t* data, size_t size) {
    if (data == nullptr || size < kLevelRecordsOffset) return std::nullopt;
    return ReadI32(data + kLevelCountOffset);
}

uint64_t LevelBytesNeeded(int32_t storedCount) {
    const uint64_t n = storedCount > 0 ? uint64_t(storedCount) : 0;
    return kLevelEmptyBytes + kLevelRecordBytes * n;
}

std::optional<TLevelData> DecodeLevel(const uint8_t* data, size_t size) {
    const std::optional<int32_t> count = StoredEnemyCount(data, size);
    if (!count || uint64_t(size) < LevelBytesNeeded(*count)) return std::nullopt;
    const size_t n = *count > 0 ? size_t(*count) : 0;

    TLevelData level;
    std::memcpy(level.Grid.data(), data, kLevelGridBytes);
    level.Enemies.reserve(n);  // safe: the size test above bounds n by the file's length
    const uint8_t* p = data + kLevelRecordsOffset;
    for (size_t i = 0; i < n; ++i, p += kLevelRecordBytes) level.Enemies.push_back(ReadEnemy(p));
    level.StartX = ReadI32(p);
    level.StartY = ReadI32(p + 4);
    return level;
}

std::vector<uint8_t> EncodeLevel(const TLevelData& level) {
    std::vector<uint8_t> out;
    out.reserve(kLevelEmptyBytes + kLevelRecordBytes * level.Enemies.size());
    out.insert(out.end(), level.Grid.begin(), level.Grid.end());
    PutI32(out, static_cast<int32_t>(level.Enemies.size()));
    for (const TEnemy& e : level.Enemies) PutEnemy(out, e);
    PutI32(out, level.StartX);
    PutI32(out, level.StartY);
    return out;
}

}  // namespace blubbi
