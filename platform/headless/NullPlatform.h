// A platform without a window that keeps nothing: a virtual clock, the one-shot timers, pictures
// without pixels, no sound and dialogs that are cancelled. What it holds does not grow as a game
// goes on, so a check of a replay of any length runs in the same memory.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "game/Events.h"
#include "game/MainForm.h"
#include "game/Platform.h"
#include "platform/headless/SilentDialogs.h"

namespace blubbi {

// The tick count the virtual clock shows at start-up, unless told otherwise.
constexpr uint32_t kStartClock = 100000;

// A picture that keeps only its size: for runs that need no pixels.
class TNullPicture : public TPicture {
public:
    TNullPicture(int w, int h) : W(w), H(h) {}
    int Width() const override { return W; }
    int Height() const override { return H; }
    void Rectangle(int, int, int, int, TColor, TColor) override {}
    void Ellipse(int, int, int, int, TColor, TColor, bool) override {}
    void Arc(int, int, int, int, int, int, int, int, TColor) override {}
    void TextOut(int, int, const std::string&, TColor) override {}
    void DrawSprite(const TDib&, int, int, bool, int, int, bool) override {}
    void DrawSpriteRow(const TDib&, int, int, int, int) override {}
    void StretchDrawDib(int, int, int, int, const TDib&, int, int, int, int) override {}

private:
    int W, H;
};

class TNullPlatform : public TSilentDialogs<TPlatform> {
public:
    TNullPlatform();

    // A plain 8-bit picture of one palette index, for sheets in tests.
    static TDib MakeDib(int width, int height, uint8_t index = 1);

    // The virtual clock less the time spent paused; it stands still while paused.
    uint32_t GetTickCount() override { return (ClockPaused ? PausedAt : Clock) - PausedMs; }
    uint64_t RandomSeed() override { return Seed; }
    std::string ProgramDir() override { return Dir; }
    TDib OpenDib(const std::string& fileName) override { return Loader ? Loader(fileName) : TDib{}; }
    int PaintBoxWidth() override { return Width; }
    int PaintBoxHeight() override { return Height; }
    std::unique_ptr<TPicture> NewPicture(int width, int height) override;
    void Present(const TPicture&, int, int) override {}
    void PaintBoxRectangle(int, int, int, int, TColor) override {}
    std::string SendMediaCommand(const std::string&) override { return {}; }
    void SetTimerEnabled(TOneShotTimer timer, bool enabled) override;
    void SetClockPaused(bool paused) override;
    bool FileExists(const std::string& fileName) override;

    // One timer tick: the clock advances kFrameIntervalMs, due one-shot timers fire (Timer2, then
    // Timer3), then the frame timer's handler runs with its gating.
    void Tick(TMainForm& game);
    // The same tick with its events handed to `dispatch` (a recorder) instead of the game.
    void Tick(TMainForm& game, const std::function<void(const TEvent&)>& dispatch);

    uint32_t Clock = kStartClock;
    uint64_t Seed = 1;
    std::string Dir = "./";
    int Width = kDesignWidth, Height = kDesignHeight;
    std::function<TDib(const std::string&)> Loader;  // default: a 19 x 19 picture for every sheet

    bool ClockPaused = false;
    uint32_t PausedAt = 0;  // Clock when the pause began
    uint32_t PausedMs = 0;  // Clock time spent paused, over all pauses

    // The one-shot timers, indexed by TOneShotTimer: running, and the game's clock when enabled.
    std::array<bool, kOneShotTimerCount> TimerOn{};
    std::array<uint32_t, kOneShotTimerCount> TimerSince{};
};

}  // namespace blubbi
