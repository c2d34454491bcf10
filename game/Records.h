// The actor records that live in the record lists; TEnemy is also the level file's record.
#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace blubbi {

struct TBubble {
    int32_t BurstStep;   // 0 flying; 1, 3, 5, 7, 9 bursting
    int32_t EnemyIndex;  // index in Enemies, meaningful while HasEnemy
    uint32_t SpawnTick;
    int32_t SpeedX;
    int32_t X, Y;
    uint8_t HasEnemy;
};

// 44 bytes, stored in level files exactly as they stand here (little-endian fields).
struct TEnemy {
    int32_t Timer;
    int32_t AnimCounter;
    int32_t Aux;
    int32_t DirX;
    int32_t Width;
    int32_t Height;
    int32_t SpeedY;
    int32_t Kind;
    int32_t X;
    int32_t Y;
    uint8_t Removed;
    uint8_t Trapped;
    uint8_t Padding[2];
};

struct TItem {
    int32_t X, Y;
    int32_t Frame;
    int32_t SpeedY;
    uint8_t Collected;
};

static_assert(sizeof(TBubble) == 28);
static_assert(sizeof(TItem) == 20);
static_assert(sizeof(TEnemy) == 44);
static_assert(offsetof(TEnemy, Timer) == 0 && offsetof(TEnemy, AnimCounter) == 4 && offsetof(TEnemy, Aux) == 8);
static_assert(offsetof(TEnemy, DirX) == 12 && offsetof(TEnemy, Width) == 16 && offsetof(TEnemy, Height) == 20);
static_assert(offsetof(TEnemy, SpeedY) == 24 && offsetof(TEnemy, Kind) == 28 && offsetof(TEnemy, X) == 32);
static_assert(offsetof(TEnemy, Y) == 36 && offsetof(TEnemy, Removed) == 40 && offsetof(TEnemy, Trapped) == 41);
static_assert(std::is_trivially_copyable_v<TEnemy> && std::is_trivially_copyable_v<TBubble> &&
              std::is_trivially_copyable_v<TItem>);

// Enemy kinds as stored in TEnemy::Kind.
enum : int32_t { kFeder = 0, kGeist = 1, kBlauesMaennel = 2, kRotesMonster = 3 };

}  // namespace blubbi
