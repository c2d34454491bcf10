// Bubbles: flight and rise, trapping, the three ways to burst, pop and release, the shared flag, drawing.
#include <climits>

#include "tests/support/PlayFixture.h"

namespace blubbi {
namespace {

using namespace blubbi::test;

constexpr TColor kYellow = RGB(255, 255, 0), kOrange = RGB(255, 128, 0);

struct Bubbles : PlayFixture {
    void SetUp() override {
        PlayFixture::SetUp();
        ParkPlayer();
    }
    TBubble& B(int i) { return (*Game.Bubbles)[i]; }
    TEnemy& E(int i) { return (*Game.Enemies)[i]; }
    TEnemy& AddHoveringGeist(int32_t x, int32_t y) {
        TEnemy& g = AddEnemy(kGeist, x, y);
        g.DirX = g.Aux = 1;
        g.Timer = 1000000;
        return g;
    }
    // A bubble that already holds a new hovering "Geist".
    TBubble& AddFullBubble(int32_t x, int32_t y, int32_t speedX) {
        TEnemy& g = AddHoveringGeist(x, y);
        g.Trapped = 1;
        const int32_t index = Game.Enemies->Count - 1;
        TBubble& b = AddBubble(x, y, speedX);
        b.HasEnemy = 1;
        b.EnemyIndex = index;
        return b;
    }
    // Runs the bubble phase alone on a fresh picture.
    void Phase(bool withPicture = true) {
        Platform.Log.Clear();
        Game.BackBuffer.reset();
        if (withPicture) Game.BackBuffer = Platform.NewPicture(Platform.Width, Platform.Height);
        Game.BubblePhase();
    }
};

TEST_F(Bubbles, FlySlowerEachFrameThenRiseFourPixelsAFrame) {
    AddBubble(100, 200, 25);
    std::vector<int> dx, dy;
    for (int i = 0; i < 8; ++i) {
        const int x = B(0).X, y = B(0).Y;
        Tick();
        dx.push_back(B(0).X - x);
        dy.push_back(B(0).Y - y);
    }
    EXPECT_EQ(std::vector<int>(dx.begin(), dx.begin() + 5), (std::vector<int>{25, 20, 15, 10, 5}));
    EXPECT_EQ(dy, (std::vector<int>{0, 0, 0, 0, 0, -4, -4, -4}));
    for (int i = 5; i < 8; ++i) EXPECT_LE(std::abs(dx[i]), 1);  // at most a drift
}

TEST_F(Bubbles, BlockedSidewaysStillSlowsDownAndRisesAfterFiveFrames) {
    AddBubble(400, 200, 25);
    std::vector<int> speeds;
    for (int i = 0; i < 5; ++i) {
        Tick();
        speeds.push_back(B(0).SpeedX);
        EXPECT_EQ(B(0).X, 417);  // the right border begins at 456
    }
    EXPECT_EQ(speeds, (std::vector<int>{20, 15, 10, 5, 0}));
    Tick();
    EXPECT_EQ(B(0).Y, 196);
}

TEST_F(Bubbles, SpatAgainstAWallBurstsAtOnceAndGivesOnePointFiveFramesLater) {
    Game.PlayerX = Game.StartX = 19;
    Game.PlayerY = Game.StartY = 315;
    Game.FacingLeft = 1;
    AddHoveringGeist(-40, 300);  // inside the wall, where the bubble appears
    Game.KeyFire = 1;
    Tick();
    Game.KeyFire = 0;
    EXPECT_EQ(B(0).BurstStep, 1);
    EXPECT_EQ(SentCount("play platzen from 0"), 0);
    Tick();
    EXPECT_EQ(SentCount("play platzen from 0"), 1);
    Ticks(3);
    EXPECT_EQ(Game.Score, 0);
    Tick();
    EXPECT_EQ(Game.Score, 1);
    EXPECT_EQ(Game.Bubbles->Count, 0);
    EXPECT_EQ(E(0).Trapped, 0);
}

TEST_F(Bubbles, FlyingBubbleTrapsOnlyTheFirstFreeEnemyItMeets) {
    AddHoveringGeist(110, 200);
    AddHoveringGeist(120, 210);
    AddBubble(100, 200, 25);
    Tick();
    EXPECT_EQ(B(0).HasEnemy, 1);
    EXPECT_EQ(B(0).EnemyIndex, 0);
    EXPECT_EQ(E(0).Trapped, 1);
    EXPECT_EQ(E(1).Trapped, 0);
}

TEST_F(Bubbles, BubbleAtRestPassesOverEnemies) {
    AddHoveringGeist(110, 200);
    AddBubble(100, 200, 0);
    Ticks(3);
    EXPECT_EQ(B(0).HasEnemy, 0);
    EXPECT_EQ(E(0).Trapped, 0);
}

TEST_F(Bubbles, TrappedEnemyIsDrawnInsideAHollowBubbleInItsInBubbleLook) {
    AddFullBubble(200, 200, 0);
    Phase();
    ASSERT_EQ(Platform.Log.Sprites.size(), 1u);
    const TSpriteCall& s = Platform.Log.Sprites[0];
    EXPECT_EQ(s.Sheet, &Game.Sheets[kSlotFeind2]);
    EXPECT_EQ(s.X, Game.PlayFieldX + 200 + 19 - 25);
    EXPECT_EQ(s.Y, Game.PlayFieldY + 200 + 19 - 20);
    EXPECT_TRUE(s.InBubble);
    EXPECT_EQ(s.Frame, 0);
    ASSERT_EQ(Platform.Log.Ellipses.size(), 1u);
    EXPECT_TRUE(Platform.Log.Ellipses[0].Hollow);
    EXPECT_EQ(Platform.Log.Arcs, 1);
}

TEST_F(Bubbles, FullBubbleDoesNotBurstOnBlocksButAnEmptyOneDoes) {
    AddFullBubble(-20, 200, 0);
    AddBubble(-20, 100, 0);
    Tick();
    EXPECT_EQ(B(0).BurstStep, 0);
    EXPECT_EQ(B(1).BurstStep, 1);
}

TEST_F(Bubbles, PlayersTouchPopsTheEnemyForElevenPointsAndAnItem) {
    AddFullBubble(300, 200, 25);
    Game.PlayerX = 280;
    Game.PlayerY = 190;
    Tick();
    EXPECT_EQ(B(0).BurstStep, 1);
    Ticks(4);
    EXPECT_EQ(Game.Score, 0);
    Tick();
    EXPECT_EQ(Game.Score, 11);
    EXPECT_EQ(E(0).Removed, 1);
    EXPECT_EQ(E(0).Trapped, 0);
    EXPECT_EQ(Game.EndCheckPending, 1);
    ASSERT_EQ(Game.Items->Count, 1);
    EXPECT_EQ((*Game.Items)[0].X, 303);
    EXPECT_EQ((*Game.Items)[0].Y, 203);
}

TEST_F(Bubbles, TimeRunningOutReleasesTheEnemyAtTheCentreForOnePoint) {
    TBubble& b = AddFullBubble(200, 200, 25);
    b.SpawnTick = Platform.Clock + 25 - 10000;
    Tick();
    EXPECT_EQ(B(0).BurstStep, 1);
    EXPECT_EQ(Game.BurstByTouch, 0);
    Ticks(5);
    EXPECT_EQ(Game.Score, 1);
    EXPECT_EQ(E(0).Trapped, 0);
    EXPECT_EQ(E(0).Removed, 0);
    EXPECT_EQ(E(0).X, 194);
    EXPECT_EQ(E(0).Y, 199);
    EXPECT_EQ(Game.Items->Count, 0);
}

TEST_F(Bubbles, TurnsOrangeAfterNineSecondsAndBurstsAtTen) {
    TBubble& b = AddBubble(200, 200, 0);
    b.SpawnTick = Platform.Clock - 8999;
    Phase();
    EXPECT_EQ(Platform.Log.Ellipses.at(0).Pen, kYellow);
    Platform.Clock += 1;
    Phase();
    EXPECT_EQ(Platform.Log.Ellipses.at(0).Pen, kOrange);
    EXPECT_EQ(B(0).BurstStep, 0);
    Platform.Clock += 1000;
    Phase();
    EXPECT_EQ(B(0).BurstStep, 1);
}

TEST_F(Bubbles, BurstCircleShrinksThenShowsRadiusTwentyFive) {
    const std::pair<int, int> expected[] = {{17, 20}, {13, 16}, {9, 12}, {5, 8}, {25, 25}};
    for (int run = 0; run < 20; ++run) {
        Game.Bubbles->Clear();
        AddBubble(-20, 200, 0);  // in the wall: it starts to burst in the first phase
        for (const auto& [low, high] : expected) {
            const int x = B(0).X;  // drawn before it drifts
            Phase();
            ASSERT_EQ(Platform.Log.Ellipses.size(), 1u);
            const TEllipseCall& e = Platform.Log.Ellipses[0];
            const int r = (e.X2 - e.X1) / 2;
            EXPECT_EQ(e.X1 + r, Game.PlayFieldX + x + 19);
            EXPECT_GE(r, low);
            EXPECT_LE(r, high);
            const int v = GetRValue(e.Brush);
            EXPECT_TRUE(v >= 64 && v < 128 && GetGValue(e.Brush) == v && GetBValue(e.Brush) == 0);
        }
        Phase();
        EXPECT_EQ(Game.Bubbles->Count, 0);
    }
}

TEST_F(Bubbles, TheSharedFlagLetsALaterTimeoutReleaseATouchedBubblesEnemy) {
    AddFullBubble(300, 200, 25);  // P: the player touches it now
    TBubble& t = AddBubble(100, 100, 0);
    t.SpawnTick = Platform.Clock + 50 - 10000;  // T: its time runs out one frame later
    Game.PlayerX = 280;
    Game.PlayerY = 190;
    Ticks(6);
    EXPECT_EQ(E(0).Removed, 0);  // P ended with the flag T left: released, not popped
    EXPECT_EQ(E(0).Trapped, 0);
    EXPECT_EQ(Game.Score, 1);
}

TEST_F(Bubbles, TheSharedFlagLetsAWallTouchPopATimedOutBubblesEnemy) {
    TBubble& t = AddFullBubble(200, 200, 25);
    t.SpawnTick = Platform.Clock + 25 - 10000;
    Tick();
    AddBubble(-20, 100, 0);  // an empty bubble in the wall
    Ticks(5);
    EXPECT_EQ(E(0).Removed, 1);
    EXPECT_EQ(Game.Score, 11);
}

TEST_F(Bubbles, RandomDrawsAreTheSameWithAndWithoutAPicture) {
    auto run = [this](bool withPicture) {
        Game.Bubbles->Clear();
        Game.Rng.Seed(42);
        AddBubble(100, 200, 0).BurstStep = 1;
        AddBubble(300, 200, 0);
        AddBubble(200, 100, 0).BurstStep = 3;
        for (int i = 0; i < 50; ++i) Phase(withPicture);
        return std::make_pair(Game.Rng.State, B(0).X);
    };
    EXPECT_EQ(run(true), run(false));
}

TEST_F(Bubbles, AnIndexThatNamesNoRecordCountsAsEmpty) {
    AddFullBubble(200, 200, 0);
    TBubble& stale = AddBubble(-20, 200, 0);  // in the wall: an empty bubble bursts there
    stale.HasEnemy = 1;
    stale.EnemyIndex = 5;
    TBubble& negative = AddBubble(200, 100, 0);
    negative.HasEnemy = 1;
    negative.EnemyIndex = -1;
    Phase();
    EXPECT_EQ(B(0).HasEnemy, 1);
    EXPECT_EQ(B(1).HasEnemy, 0);
    EXPECT_EQ(B(1).BurstStep, 1);
    EXPECT_EQ(B(2).HasEnemy, 0);
    Game.Enemies->Clear();  // the editor's new level while a bubble holds an enemy
    Ticks(8);
    EXPECT_EQ(Game.Bubbles->Count, 2);
    EXPECT_EQ(B(0).HasEnemy, 0);
}

TEST_F(Bubbles, TrappedEnemyOfAnUnknownKindIsDrawnAsNothing) {
    AddFullBubble(200, 200, 0);
    E(0).Kind = 9;
    Phase();
    EXPECT_TRUE(Platform.Log.Sprites.empty());
    ASSERT_EQ(Platform.Log.Ellipses.size(), 1u);
    EXPECT_TRUE(Platform.Log.Ellipses[0].Hollow);
}

TEST_F(Bubbles, PopAndReleaseAtTheEndsOfTheIntegerRangeStayInRange) {
    TBubble& popped = AddFullBubble(INT32_MAX - 1, INT32_MAX - 1, 25);
    popped.BurstStep = 1;
    Game.BurstByTouch = 1;
    Ticks(5);
    ASSERT_EQ(Game.Items->Count, 1);
    EXPECT_EQ((*Game.Items)[0].X, INT32_MAX);
    TBubble& released = AddFullBubble(INT32_MIN, INT32_MIN, -25);
    E(1).Width = INT32_MAX;
    E(1).Height = INT32_MAX;
    released.SpawnTick = Platform.Clock - 10000;
    Ticks(6);
    EXPECT_EQ(E(1).Trapped, 0);
    EXPECT_EQ(E(1).X, INT32_MIN);
}

}  // namespace
}  // namespace blubbi
