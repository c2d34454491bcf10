// Sprite primitives, fast against literal (one getpixel and one setPixel per pixel).
#include <benchmark/benchmark.h>

#include <vector>

#include "GfxBenchScene.h"
#include "gfx/PreparedSheets.h"
#include "gfx/Sprites.h"
#include "tests/gfx/support/LiteralSprites.h"

namespace blubbi {
namespace {

using SpriteFn = void (*)(TPixels&, const TDib&, int, int, bool, int, int, bool);
using RowFn = void (*)(TPixels&, const TDib&, int, int, int, int);
using StretchFn = void (*)(TPixels&, int, int, int, int, const TDib&, int, int, int, int);

struct TTarget {
    std::vector<uint32_t> Store = std::vector<uint32_t>(681 * 425, 0xFF800000u);
    TPixels View{Store.data(), 681, 425, 681};
};

// The player's walking sheet: 4 stacked frames of 41 x 46.
void Sprite(benchmark::State& state, SpriteFn draw, bool mirrored, bool inBubble) {
    const TDib sheet = test::FigureSheet(41, 46, 4, false);
    TTarget target;
    int frame = 0;
    for (auto _ : state) {
        draw(target.View, sheet, 200, 150, mirrored, frame, 4, inBubble);
        frame = (frame + 1) & 3;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 41 * 46);
}

// Items: 10 frames of 34 x 34 side by side.
void SpriteRow(benchmark::State& state, RowFn draw) {
    const TDib sheet = test::FigureSheet(34, 34, 10, true);
    TTarget target;
    int frame = 0;
    for (auto _ : state) {
        draw(target.View, sheet, 300, 200, 10, frame);
        frame = (frame + 1) % 10;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 34 * 34);
}

// A grid block: a 19 x 19 picture into a 19 x 19 cell.
void Stretch(benchmark::State& state, StretchFn draw) {
    const TDib block = test::FigureSheet(19, 19, 1, false);
    TTarget target;
    for (auto _ : state) {
        draw(target.View, 103, 22, 19, 19, block, 0, 0, 19, 19);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 19 * 19);
}

// The fast ones with the store of prepared sheets a screen gives its pictures.
TPreparedSheets& Kept() {
    static TPreparedSheets sheets;
    return sheets;
}
void FastSprite(TPixels& t, const TDib& s, int x, int y, bool mirrored, int frame, int frames, bool inBubble) {
    DrawSprite(t, Kept(), s, x, y, mirrored, frame, frames, inBubble);
}
void FastSpriteRow(TPixels& t, const TDib& s, int x, int y, int frames, int frame) {
    DrawSpriteRow(t, Kept(), s, x, y, frames, frame);
}
void FastStretch(TPixels& t, int x, int y, int w, int h, const TDib& s, int sx, int sy, int sw, int sh) {
    StretchDrawDib(t, Kept(), x, y, w, h, s, sx, sy, sw, sh);
}

BENCHMARK_CAPTURE(Sprite, fast_plain, &FastSprite, false, false);
BENCHMARK_CAPTURE(Sprite, literal_plain, &literal::DrawSprite, false, false);
BENCHMARK_CAPTURE(Sprite, fast_mirrored, &FastSprite, true, false);
BENCHMARK_CAPTURE(Sprite, literal_mirrored, &literal::DrawSprite, true, false);
BENCHMARK_CAPTURE(Sprite, fast_in_bubble, &FastSprite, false, true);
BENCHMARK_CAPTURE(Sprite, literal_in_bubble, &literal::DrawSprite, false, true);
BENCHMARK_CAPTURE(SpriteRow, fast, &FastSpriteRow);
BENCHMARK_CAPTURE(SpriteRow, literal, &literal::DrawSpriteRow);
BENCHMARK_CAPTURE(Stretch, fast, &FastStretch);
BENCHMARK_CAPTURE(Stretch, literal, &literal::StretchDrawDib);

}  // namespace
}  // namespace blubbi

BENCHMARK_MAIN();
