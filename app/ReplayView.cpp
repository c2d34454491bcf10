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
    // The recorded box's middle in the window's middle, whatever the two sizes; what the picture
    // leaves uncovered is cleared, not the last game's.
    void Present(const TPicture& picture, int x, int y) override {
        const int w = Inner.PaintBoxWidth(), h = Inner.PaintBoxHeight();
        const int dx = (w - W) / 2, dy = (h - H) / 2;
        if (dx > 0 || dy > 0) {  // the margins around the recorded box
            Inner.PaintBoxRectangle(0, 0, w, std::max(0, dy), clBlack);
            Inner.PaintBoxRectangle(0, dy + H, w, h, clBlack);
            Inner.PaintBoxRectangle(0, 0, std::max(0, dx), h, clBlack);
            Inner.PaintBoxRectangle(dx + W, 0, w, h, clBlack);
        }
        Inner.Present(picture, x + dx, y + dy);
    }
    void PaintBoxRectangle(int x1, int y1, int x2, int y2, TColor color) override {
        const int dx = (Inner.PaintBoxWidth() - W) / 2, dy = (Inner.PaintBoxHeight() - H) / 2;
        Inner.PaintBoxRectangle(x1 + dx, y1 + dy, x2 + dx, y2 + dy, color);
    }

    int W, H;
};

TReplayView::TReplayView(TPlatform& screen, TReplay replay, const std::string& dataDir)
    : Screen(screen), Recorded(std::move(replay)), DataDir(dataDir) {
    for (const TReplayStep& s : Recorded.Steps)
        if (s.Kind == TReplayStep::TKind::End) Length = s.Frame;
    Begin();
    Real.start();
}

void TReplayView::Begin() {
    if (GameForm) GameForm->FormDestroy();
    GameForm.reset();
    PlayerPtr.reset();
    Face = std::make_unique<TViewPlatform>(Screen, Recorded.Header.Width, Recorded.Header.Height);
    PlayerPtr = std::make_unique<TReplayPlayer>(*Face, Recorded, DataDir);
    PlayerPtr->OnResize = [this](int w, int h) {
        Face->W = w;
        Face->H = h;
    };
    GameForm = std::make_unique<TMainForm>(*PlayerPtr);
    PlayerPtr->Create(*GameForm);
}

TReplayView::~TReplayView() { GameForm->FormDestroy(); }

void TReplayView::SetPaused(bool paused) {
    Halted = paused;
    LastReal = Real.elapsed();  // the time stood still is none of the replay's
}

void TReplayView::SeekTo(int64_t frame) {
    if (frame < Frame()) Begin();
    while (PlayerPtr->Running() && Frame() < frame) PlayerPtr->Step(*GameForm);
    LastReal = Real.elapsed();
    Ahead = 0;
}

void TReplayView::SetSpeed(int factor) { Factor = std::clamp(factor, 1, 4); }

bool TReplayView::Advance() {
    if (Halted) return PlayerPtr->Running();
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
