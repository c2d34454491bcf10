// The main window (MainUnit): components, the menu as the window shows it, the frame timer, its own commands.
#include "app/MainWindow.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProxyStyle>
#include <QScreen>
#include <QSessionManager>
#include <QShortcut>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <vector>

#include "app/AboutBox.h"
#include "app/Addresses.h"
#include "app/GameOverForm.h"
#include "app/GameRecording.h"
#include "app/Gamepad.h"
#include "app/German.h"
#include "app/KeysForm.h"
#include "app/LevelPublishForm.h"
#include "app/MenuIcons.h"
#include "app/PaintBox.h"
#include "app/QtPlatform.h"
#include "app/RecentLevels.h"
#include "app/ReplayFiles.h"
#include "app/ReplayView.h"
#include "app/WinForm.h"
#include "app/WindowSettings.h"
#include "game/Events.h"
#include "game/MainForm.h"
#include "game/MenuCommands.h"
#include "gfx/Screen.h"
#include "platform/session/GameSession.h"
#include "platform/session/KeyMerge.h"

namespace blubbi {

namespace {

// How an item shows its command's state: not at all, as a check mark, or as one of the
// insert kinds of which exactly one is chosen.
enum class TMark { None, Check, Insert };

// One item of a menu as the window shows it; a row without text is a separator. It runs
// either one of the game's commands or one of the window's own.
struct TItemRow {
    QAction* TMainWindow::*Field;
    const char* Name;
    const char* Text = nullptr;
    int Image = -1;  // in ImageList1; -1: none
    const TMenuCommand* Command = nullptr;
    void (TMainWindow::*Own)() = nullptr;
    TMark Mark = TMark::None;
    QKeyCombination Shortcut{};
};

struct TMenuRow {
    QMenu* TMainWindow::*Field;
    const char* Name;
    const char* Text;
    std::vector<TItemRow> Items;
};

using W = TMainWindow;

// The menu bar, in the order it shows.
const std::vector<TMenuRow>& Menus() {
    static const std::vector<TMenuRow> menus{
        {&W::Datei1,
         "Datei1",
         "Datei",
         {
             {&W::NeuesSpiel1, "NeuesSpiel1", "Neues Spiel", 0, MenuCommand("NeuesSpiel1Click")},
             {&W::N1, "N1"},
             {&W::Aufzeichnungabspielen1, "Aufzeichnungabspielen1", "Aufzeichnung abspielen...", -1, nullptr,
              &W::Aufzeichnungabspielen1Click},
             {&W::Aufzeichnungspeichernunter1, "Aufzeichnungspeichernunter1", "Aufzeichnung speichern unter...", -1,
              nullptr, &W::Aufzeichnungspeichernunter1Click},
             {&W::Wiedergabe1x1, "Wiedergabe1x1", "Wiedergabe 1×", -1, nullptr, &W::Wiedergabe1x1Click, TMark::Check},
             {&W::Wiedergabe2x1, "Wiedergabe2x1", "Wiedergabe 2×", -1, nullptr, &W::Wiedergabe2x1Click, TMark::Check},
             {&W::Wiedergabe4x1, "Wiedergabe4x1", "Wiedergabe 4×", -1, nullptr, &W::Wiedergabe4x1Click, TMark::Check},
             {&W::N7, "N7"},
             // Last, as in every program, with its usual key.
             {&W::Beenden1, "Beenden1", "Beenden", 1, nullptr, &W::Beenden1Click, TMark::None, Qt::CTRL | Qt::Key_Q},
         }},
        {&W::Optionen1,
         "Optionen1",
         "Optionen",
         {
             {&W::Hintergrundmusik1, "Hintergrundmusik1", "Hintergrundmusik", 2, MenuCommand("Hintergrundmusik1Click"),
              nullptr, TMark::Check},
             {&W::Soundeffekte1, "Soundeffekte1", "Soundeffekte", 3, MenuCommand("Soundeffekte1Click"), nullptr,
              TMark::Check},
             {&W::HiscoreServer1, "HiscoreServer1", "Hiscore-Server...", -1, nullptr, &W::HiscoreServer1Click},
             {&W::Pause1, "Pause1", "Pause\tEsc", -1, nullptr, &W::Pause1Click, TMark::Check},
             {&W::PauseBeiFokusverlust1, "PauseBeiFokusverlust1", "Pause bei Fokusverlust", -1, nullptr,
              &W::PauseBeiFokusverlust1Click, TMark::Check},
             {&W::Gamepad1, "Gamepad1", "Gamepad", -1, nullptr, &W::Gamepad1Click, TMark::Check},
             {&W::Vollbild1, "Vollbild1", "Vollbild", -1, nullptr, &W::Vollbild1Click, TMark::Check,
              QKeyCombination(Qt::Key_F11)},
         }},
        {&W::Leveleditor1,
         "Leveleditor1",
         "Leveleditor",
         {
             {&W::Editormodus1, "Editormodus1", "Editormodus", -1, MenuCommand("Editormodus1Click"), nullptr,
              TMark::Check},
             {&W::N3, "N3"},
             {&W::NeuesLevel1, "NeuesLevel1", "Neues Level", 5, MenuCommand("NeuesLevel1Click")},
             {&W::Levelffnen1, "Levelffnen1", "Level öffnen...", 6, MenuCommand("Levelffnen1Click")},
             {&W::Levelspeichern1, "Levelspeichern1", "Level speichern...", 7, MenuCommand("Levelspeichern1Click")},
             {&W::N4, "N4"},
             {&W::Blockeinfgen1, "Blockeinfgen1", "Block einfügen", -1, MenuCommand("Blockeinfgen1Click"), nullptr,
              TMark::Insert, Qt::CTRL | Qt::Key_F1},
             {&W::FeindFedereinfgen1, "FeindFedereinfgen1", "Feind \"Feder\" einfügen", -1,
              MenuCommand("FeindFedereinfgen1Click"), nullptr, TMark::Insert, Qt::CTRL | Qt::Key_F2},
             {&W::FeindGeisteinfgen1, "FeindGeisteinfgen1", "Feind \"Geist\" einfügen", -1,
              MenuCommand("FeindGeisteinfgen1Click"), nullptr, TMark::Insert, Qt::CTRL | Qt::Key_F3},
             {&W::FeindBlauesMnneleinfgen1, "FeindBlauesMnneleinfgen1", "Feind \"Blaues Männel\" einfügen", -1,
              MenuCommand("FeindBlauesMnneleinfgen1Click"), nullptr, TMark::Insert, Qt::CTRL | Qt::Key_F4},
             {&W::FeindRotesMonstereinfgen1, "FeindRotesMonstereinfgen1", "Feind \"Rotes Monster\" einfügen", -1,
              MenuCommand("FeindRotesMonstereinfgen1Click"), nullptr, TMark::Insert, Qt::CTRL | Qt::Key_F5},
             {&W::N6, "N6"},
             {&W::Levelverffentlichen1, "Levelverffentlichen1", "Level veröffentlichen...", 11, nullptr,
              &W::Levelverffentlichen1Click},
             {&W::N8, "N8"},
             {&W::Rckgngig1, "Rckgngig1", "Rückgängig", -1, MenuCommand("Rckgngig1Click"), nullptr, TMark::None,
              Qt::CTRL | Qt::Key_Z},
             {&W::Wiederherstellen1, "Wiederherstellen1", "Wiederherstellen", -1, MenuCommand("Wiederherstellen1Click"),
              nullptr, TMark::None, Qt::CTRL | Qt::Key_Y},
         }},
        {&W::Hilfe1,
         "Hilfe1",
         "Hilfe",
         {
             {&W::Tastenbelegung1, "Tastenbelegung1", "Tastenbelegung", 8, nullptr, &W::Tastenbelegung1Click},
             {&W::N5, "N5"},
             {&W::AufzurVelkorHomepage1, "AufzurVelkorHomepage1", "Auf zur Velkor Homepage,,,", 9, nullptr,
              &W::AufzurVelkorHomepage1Click},
             {&W::N2, "N2"},
             {&W::berdasProgramm1, "berdasProgramm1", "Über das Programm...", 10, nullptr, &W::berdasProgramm1Click},
         }},
    };
    return menus;
}

// Items that act on the replay shown, or only on how it is shown; every other item ends it first.
bool KeepsReplay(const TItemRow& row) {
    return row.Own == &W::Aufzeichnungabspielen1Click || row.Own == &W::Aufzeichnungspeichernunter1Click ||
           row.Own == &W::Wiedergabe1x1Click || row.Own == &W::Wiedergabe2x1Click ||
           row.Own == &W::Wiedergabe4x1Click || row.Own == &W::Vollbild1Click;
}

// The menu bar's own answer to a lone Alt would take the arrows from the game in the middle of
// play; the window decides instead (MenuKey).
class TNoAltMenuStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_MenuBar_AltKeyNavigation) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// The X server says the keyboard left one of the program's windows. Qt tells its widgets only once
// none of its windows took it back within a moment, so a quick visit to another program, with a
// key let go there, would go unseen.
class TFocusOutWatch : public QAbstractNativeEventFilter {
public:
    explicit TFocusOutWatch(std::function<void()> lost) : Lost(std::move(lost)) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_FOCUS_OUT) return false;
        const auto* out = static_cast<const xcb_focus_out_event_t*>(message);
        if (out->detail != XCB_NOTIFY_DETAIL_INFERIOR && out->detail != XCB_NOTIFY_DETAIL_POINTER) Lost();
        return false;
    }

private:
    std::function<void()> Lost;
};

QString PlayingMessage(int speed) { return QStringLiteral("Wiedergabe %1× – Esc beendet sie").arg(speed); }
}  // namespace

TMainWindow::TMainWindow(QWidget* parent, const QString& dataDir) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Velkor Blubbi Blubbo 1.0"));

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
    FocusWatch = std::make_unique<TFocusOutWatch>([this] {
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
    Gamepad1->setChecked(TWindowSettings::Load().Gamepad);
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

void TMainWindow::CreateForms() {
    if (WinForm) return;
    const QString dir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    auto shellOpen = [this](const QString& address) { PlatformPtr->ShellOpen(address.toStdString()); };
    WinForm = new TWinForm(dir, this);
    AboutBox = new TAboutBox(dir, shellOpen, this);
    GameOverForm = new TGameOverForm(shellOpen, this);
    connect(GameOverForm, &TGameOverForm::UploadNotice, this,
            [this](const QString& message) { statusBar()->showMessage(QStringLiteral("Hiscore: ") + message, 30000); });
    KeysForm = new TKeysForm(this);
    LevelPublishForm = new TLevelPublishForm(this);
    PlatformPtr->AttachDialogs(GameOverForm, WinForm);
    GameOverForm->SetReplayProvider(
        [this] { return std::optional<QByteArray>(QByteArray::fromStdString(RecordingPtr->Text())); });
}

void TMainWindow::BuildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto* style = new TNoAltMenuStyle;
    style->setParent(bar);
    bar->setStyle(style);
    InsertGroup = new QActionGroup(this);
    InsertGroup->setObjectName(QStringLiteral("InsertGroup"));
    InsertGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (const TMenuRow& menuRow : Menus()) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(menuRow.Text));
        menu->setObjectName(QString::fromUtf8(menuRow.Name));
        this->*menuRow.Field = menu;
        for (const TItemRow& row : menuRow.Items) {
            QAction* action = row.Text ? menu->addAction(QString::fromUtf8(row.Text)) : menu->addSeparator();
            action->setObjectName(QString::fromUtf8(row.Name));
            this->*row.Field = action;
            if (row.Mark != TMark::None) action->setCheckable(true);
            if (row.Image >= 0) {
                const QIcon& image = ImageList1[size_t(row.Image)];
                action->setIcon(action->isCheckable() && !image.isNull() ? WithCheckMark(image) : image);
            }
            if (row.Mark == TMark::Insert) InsertGroup->addAction(action);
            if (row.Shortcut != QKeyCombination()) {
                action->setShortcut(QKeySequence(row.Shortcut));
                action->setShortcutContext(Qt::WindowShortcut);
                // Shortcuts of items in a closed menu must work too; the window itself carries them.
                addAction(action);
            }
            if (!KeepsReplay(row)) connect(action, &QAction::triggered, this, &TMainWindow::EndReplay);
            if (const TMenuCommand* command = row.Command) {
                connect(action, &QAction::triggered, this, [this, command] {
                    SendMenu(command->Name);
                    SyncChecks();
                });
            } else if (row.Own) {
                connect(action, &QAction::triggered, this, row.Own);
            }
        }
    }
}

// The zoom, after the options the game has always had.
void TMainWindow::BuildViewItems() {
    Vergrerung1 = Optionen1->addMenu(QStringLiteral("Vergrößerung"));
    Vergrerung1->setObjectName(QStringLiteral("Vergrerung1"));
    Vergrerung1->menuAction()->setObjectName(QStringLiteral("Vergrerung1Item"));
    ZoomGroup = new QActionGroup(this);
    ZoomGroup->setObjectName(QStringLiteral("ZoomGroup"));
    ZoomGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (int scale = 1; scale <= TPaintBox::kMaxScale; ++scale) {
        QAction* a = Vergrerung1->addAction(QStringLiteral("%1×").arg(scale));
        a->setObjectName(QStringLiteral("Zoom%1").arg(scale));
        a->setCheckable(true);
        ZoomGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, scale] {
            SetZoom(scale);
            Remember(setting::Zoom, scale);
        });
    }
    connect(Vergrerung1, &QMenu::aboutToShow, this, &TMainWindow::UpdateZoomItems);
}

namespace {
// The window's frame around its client area; before the window system has told it, room for a
// title bar.
QMargins FrameOf(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    const QMargins margins = handle ? handle->frameMargins() : QMargins();
    return margins.isNull() ? QMargins(4, 30, 4, 4) : margins;
}
}  // namespace

bool TMainWindow::ZoomFits(int zoom) const {
    const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where) return true;
    const QSize box = PaintBox1->SizeAt(zoom);
    const int bars = menuBar()->sizeHint().height() + statusBar()->height();
    const QMargins frame = FrameOf(this);
    const QSize window(box.width() + frame.left() + frame.right(), box.height() + bars + frame.top() + frame.bottom());
    const QSize room = where->availableGeometry().size();
    return window.width() <= room.width() && window.height() <= room.height();
}

int TMainWindow::FittingZoom(int wanted) const {
    int zoom = std::clamp(wanted, 1, TPaintBox::kMaxScale);
    while (zoom > 1 && !ZoomFits(zoom)) --zoom;
    return zoom;
}

void TMainWindow::UpdateZoomItems() {
    for (int zoom = 1; zoom <= TPaintBox::kMaxScale; ++zoom)
        ZoomGroup->actions()[zoom - 1]->setEnabled(zoom == 1 || ZoomFits(zoom));
}

void TMainWindow::KeepOnScreen() {
    if (isFullScreen() || isMaximized()) return;
    const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where) return;
    const QRect room = where->availableGeometry();
    const QRect frame = geometry().marginsAdded(FrameOf(this));
    const int left = std::clamp(frame.left(), room.left(), std::max(room.left(), room.right() + 1 - frame.width()));
    const int top = std::clamp(frame.top(), room.top(), std::max(room.top(), room.bottom() + 1 - frame.height()));
    if (left != frame.left() || top != frame.top()) move(pos() + QPoint(left - frame.left(), top - frame.top()));
}

// The start size gives the paint box its design size (times the zoom); the window stays resizable.
// A size and place kept from the last run come back where they still fit a screen.
void TMainWindow::RestoreSettings() {
    const TWindowSettings kept = TWindowSettings::Load();
    PauseBeiFokusverlust1->setChecked(kept.PauseOnFocusLoss);
    // A zoom kept from a larger screen gives way here; the kept one comes back where it fits.
    PaintBox1->SetScale(FittingZoom(kept.Zoom));
    ZoomGroup->actions()[PaintBox1->Zoom() - 1]->setChecked(true);
    UpdateZoomItems();
    resize(sizeHint());
    // A size kept under another desktop scale factor would show another part of the game: the
    // window takes its start size there, and only the place comes back.
    const bool sameScale = !kept.GeometryScale || std::abs(*kept.GeometryScale - PaintBox1->devicePixelRatioF()) < 0.01;
    if (kept.Geometry) {
        const QRect wanted = sameScale ? *kept.Geometry : QRect(kept.Geometry->topLeft(), size());
        if (SizeFitsAScreen(wanted.size())) resize(wanted.size());
        if (FitsAScreen(wanted)) {
            setGeometry(wanted);
            Placed = true;
        }
    }
    if (kept.FullScreen) SetFullScreen(true);
}

// After the options the game has always had and the zoom, so that their places stay.
void TMainWindow::BuildFirstKeyItem() {
    AufErstenTastendruckWarten1 = Optionen1->addAction(QStringLiteral("Auf ersten Tastendruck warten"));
    AufErstenTastendruckWarten1->setObjectName(QStringLiteral("AufErstenTastendruckWarten1"));
    AufErstenTastendruckWarten1->setCheckable(true);
    AufErstenTastendruckWarten1->setChecked(TWindowSettings::Load().WaitForFirstKey);
    connect(AufErstenTastendruckWarten1, &QAction::triggered, this, &TMainWindow::AufErstenTastendruckWarten1Click);
}

void TMainWindow::AufErstenTastendruckWarten1Click() {
    SessionPtr->WaitForFirstKey = AufErstenTastendruckWarten1->isChecked();
    Remember(setting::WaitForFirstKey, AufErstenTastendruckWarten1->isChecked());
}

// The replay items, after the file items the game has always had.
void TMainWindow::BuildReplayItems() {
    SpeedGroup = new QActionGroup(this);
    SpeedGroup->setObjectName(QStringLiteral("SpeedGroup"));
    SpeedGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (QAction* a : {Wiedergabe1x1, Wiedergabe2x1, Wiedergabe4x1}) SpeedGroup->addAction(a);
    ReplaySpeedStored = TWindowSettings::Load().ReplaySpeed;
    SetReplaySpeed(ReplaySpeedStored);
}

void TMainWindow::SyncChecks() {
    for (const TMenuRow& menu : Menus()) {
        for (const TItemRow& row : menu.Items) {
            if (!row.Command || !row.Command->Checked) continue;
            QAction* action = this->*row.Field;
            const bool on = row.Command->Checked(*GameForm);
            // An insert kind is only ever switched on: its group switches the others off.
            if (on || row.Mark != TMark::Insert) action->setChecked(on);
        }
    }
    Pause1->setChecked(GameForm->Paused != 0);
    EditorMark->setVisible(GameForm->EditorMode != 0);
    SyncEnabled();
}

void TMainWindow::SendMenu(std::string_view name) {
    TEvent e = MakeEvent(TEventKind::Menu);
    e.Text = name;
    PlatformPtr->Send(std::move(e));
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

// After the items the editor has always had.
void TMainWindow::BuildRecentItems() {
    N9 = Leveleditor1->addSeparator();
    N9->setObjectName(QStringLiteral("N9"));
    Zuletztgeffnet1 = Leveleditor1->addMenu(QStringLiteral("Zuletzt geöffnet"));
    Zuletztgeffnet1->setObjectName(QStringLiteral("Zuletztgeffnet1"));
    Zuletztgeffnet1->menuAction()->setObjectName(QStringLiteral("Zuletztgeffnet1Item"));
    connect(Zuletztgeffnet1, &QMenu::aboutToShow, this, &TMainWindow::FillRecentItems);
}

// Missing files show greyed; they go with "Fehlende entfernen", every entry with "Liste leeren".
void TMainWindow::FillRecentItems() {
    Zuletztgeffnet1->clear();
    const QStringList files = recent::Levels();
    bool missing = false;
    for (int i = 0; i < files.size(); ++i) {
        const QString& file = files[i];
        QAction* a = Zuletztgeffnet1->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
            QDir::toNativeSeparators(file).replace(QLatin1Char('&'), QStringLiteral("&&"))));
        a->setObjectName(QStringLiteral("Zuletzt%1").arg(i + 1));
        a->setEnabled(QFileInfo(file).isFile());
        missing = missing || !a->isEnabled();
        connect(a, &QAction::triggered, this, [this, file] {
            EndReplay();
            OpenLevelFile(file);
        });
    }
    if (files.isEmpty()) Zuletztgeffnet1->addAction(QStringLiteral("(keine)"))->setEnabled(false);
    Zuletztgeffnet1->addSeparator();
    QAction* forget = Zuletztgeffnet1->addAction(QStringLiteral("Fehlende entfernen"), [] { recent::ForgetMissing(); });
    forget->setObjectName(QStringLiteral("FehlendeEntfernen1"));
    forget->setEnabled(missing);
    QAction* clear = Zuletztgeffnet1->addAction(QStringLiteral("Liste leeren"), [] { recent::Clear(); });
    clear->setObjectName(QStringLiteral("ListeLeeren1"));
    clear->setEnabled(!files.isEmpty());
}

void TMainWindow::Levelverffentlichen1Click() {
    if (!LevelPublishForm) return;
    bool accepted = false;
    PausedWhile([&] { accepted = LevelPublishForm->exec() == QDialog::Accepted; });
    if (accepted) PlatformPtr->ShellOpen(LevelPublishForm->Target().toStdString());
}

void TMainWindow::Tastenbelegung1Click() {
    if (KeysForm) PausedWhile([this] { KeysForm->exec(); });
}

// Without a configured home page the game's own manual stands in for it.
void TMainWindow::AufzurVelkorHomepage1Click() {
    const QString home = addr::HomePage();
    PlatformPtr->ShellOpen((home.isEmpty() ? addr::Manual().toString() : home).toStdString());
}

void TMainWindow::HiscoreServer1Click() {
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("HiscoreServerForm"));
    dialog.setWindowTitle(QStringLiteral("Hiscore-Server"));
    QString label = QStringLiteral(
        "Adresse des Hiscore-Servers (http:// oder https://).\n"
        "Leer: Die Punkte bleiben in der Hiscore-Liste dieses Computers.");
    if (!qEnvironmentVariable(addr::HiscoreServerEnv).trimmed().isEmpty())
        label += QStringLiteral("\nZurzeit gilt %1=%2.")
                     .arg(QString::fromLatin1(addr::HiscoreServerEnv), qEnvironmentVariable(addr::HiscoreServerEnv));
    dialog.setLabelText(label);
    dialog.setTextValue(addr::StoredHiscoreServer());
    dialog.resize(460, dialog.sizeHint().height());
    PausedWhile([&] {
        while (dialog.exec() == QDialog::Accepted) {
            if (addr::IsServerAddress(dialog.textValue())) {
                addr::SetHiscoreServer(dialog.textValue());
                return;
            }
            QMessageBox::warning(this, QStringLiteral("Hiscore-Server"),
                                 QStringLiteral("Das ist keine Adresse eines Hiscore-Servers. Sie beginnt mit http:// "
                                                "oder https:// und nennt einen Rechner."));
        }
    });
}

void TMainWindow::berdasProgramm1Click() {
    if (AboutBox) PausedWhile([this] { AboutBox->exec(); });
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

void TMainWindow::Pause1Click() { SetPaused(!GameForm->Paused); }

void TMainWindow::PauseBeiFokusverlust1Click() {
    Remember(setting::PauseOnFocusLoss, PauseBeiFokusverlust1->isChecked());
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

void TMainWindow::SyncEnabled() {
    // The desktop's mark of unsaved work: a leading star.
    const QString title = QStringLiteral("Velkor Blubbi Blubbo 1.0");
    setWindowTitle(GameForm->LevelChanged() ? QStringLiteral("*") + title : title);
    for (const TMenuRow& menu : Menus())
        for (const TItemRow& row : menu.Items)
            if (row.Command && row.Command->Enabled) (this->*row.Field)->setEnabled(row.Command->Enabled(*GameForm));
}

void TMainWindow::LetGoOfKeys() {
    if (GamepadsPtr) GamepadsPtr->Forget();
    Keys->ReleaseEverything();
    if (SessionPtr) SessionPtr->LetGo();
}

bool TMainWindow::WaitingForFirstKey() const { return SessionPtr->Waiting(); }

void TMainWindow::MenuKey() {
    if (View || GameForm->Paused || !GameForm->GameActive || GameForm->Lives <= 0) OpenMenuBar();
}

void TMainWindow::SetZoom(int scale) {
    if (!isFullScreen()) scale = FittingZoom(scale);
    PaintBox1->SetScale(scale);
    ZoomGroup->actions()[PaintBox1->Zoom() - 1]->setChecked(true);
    const QSize box = PaintBox1->sizeHint();
    if (isMaximized() || isFullScreen()) {
        PaintBox1->FollowSize();  // the window keeps its size; the field stays centred
        return;
    }
    if (box == PaintBox1->size()) PaintBox1->FollowSize();  // no resize to come, but maybe a new scale
    resize(size() + box - PaintBox1->size());
    KeepOnScreen();
}

void TMainWindow::Vollbild1Click() { SetFullScreen(Vollbild1->isChecked()); }

void TMainWindow::SetFullScreen(bool on) {
    Vollbild1->setChecked(on);
    PaintBox1->SetFit(on);
    menuBar()->setVisible(!on);
    statusBar()->setVisible(!on);
    if (on != isFullScreen()) {
        if (on) MaximizedBeforeFull = isMaximized();
        const QRect normal = normalGeometry();
        Qt::WindowStates state = windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized);
        if (on)
            state |= Qt::WindowFullScreen;
        else if (MaximizedBeforeFull)
            state |= Qt::WindowMaximized;
        setWindowState(state);
        // Not every window system puts a window back where it was before it filled the screen.
        if (!on && !MaximizedBeforeFull && normal.isValid()) {
            setGeometry(normal);
            KeepOnScreen();
        }
    }
    Remember(setting::FullScreen, on);
    PaintBox1->setFocus(Qt::OtherFocusReason);
}

void TMainWindow::OpenMenuBar() {
    if (Destroyed || QApplication::activePopupWidget() || QApplication::activeModalWidget()) return;
    menuBar()->show();
    menuBar()->setActiveAction(Datei1->menuAction());
}

void TMainWindow::HideMenuBarWhenLeft() {
    if (Destroyed || QApplication::activePopupWidget() || menuBar()->hasFocus()) return;
    if (PaintBox1->Fit()) menuBar()->hide();
    // The keys belong to the game again.
    if (!PaintBox1->hasFocus()) PaintBox1->setFocus(Qt::OtherFocusReason);
}

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

// The menu bar left with Esc keeps the keyboard, as in desktop programs: down, Enter and space
// open its chosen menu again, and once it lets the keyboard go it hides again in full screen.
bool TMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == menuBar()) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            QAction* chosen = menuBar()->activeAction();
            if (chosen &&
                (key == Qt::Key_Down || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
                menuBar()->setActiveAction(chosen);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            QTimer::singleShot(0, this, [this] { HideMenuBarWhenLeft(); });
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace blubbi
