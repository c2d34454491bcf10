// A started game on a bordered empty field, whose pictures remember what was drawn on them.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/headless/HeadlessPlatform.h"
#include "tests/support/LevelBytes.h"

namespace blubbi::test {

struct TSpriteCall {
    const TDib* Sheet;
    int X, Y;
    bool Mirrored;
    int Frame, FrameCount;
    bool InBubble;
};
struct TEllipseCall {
    int X1, Y1, X2, Y2;
    TColor Pen, Brush;
    bool Hollow;
};
struct TDrawLog {
    std::vector<TSpriteCall> Sprites;
    std::vector<TSpriteCall> SpriteRows;  // Mirrored and InBubble unused
    std::vector<TEllipseCall> Ellipses;
    int Arcs = 0;
    void Clear() { *this = TDrawLog{}; }
};

class TRecordingPicture : public TNullPicture {
public:
    TRecordingPicture(int w, int h, TDrawLog& log) : TNullPicture(w, h), Log(log) {}
    void DrawSprite(const TDib& s, int x, int y, bool m, int f, int n, bool b) override {
        Log.Sprites.push_back({&s, x, y, m, f, n, b});
    }
    void DrawSpriteRow(const TDib& s, int x, int y, int n, int f) override {
        Log.SpriteRows.push_back({&s, x, y, false, f, n, false});
    }
    void Ellipse(int x1, int y1, int x2, int y2, TColor pen, TColor brush, bool hollow) override {
        Log.Ellipses.push_back({x1, y1, x2, y2, pen, brush, hollow});
    }
    void Arc(int, int, int, int, int, int, int, int, TColor) override { ++Log.Arcs; }

private:
    TDrawLog& Log;
};

class TRecordingPlatform : public THeadlessPlatform {
public:
    std::unique_ptr<TPicture> NewPicture(int w, int h) override {
        return std::make_unique<TRecordingPicture>(w, h, Log);
    }
    TDrawLog Log;
};

struct PlayFixture : ::testing::Test {
    TRecordingPlatform Platform;
    TMainForm Game{Platform};
    std::string Dir;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        Dir = TempProgramDir(std::string(info->test_suite_name()) + "-" + info->name());
        Platform.Dir = Dir;  // no level files there: the level stays as the test builds it
        Game.FormCreate();
        Game.MusicEnabled = 0;
        const std::vector<uint8_t> grid = BorderGrid();
        std::copy(grid.begin(), grid.end(), Game.Grid.begin());
        Game.Enemies->Clear();
        Game.TransitionCounter = 0;
        Platform.Sent.clear();
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }

    void Cell(int col, int row, uint8_t v) { Game.Grid[col * kRows + row] = v; }
    // One timer tick: 25 ms and one full frame. The draw log holds that frame's drawing.
    void Tick() {
        Platform.Log.Clear();
        Platform.Tick(Game);
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) Tick();
    }
    TEnemy& AddEnemy(int32_t kind, int32_t x, int32_t y) {
        TEnemy* e = Game.Enemies->Append();
        *e = MakeEnemy(kind, x, y);
        e->Kind = kind;
        return *e;
    }
    TBubble& AddBubble(int32_t x, int32_t y, int32_t speedX) {
        TBubble* b = Game.Bubbles->Append();
        b->X = x;
        b->Y = y;
        b->SpeedX = speedX;
        b->SpawnTick = Platform.GetTickCount();
        return *b;
    }
    int SentCount(const std::string& command) const {
        return static_cast<int>(std::count(Platform.Sent.begin(), Platform.Sent.end(), command));
    }
    // Whether this frame drew the player.
    bool PlayerDrawn() const {
        return std::any_of(Platform.Log.Sprites.begin(), Platform.Log.Sprites.end(),
                           [&](const TSpriteCall& c) { return c.Sheet == &Game.Sheets[kSlotLaufe2]; });
    }
    // Moves the player off the field's action, so it meets nothing of the test.
    void ParkPlayer() {
        Game.PlayerX = Game.StartX = 1000;
        Game.PlayerY = Game.StartY = 1000;
    }
};

}  // namespace blubbi::test
