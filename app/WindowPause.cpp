// The main window's pause: the pause item, pausing on focus loss and around dialogs, and the wait for the first key.
#include "app/MainWindow.h"

#include <QAction>
#include <QMenu>

#include "app/Gamepad.h"
#include "app/PaintBox.h"
#include "app/WindowSettings.h"
#include "game/MainForm.h"
#include "platform/session/GameSession.h"
#include "platform/session/KeyMerge.h"

namespace blubbi {

// After the options the game has always had and the zoom, so that their places stay.
void TMainWindow::BuildFirstKeyItem() {
    AufErstenTastendruckWarten1 = Optionen1->addAction(QStringLiteral("Auf ersten Tastendruck warten"));
    AufErstenTastendruckWarten1->setObjectName(QStringLiteral("AufErstenTastendruckWarten1"));
    AufErstenTastendruckWarten1->setCheckable(true);
    connect(AufErstenTastendruckWarten1, &QAction::triggered, this, &TMainWindow::AufErstenTastendruckWarten1Click);
}

void TMainWindow::AufErstenTastendruckWarten1Click() {
    SessionPtr->WaitForFirstKey = AufErstenTastendruckWarten1->isChecked();
    Remember(setting::WaitForFirstKey, AufErstenTastendruckWarten1->isChecked());
}

void TMainWindow::Pause1Click() { SetPaused(!GameForm->Paused); }

void TMainWindow::PauseBeiFokusverlust1Click() {
    Remember(setting::PauseOnFocusLoss, PauseBeiFokusverlust1->isChecked());
}

bool TMainWindow::WaitingForFirstKey() const { return SessionPtr->Waiting(); }

void TMainWindow::SetPaused(bool paused) {
    if (Destroyed) return;
    if (paused && GameForm->Paused == 0) {  // the pads' and the keyboard's own memory of held keys too
        if (GamepadsPtr) GamepadsPtr->Forget();
        Keys->ReleaseEverything();
    }
    SessionPtr->SetPaused(paused);
    ShowPause();
}

void TMainWindow::ShowPause() {
    PaintBox1->FirstKeyWait = SessionPtr->Waiting();
    SyncChecks();
    PaintBox1->Refresh();
}

void TMainWindow::PausedWhile(const std::function<void()>& run) {
    const bool was = GameForm->Paused != 0;
    SetPaused(true);
    run();
    if (!was) SetPaused(false);
}

}  // namespace blubbi
