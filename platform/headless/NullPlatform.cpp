// The null platform: virtual clock and one-shot timers, nothing kept.
#include "platform/headless/NullPlatform.h"

#include <cstring>
#include <filesystem>

namespace blubbi {

TNullPlatform::TNullPlatform() {
    Loader = [](const std::string&) { return MakeDib(19, 19); };
}

TDib TNullPlatform::MakeDib(int width, int height, uint8_t index) {
    TDib dib;
    dib.Width = width;
    dib.Height = height;
    dib.BitCount = 8;
    dib.Stride = (width + 3) & ~3;
    const size_t bytes = static_cast<size_t>(dib.Stride) * static_cast<size_t>(height);
    dib.Storage = std::make_unique<uint8_t[]>(bytes + 1);
    std::memset(dib.Storage.get(), index, bytes);
    dib.Bits = dib.Storage.get();
    for (int i = 0; i < 256; ++i) {
        const auto grey = static_cast<uint8_t>(i);
        dib.Colours[static_cast<size_t>(i)] = {grey, grey, grey, 0};
    }
    return dib;
}

std::unique_ptr<TPicture> TNullPlatform::NewPicture(int width, int height) {
    return std::make_unique<TNullPicture>(width, height);
}

void TNullPlatform::SetTimerEnabled(TOneShotTimer timer, bool enabled) {
    const auto i = static_cast<size_t>(timer);
    TimerOn[i] = enabled;
    if (enabled) TimerSince[i] = GetTickCount();
}

void TNullPlatform::SetClockPaused(bool paused) {
    if (paused == ClockPaused) return;
    ClockPaused = paused;
    if (paused)
        PausedAt = Clock;
    else
        PausedMs += Clock - PausedAt;
}

bool TNullPlatform::FileExists(const std::string& fileName) {
    std::error_code ec;
    return std::filesystem::is_regular_file(fileName, ec);
}

void TNullPlatform::Tick(TMainForm& game) {
    Tick(game, [&game](const TEvent& e) { Dispatch(game, e); });
}

void TNullPlatform::Tick(TMainForm&, const std::function<void(const TEvent&)>& dispatch) {
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
