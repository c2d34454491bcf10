// A whole composed frame of a busy scene against one copy of the frame's pixels, and showing that
// frame on the window at each zoom (1x to 4x), as the paint box does with Qt's painter and through
// the graphics card (run under an X server for the card: QT_QPA_PLATFORM=xcb).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QPainter>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "GfxBenchScene.h"
#include "game/MainForm.h"
#include "gfx/GlPicture.h"
#include "gfx/Screen.h"
#include "platform/headless/HeadlessPlatform.h"

namespace blubbi {
namespace {

constexpr int kWidth = 681, kHeight = 425;

class TScreenPlatform : public THeadlessPlatform {
public:
    TScreen Screen{kWidth, kHeight};
    std::unique_ptr<TPicture> NewPicture(int width, int height) override { return Screen.NewPicture(width, height); }
    void Present(const TPicture& picture, int x, int y) override { Screen.Present(picture, x, y); }
    void PaintBoxRectangle(int x1, int y1, int x2, int y2, TColor color) override {
        Screen.Rectangle(x1, y1, x2, y2, color);
    }
};

// Every cell a block, 30 enemies of the four kinds, 20 bubbles (half with an enemy inside),
// 20 items, the player, the status texts and three lives: everything a frame can draw.
struct TBusyScene {
    TScreenPlatform Platform;
    TMainForm Form{Platform};

    TBusyScene() {
        Form.Sheets[kSlotItem] = test::FigureSheet(34, 34, 10, true);
        Form.Sheets[kSlotLeben] = test::FigureSheet(19, 19, 1, false);
        Form.Sheets[kSlotFeind4] = test::FigureSheet(45, 51, 4, false);
        Form.Sheets[kSlotFeind3] = test::FigureSheet(31, 41, 2, false);
        Form.Sheets[kSlotFeind2] = test::FigureSheet(51, 41, 2, false);
        Form.Sheets[kSlotFeind1] = test::FigureSheet(47, 61, 2, false);
        Form.Sheets[kSlotLaufe2] = test::FigureSheet(41, 46, 4, false);
        Form.Sheets[kSlotStein1] = test::MakeSheet(19, 19, [](int x, int y) { return 120 + (x * 3 + y) % 9; });
        Form.Grid.fill(1);
        Form.LevelNo = 12;
        Form.Score = 123456;
        Form.Lives = 3;
    }

    void Compose(int tick) {
        Form.NewBackBuffer();
        Form.DrawGrid();
        TPicture& p = *Form.BackBuffer;
        const int fx = Form.PlayFieldX, fy = Form.PlayFieldY;
        for (int i = 0; i < 20; ++i) {
            p.DrawSpriteRow(Form.Sheets[kSlotItem], fx + 20 + (i * 53) % 420, fy + 40 + (i * 71) % 300, 10,
                            (tick + i) % 10);
        }
        static constexpr int kSlots[4] = {kSlotFeind1, kSlotFeind2, kSlotFeind3, kSlotFeind4};
        for (int i = 0; i < 30; ++i) {
            const int kind = i % 4;
            p.DrawSprite(Form.Sheets[kSlots[kind]], fx + 19 + (i * 37 + tick) % 400, fy + 19 + (i * 59) % 300,
                         i % 3 == 0, (tick / 4 + i) % (kind == 3 ? 4 : 2), kind == 3 ? 4 : 2, false);
        }
        for (int i = 0; i < 20; ++i) {
            const int sx = fx + 19 + (i * 41) % 400, sy = fy + 19 + (i * 67 + tick) % 320;
            const bool full = i % 2 == 0;
            const TColor pen = i % 5 == 0 ? RGB(255, 128, 0) : RGB(255, 255, 0);
            if (full) {
                p.DrawSprite(Form.Sheets[kSlots[i % 4]], sx + 19 - 20, sy + 19 - 25, false, 0, i % 4 == 3 ? 4 : 2,
                             true);
            }
            p.Ellipse(sx, sy, sx + 38, sy + 38, pen, RGB(64, 64, 0), full);
            p.Arc(sx + 10, sy + 10, sx + 28, sy + 28, sx + 20, sy + 10, sx + 10, sy + 20, clWhite);
        }
        p.DrawSprite(Form.Sheets[kSlotLaufe2], fx + 200, fy + 315, tick % 2 == 1, tick % 4, 4, false);
        Form.DrawStatus();
        Form.PresentPicture();
    }
};

void ComposedFrame(benchmark::State& state) {
    TBusyScene scene;
    int tick = 0;
    for (auto _ : state) {
        scene.Compose(tick++);
        benchmark::ClobberMemory();
    }
    if (const char* png = std::getenv("BLUBBI_FRAME_PNG")) {
        std::string error;
        scene.Platform.Screen.SavePng(png, error);
    }
}
BENCHMARK(ComposedFrame)->Unit(benchmark::kMicrosecond);

// The paint box's part of presenting: the composed frame onto a window's pixels at the zoom given.
// Compare each zoom with 1x: the cost of the extra pixels a zoomed window has.
void PresentedFrame(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    TBusyScene scene;
    scene.Compose(0);
    const QImage& picture = scene.Platform.Screen.Image();
    QImage window(picture.size() * scale, QImage::Format_RGB32);  // the window system's backing store
    for (auto _ : state) {
        QPainter painter(&window);
        ShowScaled(painter, window.rect(), picture, QPoint(0, 0), scale);
        painter.end();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["window_pixels"] = static_cast<double>(window.width()) * window.height();
}
BENCHMARK(PresentedFrame)->DenseRange(1, 4)->Unit(benchmark::kMicrosecond);

// The same through the graphics card: the picture goes up at 1x and the card lays out the blocks.
// CPU is what the presenting thread spends; Time includes waiting until the card has drawn.
void PresentedFrameOnCard(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    QOpenGLContext context;
    QOffscreenSurface surface;
    if (context.create()) {
        surface.setFormat(context.format());
        surface.create();
    }
    if (!surface.isValid() || !context.makeCurrent(&surface)) {
        state.SkipWithError("no OpenGL here");
        return;
    }
    TBusyScene scene;
    scene.Compose(0);
    const QImage& picture = scene.Platform.Screen.Image();
    QOpenGLFramebufferObject window(picture.size() * scale);  // the window's surface
    window.bind();
    TGlPicture card;
    if (!card.Create()) {
        state.SkipWithError("the card cannot draw the picture");
        return;
    }
    for (auto _ : state) {
        card.Draw(picture, window.size(), QPoint(0, 0), scale);
        context.functions()->glFinish();
    }
    state.SetLabel(reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER)));
    card.Destroy();
    window.release();
    context.doneCurrent();
}
BENCHMARK(PresentedFrameOnCard)->DenseRange(1, 4)->Unit(benchmark::kMicrosecond);

void CopyOfTheFramesPixels(benchmark::State& state) {
    std::vector<uint32_t> from(kWidth * kHeight, 0xFF800000u), to(kWidth * kHeight);
    // The target's address escapes, so the clobber below counts as a read of it and the copy stays.
    uint32_t* target = to.data();
    benchmark::DoNotOptimize(target);
    for (auto _ : state) {
        std::memcpy(target, from.data(), from.size() * sizeof(uint32_t));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(from.size() * sizeof(uint32_t)));
}
BENCHMARK(CopyOfTheFramesPixels)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace blubbi

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
