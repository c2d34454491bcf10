// Cost of the game logic per frame, headless with pictures that draw nothing, against the number of actors.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "level/LevelCodec.h"
#include "platform/headless/HeadlessPlatform.h"

namespace blubbi {
namespace {

constexpr int32_t kSizes[4][2] = {{46, 60}, {50, 40}, {30, 40}, {44, 50}};

struct TBenchGame {
    THeadlessPlatform Platform;
    TMainForm Game{Platform};

    TBenchGame() {
        Platform.Dir = "/nonexistent/blubbi-bench/";
        Game.FormCreate();
        Game.MusicEnabled = 0;
        Game.SoundEnabled = 0;
        Game.TransitionCounter = 0;
        // A bordered field with three shelves, so walkers land, jump and turn.
        for (int c = 0; c < kCols; ++c)
            for (int r = 0; r < kRows; ++r) Game.Grid[c * kRows + r] = (c == 0 || c == 24 || r == 0 || r == 19) ? 1 : 0;
        for (int c = 3; c < 10; ++c) Game.Grid[c * kRows + 14] = 1;
        for (int c = 14; c < 22; ++c) Game.Grid[c * kRows + 9] = 1;
        for (int c = 6; c < 18; ++c) Game.Grid[c * kRows + 5] = 1;
    }

    void Fill(int enemies, int bubbles, int items) {
        Game.Enemies->Clear();
        Game.Bubbles->Clear();
        Game.Items->Clear();
        Game.HitTimer = 0;
        Game.LastHitTick = Platform.Clock;  // protected: the frames measure movement, not respawns
        for (int i = 0; i < enemies; ++i) {
            TEnemy* e = Game.Enemies->Append();
            const int kind = i % 4;
            e->Kind = kind;
            e->Width = kSizes[kind][0];
            e->Height = kSizes[kind][1];
            e->X = 20 + (i * 37) % 380;
            e->Y = 20 + (i * 53) % 280;
            e->DirX = kind == 0 ? i % 2 : 2 * (i % 2);
        }
        for (int i = 0; i < bubbles; ++i) {
            TBubble* b = Game.Bubbles->Append();
            b->X = 30 + (i * 41) % 390;
            b->Y = 30 + (i * 29) % 300;
            b->SpeedX = i % 2 ? 25 : -25;
            b->SpawnTick = Platform.Clock;
        }
        for (int i = 0; i < items; ++i) {
            TItem* item = Game.Items->Append();
            item->X = 25 + (i * 31) % 400;
            item->Y = 25 + (i * 43) % 300;
        }
    }
};

// Whole frames; the level is laid out again every 40 frames so bubbles keep flying and trapping.
void BM_Frame(benchmark::State& state) {
    TBenchGame b;
    const int enemies = static_cast<int>(state.range(0));
    b.Fill(enemies, enemies / 2, enemies / 2);
    int frame = 0;
    for (auto _ : state) {
        b.Platform.Tick(b.Game);
        if (++frame % 40 == 0) {
            state.PauseTiming();
            b.Fill(enemies, enemies / 2, enemies / 2);
            state.ResumeTiming();
        }
    }
    state.SetComplexityN(enemies);
}
BENCHMARK(BM_Frame)->Arg(25)->Arg(50)->Arg(100)->Arg(200)->Arg(400)->Arg(800)->Complexity();

// The enemy phase alone: every enemy moves, draws and is tested against the player once.
void BM_EnemyPhase(benchmark::State& state) {
    TBenchGame b;
    const int enemies = static_cast<int>(state.range(0));
    b.Fill(enemies, 0, 0);
    for (auto _ : state) b.Game.EnemyPhase();
    state.SetComplexityN(enemies);
}
BENCHMARK(BM_EnemyPhase)->RangeMultiplier(2)->Range(32, 1024)->Complexity(benchmark::oN);

// Flying bubbles that meet no enemy walk the whole enemy list each: bubbles x enemies.
void BM_TrapScan(benchmark::State& state) {
    TBenchGame b;
    const int bubbles = static_cast<int>(state.range(0)), enemies = static_cast<int>(state.range(1));
    b.Fill(enemies, bubbles, 0);
    for (int i = 0; i < enemies; ++i) (*b.Game.Enemies)[i].Y = -10000;  // out of every bubble's way
    for (auto _ : state) {
        for (int i = 0; i < bubbles; ++i) {
            TBubble& bubble = (*b.Game.Bubbles)[i];
            bubble.X = 200;
            bubble.SpeedX = 25;
            bubble.SpawnTick = b.Platform.Clock;
        }
        b.Game.BubblePhase();
    }
    state.SetComplexityN(int64_t{bubbles} * enemies);
}
BENCHMARK(BM_TrapScan)->Args({50, 100})->Args({50, 400})->Args({200, 100})->Args({200, 400})->Complexity();

// Loading a level of many enemies: the list takes them in one block, so the cost grows linearly.
void BM_ApplyLevel(benchmark::State& state) {
    TBenchGame b;
    TLevelData level;
    std::copy(b.Game.Grid.begin(), b.Game.Grid.end(), level.Grid.begin());
    level.StartX = 38;
    level.StartY = 315;
    level.Enemies.resize(static_cast<size_t>(state.range(0)));
    for (size_t i = 0; i < level.Enemies.size(); ++i) {
        TEnemy& e = level.Enemies[i];
        e.Kind = 1;
        e.Width = kSizes[1][0];
        e.Height = kSizes[1][1];
        e.X = 20 + static_cast<int32_t>(i % 380);
        e.Y = 20 + static_cast<int32_t>(i % 280);
    }
    for (auto _ : state) b.Game.ApplyLevel(level);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ApplyLevel)
    ->RangeMultiplier(4)
    ->Range(1000, 256000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// Undoing a thousand editor steps of a level of 10,000 enemies: strokes of cells, enemies placed and
// removed anywhere in the list, a new level. All of them together must cost less than a frame (25 ms).
void BM_UndoThousandSteps(benchmark::State& state) {
    TBenchGame b;
    b.Fill(10000, 0, 0);
    TMainForm& g = b.Game;
    g.EditorMode = 1;
    g.PlacePlayField(681, 425);
    const auto stepsMade = [&] {
        g.History.Clear();
        for (int i = 0; i < 999; ++i) {
            if (i % 3 == 0) {
                g.SetInsertKind(0);
                g.PaintBox1MouseDown(TMouseButton::mbLeft, g.PlayFieldX + 19 + i % 20, g.PlayFieldY + 19);
                for (int c = 1; c < 12; ++c)
                    g.PaintBox1MouseMove(g.PlayFieldX + c * 19, g.PlayFieldY + (i % 18 + 1) * 19);
                g.PaintBox1MouseUp(TMouseButton::mbLeft, 0, 0);
            } else {
                const TEnemy& e = (*g.Enemies)[(i * 7919) % g.Enemies->Count];
                g.SetInsertKind(2);
                g.PaintBox1MouseDown(i % 3 == 1 ? TMouseButton::mbRight : TMouseButton::mbLeft, g.PlayFieldX + e.X + 1,
                                     g.PlayFieldY + e.Y + 1);
            }
        }
        g.NewBtnClick();
    };
    for (auto _ : state) {
        state.PauseTiming();
        stepsMade();
        state.ResumeTiming();
        while (g.History.CanUndo()) g.Rckgngig1Click();
    }
}
BENCHMARK(BM_UndoThousandSteps)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace blubbi

BENCHMARK_MAIN();
