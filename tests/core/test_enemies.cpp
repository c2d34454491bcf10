// Enemies: each kind's movement, walls, jumps and turns, falling out, editor mode, odd records.
#include <climits>
#include <cstring>

#include "game/Geometry.h"
#include "tests/support/PlayFixture.h"

namespace blubbi {
namespace {

using namespace blubbi::test;

constexpr int32_t kNoChange = 1000000;  // a Timer that keeps random changes away for the test

struct Enemies : PlayFixture {
    void SetUp() override {
        PlayFixture::SetUp();
        ParkPlayer();
    }
    TEnemy& E(int i) { return (*Game.Enemies)[i]; }
    void Wall(int col, int fromRow) {
        for (int r = fromRow; r < 19; ++r) Cell(col, r, 1);
    }
    bool SheetDrawn(int slot) const {
        for (const auto& c : Platform.Log.Sprites)
            if (c.Sheet == &Game.Sheets[slot]) return true;
        return false;
    }
};

TEST_F(Enemies, FederOnAFlatFloorRisesNinetyPixelsAndTakesOffEveryTwentyFrames) {
    AddEnemy(kFeder, 200, 300);  // standing: 300 + 60 + 1 = 361, the floor's top
    std::vector<int> takeOffs;
    int highest = 300;
    for (int frame = 0; frame < 70; ++frame) {
        const int before = SentCount("play feder from 0");
        Tick();
        if (SentCount("play feder from 0") > before) {
            takeOffs.push_back(frame);
            EXPECT_EQ(Platform.Log.Sprites.front().Frame, 1);  // the bounce shows frame 1
        }
        highest = std::min(highest, E(0).Y);
    }
    EXPECT_EQ(takeOffs, (std::vector<int>{0, 20, 40, 60}));
    EXPECT_EQ(highest, 210);
}

TEST_F(Enemies, FederTurnsAtAWallInTheSameFrame) {
    Wall(15, 8);  // columns 285..303
    AddEnemy(kFeder, 230, 300);
    for (int i = 0; i < 10 && E(0).DirX == 0; ++i) Tick();
    EXPECT_EQ(E(0).DirX, 1);
    EXPECT_EQ(E(0).X, 238);  // its box ends one pixel before the wall
    Tick();
    EXPECT_EQ(E(0).X, 234);
}

TEST_F(Enemies, FederPushedBackFromEitherEdgeWalksAway) {
    TEnemy& left = AddEnemy(kFeder, 5, 300);
    left.DirX = 1;
    TEnemy& right = AddEnemy(kFeder, 430, 300);
    right.DirX = 0;
    Tick();
    EXPECT_EQ(E(0).X, 23);
    EXPECT_EQ(E(0).DirX, 0);
    EXPECT_EQ(E(1).X, 406);
    EXPECT_EQ(E(1).DirX, 1);
}

TEST_F(Enemies, GeistHoversUntilARandomChangeAndAnimates) {
    TEnemy& g = AddEnemy(kGeist, 100, 100);
    g.DirX = 1;
    g.Aux = 1;
    g.Timer = kNoChange;
    std::vector<int> frames;
    for (int i = 0; i < 12; ++i) {
        Tick();
        frames.push_back(Platform.Log.Sprites.front().Frame);
    }
    EXPECT_EQ(E(0).X, 100);
    EXPECT_EQ(E(0).Y, 100);
    EXPECT_EQ(frames, (std::vector<int>{0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0}));
    EXPECT_TRUE(Platform.Log.Sprites.front().Mirrored);
}

TEST_F(Enemies, GeistStaysInsideItsAreaThroughBlocks) {
    for (int c = 1; c < 24; ++c) Cell(c, 8, 1);
    AddEnemy(kGeist, -300, 900);
    for (int i = 0; i < 3000; ++i) {
        Tick();
        ASSERT_GE(E(0).X, 19);
        ASSERT_LE(E(0).X, 437 - 50);
        ASSERT_GE(E(0).Y, 19);
        ASSERT_LE(E(0).Y, 342 - 40);
    }
}

TEST_F(Enemies, BlauesMaennelGetsOverATwoCellWallWithOneJump) {
    Wall(10, 17);  // columns 190..208, rows 323..360
    TEnemy& m = AddEnemy(kBlauesMaennel, 230, 320);
    m.Timer = kNoChange;
    Ticks(60);
    EXPECT_LT(E(0).X + 30, 190);
    EXPECT_EQ(E(0).Aux, 1);
    EXPECT_EQ(E(0).DirX, 0);
}

TEST_F(Enemies, WalkerJumpSetInOneFrameRisesEightyOnePixelsFromTheNext) {
    TEnemy& m = AddEnemy(kBlauesMaennel, 200, 320);
    m.DirX = 1;  // stands still
    m.Timer = kNoChange;
    m.SpeedY = -19;
    int highest = 320;
    for (int i = 0; i < 9; ++i) {
        Tick();
        highest = std::min(highest, E(0).Y);
    }
    EXPECT_EQ(highest, 320 - 81);
}

// Before turning back at a wall too high to jump over, a walker jumps this often.
void ExpectJumpsBeforeTurn(Enemies& t, int32_t kind, int32_t standingY, int jumps) {
    t.Wall(10, 5);
    TEnemy& w = t.AddEnemy(kind, 230, standingY);
    w.Timer = kNoChange;
    int most = 0;
    for (int i = 0; i < 300 && t.E(0).DirX == 0; ++i) {
        t.Tick();
        most = std::max(most, t.E(0).Aux);
    }
    EXPECT_EQ(most, jumps);
    EXPECT_EQ(t.E(0).DirX, 2);
    EXPECT_EQ(t.E(0).Aux, 0);
}

TEST_F(Enemies, BlauesMaennelJumpsTwiceAtAHighWallThenTurns) { ExpectJumpsBeforeTurn(*this, kBlauesMaennel, 320, 2); }

TEST_F(Enemies, RotesMonsterJumpsFourTimesAtAHighWallThenTurns) { ExpectJumpsBeforeTurn(*this, kRotesMonster, 310, 4); }

TEST_F(Enemies, RotesMonsterStandsOnlyOnItsNarrowerFooting) {
    Cell(5, 12, 1);                                              // one block, top at y 228, columns 95..113
    TEnemy& a = AddEnemy(kRotesMonster, 114 - 8 - 1, 228 - 51);  // footing starts at 113: stands
    TEnemy& b = AddEnemy(kRotesMonster, 114 - 8, 228 - 51);      // footing starts at 114: falls
    a.DirX = b.DirX = 1;
    a.Timer = b.Timer = kNoChange;
    Tick();
    EXPECT_EQ(E(0).Y, 228 - 51);
    EXPECT_GT(E(1).Y, 228 - 51);
}

TEST_F(Enemies, FallsOutAtTheBottomAndComesBackAboveTheTop) {
    for (int c = 5; c <= 7; ++c) Cell(c, 19, 0);
    TEnemy& m = AddEnemy(kBlauesMaennel, 100, 320);
    m.DirX = 1;
    m.Timer = kNoChange;
    for (int i = 0; i < 50 && E(0).Y >= 0; ++i) Tick();
    EXPECT_EQ(E(0).Y, -40);
    EXPECT_EQ(E(0).SpeedY, 0);
}

TEST_F(Enemies, TrappedAndRemovedEnemiesAreLeftAlone) {
    AddEnemy(kGeist, 100, 100).Trapped = 1;
    AddEnemy(kBlauesMaennel, 200, 100).Removed = 1;
    Tick();
    EXPECT_EQ(E(0).Y, 100);
    EXPECT_EQ(E(1).Y, 100);
    EXPECT_FALSE(SheetDrawn(kSlotFeind2));
    EXPECT_FALSE(SheetDrawn(kSlotFeind3));
}

TEST_F(Enemies, UnknownKindIsNeitherMovedNorDrawn) {
    AddEnemy(7, 100, 100);
    Tick();
    EXPECT_EQ(E(0).Y, 100);
    EXPECT_EQ(Platform.Log.Sprites.size(), 1u + 3u);  // the player and the lives only
}

TEST_F(Enemies, InTheEditorOnlyWalkersFallAndOnlyTheFederStopsAnimating) {
    Game.EditorMode = 1;
    AddEnemy(kFeder, 100, 100);
    AddEnemy(kGeist, 200, 100).DirX = 2;
    AddEnemy(kRotesMonster, 300, 100).DirX = 2;
    Ticks(6);
    EXPECT_EQ(E(0).Y, 100);
    EXPECT_EQ(E(0).X, 100);
    EXPECT_EQ(E(1).X, 200);
    EXPECT_EQ(E(1).AnimCounter, 6);
    EXPECT_EQ(E(2).X, 300);
    EXPECT_GT(E(2).Y, 100);
    EXPECT_EQ(Platform.Log.Sprites.front().Frame, 0);
}

TEST_F(Enemies, RecordsWithExtremeValuesMoveWithoutOverflowAndDrawOnlyRealFrames) {
    const int32_t values[] = {INT32_MIN, INT32_MIN + 1, -1000000, -19, 0, 19, 1000000, INT32_MAX - 1, INT32_MAX};
    for (int kind = 0; kind < 4; ++kind)
        for (int32_t v : values) {
            const auto opposite = static_cast<int32_t>(std::clamp<int64_t>(-int64_t{v}, INT32_MIN, INT32_MAX));
            TEnemy& e = AddEnemy(kind, v, opposite);
            e.Width = v;
            e.Height = opposite / 2;
            e.SpeedY = v;
            e.AnimCounter = v;
            e.Timer = v;
            e.Aux = v;
            e.DirX = kind == kGeist ? 2 : 0;
        }
    for (int i = 0; i < 200; ++i) {
        Tick();
        for (const auto& c : Platform.Log.Sprites) ASSERT_TRUE(c.Frame >= 0 && c.Frame < c.FrameCount);
    }
    EXPECT_EQ(Game.HitTimer, 0);
}

TEST_F(Enemies, TheSameSeedReplaysTheSameGame) {
    auto run = [](uint64_t seed) {
        TRecordingPlatform platform;
        platform.Seed = seed;
        platform.Dir = "/nonexistent/blubbi/";
        TMainForm game(platform);
        game.FormCreate();
        const auto grid = BorderGrid();
        std::copy(grid.begin(), grid.end(), game.Grid.begin());
        game.TransitionCounter = 0;
        for (int kind = 0; kind < 4; ++kind) *game.Enemies->Append() = MakeEnemy(kind, 60 + 90 * kind, 200);
        game.KeyFire = 1;
        for (int i = 0; i < 400; ++i) platform.Tick(game);
        std::vector<uint8_t> bytes(game.Enemies->Storage, game.Enemies->Storage + 4 * sizeof(TEnemy));
        return std::make_pair(bytes, game.Rng.State);
    };
    EXPECT_EQ(run(7), run(7));
    EXPECT_NE(run(7).second, run(8).second);
}

// The shared vertical step jumps over rows where no ground can be; it must land exactly
// where the literal pixel-by-pixel loop lands.
TEST_F(Enemies, VerticalStepLandsWhereThePixelLoopLands) {
    TRandom rng(3);
    for (int trial = 0; trial < 20000; ++trial) {
        for (auto& cell : Game.Grid) cell = rng.Random(4) == 0;
        int32_t y = rng.Random(600) - 150;
        const int32_t speed = rng.Random(90) - 30, below = rng.Random(70);
        const int64_t a = rng.Random(520) - 30, b = a + rng.Random(60) - 5;
        const TVerticalResult fast = VerticalSteps(Game.Grid, y, speed, below, a, b);
        const int32_t target = y + speed;
        bool stands = false;
        do {
            if (speed < 0) --y;
            stands = StandsAt(Game.Grid, int64_t{y} + below, a, b);
            if (!stands && speed > 0) ++y;
        } while (!((stands && speed > 0) || (speed >= 0 && y >= target) || (speed < 0 && y <= target)));
        ASSERT_EQ(fast.Y, y) << "trial " << trial;
        ASSERT_EQ(fast.Stands, stands) << "trial " << trial;
    }
}

}  // namespace
}  // namespace blubbi
