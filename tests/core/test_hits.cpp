// Hits and lives: the hit's frames, one hit per frame, respawn, protection, the last life.
#include "tests/support/PlayFixture.h"

namespace blubbi {
namespace {

using namespace blubbi::test;

struct Hits : PlayFixture {
    void SetUp() override {
        PlayFixture::SetUp();
        Tick();
    }
    // Kind 7 is never moved or drawn but touches like any enemy: a still, invisible attacker.
    void AddAttacker() { AddEnemy(7, Game.PlayerX, Game.PlayerY); }
};

TEST_F(Hits, TimelineOfOneHitThenTwoSecondsOfBlinking) {
    AddAttacker();
    Tick();  // frame 0: the hit
    EXPECT_FALSE(PlayerDrawn());
    EXPECT_EQ(Game.HitTimer, 2);
    (*Game.Enemies)[0].Removed = 1;
    Game.KeyLeft = 1;  // a frozen player does not walk
    for (int frame = 1; frame <= 17; ++frame) {
        Tick();
        EXPECT_EQ(Game.HitTimer, frame + 2);
        EXPECT_EQ(PlayerDrawn(), frame % 2 == 1 && frame <= 11) << "frame " << frame;
        EXPECT_EQ(Game.PlayerX, 38);
    }
    Game.KeyLeft = 0;
    Game.PlayerX = 300;
    Tick();  // frame 18: back at the start, one life less
    EXPECT_EQ(Game.HitTimer, 0);
    EXPECT_EQ(Game.Lives, 2);
    EXPECT_EQ(Game.PlayerX, Game.StartX);
    EXPECT_FALSE(PlayerDrawn());
    for (int frame = 19; frame <= 98; ++frame) {
        Tick();
        EXPECT_EQ(PlayerDrawn(), frame % 2 == 1) << "frame " << frame;
    }
    Tick();
    EXPECT_TRUE(PlayerDrawn());
    Tick();
    EXPECT_TRUE(PlayerDrawn());
}

TEST_F(Hits, TwoEnemiesInOneFrameGiveOneHitAndOneSound) {
    AddAttacker();
    AddAttacker();
    Tick();
    EXPECT_EQ(Game.HitTimer, 2);
    EXPECT_EQ(SentCount("play getroffen from 0"), 1);
}

TEST_F(Hits, NoHitDuringProtectionAndAgainFromTheFirstFrameAfterIt) {
    AddAttacker();
    Ticks(19);  // hit and respawn onto the attacker
    EXPECT_EQ(Game.Lives, 2);
    Ticks(80);  // up to 2000 ms after the respawn
    EXPECT_EQ(SentCount("play getroffen from 0"), 1);
    EXPECT_EQ(Game.HitTimer, 0);
    Tick();
    EXPECT_EQ(SentCount("play getroffen from 0"), 2);
    EXPECT_EQ(Game.HitTimer, 2);
}

TEST_F(Hits, EditorModeNeverHits) {
    Game.EditorMode = 1;
    AddAttacker();
    Ticks(5);
    EXPECT_EQ(Game.HitTimer, 0);
    EXPECT_EQ(Game.Lives, 3);
}

TEST_F(Hits, MidAirHitHangsAndRespawnsWithTheSpeedGathered) {
    Game.PlayerY = 100;
    AddEnemy(7, Game.PlayerX, 102);
    Tick();  // falls 2, then is hit
    ASSERT_EQ(Game.HitTimer, 2);
    Ticks(17);
    EXPECT_EQ(Game.PlayerY, 102);
    Tick();
    EXPECT_EQ(Game.PlayerY, Game.StartY);
    EXPECT_EQ(Game.VelY, 38);  // 2 a frame for 19 frames, not reset
}

TEST_F(Hits, LastLifeEndsInGameOverAndEndsTheFrame) {
    Game.Lives = 1;
    Game.HitTimer = 19;
    EXPECT_FALSE(Game.PlayerPhase());
    ASSERT_EQ(Platform.Dialogs.size(), 1u);
    EXPECT_EQ(Platform.Dialogs[0], "GameOver");
}

TEST_F(Hits, ProtectionIsTwoSecondsOfElapsedTimeAcrossTheCounterWrap) {
    EXPECT_FALSE(Game.Protected());  // no life lost since the level was loaded
    Game.LastHitTick = Platform.Clock - 2000;
    EXPECT_TRUE(Game.Protected());
    Game.LastHitTick = Platform.Clock - 2001;
    EXPECT_FALSE(Game.Protected());
    Game.LastHitTick = 0xFFFFFF00u;
    Platform.Clock = 0x100;
    EXPECT_TRUE(Game.Protected());
}

}  // namespace
}  // namespace blubbi
