// A platform without a window: a virtual clock, recorded media commands and dialogs,
// scripted answers. Runs the game in blubbi-sim and in the tests.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "game/Events.h"
#include "game/MainForm.h"
#include "game/Platform.h"

namespace blubbi {

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

class THeadlessPlatform : public TPlatform {
public:
    THeadlessPlatform();

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
    void Present(const TPicture& picture, int x, int y) override;
    void PaintBoxRectangle(int, int, int, int, TColor) override {}
    std::string SendMediaCommand(const std::string& command) override;
    void SetTimerEnabled(TOneShotTimer timer, bool enabled) override;
    void SetClockPaused(bool paused) override;
    TModalResult ShowGameOverDialog(const std::string& points) override;
    void ShowWinDialog() override;
    // An error box is a dialog like the others: "Error: " and its text.
    void ShowErrorMessage(const std::string& text) override {
        ErrorMessages.push_back(text);
        Dialogs.push_back("Error: " + text);
    }
    void SetLevelDialogFolder(const std::string& folder) override { LevelFolder = folder; }
    bool OpenLevelDialog(std::string& fileName) override;
    bool SaveLevelDialog(std::string& fileName) override;
    bool FileExists(const std::string& fileName) override;
    void ShellOpen(const std::string& address) override { ShellOpened.push_back(address); }

    // One timer tick: the clock advances kFrameIntervalMs, due one-shot timers fire (Timer2, then
    // Timer3), then the frame timer's handler runs with its gating.
    void Tick(TMainForm& game);
    // The same tick with its events handed to `dispatch` (a recorder) instead of the game.
    void Tick(TMainForm& game, const std::function<void(const TEvent&)>& dispatch);

    uint32_t Clock = 100000;
    uint64_t Seed = 1;
    std::string Dir = "./";
    int Width = 681, Height = 425;
    std::function<TDib(const std::string&)> Loader;              // default: a 19 x 19 picture for every sheet
    std::function<std::string(const std::string&)> MediaAnswer;  // default: no answer

    std::vector<std::string> Sent;     // media commands, in order
    std::vector<std::string> Dialogs;  // "GameOver", "Win" and "Error: TEXT", in order
    std::vector<std::string> ErrorMessages;
    std::vector<std::string> ShellOpened;
    std::vector<std::string> GameOverPoints;  // what each game-over dialog showed
    TModalResult GameOverAnswer = TModalResult::Cancel;
    std::function<void()> DuringGameOver;  // runs while the game-over dialog is open
    std::function<void()> DuringWin;
    std::string LevelFolder;
    std::string NextOpenFile, NextSaveFile;  // empty: the user cancels
    int Presented = 0;                       // pictures presented so far
    int LastPresentX = 0, LastPresentY = 0;

    bool ClockPaused = false;
    uint32_t PausedAt = 0;  // Clock when the pause began
    uint32_t PausedMs = 0;  // Clock time spent paused, over all pauses

    // The one-shot timers, indexed by TOneShotTimer: running, and the game's clock when enabled.
    std::array<bool, kOneShotTimerCount> TimerOn{};
    std::array<uint32_t, kOneShotTimerCount> TimerSince{};
};

}  // namespace blubbi
