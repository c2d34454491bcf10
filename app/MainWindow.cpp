// The main window (MainUnit): its parts and the game put together, the input on its way to the game, and closing.
#include "app/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSessionManager>
#include <QShortcut>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>

#include "app/FocusFilter.h"
#include "app/GameRecording.h"
#include "app/Gamepad.h"
#include "app/PaintBox.h"
#include "app/QtPlatform.h"
#include "app/RecentLevels.h"
#include "app/ReplayFiles.h"
#include "app/ReplayView.h"
#include "app/WindowSettings.h"
#include "game/Events.h"
#include "game/MainForm.h"
#include "platform/session/GameSession.h"
#include "platform/session/KeyMerge.h"

namespace blubbi {

TMainWindow::TMainWindow(QWidget* parent, const QString& dataDir) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));

    PaintBox1 = new TPaintBox(this);
    setCentralWidget(PaintBox1);
    setFocusProxy(PaintBox1);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setFixedHeight(19);
    EditorMark = new QLabel(QStringLiteral("Editormodus"), statusBar());
    EditorMark->setObjectName(QStringLiteral("EditorMark"));
    statusBar()->addPermanentWidget(EditorMark);
    EditorMark->hide();
    ReplayBar = new QSlider(Qt::Horizontal, statusBar());
    ReplayBar->setObjectName(QStringLiteral("ReplayBar"));
    ReplayBar->setFocusPolicy(Qt::NoFocus);  // the keys stay the window's
    ReplayBar->setMinimumWidth(200);
    statusBar()->addPermanentWidget(ReplayBar);
    ReplayBar->hide();
    connect(ReplayBar, &QSlider::sliderReleased, this, [this] { SeekReplay(ReplayBar->value()); });
    connect(ReplayBar, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            QTimer::singleShot(0, this, [this] { SeekReplay(ReplayBar->value()); });
    });

    PlatformPtr = std::make_unique<TQtPlatform>(PaintBox1, this);
    PlatformPtr->DataDir = dataDir;
    RecordingPtr = std::make_unique<TGameRecording>(*PlatformPtr, replays::Folder());
    GameForm = std::make_unique<TMainForm>(RecordingPtr->Face());
    SessionPtr = std::make_unique<TGameSession>(*GameForm, [this](TEvent e) { PlatformPtr->Send(std::move(e)); });
    PlatformPtr->AttachGame(GameForm.get());
    PaintBox1->Bind(GameForm.get(), &PlatformPtr->Screen());
    Keys = std::make_unique<TKeyMerge>();
    PaintBox1->SendEvent = [this](TEvent e) { SendInput(TKeyMerge::kKeyboard, std::move(e)); };

    const QString menuDir = QCoreApplication::applicationDirPath() + QStringLiteral("/grafiken/menu/");
    for (int i = 0; i < int(ImageList1.size()); ++i)
        ImageList1[static_cast<size_t>(i)] = QIcon(menuDir + QStringLiteral("%1.png").arg(i, 2, 10, QLatin1Char('0')));
    BuildMenu();
    Wiederherstellen1->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    BuildViewItems();
    BuildFirstKeyItem();
    BuildReplayItems();
    BuildRecentItems();

    RestoreSettings();
    PaintBox1->setFocus(Qt::OtherFocusReason);

    // The menu bar for the keyboard, as in desktop programs: F10 or Alt pressed alone.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, &TMainWindow::OpenMenuBar);
    PaintBox1->OnMenuKey = [this] { MenuKey(); };
    // Keys let go while another window had the keyboard would stay held for the game.
    PaintBox1->OnFocusLost = [this] {
        if (!Destroyed) LetGoOfKeys();
    };
    FocusWatch = WatchFocusOut([this] {
        if (!Destroyed) LetGoOfKeys();
    });
    QCoreApplication::instance()->installNativeEventFilter(FocusWatch.get());
    PaintBox1->Held = [this](int32_t key) { return Keys->Held(key); };
    PaintBox1->OnPausedClick = [this] {
        if (!View) SetPaused(false);
    };
    menuBar()->installEventFilter(this);
    for (QMenu* menu : {Datei1, Optionen1, Leveleditor1, Hilfe1}) {
        connect(menu, &QMenu::aboutToHide, this,
                [this] { QTimer::singleShot(0, this, [this] { HideMenuBarWhenLeft(); }); });
        // An open menu holds the game, as a dialog does: nothing goes on behind it.
        connect(menu, &QMenu::aboutToShow, this, [this] {
            PlatformPtr->Hold(true);
            SyncEnabled();
        });
        connect(menu, &QMenu::aboutToHide, this, [this] { PlatformPtr->Hold(false); });
    }

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(static_cast<int>(kFrameIntervalMs));
    connect(Timer1, &QTimer::timeout, this, &TMainWindow::FrameTick);
    PaintBox1->Stats = &Stats;
    Stats.Presenter = PaintBox1->ThroughGraphicsCard() ? "card" : "painter";
    auto* f12 = new QShortcut(QKeySequence(Qt::Key_F12), this);
    connect(f12, &QShortcut::activated, this, [this] {
        PaintBox1->ShowStats = !PaintBox1->ShowStats;
        PaintBox1->Refresh();
    });
    Timer1->start();

    RecordingPtr->Start(*GameForm);
    SessionPtr->WaitForFirstKey = AufErstenTastendruckWarten1->isChecked();
    SessionPtr->AskGameOver = [this](const TGameOverMoment& moment) { return PlatformPtr->GameOverDialog(moment); };
    SessionPtr->ShowWin = [this] { PlatformPtr->WinDialog(); };
    PlatformPtr->AttachSession(SessionPtr.get());
    PlatformPtr->OnNewGame = [this] { SessionPtr->NewGameStarts(); };
    PlatformPtr->OnLevelFileUsed = [](const QString& file) { recent::Remember(file); };
#ifndef QT_NO_SESSIONMANAGER
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& session) {
        const bool go = SessionEnds(session.allowsInteraction());
        session.release();
        if (!go) session.cancel();
    });
#endif
    SyncChecks();
    PaintBox1->OnPauseKey = [this] {
        if (View)
            EndReplay();
        else
            SetPaused(!GameForm->Paused);
    };
    GamepadsPtr = std::make_unique<TGamepads>([this](int source, TEvent e) { SendInput(source, std::move(e)); },
                                              [this] { PaintBox1->OnPauseKey(); });  // Start is the pad's Esc
    GamepadsPtr->SetEnabled(Gamepad1->isChecked());
    // Another program took the keyboard: the player is not looking, so the game waits.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive && HadFocus && PauseBeiFokusverlust1->isChecked()) SetPaused(true);
    });
}

TMainWindow::~TMainWindow() {
    QCoreApplication::instance()->removeNativeEventFilter(FocusWatch.get());
    // The paint box outlives this part of the window (Qt deletes children later): its last focus
    // change must not call back into a window that is gone.
    PaintBox1->OnFocusLost = nullptr;
    PaintBox1->OnMenuKey = nullptr;
    PaintBox1->SendEvent = nullptr;
    FormDestroy();
}

void TMainWindow::Beenden1Click() { close(); }

void TMainWindow::OpenLevelFile(const QString& file) {
    PlatformPtr->ChooseLevelFile(QFileInfo(file).absoluteFilePath());
    SendMenu("Levelffnen1Click");
    PlatformPtr->ChooseLevelFile(QString());  // not taken when the player kept the changed level
    SyncChecks();
}

void TMainWindow::OfferRecovery() {
    if (!QFileInfo::exists(TQtPlatform::RecoveryFile())) return;
    SendMenu("OfferRecovery");
    SyncChecks();
}

bool TMainWindow::SessionEnds(bool mayAsk) {
    if (Destroyed || !GameForm->LevelChanged()) return true;
    if (!mayAsk) {
        GameForm->KeepRecovery();
        return true;
    }
    WorkSettled = GameForm->MayDropLevel();
    return WorkSettled;
}

bool TMainWindow::MayQuit() {
    if (Destroyed || WorkSettled || property("closingForSignal").toBool()) return true;
    return GameForm->MayDropLevel();
}

void TMainWindow::Gamepad1Click() {
    GamepadsPtr->SetEnabled(Gamepad1->isChecked());
    Remember(setting::Gamepad, Gamepad1->isChecked());
}

void TMainWindow::SendInput(int source, TEvent event) {
    if (View) {  // keys do not steer a replay; space stops it
        if (event.Kind == TEventKind::KeyDown && event.A == VK_SPACE) PauseReplay();
        return;
    }
    if (!Keys->Pass(source, event)) return;
    const bool waiting = SessionPtr->Waiting();
    SessionPtr->Input(std::move(event));
    if (waiting != SessionPtr->Waiting()) ShowPause();
    SyncEnabled();  // a stroke of the editor makes something to undo
}

void TMainWindow::LetGoOfKeys() {
    if (GamepadsPtr) GamepadsPtr->Forget();
    Keys->ReleaseEverything();
    if (SessionPtr) SessionPtr->LetGo();
}

void TMainWindow::FormDestroy() {
    if (Destroyed) return;
    Destroyed = true;
    Timer1->stop();
    WriteFrameStats();
    GamepadsPtr->SetEnabled(false);
    EndReplay();
    RecordingPtr->StoreGame(GameForm->Score);
    PlatformPtr->StopTimers();
    GameForm->FormDestroy();
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    if (!MayQuit()) {
        event->ignore();
        SyncEnabled();  // a failed save may have marked nothing, a good one the level saved
        return;
    }
    if (Shown && !Destroyed) RememberGeometry(normalGeometry(), PaintBox1->devicePixelRatioF());
    // Closed for a signal with the player's work unsaved, it is kept; a clean exit leaves nothing behind.
    const bool keep = !Destroyed && !WorkSettled && property("closingForSignal").toBool() && GameForm->LevelChanged();
    if (keep) GameForm->KeepRecovery();
    FormDestroy();
    if (!keep) PlatformPtr->RemoveRecovery();
    event->accept();
}

// Keys that land on the window rather than the paint box still belong to the game.
void TMainWindow::keyPressEvent(QKeyEvent* event) { PaintBox1->KeyDown(event); }
void TMainWindow::keyReleaseEvent(QKeyEvent* event) { PaintBox1->KeyUp(event); }

void TMainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) SetPaused(true);
    // The window system may end full screen by itself (a key of its own): the game follows.
    if (event->type() == QEvent::WindowStateChange && !isMinimized() && isFullScreen() != PaintBox1->Fit() &&
        !Destroyed)
        SetFullScreen(isFullScreen());
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) HadFocus = true;
}

void TMainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    Shown = true;
}

}  // namespace blubbi
