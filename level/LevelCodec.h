// The .lev byte layout: a pure, bounds-checked decoder and encoder with no file access.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "game/Geometry.h"
#include "game/Records.h"

namespace blubbi {

// Byte offsets of the layout; the enemy records and the start position follow the count.
constexpr size_t kLevelGridBytes = 500;
constexpr size_t kLevelCountOffset = 500;
constexpr size_t kLevelRecordsOffset = 504;
constexpr size_t kLevelRecordBytes = 44;
// A level without enemies: grid, count and start position.
constexpr size_t kLevelEmptyBytes = 512;
// The most enemies a level may hold, far more than a field can show: what a file holds
// beyond is not read, so a damaged or hostile file can't take the memory.
constexpr int32_t kLevelMaxEnemies = 1000000;
// The longest level file read, layout and any bytes after it together.
constexpr uint64_t kLevelMaxFileBytes = kLevelEmptyBytes + uint64_t{kLevelRecordBytes} * kLevelMaxEnemies;
static_assert(sizeof(TGrid) == kLevelGridBytes);

struct TLevelData {
    TGrid Grid{};
    std::vector<TEnemy> Enemies;  // every record exactly as stored, padding included
    int32_t StartX = 0, StartY = 0;
};

// The count field as stored; a count of zero or less means no records.
std::optional<int32_t> StoredEnemyCount(const uint8_t* data, size_t size);

// Bytes a file with this stored count needs; counts of zero or less need no records.
uint64_t LevelBytesNeeded(int32_t storedCount);

// nullopt when the file is shorter than its own count says; bytes past the layout are ignored.
// The count is checked against the size before anything is allocated.
std::optional<TLevelData> DecodeLevel(const uint8_t* data, size_t size);

// The file as the game writes it: little-endian on every host, exactly 512 + 44 * N bytes.
std::vector<uint8_t> EncodeLevel(const TLevelData& level);

}  // namespace blubbi
