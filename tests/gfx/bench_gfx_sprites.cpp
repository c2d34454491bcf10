// Sprite primitives, fast against literal (one getpixel and one setPixel per pixel).
#include <benchmark/benchmark.h>

#include <vector>

#include "GfxBenchScene.h"
#include "gfx/PreparedSheets.h"
#include "gfx/Sprites.h"
#include "tests/gfx/support/LiteralSprites.h"

namespace blubbi {
namespace {

struct TTarget {
    std::vector<uint32_t> Store = std::vector<uint32_t>(681 * 425, 0xFF800000u);
    TPixels View{Store.data(), 681, 425, 681};
};

enum TKind { kFast, kLiteral };

// The fast ones keep what they prepare in the store a screen gives its pictures.
TPreparedSheets Kept;

// The player's walking sheet: 4 stacked frames of 41 x 46.
void Sprite(benchmark::State& state, TKind kind, bool mirrored, bool inBubble) {
    const TDib sheet = test::FigureSheet(41, 46, 4, false);
    TTarget target;
    int frame = 0;
    for (auto _ : state) {
        if (kind == kFast) {
            DrawSprite(target.View, Kept, sheet, 200, 150, mirrored, frame, 4, inBubble);
        } else {
            literal::DrawSprite(target.View, sheet, 200, 150, mirrored, frame, 4, inBubble);
        }
        frame = (frame + 1) & 3;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 41 * 46);
}

// Items: 10 frames of 34 x 34 side by side.
void SpriteRow(benchmark::State& state, TKind kind) {
    const TDib sheet = test::FigureSheet(34, 34, 10, true);
    TTarget target;
    int frame = 0;
    for (auto _ : state) {
        if (kind == kFast) {
            DrawSpriteRow(target.View, Kept, sheet, 300, 200, 10, frame);
        } else {
            literal::DrawSpriteRow(target.View, sheet, 300, 200, 10, frame);
        }
        frame = (frame + 1) % 10;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 34 * 34);
}

// A grid block: a 19 x 19 picture into a 19 x 19 cell.
void Stretch(benchmark::State& state, TKind kind) {
    const TDib block = test::FigureSheet(19, 19, 1, false);
    TTarget target;
    for (auto _ : state) {
        if (kind == kFast) {
            StretchDrawDib(target.View, Kept, 103, 22, 19, 19, block, 0, 0, 19, 19);
        } else {
            literal::StretchDrawDib(target.View, 103, 22, 19, 19, block, 0, 0, 19, 19);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 19 * 19);
}

BENCHMARK_CAPTURE(Sprite, fast_plain, kFast, false, false);
BENCHMARK_CAPTURE(Sprite, literal_plain, kLiteral, false, false);
BENCHMARK_CAPTURE(Sprite, fast_mirrored, kFast, true, false);
BENCHMARK_CAPTURE(Sprite, literal_mirrored, kLiteral, true, false);
BENCHMARK_CAPTURE(Sprite, fast_in_bubble, kFast, false, true);
BENCHMARK_CAPTURE(Sprite, literal_in_bubble, kLiteral, false, true);
BENCHMARK_CAPTURE(SpriteRow, fast, kFast);
BENCHMARK_CAPTURE(SpriteRow, literal, kLiteral);
BENCHMARK_CAPTURE(Stretch, fast, kFast);
BENCHMARK_CAPTURE(Stretch, literal, kLiteral);

}  // namespace
}  // namespace blubbi

BENCHMARK_MAIN();
