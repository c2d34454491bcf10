// The headless platform: virtual clock and scripted answers.
#include "platform/headless/HeadlessPlatform.h"

#include <cstring>
#include <filesystem>

namespace blubbi {

THeadlessPlatform::THeadlessPlatform() {
    Loader = [](const std::string&) { return MakeDib(19, 19); };
}

TDib THeadlessPlatform::MakeDib(int width, int height, uint8_t index) {
    TDib dib;
    dib.Width = width;
    dib.Height = height;
    dib.BitCount = 8;
    dib.Stride = (width + 3) & ~3;
    dib.Storage = std::make_unique<uint8_t[]>(static_cast<size_t>(dib.Stride) * height + 1);
    std::memset(dib.Storage.get(), index, static_cast<size_t>(dib.Stride) * height);
    dib.Bits = dib.Storage.get();
    for (int i = 0; i < 256; ++i) dib.Colours[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
    return dib;
}

std::unique_ptr<TPicture> THeadlessPlatform::NewPicture(int width, int height) {
    return std::make_unique<TNullPicture>(width, height);
}

void THeadlessPlatform::Present(const TPicture&, int x, int y) {
    ++Presented;
    LastPresentX = x;
    LastPresentY = y;
}

std::string THeadlessPlatform::SendMediaCommand(const std::string& command) {
    Sent.push_back(command);
    return MediaAnswer ? MediaAnswer(command) : std::string();
}

void THeadlessPlatform::SetTimerEnabled(TOneShotTimer timer, bool enabled) {
    const auto i = static_cast<size_t>(timer);
    TimerOn[i] = enabled;
    if (enabled) TimerSince[i] = GetTickCount();
}

void THeadlessPlatform::SetClockPaused(bool paused) {
    if (paused == ClockPaused) return;
    ClockPaused = paused;
    if (paused)
        PausedAt = Clock;
    else
        PausedMs += Clock - PausedAt;
}

TModalResult THeadlessPlatform::ShowGameOverDialog(const std::string& points) {
    Dialogs.push_back("GameOver");
    GameOverPoints.push_back(points);
    if (DuringGameOver) DuringGameOver();
    return GameOverAnswer;
}

void THeadlessPlatform::ShowWinDialog() {
    Dialogs.push_back("Win");
    if (DuringWin) DuringWin();
}

bool THeadlessPlatform::OpenLevelDialog(std::string& fileName) {
    if (NextOpenFile.empty()) return false;
    fileName = NextOpenFile;
    return true;
}

bool THeadlessPlatform::SaveLevelDialog(std::string& fileName) {
    if (NextSaveFile.empty()) return false;
    fileName = NextSaveFile;
    return true;
}

bool THeadlessPlatform::FileExists(const std::string& fileName) {
    std::error_code ec;
    return std::filesystem::is_regular_file(fileName, ec);
}

void THeadlessPlatform::Tick(TMainForm& game) {
    Tick(game, [&game](const TEvent& e) { Dispatch(game, e); });
}

void THeadlessPlatform::Tick(TMainForm&, const std::function<void(const TEvent&)>& dispatch) {
    Clock += kFrameIntervalMs;
    for (const TOneShotTimer timer : {TOneShotTimer::Timer2, TOneShotTimer::Timer3}) {
        const auto i = static_cast<size_t>(timer);
        // The game's clock, so that a timer keeps what it had left through a pause.
        if (!TimerOn[i] || GetTickCount() - TimerSince[i] < kOneShotIntervalMs) continue;
        TEvent e;
        e.Kind = timer == TOneShotTimer::Timer2 ? TEventKind::Timer2 : TEventKind::Timer3;
        e.Clock = GetTickCount();
        dispatch(e);
    }
    TEvent frame;
    frame.Kind = TEventKind::Tick;
    frame.Clock = GetTickCount();
    dispatch(frame);
}

}  // namespace blubbi
