// The main window showing a recorded game: choosing and saving replay files, playing, pausing, seeking and the speed.
#include "app/MainWindow.h"

#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <algorithm>
#include <climits>
#include <optional>

#include "app/GameRecording.h"
#include "app/German.h"
#include "app/PaintBox.h"
#include "app/QtPlatform.h"
#include "app/ReplayFiles.h"
#include "app/ReplayView.h"
#include "app/WindowSettings.h"
#include "game/Events.h"
#include "game/MainForm.h"
#include "gfx/Screen.h"

namespace blubbi {

namespace {

QString PlayingMessage(int speed) { return QStringLiteral("Wiedergabe %1× – Esc beendet sie").arg(speed); }

}  // namespace

// The replay items, after the file items the game has always had.
void TMainWindow::BuildReplayItems() {
    SpeedGroup = new QActionGroup(this);
    SpeedGroup->setObjectName(QStringLiteral("SpeedGroup"));
    SpeedGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (QAction* a : {Wiedergabe1x1, Wiedergabe2x1, Wiedergabe4x1}) SpeedGroup->addAction(a);
}

QString TMainWindow::ReplayDialog(bool save) {
    QDir().mkpath(replays::Folder());  // the dialog starts there even before the first game ended
    QFileDialog dialog(this,
                       save ? QStringLiteral("Aufzeichnung speichern unter") : QStringLiteral("Aufzeichnung abspielen"),
                       replays::Folder(), QStringLiteral("Aufzeichnungen (*.blubbi-replay)"));
    dialog.setObjectName(save ? QStringLiteral("ReplaySaveDialog") : QStringLiteral("ReplayOpenDialog"));
    PrepareLevelDialog(dialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("blubbi-replay"));
    // Wide enough for a whole name: the points stand at its end.
    const QRect room = screen() ? screen()->availableGeometry() : QRect(0, 0, 1000, 480);
    dialog.resize(std::min(1000, room.width()), std::min(480, room.height()));
    bool accepted = false;
    PausedWhile([&] { accepted = dialog.exec() == QDialog::Accepted; });
    return accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().constFirst() : QString();
}

void TMainWindow::Aufzeichnungabspielen1Click() {
    const QString file = ReplayDialog(false);
    if (!file.isEmpty()) PlayReplay(file);
}

bool TMainWindow::PlayReplay(const QString& file) {
    TReplayError error;
    std::optional<TReplay> replay;
    QByteArray text;
    const TReplayLimits limits;
    std::string unreadable;
    if (const auto read = ReadReplayFile(QFile::encodeName(file).toStdString(), limits, unreadable)) {
        text = QByteArray::fromStdString(*read);
        replay = ParseReplay(*read, limits, error);
    }
    if (!replay) {
        QMessageBox box(
            QMessageBox::Warning, QStringLiteral("Aufzeichnung abspielen"),
            error.Line > 0
                ? QStringLiteral("Die Aufzeichnung %1 ist in Zeile %2 nicht lesbar.")
                      .arg(QDir::toNativeSeparators(file))
                      .arg(error.Line)
                : QStringLiteral("Die Aufzeichnung %1 kann nicht gelesen werden.").arg(QDir::toNativeSeparators(file)),
            QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        PausedWhile([&] { box.exec(); });
        return false;
    }
    // The game waits, paused as the recording knows it, while the replay has the window.
    SetPaused(true);
    View.reset();
    View = std::make_unique<TReplayView>(*PlatformPtr, std::move(*replay), PlatformPtr->ProgramDir());
    View->Source = text;
    View->SetSpeed(ReplaySpeed);
    PlatformPtr->Sink = [this](const TEvent& e) {
        if (e.Kind == TEventKind::Tick) AdvanceReplay();
    };
    PaintBox1->Bind(&View->Game(), &PlatformPtr->Screen());
    PlatformPtr->PaintBoxRectangle(0, 0, PaintBox1->GameWidth(), PaintBox1->GameHeight(), clBlack);  // not the game's
    ReplayBar->setRange(0, int(std::min<int64_t>(View->Frames(), INT_MAX)));
    ReplayBar->setValue(0);
    ReplayBar->show();
    statusBar()->showMessage(PlayingMessage(ReplaySpeed));
    return true;
}

void TMainWindow::AdvanceReplay() {
    if (!View || View->Over()) return;
    if (!View->Advance()) statusBar()->showMessage(View->Outcome() + QStringLiteral(" – Esc beendet sie"));
    if (!ReplayBar->isSliderDown()) ReplayBar->setValue(int(View->Frame()));
    PaintBox1->Refresh();
}

void TMainWindow::PauseReplay() {
    if (!View || View->Over()) return;
    View->SetPaused(!View->Paused());
    statusBar()->showMessage(View->Paused()
                                 ? QStringLiteral("Wiedergabe angehalten – Leertaste: weiter, Esc beendet sie")
                                 : PlayingMessage(ReplaySpeed));
}

void TMainWindow::SeekReplay(int frame) {
    if (!View) return;
    View->SeekTo(frame);
    PaintBox1->Bind(&View->Game(), &PlatformPtr->Screen());  // a seek back plays a new game from the start
    ReplayBar->setValue(int(View->Frame()));
    if (View->Over())
        statusBar()->showMessage(View->Outcome() + QStringLiteral(" – Esc beendet sie"));
    else if (!View->Paused())
        statusBar()->showMessage(PlayingMessage(ReplaySpeed));
    PaintBox1->Refresh();
}

void TMainWindow::EndReplay() {
    if (!View) return;
    View.reset();
    ReplayBar->hide();
    PaintBox1->Bind(GameForm.get(), &PlatformPtr->Screen());
    RecordingPtr->Listen();
    statusBar()->clearMessage();
    if (Destroyed) return;
    SetPaused(false);
    SendMenu("NeuesSpiel1Click");
    SyncChecks();
}

void TMainWindow::Aufzeichnungspeichernunter1Click() {
    // While a replay is shown, it is the one saved; else the game as it stands now.
    const QByteArray text = View ? View->Source : QByteArray::fromStdString(RecordingPtr->Text());
    const QString file = ReplayDialog(true);
    if (file.isEmpty()) return;
    QString error;
    if (replays::WriteWhole(file, text, error)) return;
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Aufzeichnung speichern unter"),
                    QStringLiteral("%1 kann nicht geschrieben werden: %2").arg(QDir::toNativeSeparators(file), error),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    PausedWhile([&] { box.exec(); });
}

void TMainWindow::Wiedergabe1x1Click() { SetReplaySpeed(1); }
void TMainWindow::Wiedergabe2x1Click() { SetReplaySpeed(2); }
void TMainWindow::Wiedergabe4x1Click() { SetReplaySpeed(4); }

void TMainWindow::SetReplaySpeed(int factor) {
    ReplaySpeed = factor >= 4 ? 4 : factor >= 2 ? 2 : 1;
    (ReplaySpeed == 4 ? Wiedergabe4x1 : ReplaySpeed == 2 ? Wiedergabe2x1 : Wiedergabe1x1)->setChecked(true);
    if (View) {
        View->SetSpeed(ReplaySpeed);
        if (!View->Over()) statusBar()->showMessage(PlayingMessage(ReplaySpeed));
    }
    if (ReplaySpeed != ReplaySpeedStored) Remember(setting::ReplaySpeed, ReplaySpeed);
    ReplaySpeedStored = ReplaySpeed;
}

}  // namespace blubbi
