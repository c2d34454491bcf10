// Items and points: falling onto block tops, falling out, collecting, and what one enemy is worth.
#include "tests/support/PlayFixture.h"

namespace blubbi {
namespace {

using namespace blubbi::test;

struct Items : PlayFixture {
    TItem& AddItem(int32_t x, int32_t y) {
        TItem* item = Game.Items->Append();
        item->X = x;
        item->Y = y;
        return *item;
    }
    TItem& I(int i) { return (*Game.Items)[i]; }
};

TEST_F(Items, FallFasterEachFrameAndCanBeTakenOnlyOnceResting) {
    AddItem(40, 100);  // straight above the player standing at the start
    std::vector<int> falls;
    for (int i = 0; i < 14; ++i) {
        const int before = I(0).Y;
        Tick();
        falls.push_back(I(0).Y - before);
        ASSERT_EQ(Game.Score, 0) << "taken while falling, frame " << i;
    }
    EXPECT_EQ(falls, (std::vector<int>{2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28}));
    Tick();  // lands on the floor inside the player's box
    EXPECT_EQ(I(0).Y, 361 - 34);
    EXPECT_EQ(I(0).SpeedY, 0);
    EXPECT_EQ(I(0).Collected, 1);
    EXPECT_EQ(Game.Score, 20);
    EXPECT_EQ(SentCount("play sammeln from 0"), 1);
}

TEST_F(Items, TouchingARestingItemGivesTwentyPointsOnce) {
    ParkPlayer();
    AddItem(200, 327);
    Ticks(3);
    EXPECT_EQ(I(0).Y, 327);
    EXPECT_EQ(Game.Score, 0);
    Game.PlayerX = 180;
    Game.PlayerY = 315;
    Ticks(5);
    EXPECT_EQ(Game.Score, 20);
    EXPECT_TRUE(Platform.Log.SpriteRows.empty());  // collected: no longer drawn
}

TEST_F(Items, OverAColumnWithoutABlockTopFallsRoundForEver) {
    ParkPlayer();
    for (int c = 10; c <= 12; ++c) Cell(c, 19, 0);
    AddItem(200, 300);
    for (int i = 0; i < 40 && I(0).Y >= 0; ++i) Tick();
    EXPECT_EQ(I(0).Y, -34);
    EXPECT_EQ(I(0).SpeedY, 0);
}

TEST_F(Items, FallThroughAStackOfBlocksToTheNextTopWithAFreeCellAbove) {
    ParkPlayer();
    for (int r = 10; r <= 12; ++r) Cell(10, r, 1);
    AddItem(190, 209 - 34);  // its footing starts at the seam of rows 10 and 11
    Ticks(20);
    EXPECT_EQ(I(0).Y, 361 - 34);
}

TEST_F(Items, AnimateThroughTenFramesAndAreDrawnWhereTheyWereBeforeFalling) {
    ParkPlayer();
    AddItem(200, 300);
    std::vector<int> frames;
    Tick();
    EXPECT_EQ(Platform.Log.SpriteRows.at(0).Y, Game.PlayFieldY + 300);
    EXPECT_EQ(Platform.Log.SpriteRows.at(0).FrameCount, 10);
    frames.push_back(Platform.Log.SpriteRows.at(0).Frame);
    for (int i = 0; i < 10; ++i) {
        Tick();
        frames.push_back(Platform.Log.SpriteRows.at(0).Frame);
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
}

// The whole road: spit, trap, burst by touch, pop, the item falls and is collected.
TEST_F(Items, AnEnemyBringsThirtyOnePoints) {
    TEnemy& g = AddEnemy(kGeist, 110, 300);
    g.DirX = g.Aux = 1;  // hovering
    g.Timer = 1000000;
    Tick();
    Game.KeyFire = 1;
    Tick();
    Game.KeyFire = 0;
    ASSERT_EQ((*Game.Enemies)[0].Trapped, 1);
    Game.KeyRight = 1;
    for (int i = 0; i < 40 && !Game.EndCheckPending; ++i) Tick();
    ASSERT_EQ((*Game.Enemies)[0].Removed, 1);
    EXPECT_EQ(Game.Score, 11);
    EXPECT_EQ(Game.Items->Count, 1);
    Game.KeyRight = 0;
    Game.KeyLeft = 1;
    for (int i = 0; i < 60 && Game.Score < 31; ++i) Tick();
    EXPECT_EQ(Game.Score, 31);
}

}  // namespace
}  // namespace blubbi
