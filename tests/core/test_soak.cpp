// A long soak: random levels, random keys, mouse and menu commands for 100,000 frames.
#include <random>

#include "tests/support/GameFixture.h"

namespace blubbi {
namespace {

using namespace blubbi::test;

struct Soak : GameFixture {};

TEST_F(Soak, HundredThousandFramesOfRandomPlay) {
    std::mt19937 rng(20261207);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    // A few levels of every sort, from tidy to hostile values.
    for (int n = 1; n <= 4; ++n) {
        auto grid = BorderGrid();
        for (int i = 0; i < 80; ++i) grid[pick(500)] = static_cast<uint8_t>(pick(3));
        std::vector<TEnemy> enemies;
        for (int i = 0; i < 5 + pick(20); ++i) {
            TEnemy e = MakeEnemy(pick(4), pick(500) - 20, pick(420) - 20);
            if (pick(6) == 0) e.Kind = pick(12) - 2;
            if (pick(8) == 0) e.X = static_cast<int32_t>(rng());
            if (pick(8) == 0) e.SpeedY = static_cast<int32_t>(rng());
            if (pick(8) == 0) e.AnimCounter = static_cast<int32_t>(rng());
            if (pick(8) == 0) e.Timer = static_cast<int32_t>(rng());
            enemies.push_back(e);
        }
        WriteFile(Dir + "levels/level00" + std::to_string(n) + ".lev",
                  LevelBytes(grid, enemies, pick(440), pick(380) - 45));
    }
    Platform.GameOverAnswer = TModalResult::Ok;
    Start();
    const int32_t keys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_SPACE};
    int frames = 0, sliding = 0;
    while (frames < 100000) {
        switch (pick(40)) {
            case 0: Game.FormKeyDown(keys[pick(4)]); break;
            case 1: Game.FormKeyUp(keys[pick(4)]); break;
            case 2:
                if (pick(50) == 0)
                    for (char c : std::string("skipahead")) Game.FormKeyPress(c);
                break;
            case 3: Game.Editormodus1Click(); break;
            case 4: Game.SetInsertKind(pick(5)); break;
            case 5:
                Game.PaintBox1MouseDown(static_cast<TMouseButton>(pick(3)), pick(700), pick(450));
                Game.PaintBox1MouseMove(pick(700), pick(450));
                Game.PaintBox1MouseUp(TMouseButton::mbLeft, 0, 0);
                break;
            case 6:
                if (pick(50) == 0) Game.NeuesLevel1Click();
                break;
            case 7:
                if (pick(100) == 0) Game.NeuesSpiel1Click();
                break;
            case 8:
                Platform.Width = 300 + pick(600);
                Platform.Height = 200 + pick(400);
                break;
            default: break;
        }
        sliding += Game.TransitionCounter != 0;
        Platform.Tick(Game);
        ++frames;
    }
    EXPECT_LT(sliding, frames / 4);  // most frames really played
    EXPECT_GE(Game.Lives, 0);
    EXPECT_LE(Game.Lives, 3);
    EXPECT_GE(Game.LevelNo, 1);
}

}  // namespace
}  // namespace blubbi
