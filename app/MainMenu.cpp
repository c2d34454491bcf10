// The main window's menu bar: its table of items, building it, keeping checks and enabled states with the game, and its
// keyboard.
#include "app/MainWindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProxyStyle>
#include <QTimer>
#include <vector>

#include "app/MenuIcons.h"
#include "app/PaintBox.h"
#include "app/QtPlatform.h"
#include "app/RecentLevels.h"
#include "game/Events.h"
#include "game/MainForm.h"
#include "game/MenuCommands.h"

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

// What choosing an item does: a replay shown ends first unless the item acts on it, then the
// game's command runs (its checks follow the game) or the window's own.
void ConnectItem(TMainWindow& window, QAction* action, const TItemRow& row) {
    if (!KeepsReplay(row)) QObject::connect(action, &QAction::triggered, &window, &TMainWindow::EndReplay);
    if (const TMenuCommand* command = row.Command) {
        QObject::connect(action, &QAction::triggered, &window, [&window, command] {
            window.SendMenu(command->Name);
            window.SyncChecks();
        });
    } else if (row.Own) {
        QObject::connect(action, &QAction::triggered, &window, row.Own);
    }
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

}  // namespace

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
            ConnectItem(*this, action, row);
        }
    }
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

void TMainWindow::SyncEnabled() {
    // The caption's one place; the desktop's mark of unsaved work: a leading star.
    const QString title = QStringLiteral("Velkor Blubbi Blubbo 1.0");
    setWindowTitle(GameForm->LevelChanged() ? QStringLiteral("*") + title : title);
    for (const TMenuRow& menu : Menus())
        for (const TItemRow& row : menu.Items)
            if (row.Command && row.Command->Enabled) (this->*row.Field)->setEnabled(row.Command->Enabled(*GameForm));
}

void TMainWindow::MenuKey() {
    if (View || GameForm->Paused || !GameForm->GameActive || GameForm->Lives <= 0) OpenMenuBar();
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
