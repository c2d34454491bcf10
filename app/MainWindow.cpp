// The main window (MainUnit): components, menu, the frame timer, and the routing of every command.
#include "app/MainWindow.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QInputDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

#include "app/AboutBox.h"
#include "app/Addresses.h"
#include "app/GameOverForm.h"
#include "app/KeysForm.h"
#include "app/LevelPublishForm.h"
#include "app/MenuIcons.h"
#include "app/PaintBox.h"
#include "app/QtPlatform.h"
#include "app/WinForm.h"
#include "game/Events.h"
#include "game/MainForm.h"
#include "gfx/Screen.h"

namespace blubbi {

TMainWindow::TMainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Velkor Blubbi Blubbo 1.0"));

    PaintBox1 = new TPaintBox(this);
    setCentralWidget(PaintBox1);
    setFocusProxy(PaintBox1);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setFixedHeight(19);

    PlatformPtr = std::make_unique<TQtPlatform>(PaintBox1, this);
    GameForm = std::make_unique<TMainForm>(*PlatformPtr);
    PlatformPtr->AttachGame(GameForm.get());
    PaintBox1->Bind(GameForm.get(), &PlatformPtr->Screen());
    PaintBox1->SendEvent = [this](TEvent e) { PlatformPtr->Send(std::move(e)); };

    const QString menuDir = QCoreApplication::applicationDirPath() + QStringLiteral("/grafiken/menu/");
    for (int i = 0; i < int(ImageList1.size()); ++i)
        ImageList1[i] = QIcon(menuDir + QStringLiteral("%1.png").arg(i, 2, 10, QLatin1Char('0')));
    BuildMenu();
    HiscoreServer1 = Optionen1->addAction(QStringLiteral("Hiscore-Server..."));
    HiscoreServer1->setObjectName(QStringLiteral("HiscoreServer1"));
    connect(HiscoreServer1, &QAction::triggered, this, &TMainWindow::HiscoreServer1Click);

    // The start size gives the paint box its design size; the window stays resizable.
    resize(sizeHint());
    PaintBox1->setFocus(Qt::OtherFocusReason);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(static_cast<int>(kFrameIntervalMs));
    connect(Timer1, &QTimer::timeout, this, [this] { PlatformPtr->Send(MakeEvent(TEventKind::Tick)); });
    Timer1->start();

    {
        const TClockHold hold(*GameForm, PlatformPtr->GetTickCount());
        GameForm->FormCreate();
    }
    SyncChecks();
}

TMainWindow::~TMainWindow() { FormDestroy(); }

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
}

QAction* TMainWindow::Item(QMenu* menu, const QString& name, const QString& text, int image,
                           void (TMainWindow::*handler)()) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    if (image >= 0) action->setIcon(ImageList1[image]);
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void TMainWindow::BuildMenu() {
    auto separator = [](QMenu* menu, const QString& name) {
        QAction* s = menu->addSeparator();
        s->setObjectName(name);
        return s;
    };
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    Datei1 = bar->addMenu(QStringLiteral("Datei"));
    Datei1->setObjectName(QStringLiteral("Datei1"));
    NeuesSpiel1 =
        Item(Datei1, QStringLiteral("NeuesSpiel1"), QStringLiteral("Neues Spiel"), 0, &TMainWindow::NeuesSpiel1Click);
    N1 = separator(Datei1, QStringLiteral("N1"));
    Beenden1 = Item(Datei1, QStringLiteral("Beenden1"), QStringLiteral("Beenden"), 1, &TMainWindow::Beenden1Click);

    Optionen1 = bar->addMenu(QStringLiteral("Optionen"));
    Optionen1->setObjectName(QStringLiteral("Optionen1"));
    Hintergrundmusik1 = Item(Optionen1, QStringLiteral("Hintergrundmusik1"), QStringLiteral("Hintergrundmusik"), 2,
                             &TMainWindow::Hintergrundmusik1Click);
    Soundeffekte1 = Item(Optionen1, QStringLiteral("Soundeffekte1"), QStringLiteral("Soundeffekte"), 3,
                         &TMainWindow::Soundeffekte1Click);

    Leveleditor1 = bar->addMenu(QStringLiteral("Leveleditor"));
    Leveleditor1->setObjectName(QStringLiteral("Leveleditor1"));
    Editormodus1 = Item(Leveleditor1, QStringLiteral("Editormodus1"), QStringLiteral("Editormodus"), -1,
                        &TMainWindow::Editormodus1Click);
    N3 = separator(Leveleditor1, QStringLiteral("N3"));
    NeuesLevel1 = Item(Leveleditor1, QStringLiteral("NeuesLevel1"), QStringLiteral("Neues Level"), 5,
                       &TMainWindow::NeuesLevel1Click);
    Levelffnen1 = Item(Leveleditor1, QStringLiteral("Levelffnen1"), QStringLiteral("Level öffnen..."), 6,
                       &TMainWindow::Levelffnen1Click);
    Levelspeichern1 = Item(Leveleditor1, QStringLiteral("Levelspeichern1"), QStringLiteral("Level speichern..."), 7,
                           &TMainWindow::Levelspeichern1Click);
    N4 = separator(Leveleditor1, QStringLiteral("N4"));
    Blockeinfgen1 = Item(Leveleditor1, QStringLiteral("Blockeinfgen1"), QStringLiteral("Block einfügen"), -1,
                         &TMainWindow::Blockeinfgen1Click);
    FeindFedereinfgen1 = Item(Leveleditor1, QStringLiteral("FeindFedereinfgen1"),
                              QStringLiteral("Feind \"Feder\" einfügen"), -1, &TMainWindow::FeindFedereinfgen1Click);
    FeindGeisteinfgen1 = Item(Leveleditor1, QStringLiteral("FeindGeisteinfgen1"),
                              QStringLiteral("Feind \"Geist\" einfügen"), -1, &TMainWindow::FeindGeisteinfgen1Click);
    FeindBlauesMnneleinfgen1 =
        Item(Leveleditor1, QStringLiteral("FeindBlauesMnneleinfgen1"),
             QStringLiteral("Feind \"Blaues Männel\" einfügen"), -1, &TMainWindow::FeindBlauesMnneleinfgen1Click);
    FeindRotesMonstereinfgen1 =
        Item(Leveleditor1, QStringLiteral("FeindRotesMonstereinfgen1"),
             QStringLiteral("Feind \"Rotes Monster\" einfügen"), -1, &TMainWindow::FeindRotesMonstereinfgen1Click);
    N6 = separator(Leveleditor1, QStringLiteral("N6"));
    Levelverffentlichen1 =
        Item(Leveleditor1, QStringLiteral("Levelverffentlichen1"), QStringLiteral("Level veröffentlichen..."), 11,
             &TMainWindow::Levelverffentlichen1Click);

    Hilfe1 = bar->addMenu(QStringLiteral("Hilfe"));
    Hilfe1->setObjectName(QStringLiteral("Hilfe1"));
    Tastenbelegung1 = Item(Hilfe1, QStringLiteral("Tastenbelegung1"), QStringLiteral("Tastenbelegung"), 8,
                           &TMainWindow::Tastenbelegung1Click);
    N5 = separator(Hilfe1, QStringLiteral("N5"));
    AufzurVelkorHomepage1 =
        Item(Hilfe1, QStringLiteral("AufzurVelkorHomepage1"), QStringLiteral("Auf zur Velkor Homepage,,,"), 9,
             &TMainWindow::AufzurVelkorHomepage1Click);
    N2 = separator(Hilfe1, QStringLiteral("N2"));
    berdasProgramm1 = Item(Hilfe1, QStringLiteral("berdasProgramm1"), QStringLiteral("Über das Programm..."), 10,
                           &TMainWindow::berdasProgramm1Click);

    for (QAction* a : {Hintergrundmusik1, Soundeffekte1, Editormodus1}) a->setCheckable(true);
    InsertGroup = new QActionGroup(this);
    InsertGroup->setObjectName(QStringLiteral("InsertGroup"));
    InsertGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    QAction* const inserts[] = {Blockeinfgen1, FeindFedereinfgen1, FeindGeisteinfgen1, FeindBlauesMnneleinfgen1,
                                FeindRotesMonstereinfgen1};
    for (int i = 0; i < 5; ++i) {
        QAction* a = inserts[i];
        a->setCheckable(true);
        InsertGroup->addAction(a);
        a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_F1 + i)));
        a->setShortcutContext(Qt::WindowShortcut);
    }
    // Shortcuts of items in a closed menu must work too; the window itself carries them.
    addActions(InsertGroup->actions());
    for (QMenu* menu : {Datei1, Optionen1, Leveleditor1, Hilfe1})
        for (QAction* a : menu->actions())
            if (a->isCheckable() && !a->icon().isNull()) a->setIcon(WithCheckMark(a->icon()));
}

void TMainWindow::SyncChecks() {
    Hintergrundmusik1->setChecked(GameForm->MusicEnabled != 0);
    Soundeffekte1->setChecked(GameForm->SoundEnabled != 0);
    Editormodus1->setChecked(GameForm->EditorMode != 0);
    const QList<QAction*> inserts = InsertGroup->actions();
    const int kind = GameForm->InsertKind;
    if (kind >= 0 && kind < inserts.size()) inserts[kind]->setChecked(true);
}

void TMainWindow::SendMenu(const char* name) {
    TEvent e = MakeEvent(TEventKind::Menu);
    e.Text = name;
    PlatformPtr->Send(std::move(e));
}

void TMainWindow::NeuesSpiel1Click() { SendMenu("NeuesSpiel1Click"); }
void TMainWindow::Beenden1Click() { close(); }
void TMainWindow::Hintergrundmusik1Click() {
    SendMenu("Hintergrundmusik1Click");
    SyncChecks();
}
void TMainWindow::Soundeffekte1Click() {
    SendMenu("Soundeffekte1Click");
    SyncChecks();
}
void TMainWindow::Editormodus1Click() {
    SendMenu("Editormodus1Click");
    SyncChecks();
}
void TMainWindow::NeuesLevel1Click() { SendMenu("NeuesLevel1Click"); }
void TMainWindow::Levelffnen1Click() { SendMenu("Levelffnen1Click"); }
void TMainWindow::Levelspeichern1Click() { SendMenu("Levelspeichern1Click"); }
void TMainWindow::Blockeinfgen1Click() {
    SendMenu("Blockeinfgen1Click");
    SyncChecks();
}
void TMainWindow::FeindFedereinfgen1Click() {
    SendMenu("FeindFedereinfgen1Click");
    SyncChecks();
}
void TMainWindow::FeindGeisteinfgen1Click() {
    SendMenu("FeindGeisteinfgen1Click");
    SyncChecks();
}
void TMainWindow::FeindBlauesMnneleinfgen1Click() {
    SendMenu("FeindBlauesMnneleinfgen1Click");
    SyncChecks();
}
void TMainWindow::FeindRotesMonstereinfgen1Click() {
    SendMenu("FeindRotesMonstereinfgen1Click");
    SyncChecks();
}

void TMainWindow::Levelverffentlichen1Click() {
    if (LevelPublishForm && LevelPublishForm->exec() == QDialog::Accepted)
        PlatformPtr->ShellOpen(LevelPublishForm->Target().toStdString());
}

void TMainWindow::Tastenbelegung1Click() {
    if (KeysForm) KeysForm->exec();
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
    while (dialog.exec() == QDialog::Accepted) {
        if (addr::IsServerAddress(dialog.textValue())) {
            addr::SetHiscoreServer(dialog.textValue());
            return;
        }
        QMessageBox::warning(this, QStringLiteral("Hiscore-Server"),
                             QStringLiteral("Das ist keine Adresse eines Hiscore-Servers. Sie beginnt mit http:// "
                                            "oder https:// und nennt einen Rechner."));
    }
}

void TMainWindow::berdasProgramm1Click() {
    if (AboutBox) AboutBox->exec();
}

void TMainWindow::FormDestroy() {
    if (Destroyed) return;
    Destroyed = true;
    Timer1->stop();
    PlatformPtr->StopTimers();
    GameForm->FormDestroy();
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    FormDestroy();
    event->accept();
}

// Keys that land on the window rather than the paint box still belong to the game.
void TMainWindow::keyPressEvent(QKeyEvent* event) { PaintBox1->KeyDown(event); }
void TMainWindow::keyReleaseEvent(QKeyEvent* event) { PaintBox1->KeyUp(event); }

}  // namespace blubbi
