// The designers' checks on hand-made levels, good and bad, down to the edges of the player's footing.
#include <gtest/gtest.h>

#include <string>

#include "tools/level/LevelCheck.h"

namespace blubbi::leveltool {
namespace {

TLevelData Bordered() {
    TLevelData level;
    for (int col = 0; col < 25; ++col)
        for (int row = 0; row < 20; ++row)
            level.Grid[size_t(col * 20 + row)] = (col == 0 || col == 24 || row == 0 || row == 19) ? 1 : 0;
    level.StartX = 38;
    level.StartY = 315;
    return level;
}

void Set(TLevelData& level, int col, int row, uint8_t v = 1) { level.Grid[size_t(col * 20 + row)] = v; }

TEnemy Enemy(int32_t kind, int32_t w, int32_t h, int32_t x, int32_t y) {
    TEnemy e{};
    e.Kind = kind;
    e.Width = w;
    e.Height = h;
    e.X = x;
    e.Y = y;
    return e;
}

bool Mentions(const std::vector<std::string>& found, const std::string& part) {
    for (const std::string& f : found)
        if (f.find(part) != std::string::npos) return true;
    return false;
}

TEST(LevelCheck, AGoodLevelHasNoFindings) {
    TLevelData level = Bordered();
    level.Enemies.push_back(Enemy(kBlauesMaennel, 30, 40, 300, 361 - 41));
    level.Enemies.push_back(Enemy(kFeder, 46, 60, 200, 361 - 61));
    level.Enemies.push_back(Enemy(kRotesMonster, 44, 50, 100, 361 - 51));
    level.Enemies.push_back(Enemy(kGeist, 50, 40, 250, 100));
    EXPECT_TRUE(CheckLevel(level).empty()) << CheckLevel(level).front();
}

TEST(LevelCheck, StartInTheAirIsFound) {
    TLevelData level = Bordered();
    level.StartY = 300;
    const auto found = CheckLevel(level);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], "start position (38, 300): the player does not stand on a block top with a free cell above it");
}

TEST(LevelCheck, StartOnAFloorWithABlockAboveItIsFound) {
    TLevelData level = Bordered();
    // The player at (38, 315) stands on cells 2 and 3 of row 19; stacking blocks on both takes the floor away.
    Set(level, 2, 18);
    Set(level, 3, 18);
    const auto found = CheckLevel(level);
    EXPECT_TRUE(Mentions(found, "does not stand"));
    EXPECT_TRUE(Mentions(found, "inside a block"));
}

TEST(LevelCheck, OneFreeTopUnderTheFeetIsEnough) {
    TLevelData level = Bordered();
    Set(level, 2, 19, 0);
    EXPECT_TRUE(CheckLevel(level).empty());
    Set(level, 3, 19, 0);
    EXPECT_TRUE(Mentions(CheckLevel(level), "does not stand"));
}

TEST(LevelCheck, StartInsideABlockIsFound) {
    TLevelData level = Bordered();
    Set(level, 3, 16);
    const auto found = CheckLevel(level);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], "start position (38, 315): the player's box is inside a block");
}

TEST(LevelCheck, TheMiddle29ColumnsOfTheFeetDecide) {
    TLevelData level = Bordered();
    for (int col = 1; col < 24; ++col) Set(level, col, 19, 0);
    Set(level, 5, 19);  // pixels 95..113 of row 19 are the only block top
    for (int32_t x : {61, 107}) {
        level.StartX = x;
        EXPECT_TRUE(CheckLevel(level).empty()) << x;
    }
    for (int32_t x : {60, 108}) {
        level.StartX = x;
        EXPECT_TRUE(Mentions(CheckLevel(level), "does not stand")) << x;
    }
}

TEST(LevelCheck, StartMustBeOnACellTop) {
    TLevelData level = Bordered();
    level.StartY = 314;
    EXPECT_TRUE(Mentions(CheckLevel(level), "does not stand"));
    level.StartY = 316;
    EXPECT_TRUE(Mentions(CheckLevel(level), "does not stand"));
    EXPECT_TRUE(Mentions(CheckLevel(level), "inside a block"));
}

TEST(LevelCheck, ABlockInRowZeroCarriesNobody) {
    TLevelData level = Bordered();
    level.StartY = 0 - 46;
    EXPECT_TRUE(Mentions(CheckLevel(level), "does not stand"));
}

TEST(LevelCheck, StartInsideAnEnemyIsFound) {
    TLevelData level = Bordered();
    level.Enemies.push_back(Enemy(kBlauesMaennel, 30, 40, 38 + 41, 361 - 41));  // one pixel clear
    EXPECT_TRUE(CheckLevel(level).empty());
    level.Enemies[0].X = 38 + 40;  // the boxes share a column
    const auto found = CheckLevel(level);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], "start position (38, 315): the player starts inside enemy 1 (Blaues Männel at 78, 320)");
}

TEST(LevelCheck, EnemiesStuckInBlocksAreFoundButGhostsFlyThrough) {
    TLevelData level = Bordered();
    level.Enemies.push_back(Enemy(kBlauesMaennel, 30, 40, 300, 361 - 40));  // one pixel into the floor
    level.Enemies.push_back(Enemy(kGeist, 50, 40, 300, 330));
    level.Enemies.push_back(Enemy(kFeder, 46, 60, 200, 100));
    Set(level, 11, 8);
    const auto found = CheckLevel(level);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], "enemy 1 (Blaues Männel at 300, 321): stuck inside a block");
    EXPECT_EQ(found[1], "enemy 3 (Feder at 200, 100): stuck inside a block");
}

TEST(LevelCheck, UnknownKindsAndWrongSizesAreFound) {
    TLevelData level = Bordered();
    level.Enemies.push_back(Enemy(7, 30, 40, 300, 100));
    level.Enemies.push_back(Enemy(kRotesMonster, 44, 49, 200, 100));
    level.Enemies.push_back(Enemy(kGeist, 40, 50, 100, 100));
    const auto found = CheckLevel(level);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(
        found[0],
        "enemy 1 (kind 7 at 300, 100): unknown kind 7; the game neither moves nor draws it, yet it hurts the player");
    EXPECT_EQ(found[1], "enemy 2 (Rotes Monster at 200, 100): size 44 x 49 differs from its kind's 44 x 50");
    EXPECT_EQ(found[2], "enemy 3 (Geist at 100, 100): size 40 x 50 differs from its kind's 50 x 40");
}

TEST(LevelCheck, EnemiesOutsideThePlayFieldAreFound) {
    TLevelData level = Bordered();
    level.Enemies.push_back(Enemy(kGeist, 50, 40, 424, 100));  // right edge at 474, still inside
    EXPECT_TRUE(CheckLevel(level).empty());
    level.Enemies[0].X = 425;
    EXPECT_TRUE(Mentions(CheckLevel(level), "outside the play field"));
    level.Enemies[0].X = 100;
    level.Enemies[0].Y = -1;
    EXPECT_TRUE(Mentions(CheckLevel(level), "outside the play field"));
}

TEST(LevelCheck, ExtremeCoordinatesDoNotOverflow) {
    TLevelData level = Bordered();
    level.StartX = INT32_MAX;
    level.StartY = INT32_MAX;
    level.Enemies.push_back(Enemy(kFeder, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MIN));
    const auto found = CheckLevel(level);
    EXPECT_TRUE(Mentions(found, "does not stand"));
    EXPECT_TRUE(Mentions(found, "outside the play field"));
}

}  // namespace
}  // namespace blubbi::leveltool
