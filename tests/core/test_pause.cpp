// Pause: no frame runs and the game's clock, with everything timed by it, stands still.
#include "tests/support/PlayFixture.h"

namespace blubbi {
namespace {

using namespace blubbi::test;

struct Pause : PlayFixture {
    void SetUp() override {
        PlayFixture::SetUp();
        ParkPlayer();
    }
    // A bubble that holds a hovering "Geist" in the open, which only its time can burst.
    void TrapGeist() {
        Game.Bubbles->Clear();
        Game.Enemies->Clear();
        TEnemy& g = AddEnemy(kGeist, 200, 150);
        g.DirX = g.Aux = 1;
        g.Timer = 1000000;
        g.Trapped = 1;
        TBubble& b = AddBubble(200, 150, 0);
        b.HasEnemy = 1;
        b.EnemyIndex = Game.Enemies->Count - 1;
    }
    bool Held() { return Game.Enemies->Count == 1 && (*Game.Enemies)[0].Trapped != 0; }
    // Frames until the enemy is let go, at most `limit`.
    int FramesUntilReleased(int limit) {
        int frames = 0;
        while (Held() && frames < limit) {
            Tick();
            ++frames;
        }
        return frames;
    }
};

TEST_F(Pause, TrappedEnemyIsReleasedAsManyFramesAfterTheResumeAsWithoutThePause) {
    TrapGeist();
    const int unpaused = FramesUntilReleased(2000);
    ASSERT_FALSE(Held());
    ASSERT_GT(unpaused, 300);  // a bubble lasts seconds, not frames

    TrapGeist();
    Ticks(100);
    const TBubble before = (*Game.Bubbles)[0];
    const uint32_t gameClock = Platform.GetTickCount();
    const int presented = Platform.Presented;
    Game.SetPaused(true);
    Ticks(2400);  // a minute: six bubble lifetimes
    EXPECT_TRUE(Held());
    EXPECT_EQ(Platform.Presented, presented);  // no frame ran
    EXPECT_EQ(Platform.GetTickCount(), gameClock);
    EXPECT_EQ((*Game.Bubbles)[0].X, before.X);
    EXPECT_EQ((*Game.Bubbles)[0].Y, before.Y);
    Game.SetPaused(false);
    EXPECT_EQ(100 + FramesUntilReleased(2000), unpaused);
}

TEST_F(Pause, LevelTimerLoadsTheNextLevelAsManyTicksAfterTheResumeAsItHadLeft) {
    Game.SetTimer2(true);
    Ticks(40);  // one second of its three
    Game.SetPaused(true);
    Ticks(400);
    EXPECT_EQ(Game.Timer2Enabled, 1);
    Game.SetPaused(false);
    int ticks = 0;
    while (Game.Timer2Enabled && ticks < 1000) {
        Tick();
        ++ticks;
    }
    EXPECT_EQ(40 + ticks, static_cast<int>(kOneShotIntervalMs / kFrameIntervalMs));
}

TEST_F(Pause, MusicHoldsWhilePausedAndOnlyWhenItIsOn) {
    Game.MusicEnabled = 1;
    Game.SetPaused(true);
    Game.SetPaused(true);
    Game.SetPaused(false);
    EXPECT_EQ(Platform.Sent, (std::vector<std::string>{"pause musik", "resume musik"}));
    Platform.Sent.clear();
    Game.MusicEnabled = 0;
    Game.PauseToggle();
    Game.PauseToggle();
    EXPECT_TRUE(Platform.Sent.empty());
}

}  // namespace
}  // namespace blubbi
