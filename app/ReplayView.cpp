// The replay in the window: its own game on a player, silent and without dialogs, paced by real time.
#include "app/ReplayView.h"

#include <algorithm>

#include "platform/headless/SilentDialogs.h"
#include "platform/replay/ForwardingPlatform.h"

namespace blubbi {

// The window draws; everything else the watched game would ask of it stays quiet: no sound, no
// dialog, no pause of the window's clock, and the paint box as big as it was when recorded.
class TReplayView::TViewPlatform : public TSilentDialogs<TForwardingPlatform> {
public:
    TViewPlatform(TPlatform& inner, int width, int height) : TSilentDialogs(inner), W(width), H(height) {}
    int PaintBoxWidth() override { return W; }
    int PaintBoxHeight() override { return H; }
    std::string SendMediaCommand(const std::string&) override { return {}; }
    void SetTimerEnabled(TOneShotTimer, bool) override {}
    void SetClockPaused(bool) override {}

    int W, H;
};

TReplayView::TReplayView(TPlatform& screen, TReplay replay, const std::string& dataDir) {
    Face = std::make_unique<TViewPlatform>(screen, replay.Header.Width, replay.Header.Height);
    PlayerPtr = std::make_unique<TReplayPlayer>(*Face, std::move(replay), dataDir);
    PlayerPtr->OnResize = [this](int w, int h) {
        Face->W = w;
        Face->H = h;
    };
    GameForm = std::make_unique<TMainForm>(*PlayerPtr);
    PlayerPtr->Create(*GameForm);
    Real.start();
}

TReplayView::~TReplayView() { GameForm->FormDestroy(); }

void TReplayView::SetSpeed(int factor) { Factor = std::clamp(factor, 1, 4); }

bool TReplayView::Advance() {
    const int64_t now = Real.elapsed();
    Ahead += (now - LastReal) * Factor;
    LastReal = now;
    // A slow machine catches up at most this much at once; the window stays responsive.
    for (int steps = 0; steps < 400 && PlayerPtr->Running(); ++steps) {
        const int64_t wait = static_cast<uint32_t>(PlayerPtr->NextClock() - PlayerPtr->GetTickCount());
        if (wait > Ahead && wait > kLongestWaitMs) Ahead = wait;
        if (wait > Ahead) break;
        Ahead -= wait;
        if (!PlayerPtr->Step(*GameForm)) break;
    }
    Ahead = std::min<int64_t>(Ahead, kLongestWaitMs);
    return PlayerPtr->Running();
}

QString TReplayView::Outcome() const {
    const TVerifyResult& found = PlayerPtr->Found;
    if (PlayerPtr->Running()) return QStringLiteral("Wiedergabe läuft");
    if (found.Status == TVerifyResult::TStatus::Ok)
        return QStringLiteral("Wiedergabe zu Ende: %1 Bilder").arg(found.Frames);
    return QString::fromStdString(found.Fault());
}

}  // namespace blubbi
