// The .lev byte layout: sizes, offsets, little-endian fields, damaged files and allocation limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "level/LevelCodec.h"

namespace blubbi {
namespace {

int32_t At(const std::vector<uint8_t>& b, size_t off) {
    return int32_t(uint32_t(b[off]) | uint32_t(b[off + 1]) << 8 | uint32_t(b[off + 2]) << 16 |
                   uint32_t(b[off + 3]) << 24);
}

void Put(std::vector<uint8_t>& b, size_t off, int32_t v) {
    for (size_t i = 0; i < 4; ++i) b[off + i] = uint8_t(uint32_t(v) >> (8 * i));
}

TEnemy Distinct(int32_t base) {
    TEnemy e{};
    e.Timer = base + 1;
    e.AnimCounter = base + 2;
    e.Aux = base + 3;
    e.DirX = base + 4;
    e.Width = base + 5;
    e.Height = base + 6;
    e.SpeedY = -(base + 7);
    e.Kind = base + 8;
    e.X = base + 9;
    e.Y = base + 10;
    e.Removed = 11;
    e.Trapped = 12;
    e.Padding[0] = 13;
    e.Padding[1] = 14;
    return e;
}

bool Same(const TEnemy& a, const TEnemy& b) { return std::memcmp(&a, &b, sizeof(TEnemy)) == 0; }

TEST(LevelCodec, EmptyLevelIs512BytesWithCountThenStart) {
    TLevelData level;
    level.StartX = 38;
    level.StartY = 315;
    const std::vector<uint8_t> b = EncodeLevel(level);
    ASSERT_EQ(b.size(), 512u);
    EXPECT_EQ(At(b, 500), 0);
    EXPECT_EQ(At(b, 504), 38);
    EXPECT_EQ(At(b, 508), 315);
    // little-endian: the low byte comes first
    EXPECT_EQ(b[508], 315 & 0xff);
    EXPECT_EQ(b[509], 315 >> 8);
}

TEST(LevelCodec, GridIsColumnMajorAtTheFront) {
    TLevelData level;
    level.Grid[3 * 20 + 7] = 1;
    level.Grid[24 * 20 + 19] = 200;
    const std::vector<uint8_t> b = EncodeLevel(level);
    EXPECT_EQ(b[67], 1);
    EXPECT_EQ(b[499], 200);
    EXPECT_EQ(std::count(b.begin(), b.begin() + 500, 0), 498);
}

TEST(LevelCodec, RecordFieldsSitAtTheirOffsets) {
    TLevelData level;
    level.Enemies = {Distinct(0), Distinct(100)};
    level.StartX = -2;
    level.StartY = 0x01020304;
    const std::vector<uint8_t> b = EncodeLevel(level);
    ASSERT_EQ(b.size(), 512u + 2 * 44);
    EXPECT_EQ(At(b, 500), 2);
    for (size_t r = 0; r < 2; ++r) {
        const size_t o = 504 + 44 * r;
        const int32_t base = int32_t(100 * r);
        EXPECT_EQ(At(b, o + 0), base + 1);      // Timer
        EXPECT_EQ(At(b, o + 4), base + 2);      // AnimCounter
        EXPECT_EQ(At(b, o + 8), base + 3);      // Aux
        EXPECT_EQ(At(b, o + 12), base + 4);     // DirX
        EXPECT_EQ(At(b, o + 16), base + 5);     // Width
        EXPECT_EQ(At(b, o + 20), base + 6);     // Height
        EXPECT_EQ(At(b, o + 24), -(base + 7));  // SpeedY
        EXPECT_EQ(At(b, o + 28), base + 8);     // Kind
        EXPECT_EQ(At(b, o + 32), base + 9);     // X
        EXPECT_EQ(At(b, o + 36), base + 10);    // Y
        EXPECT_EQ(b[o + 40], 11);
        EXPECT_EQ(b[o + 41], 12);
        EXPECT_EQ(b[o + 42], 13);
        EXPECT_EQ(b[o + 43], 14);
    }
    EXPECT_EQ(b[592], 0xfe);
    EXPECT_EQ(b[593], 0xff);
    EXPECT_EQ(b[596], 0x04);
    EXPECT_EQ(b[599], 0x01);
}

TEST(LevelCodec, DecodeReadsWhatEncodeWrote) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        TLevelData level;
        for (uint8_t& c : level.Grid) c = uint8_t(rng());
        level.Enemies.resize(rng() % 6);
        for (TEnemy& e : level.Enemies) {
            uint8_t raw[sizeof(TEnemy)];
            for (uint8_t& x : raw) x = uint8_t(rng());
            std::memcpy(&e, raw, sizeof raw);
        }
        level.StartX = int32_t(rng());
        level.StartY = int32_t(rng());
        const std::vector<uint8_t> b = EncodeLevel(level);
        const std::optional<TLevelData> back = DecodeLevel(b.data(), b.size());
        ASSERT_TRUE(back);
        EXPECT_EQ(back->Grid, level.Grid);
        ASSERT_EQ(back->Enemies.size(), level.Enemies.size());
        for (size_t i = 0; i < level.Enemies.size(); ++i) EXPECT_TRUE(Same(back->Enemies[i], level.Enemies[i]));
        EXPECT_EQ(back->StartX, level.StartX);
        EXPECT_EQ(back->StartY, level.StartY);
    }
}

TEST(LevelCodec, EveryTruncationIsRejected) {
    TLevelData level;
    level.Enemies = {Distinct(0), Distinct(5)};
    const std::vector<uint8_t> b = EncodeLevel(level);
    for (size_t size = 0; size < b.size(); ++size) EXPECT_FALSE(DecodeLevel(b.data(), size)) << size;
    EXPECT_TRUE(DecodeLevel(b.data(), b.size()));
    EXPECT_FALSE(DecodeLevel(nullptr, 0));
}

TEST(LevelCodec, NegativeCountMeansNoRecordsAndStartFollowsTheCount) {
    std::vector<uint8_t> b(512, 0);
    Put(b, 500, -5);
    Put(b, 504, 77);
    Put(b, 508, 88);
    const std::optional<TLevelData> level = DecodeLevel(b.data(), b.size());
    ASSERT_TRUE(level);
    EXPECT_TRUE(level->Enemies.empty());
    EXPECT_EQ(level->StartX, 77);
    EXPECT_EQ(level->StartY, 88);
}

TEST(LevelCodec, HugeCountInASmallFileCostsNothing) {
    for (int32_t n : {2000000000, 0x7fffffff, 12}) {
        std::vector<uint8_t> b(512 + 44 * 11, 0);
        Put(b, 500, n);
        EXPECT_FALSE(DecodeLevel(b.data(), b.size())) << n;
    }
}

TEST(LevelCodec, BytesPastTheLayoutAreIgnored) {
    TLevelData level;
    level.Enemies = {Distinct(3)};
    level.StartX = 19;
    level.StartY = 20;
    std::vector<uint8_t> b = EncodeLevel(level);
    b.insert(b.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9});
    const std::optional<TLevelData> back = DecodeLevel(b.data(), b.size());
    ASSERT_TRUE(back);
    ASSERT_EQ(back->Enemies.size(), 1u);
    EXPECT_TRUE(Same(back->Enemies[0], level.Enemies[0]));
    EXPECT_EQ(back->StartX, 19);
    EXPECT_EQ(back->StartY, 20);
}

}  // namespace
}  // namespace blubbi
