// The player: jump heights and rhythm, walking and turning, walls, ledges, falling out, spitting.
#include <climits>

#include "tests/support/PlayFixture.h"

namespace blubbi {
namespace {

using namespace blubbi::test;

struct Player : PlayFixture {
    void SetUp() override {
        PlayFixture::SetUp();
        Tick();  // the player finds the floor under the start position
    }
};

TEST_F(Player, JumpFromTheFloorRisesExactlyHundredPixelsAndComesBack) {
    Game.KeyJump = 1;
    std::vector<int> moves;
    int previous = Game.PlayerY;
    for (int i = 0; i < 20; ++i) {
        Tick();
        Game.KeyJump = 0;
        moves.push_back(Game.PlayerY - previous);
        previous = Game.PlayerY;
    }
    const std::vector<int> expected{-19, -17, -15, -13, -11, -9, -7, -5, -3, -1, 1, 3, 5, 7, 9, 11, 13, 15, 17, 19};
    EXPECT_EQ(moves, expected);
    EXPECT_EQ(Game.PlayerY, 315);
    EXPECT_EQ(SentCount("play springen from 0"), 1);
}

TEST_F(Player, HeldUpArrowJumpsEveryTwentyOneFrames) {
    Game.KeyJump = 1;
    std::vector<int> jumpFrames;
    for (int frame = 0; frame < 90; ++frame) {
        const size_t before = Platform.Sent.size();
        Tick();
        for (size_t i = before; i < Platform.Sent.size(); ++i)
            if (Platform.Sent[i] == "play springen from 0") jumpFrames.push_back(frame);
    }
    EXPECT_EQ(jumpFrames, (std::vector<int>{0, 21, 42, 63, 84}));
}

TEST_F(Player, TurningTakesAFrameThenWalksTenPixels) {
    Game.PlayerX = 200;
    Game.KeyLeft = 1;
    Tick();
    EXPECT_EQ(Game.FacingLeft, 1);
    EXPECT_EQ(Game.PlayerX, 200);
    EXPECT_EQ(Game.WalkFrame, 0);
    Ticks(2);
    EXPECT_EQ(Game.PlayerX, 180);
    EXPECT_EQ(Game.WalkFrame, 2);
    Ticks(2);
    EXPECT_EQ(Game.WalkFrame, 0);  // four frames in the cycle
}

TEST_F(Player, BothArrowsEndFacingRightAfterOneStepLeft) {
    Game.PlayerX = 200;
    Game.FacingLeft = 1;
    Game.KeyLeft = Game.KeyRight = 1;
    Tick();
    EXPECT_EQ(Game.PlayerX, 190);
    EXPECT_EQ(Game.FacingLeft, 0);
    Tick();  // facing right: left only turns, right turns back
    EXPECT_EQ(Game.PlayerX, 190);
    EXPECT_EQ(Game.FacingLeft, 0);
}

TEST_F(Player, WallStopsTheStepWithTheBoxTouchingIt) {
    Game.PlayerX = 25;  // column 0 ends at pixel 18
    Game.FacingLeft = 1;
    Game.KeyLeft = 1;
    Tick();
    EXPECT_EQ(Game.PlayerX, 19);
    EXPECT_EQ(Game.WalkFrame, 0);  // a step cut short does not animate
}

TEST_F(Player, OnlyTheLowerTwentyFourRowsMeetWalls) {
    Game.FacingLeft = 1;
    Game.KeyLeft = 1;
    Cell(5, 16, 1);  // rows 304..322: beside the upper 22 rows of a player at 315
    Game.PlayerX = 120;
    Tick();
    EXPECT_EQ(Game.PlayerX, 110);
    Cell(5, 16, 0);
    Cell(5, 17, 1);  // rows 323..341: beside the lower rows
    Game.PlayerX = 120;
    Tick();
    EXPECT_EQ(Game.PlayerX, 114);
}

TEST_F(Player, StandsOnTheMiddleTwentyNineColumnsOnly) {
    Cell(5, 10, 1);  // a single block, top at y 190, columns 95..113
    Game.PlayerY = 144;
    Game.PlayerX = 61;  // rightmost foot column 95 is over it
    Tick();
    EXPECT_EQ(Game.PlayerY, 144);
    Game.PlayerX = 60;  // only the six outer columns 95..100 are over it
    Tick();
    EXPECT_GT(Game.PlayerY, 144);
}

TEST_F(Player, SeamBetweenStackedBlocksIsNoFloor) {
    Cell(10, 10, 1);
    Cell(10, 11, 1);  // the seam lies at y 209
    Game.PlayerX = 180;
    Game.PlayerY = 209 - 46;
    Tick();
    EXPECT_GT(Game.PlayerY, 163);
}

TEST_F(Player, RisesThroughBlocksAndLandsOnTheirTop) {
    for (int c = 1; c < 24; ++c) Cell(c, 14, 1);  // a shelf, top at y 266, 95 above the floor
    Game.KeyJump = 1;
    Tick();
    Game.KeyJump = 0;
    Ticks(30);
    EXPECT_EQ(Game.PlayerY, 266 - 46);
}

TEST_F(Player, FallsOutAtTheBottomAndComesBackAboveTheTop) {
    Cell(2, 19, 0);
    Cell(3, 19, 0);  // a gap of 38 pixels under the feet
    Game.PlayerX = 38;
    int frames = 0;
    while (Game.PlayerY >= 0 && frames < 100) {
        Tick();
        ++frames;
    }
    EXPECT_EQ(Game.PlayerY, -45);
    EXPECT_EQ(Game.VelY, 0);
    EXPECT_EQ(Game.PlayerX, 38);
}

TEST_F(Player, HoldingSpaceForOnePointTwoSecondsSpitsThreeBubbles) {
    Game.KeyFire = 1;
    Ticks(48);  // 1.2 s
    EXPECT_EQ(SentCount("play blasen from 0"), 3);
    Game.FormKeyUp(VK_SPACE);
    EXPECT_EQ(Game.LastFireTick, 0u);
    Game.FormKeyDown(VK_SPACE);
    Tick();
    EXPECT_EQ(SentCount("play blasen from 0"), 4);  // a new press spits at once
}

TEST_F(Player, BubbleStartsBesideTheBoxOnTheFacingSide) {
    Game.PlayerX = 200;
    Game.KeyFire = 1;
    Game.InputPhase();
    const TBubble right = *Game.CurrentBubble;
    EXPECT_EQ(right.X, 241);
    EXPECT_EQ(right.Y, Game.PlayerY);
    EXPECT_EQ(right.SpeedX, 25);
    EXPECT_EQ(right.SpawnTick, Platform.Clock);
    Game.FacingLeft = 1;
    Game.LastFireTick = 0;
    Game.InputPhase();
    EXPECT_EQ(Game.CurrentBubble->X, 161);
    EXPECT_EQ(Game.CurrentBubble->SpeedX, -25);
}

TEST_F(Player, DrawnMirroredWhenFacingLeft) {
    Game.FacingLeft = 1;
    Tick();
    ASSERT_TRUE(PlayerDrawn());
    const auto& c = Platform.Log.Sprites.front();
    EXPECT_TRUE(c.Mirrored);
    EXPECT_EQ(c.X, Game.PlayFieldX + Game.PlayerX);
    EXPECT_EQ(c.FrameCount, 4);
}

TEST_F(Player, PositionsAtTheEndsOfTheIntegerRangeMoveWithoutOverflow) {
    const int32_t corners[][2] = {{INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MAX - 50}};
    for (const auto& [x, y] : corners) {
        Game.PlayerX = Game.StartX = x;
        Game.PlayerY = Game.StartY = y;
        Game.KeyFire = Game.KeyJump = 1;
        Game.KeyRight = x > 0;
        Game.KeyLeft = x < 0;
        for (int i = 0; i < 100; ++i) {
            Tick();
            Game.LastFireTick = 0;
        }
        EXPECT_TRUE(Game.PlayerY >= -45 || Game.PlayerY < -1000000);
    }
}

}  // namespace
}  // namespace blubbi
