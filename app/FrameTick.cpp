// The main window's frame timer: one tick, one frame of the game or the replay shown, measured.
#include "app/MainWindow.h"

#include <QFile>

#include "app/PaintBox.h"
#include "app/QtPlatform.h"
#include "game/Events.h"
#include "game/MainForm.h"
#include "platform/session/GameSession.h"

namespace blubbi {

void TMainWindow::FrameTick() {
    // A menu or a dialog holds the game, or it is paused: the ticks meanwhile are none of its frames.
    const bool paused = GameForm->Paused != 0, waiting = SessionPtr->Waiting();
    const bool frame = View ? !PlatformPtr->Held() : SessionPtr->BeforeTick(PlatformPtr->Held());
    if (paused != (GameForm->Paused != 0) || waiting != SessionPtr->Waiting()) ShowPause();
    if (!frame) {
        LastTick = {};
        return;
    }
    const auto start = TFrameStats::TClock::now();
    if (LastTick != TFrameStats::TClock::time_point{}) Stats.Interval(TFrameStats::Ms(start - LastTick));
    LastTick = start;
    PlatformPtr->TakeComposeMs();  // drawn outside the tick (the editor's frames): not this frame's
    PlatformPtr->TakeCopyMs();
    const int64_t dialogs = PlatformPtr->Dialogs();
    PlatformPtr->Send(MakeEvent(TEventKind::Tick));
    // The game-over and win dialogs open inside a tick and hold the timer on purpose: the wait
    // is no interval of the frame clock, and no frame of it counts.
    if (PlatformPtr->Dialogs() != dialogs) {
        SyncChecks();  // a new game may have started from the dialog
        LastTick = TFrameStats::TClock::now();
        PlatformPtr->TakeComposeMs();
        PlatformPtr->TakeCopyMs();
        return;
    }
    const double compose = PlatformPtr->TakeComposeMs(), copy = PlatformPtr->TakeCopyMs();
    // A tick the game let pass (paused, a dialog open) ran no frame.
    if (compose > 0 || copy > 0) Stats.Frame(TFrameStats::Ms(TFrameStats::TClock::now() - start), compose, copy);
    if (PaintBox1->ShowStats) PaintBox1->Refresh();
}

void TMainWindow::WriteFrameStats() const {
    const QString file = qEnvironmentVariable("BLUBBI_FRAME_STATS");
    if (file.isEmpty()) return;
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(QByteArray::fromStdString(Stats.Json())) < 0)
        qWarning("BLUBBI_FRAME_STATS: %s cannot be written", qPrintable(file));
}

}  // namespace blubbi
