// The main window: caption, sizes, timers, the menu with its states and shortcuts, keys and mouse.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QActionGroup>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <utility>

#include "app/AboutBox.h"
#include "app/Addresses.h"
#include "app/BitBtn.h"
#include "app/GameOverForm.h"
#include "app/KeysForm.h"
#include "app/LevelPublishForm.h"
#include "app/MainWindow.h"
#include "app/PaintBox.h"
#include "app/QtPlatform.h"
#include "app/WinForm.h"
#include "game/MainForm.h"
#include "gfx/BildIO.h"
#include "gfx/Screen.h"
#include "tests/app/AppTestSupport.h"

using namespace blubbi;
using blubbi::test::SeeMessageBox;
using blubbi::test::TMessageSeen;
using blubbi::test::TUrlCatcher;
using blubbi::test::WaitFor;
using blubbi::test::WhileModal;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Window = std::make_unique<TMainWindow>();
        Window->CreateForms();
        // The block sheet decides whether frames draw; the tests do not need the real one.
        Game().Sheets[kSlotStein1] = newdib(19, 19, 8, nullptr, 0);
    }
    void ShowActive() {
        Window->show();
        Window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    }
    TMainForm& Game() { return Window->Game(); }

    std::unique_ptr<TMainWindow> Window;
};

struct TItemRow {
    const char* Name;
    const char* Text;  // nullptr for a separator
};

void ExpectMenu(QMenu* menu, const char* title, std::initializer_list<TItemRow> rows) {
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), QString::fromUtf8(title));
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), qsizetype(rows.size())) << title;
    int i = 0;
    for (const TItemRow& row : rows) {
        QAction* a = actions[i++];
        EXPECT_EQ(a->objectName(), QString::fromLatin1(row.Name));
        if (row.Text) {
            EXPECT_FALSE(a->isSeparator()) << row.Name;
            EXPECT_EQ(a->text(), QString::fromUtf8(row.Text)) << row.Name;
        } else {
            EXPECT_TRUE(a->isSeparator()) << row.Name;
        }
    }
}

}  // namespace

TEST_F(MainWindowTest, CaptionStatusBarAndStartSize) {
    ShowActive();
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("Velkor Blubbi Blubbo 1.0"));
    EXPECT_EQ(Window->PaintBox1->size(), QSize(681, 425));
    EXPECT_EQ(Window->statusBar()->height(), 19);
    EXPECT_TRUE(Window->statusBar()->currentMessage().isEmpty());
    EXPECT_GT(Window->statusBar()->geometry().top(), Window->PaintBox1->geometry().bottom());
    EXPECT_LT(Window->minimumSize().width(), Window->maximumSize().width());  // resizable
    EXPECT_EQ(QApplication::focusWidget(), Window->PaintBox1);
}

TEST_F(MainWindowTest, TimersAndStartUp) {
    EXPECT_EQ(Window->Timer1->interval(), 25);
    EXPECT_EQ(Window->Timer1->timerType(), Qt::PreciseTimer);
    EXPECT_TRUE(Window->Timer1->isActive());
    for (QTimer* t :
         {Window->Platform().Timer(TOneShotTimer::Timer2), Window->Platform().Timer(TOneShotTimer::Timer3)}) {
        EXPECT_EQ(t->interval(), 3000);
        EXPECT_TRUE(t->isSingleShot());
        EXPECT_FALSE(t->isActive());
    }
    EXPECT_EQ(Game().GameActive, 1);
    EXPECT_EQ(Game().LevelNo, 1);
    EXPECT_EQ(Window->Platform().LevelDialogFolder(),
              QCoreApplication::applicationDirPath() + QStringLiteral("/levels"));
}

TEST_F(MainWindowTest, OneShotTimersFollowTheGame) {
    Window->Platform().SetTimerEnabled(TOneShotTimer::Timer2, true);
    EXPECT_TRUE(Window->Platform().Timer(TOneShotTimer::Timer2)->isActive());
    Window->Platform().SetTimerEnabled(TOneShotTimer::Timer2, false);
    EXPECT_FALSE(Window->Platform().Timer(TOneShotTimer::Timer2)->isActive());
    // A due Timer2 loads the next level: the game's handler ran.
    Window->Platform().Timer(TOneShotTimer::Timer2)->setInterval(1);
    Game().Timer2Enabled = 1;
    const int32_t level = Game().LevelNo;
    Window->Platform().SetTimerEnabled(TOneShotTimer::Timer2, true);
    EXPECT_TRUE(WaitFor([&] { return Game().LevelNo == level + 1; }, 2000));
}

TEST_F(MainWindowTest, FramesRunFromTheTimerAndResizeFollows) {
    ShowActive();
    // The slide after start-up counts down only when frames run.
    EXPECT_TRUE(WaitFor([&] { return Game().TransitionCounter < 100; }, 3000));
    Window->resize(Window->width() + 100, Window->height() + 60);
    EXPECT_TRUE(WaitFor([&] { return Window->PaintBox1->width() == 781; }, 2000));
    EXPECT_EQ(Window->PaintBox1->height(), 485);
    EXPECT_EQ(Window->Platform().PaintBoxWidth(), 781);
    EXPECT_EQ(Window->Platform().PaintBoxHeight(), 485);
    EXPECT_EQ(Window->Platform().Screen().Image().size(), QSize(781, 485));
}

TEST_F(MainWindowTest, MenuStructure) {
    const QList<QAction*> bar = Window->menuBar()->actions();
    ASSERT_EQ(bar.size(), 4);
    ExpectMenu(Window->Datei1, "Datei",
               {{"NeuesSpiel1", "Neues Spiel"},
                {"N1", nullptr},
                {"Aufzeichnungabspielen1", "Aufzeichnung abspielen..."},
                {"Aufzeichnungspeichernunter1", "Aufzeichnung speichern unter..."},
                {"Wiedergabe1x1", "Wiedergabe 1×"},
                {"Wiedergabe2x1", "Wiedergabe 2×"},
                {"Wiedergabe4x1", "Wiedergabe 4×"},
                {"N7", nullptr},
                {"Beenden1", "Beenden"}});
    EXPECT_EQ(Window->Beenden1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    ExpectMenu(Window->Optionen1, "Optionen",
               {{"Hintergrundmusik1", "Hintergrundmusik"},
                {"Soundeffekte1", "Soundeffekte"},
                {"HiscoreServer1", "Hiscore-Server..."},
                {"Pause1", "Pause\tEsc"},
                {"PauseBeiFokusverlust1", "Pause bei Fokusverlust"},
                {"Gamepad1", "Gamepad"},
                {"Vollbild1", "Vollbild"},
                {"Vergrerung1Item", "Vergrößerung"},
                {"AufErstenTastendruckWarten1", "Auf ersten Tastendruck warten"}});
    ExpectMenu(Window->Leveleditor1, "Leveleditor",
               {{"Editormodus1", "Editormodus"},
                {"N3", nullptr},
                {"NeuesLevel1", "Neues Level"},
                {"Levelffnen1", "Level öffnen..."},
                {"Levelspeichern1", "Level speichern..."},
                {"N4", nullptr},
                {"Blockeinfgen1", "Block einfügen"},
                {"FeindFedereinfgen1", "Feind \"Feder\" einfügen"},
                {"FeindGeisteinfgen1", "Feind \"Geist\" einfügen"},
                {"FeindBlauesMnneleinfgen1", "Feind \"Blaues Männel\" einfügen"},
                {"FeindRotesMonstereinfgen1", "Feind \"Rotes Monster\" einfügen"},
                {"N6", nullptr},
                {"Levelverffentlichen1", "Level veröffentlichen..."},
                {"N8", nullptr},
                {"Rckgngig1", "Rückgängig"},
                {"Wiederherstellen1", "Wiederherstellen"},
                {"N9", nullptr},
                {"Zuletztgeffnet1Item", "Zuletzt geöffnet"}});
    ExpectMenu(Window->Hilfe1, "Hilfe",
               {{"Tastenbelegung1", "Tastenbelegung"},
                {"N5", nullptr},
                {"AufzurVelkorHomepage1", "Auf zur Velkor Homepage,,,"},
                {"N2", nullptr},
                {"berdasProgramm1", "Über das Programm..."}});
    EXPECT_EQ(bar[0]->menu(), Window->Datei1);
    EXPECT_EQ(bar[3]->menu(), Window->Hilfe1);
}

TEST_F(MainWindowTest, CheckMarksAtStart) {
    EXPECT_TRUE(Window->Hintergrundmusik1->isCheckable() && Window->Hintergrundmusik1->isChecked());
    EXPECT_TRUE(Window->Soundeffekte1->isCheckable() && Window->Soundeffekte1->isChecked());
    EXPECT_TRUE(Window->Editormodus1->isCheckable());
    EXPECT_FALSE(Window->Editormodus1->isChecked());
    EXPECT_TRUE(Window->Blockeinfgen1->isChecked());
    for (QAction* a : {Window->FeindFedereinfgen1, Window->FeindGeisteinfgen1, Window->FeindBlauesMnneleinfgen1,
                       Window->FeindRotesMonstereinfgen1})
        EXPECT_FALSE(a->isChecked()) << a->objectName().toStdString();
    for (QAction* a : {Window->NeuesSpiel1, Window->Beenden1, Window->NeuesLevel1, Window->Levelverffentlichen1,
                       Window->Tastenbelegung1, Window->berdasProgramm1})
        EXPECT_FALSE(a->isCheckable()) << a->objectName().toStdString();
    EXPECT_EQ(Window->InsertGroup->exclusionPolicy(), QActionGroup::ExclusionPolicy::Exclusive);
    EXPECT_EQ(Window->InsertGroup->actions(),
              (QList<QAction*>{Window->Blockeinfgen1, Window->FeindFedereinfgen1, Window->FeindGeisteinfgen1,
                               Window->FeindBlauesMnneleinfgen1, Window->FeindRotesMonstereinfgen1}));
}

TEST_F(MainWindowTest, SwitchesReachTheGameAndChecksFollow) {
    Window->Hintergrundmusik1->trigger();
    EXPECT_EQ(Game().MusicEnabled, 0);
    EXPECT_FALSE(Window->Hintergrundmusik1->isChecked());
    Window->Hintergrundmusik1->trigger();
    EXPECT_EQ(Game().MusicEnabled, 1);
    EXPECT_TRUE(Window->Hintergrundmusik1->isChecked());

    Window->Soundeffekte1->trigger();
    EXPECT_EQ(Game().SoundEnabled, 0);
    EXPECT_FALSE(Window->Soundeffekte1->isChecked());

    Window->Editormodus1->trigger();
    EXPECT_EQ(Game().EditorMode, 1);
    EXPECT_TRUE(Window->Editormodus1->isChecked());
    EXPECT_FALSE(Window->EditorMark->isHidden());  // the status bar says so
    Window->Editormodus1->trigger();
    EXPECT_EQ(Game().EditorMode, 0);
    EXPECT_FALSE(Window->Editormodus1->isChecked());
    EXPECT_TRUE(Window->EditorMark->isHidden());
}

TEST_F(MainWindowTest, InsertItemsFormOneRadioGroup) {
    const QList<QAction*> inserts = Window->InsertGroup->actions();
    for (int kind : {3, 1, 4, 0, 2}) {
        inserts[kind]->trigger();
        EXPECT_EQ(Game().InsertKind, kind);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(inserts[i]->isChecked(), i == kind) << kind << " " << i;
    }
}

TEST_F(MainWindowTest, ShortcutsWorkWithTheMenuClosedAndEditorModeOff) {
    const QList<QAction*> inserts = Window->InsertGroup->actions();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(inserts[i]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_F1 + i)));
    EXPECT_EQ(QKeySequence(Qt::CTRL | Qt::Key_F1).toString(QKeySequence::PortableText), QStringLiteral("Ctrl+F1"));

    ShowActive();
    ASSERT_EQ(Game().EditorMode, 0);
    ASSERT_FALSE(Window->Leveleditor1->isVisible());
    for (int kind : {2, 4, 1, 3, 0}) {
        QTest::keyClick(Window->PaintBox1, Qt::Key(Qt::Key_F1 + kind), Qt::ControlModifier);
        EXPECT_EQ(Game().InsertKind, kind);
        EXPECT_TRUE(inserts[kind]->isChecked());
    }
    EXPECT_EQ(Game().EditorMode, 0);
}

TEST_F(MainWindowTest, GameKeysReachTheGameWithoutRepeats) {
    ShowActive();
    QWidget* box = Window->PaintBox1;
    QTest::keyPress(box, Qt::Key_Right);
    EXPECT_EQ(Game().KeyRight, 1);
    // The window system's repeat: a release and a press, both marked as repeats.
    QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(box, &repeatUp);
    EXPECT_EQ(Game().KeyRight, 1);
    QTest::keyRelease(box, Qt::Key_Right);
    EXPECT_EQ(Game().KeyRight, 0);

    QTest::keyPress(box, Qt::Key_Left);
    QTest::keyPress(box, Qt::Key_Up);
    QTest::keyPress(box, Qt::Key_Space);
    EXPECT_EQ(Game().KeyLeft, 1);
    EXPECT_EQ(Game().KeyJump, 1);
    EXPECT_EQ(Game().KeyFire, 1);
    QTest::keyRelease(box, Qt::Key_Left);
    QTest::keyRelease(box, Qt::Key_Up);
    QTest::keyRelease(box, Qt::Key_Space);
    EXPECT_EQ(Game().KeyLeft + Game().KeyJump + Game().KeyFire, 0);

    // Tab and the arrows leave the focus where it is.
    QTest::keyClick(box, Qt::Key_Tab);
    QTest::keyClick(box, Qt::Key_Down);
    QTest::keyClick(box, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), box);
    EXPECT_FALSE(QApplication::activePopupWidget());
}

TEST_F(MainWindowTest, TypedCharactersReachTheCheatBuffer) {
    ShowActive();
    QTest::keyClicks(Window->PaintBox1, QStringLiteral("xy skip"));
    EXPECT_EQ(Game().CheatBuffer, "xy skip");
    QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_Adiaeresis, Qt::NoModifier, QStringLiteral("ä"));
    QApplication::sendEvent(Window->PaintBox1, &umlaut);
    EXPECT_EQ(Game().CheatBuffer.back(), '\xe4');  // Latin-1
    // Arrows type nothing.
    QTest::keyClick(Window->PaintBox1, Qt::Key_Left);
    EXPECT_EQ(Game().CheatBuffer.back(), '\xe4');
}

TEST_F(MainWindowTest, MouseDrivesTheEditor) {
    ShowActive();
    Window->Editormodus1->trigger();
    const int fieldX = (681 - 475) / 2, fieldY = (425 - 380) / 2;
    const QPoint cell(fieldX + 5 * 19 + 3, fieldY + 6 * 19 + 3);
    const int index = 5 * 20 + 6;
    Game().Grid[index] = 0;
    QTest::mousePress(Window->PaintBox1, Qt::LeftButton, Qt::NoModifier, cell);
    EXPECT_EQ(Game().Grid[index], 1);
    EXPECT_EQ(Game().CellDragActive, 1);
    QTest::mouseRelease(Window->PaintBox1, Qt::LeftButton, Qt::NoModifier, cell);
    EXPECT_EQ(Game().CellDragActive, 0);
    QTest::mousePress(Window->PaintBox1, Qt::MiddleButton, Qt::NoModifier, cell);
    EXPECT_EQ(Game().Grid[index], 0);
    QTest::mouseRelease(Window->PaintBox1, Qt::MiddleButton, Qt::NoModifier, cell);

    // A drag with the left button paints the cells it moves over.
    const int next = 6 * 20 + 6;
    Game().Grid[next] = 0;
    QTest::mousePress(Window->PaintBox1, Qt::LeftButton, Qt::NoModifier, cell);
    QTest::mouseMove(Window->PaintBox1, cell + QPoint(19, 0));
    EXPECT_EQ(Game().Grid[next], 1);
    QTest::mouseRelease(Window->PaintBox1, Qt::LeftButton, Qt::NoModifier, cell + QPoint(19, 0));

    // An enemy by the right insert kind, removed again by a right click.
    Window->FeindGeisteinfgen1->trigger();
    const int32_t before = Game().Enemies->Count;
    QTest::mouseClick(Window->PaintBox1, Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
    EXPECT_EQ(Game().Enemies->Count, before + 1);
    QTest::mouseClick(Window->PaintBox1, Qt::RightButton, Qt::NoModifier, QPoint(300, 200));
    EXPECT_EQ(Game().Enemies->Count, before);
}

// The items without a mark run the game's command of their own name, not a neighbour's.
TEST_F(MainWindowTest, NewGameAndNewLevelItemsRunTheirCommands) {
    Game().Score = 70;
    Game().Lives = 1;
    Game().Grid[5 * 20 + 5] = 1;
    Window->NeuesLevel1->trigger();
    EXPECT_EQ(Game().Grid[5 * 20 + 5], 0);  // an empty field inside its border
    EXPECT_EQ(Game().Grid[0], 1);
    EXPECT_EQ(Game().Score, 70);  // not a new game
    // The new level, untouched, is no work to ask about.
    Window->NeuesSpiel1->trigger();
    EXPECT_EQ(Game().Score, 0);
    EXPECT_EQ(Game().Lives, 3);
    EXPECT_EQ(Game().LevelNo, 1);
}

TEST_F(MainWindowTest, BeendenEndsTheGame) {
    ShowActive();
    ASSERT_NE(Game().Bubbles, nullptr);
    Window->Beenden1->trigger();
    EXPECT_FALSE(Window->isVisible());
    EXPECT_EQ(Game().Bubbles, nullptr);  // FormDestroy freed the lists
    EXPECT_FALSE(Window->Timer1->isActive());
}

TEST_F(MainWindowTest, CloseBoxEndsTheGame) {
    ShowActive();
    Window->close();
    EXPECT_EQ(Game().Enemies, nullptr);
}

// Without a home page in the user's configuration the game's manual stands in; with one, that opens.
TEST_F(MainWindowTest, HomePageOpensTheManualOrTheConfiguredPage) {
    TUrlCatcher urls({"http", "https", "mailto", "file"});
    Window->AufzurVelkorHomepage1->trigger();
    ASSERT_EQ(urls.Opened.size(), 1u);
    EXPECT_TRUE(urls.Opened[0].isLocalFile());
    EXPECT_EQ(QFileInfo(urls.Opened[0].toLocalFile()).fileName(), QStringLiteral("anleitung.html"));
    QSettings(addr::SettingsFile(), QSettings::IniFormat)
        .setValue(QStringLiteral("links/homepage"), QStringLiteral("http://127.0.0.1:8080/"));
    Window->AufzurVelkorHomepage1->trigger();
    QSettings(addr::SettingsFile(), QSettings::IniFormat).remove(QStringLiteral("links"));
    ASSERT_EQ(urls.Opened.size(), 2u);
    EXPECT_EQ(urls.Opened[1], QUrl(QStringLiteral("http://127.0.0.1:8080/")));
}

TEST_F(MainWindowTest, TheHiscoreServerItemRemembersAValidAddress) {
    auto enter = [&](const QString& text) {
        return WhileModal([&] { Window->HiscoreServer1->trigger(); },
                          [&](QWidget* modal) {
                              auto* dialog = qobject_cast<QInputDialog*>(modal);
                              ASSERT_NE(dialog, nullptr);
                              dialog->setTextValue(text);
                              dialog->accept();
                          });
    };
    auto run = enter(QStringLiteral(" http://127.0.0.1:8080 "));
    EXPECT_TRUE(run.Acted && !run.TimedOut);
    EXPECT_EQ(addr::StoredHiscoreServer(), QStringLiteral("http://127.0.0.1:8080"));
    EXPECT_EQ(addr::HiscoreServer(), QUrl(QStringLiteral("http://127.0.0.1:8080/")));
    run = enter(QString());
    EXPECT_TRUE(run.Acted && !run.TimedOut);
    EXPECT_TRUE(addr::HiscoreServer().isEmpty());
}

TEST_F(MainWindowTest, LevelPublishingOkOpensAMailCancelDoesNot) {
    TUrlCatcher urls({"http", "https", "mailto", "file"});
    auto run = WhileModal([&] { Window->Levelverffentlichen1->trigger(); },
                          [&](QWidget* modal) {
                              EXPECT_EQ(modal, Window->LevelPublishForm);
                              Window->LevelPublishForm->BitBtn2->click();
                          });
    EXPECT_TRUE(run.Acted && !run.TimedOut);
    EXPECT_TRUE(urls.Opened.empty());

    run = WhileModal([&] { Window->Levelverffentlichen1->trigger(); },
                     [&](QWidget*) { QTest::keyClick(Window->LevelPublishForm, Qt::Key_Escape); });
    EXPECT_TRUE(run.Acted && !run.TimedOut);
    EXPECT_TRUE(urls.Opened.empty());

    run = WhileModal([&] { Window->Levelverffentlichen1->trigger(); },
                     [&](QWidget*) { Window->LevelPublishForm->BitBtn1->click(); });
    EXPECT_TRUE(run.Acted && !run.TimedOut);
    // No level mail is configured: the manual's part on passing levels on.
    ASSERT_EQ(urls.Opened.size(), 1u);
    EXPECT_TRUE(urls.Opened[0].isLocalFile());
    EXPECT_EQ(urls.Opened[0].fragment(), QStringLiteral("level-teilen"));

    // With one, OK starts a mail to it.
    QSettings(addr::SettingsFile(), QSettings::IniFormat)
        .setValue(QStringLiteral("links/levelmail"), QStringLiteral("level@127.0.0.1"));
    TLevelPublishForm configured(Window.get());
    TLevelPublishForm* const shipped = std::exchange(Window->LevelPublishForm, &configured);
    run = WhileModal([&] { Window->Levelverffentlichen1->trigger(); }, [&](QWidget*) { configured.BitBtn1->click(); });
    QSettings(addr::SettingsFile(), QSettings::IniFormat).remove(QStringLiteral("links"));
    Window->LevelPublishForm = shipped;
    EXPECT_TRUE(run.Acted && !run.TimedOut);
    EXPECT_EQ(configured.BitBtn1->text(), QStringLiteral("level@127.0.0.1"));
    ASSERT_EQ(urls.Opened.size(), 2u);
    EXPECT_EQ(urls.Opened[1].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(urls.Opened[1].path(), QStringLiteral("level@127.0.0.1"));
    EXPECT_FALSE(urls.Opened[1].hasQuery());
}

TEST_F(MainWindowTest, HelpItemsShowTheirDialogsAndPauseTheGameMeanwhile) {
    auto run = WhileModal([&] { Window->Tastenbelegung1->trigger(); },
                          [&](QWidget* modal) {
                              EXPECT_EQ(modal, Window->KeysForm);
                              // Behind this dialog the game waits.
                              EXPECT_EQ(Window->Game().Paused, 1);
                              const int32_t counter = Window->Game().TransitionCounter;
                              QTest::qWait(200);
                              EXPECT_EQ(Window->Game().TransitionCounter, counter);
                              Window->KeysForm->BitBtn1->click();
                          });
    EXPECT_TRUE(run.Acted && !run.TimedOut);
    EXPECT_EQ(Game().Paused, 0);
    const int32_t counter = Game().TransitionCounter;
    EXPECT_TRUE(WaitFor([&] { return Game().TransitionCounter != counter; }, 3000));
    run = WhileModal([&] { Window->berdasProgramm1->trigger(); },
                     [&](QWidget* modal) {
                         EXPECT_EQ(modal, Window->AboutBox);
                         modal->close();
                     });
    EXPECT_TRUE(run.Acted && !run.TimedOut);
}

TEST_F(MainWindowTest, EscAndPauseKeyAndTheMenuItemTogglePauseAndTheGameNeverSeesThem) {
    ShowActive();
    EXPECT_TRUE(WaitFor([&] { return Game().TransitionCounter == 0; }, 5000));
    Game().NeuesSpiel1Click();  // the slide again, so that frames can be seen to stop
    Game().CheatBuffer.clear();
    QTest::keyClick(Window->PaintBox1, Qt::Key_Escape);
    EXPECT_EQ(Game().Paused, 1);
    EXPECT_TRUE(Window->Pause1->isChecked());
    const int32_t counter = Game().TransitionCounter;
    QTest::qWait(200);
    EXPECT_EQ(Game().TransitionCounter, counter);  // no frame ran
    // The picture is the field dimmed, with the word over it.
    QImage shown(Window->PaintBox1->size(), QImage::Format_RGB32);
    Window->PaintBox1->render(&shown);
    const QImage field = Window->Platform().Screen().Image().convertToFormat(QImage::Format_RGB32);
    QPoint bright(0, 0);
    for (int y = 0; y < field.height(); ++y)
        for (int x = 0; x < field.width(); ++x)
            if (std::abs(y - field.height() / 2) > 40 && qGray(field.pixel(x, y)) > qGray(field.pixel(bright)))
                bright = QPoint(x, y);
    ASSERT_GT(qGray(field.pixel(bright)), 40);
    EXPECT_LT(qGray(shown.pixel(bright)), qGray(field.pixel(bright)) * 3 / 4);
    EXPECT_GT(qGray(shown.pixel(bright)), 0);  // dimmed, not hidden
    int white = 0;
    for (int x = 0; x < shown.width(); ++x) white += shown.pixel(x, shown.height() / 2) == qRgb(255, 255, 255);
    EXPECT_GT(white, 0);
    QTest::keyClick(Window->PaintBox1, Qt::Key_Pause);
    EXPECT_EQ(Game().Paused, 0);
    EXPECT_FALSE(Window->Pause1->isChecked());
    Window->Pause1->trigger();
    EXPECT_EQ(Game().Paused, 1);
    Window->Pause1->trigger();
    EXPECT_EQ(Game().Paused, 0);
    EXPECT_TRUE(Game().CheatBuffer.empty());
    EXPECT_TRUE(WaitFor([&] { return Game().TransitionCounter != counter; }, 3000));
}

TEST_F(MainWindowTest, PauseKeepsWhatTheOneShotTimersHadLeft) {
    Window->Platform().SetTimerEnabled(TOneShotTimer::Timer2, true);
    QTest::qWait(500);
    Window->SetPaused(true);
    QTimer* timer = Window->Platform().Timer(TOneShotTimer::Timer2);
    EXPECT_FALSE(timer->isActive());
    const uint32_t frozen = Window->Platform().GetTickCount();
    QTest::qWait(300);
    EXPECT_EQ(Window->Platform().GetTickCount(), frozen);
    Window->SetPaused(false);
    EXPECT_TRUE(timer->isActive());
    EXPECT_LE(timer->remainingTime(), 2700);  // a coarse timer may run 5 % late
    EXPECT_GE(timer->remainingTime(), 2000);
    EXPECT_LT(Window->Platform().GetTickCount() - frozen, 100u);
}

TEST_F(MainWindowTest, MinimisingPausesAndTheFocusOptionIsRemembered) {
    ShowActive();
    Window->showMinimized();
    EXPECT_TRUE(WaitFor([&] { return Game().Paused == 1; }, 2000));
    EXPECT_TRUE(Window->PauseBeiFokusverlust1->isCheckable());
    EXPECT_TRUE(Window->PauseBeiFokusverlust1->isChecked());
    Window->PauseBeiFokusverlust1->trigger();
    EXPECT_FALSE(
        QSettings(addr::SettingsFile(), QSettings::IniFormat).value(QStringLiteral("pauseOnFocusLoss"), true).toBool());
    Window->PauseBeiFokusverlust1->trigger();
    EXPECT_TRUE(QSettings(addr::SettingsFile(), QSettings::IniFormat)
                    .value(QStringLiteral("pauseOnFocusLoss"), false)
                    .toBool());
}

TEST_F(MainWindowTest, ZoomShowsSharpBlocksRemembersItAndTheEditorPaintsTheSameCell) {
    ShowActive();
    ASSERT_EQ(Window->Vergrerung1->title(), QStringLiteral("Vergrößerung"));
    ASSERT_EQ(Window->ZoomGroup->actions().size(), 4);
    EXPECT_TRUE(Window->ZoomGroup->actions()[0]->isChecked());
    QAction* twice = Window->ZoomGroup->actions()[1];
    EXPECT_EQ(twice->text(), QStringLiteral("2×"));
    twice->trigger();
    EXPECT_TRUE(WaitFor([&] { return Window->PaintBox1->size() == QSize(2 * 681, 2 * 425); }, 3000))
        << Window->PaintBox1->width() << "x" << Window->PaintBox1->height();
    EXPECT_EQ(QSettings(addr::SettingsFile(), QSettings::IniFormat).value(QStringLiteral("zoom")).toInt(), 2);
    EXPECT_EQ(Window->Platform().PaintBoxWidth(), 681);
    EXPECT_EQ(Window->Platform().PaintBoxHeight(), 425);
    EXPECT_TRUE(WaitFor([&] { return Game().TransitionCounter == 0; }, 5000));
    Window->Timer1->stop();
    const QImage field = Window->Platform().Screen().Image().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(field.size(), QSize(681, 425));
    QImage shown(Window->PaintBox1->size(), QImage::Format_RGB32);
    Window->PaintBox1->render(&shown);
    int wrong = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) wrong += shown.pixel(x, y) != field.pixel(x / 2, y / 2);
    EXPECT_EQ(wrong, 0);

    // The editor takes the game pixel under the mouse: the same cell as at 1x.
    Window->Editormodus1->trigger();
    const int fieldX = (681 - 475) / 2, fieldY = (425 - 380) / 2;
    const int index = 5 * 20 + 6;
    Game().Grid[index] = 0;
    const QPoint cell(2 * (fieldX + 5 * 19) + 1, 2 * (fieldY + 6 * 19) + 1);
    QTest::mouseClick(Window->PaintBox1, Qt::LeftButton, Qt::NoModifier, cell);
    EXPECT_EQ(Game().Grid[index], 1);
    EXPECT_EQ(Game().Grid[index - 1], 0);
    EXPECT_EQ(Game().Grid[index - 20], 0);
    Window->Editormodus1->trigger();

    // A window sized by hand: the game gets its size divided by the scale.
    Window->resize(Window->size() + QSize(7, 9));
    EXPECT_TRUE(WaitFor([&] { return Window->PaintBox1->width() == 2 * 681 + 7; }, 3000));
    EXPECT_EQ(Window->Platform().PaintBoxWidth(), 681 + 3);
    EXPECT_EQ(Window->Platform().PaintBoxHeight(), 425 + 4);
    Window->ZoomGroup->actions()[0]->trigger();
    EXPECT_TRUE(WaitFor([&] { return Window->PaintBox1->size() == QSize(681, 425); }, 3000));
    EXPECT_EQ(QSettings(addr::SettingsFile(), QSettings::IniFormat).value(QStringLiteral("zoom")).toInt(), 1);
    Window->Timer1->start();
}

// A paused game draws nothing new: zooming in and out must keep the whole picture it shows.
TEST_F(MainWindowTest, ZoomWhilePausedKeepsThePicture) {
    ShowActive();
    EXPECT_TRUE(WaitFor([&] { return Game().TransitionCounter == 0; }, 5000));
    Window->SetPaused(true);
    const QImage before = Window->Platform().Screen().Image().copy();
    Window->ZoomGroup->actions()[1]->trigger();
    EXPECT_TRUE(WaitFor([&] { return Window->PaintBox1->size() == QSize(2 * 681, 2 * 425); }, 3000));
    EXPECT_TRUE(Window->Platform().Screen().Image() == before);
    Window->ZoomGroup->actions()[0]->trigger();
    EXPECT_TRUE(WaitFor([&] { return Window->PaintBox1->size() == QSize(681, 425); }, 3000));
    EXPECT_TRUE(Window->Platform().Screen().Image() == before);
    Window->SetPaused(false);
}

TEST_F(MainWindowTest, GameOverDialogThroughThePlatform) {
    TModalResult result = TModalResult::Cancel;
    QString shown;
    auto run = WhileModal([&] { result = Window->Platform().ShowGameOverDialog("1234"); },
                          [&](QWidget* modal) {
                              EXPECT_EQ(modal, Window->GameOverForm);
                              shown = Window->GameOverForm->PunkteEd->text();
                              Window->GameOverForm->BitBtn2->click();
                          });
    EXPECT_TRUE(run.Acted && !run.TimedOut);
    EXPECT_EQ(result, TModalResult::Ok);
    EXPECT_EQ(shown, QStringLiteral("1234"));
    run = WhileModal([&] { result = Window->Platform().ShowGameOverDialog("0"); },
                     [&](QWidget*) {
                         QTest::qWait(550);
                         QTest::keyClick(Window->GameOverForm, Qt::Key_Escape);
                     });
    EXPECT_EQ(result, TModalResult::Cancel);
    run = WhileModal([&] { Window->Platform().ShowWinDialog(); },
                     [&](QWidget* modal) {
                         EXPECT_EQ(modal, Window->WinForm);
                         Window->WinForm->BitBtn1->click();
                     });
    EXPECT_TRUE(run.Acted && !run.TimedOut);
}

TEST_F(MainWindowTest, ErrorMessageHasNoTitleAndTheErrorIcon) {
    const TMessageSeen seen = SeeMessageBox([&] { Window->Platform().ShowErrorMessage("Kein Speicher"); });
    EXPECT_TRUE(seen.Seen && !seen.TimedOut);
    EXPECT_EQ(seen.Text, QStringLiteral("Kein Speicher"));
    EXPECT_EQ(seen.Format, Qt::PlainText);  // file names in it are never read as markup
    EXPECT_TRUE(seen.Title.isEmpty());
    EXPECT_EQ(seen.Icon, QMessageBox::Critical);
}

// The last eight level files opened, newest first; one gone since shows greyed until the missing go;
// an entry opens its level, and the list can be emptied.
TEST_F(MainWindowTest, RecentLevelsKeepTheLastEightAndGreyTheMissing) {
    QTemporaryDir dir;
    const auto path = [&](int n) { return dir.filePath(QStringLiteral("l%1.lev").arg(n)); };
    const std::vector<uint8_t> level = Game().LevelBytes();
    for (int n = 0; n < 10; ++n) {
        QFile f(path(n));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(reinterpret_cast<const char*>(level.data()), 512) == 512);
        f.close();
        Window->OpenLevelFile(path(n));
    }
    QFile::remove(path(8));
    const auto items = [&] {
        emit Window->Zuletztgeffnet1->aboutToShow();
        return Window->Zuletztgeffnet1->actions();
    };
    QList<QAction*> shown = items();
    ASSERT_EQ(shown.size(), 8 + 3);
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(shown[i]->text().endsWith(QStringLiteral("l%1.lev").arg(9 - i))) << shown[i]->text().toStdString();
        EXPECT_EQ(shown[i]->isEnabled(), i != 1);
    }
    shown[9]->trigger();  // "Fehlende entfernen"
    shown = items();
    ASSERT_EQ(shown.size(), 7 + 3);
    shown[5]->trigger();  // l3
    EXPECT_EQ(Game().LevelName, "l3");
    EXPECT_TRUE(items()[0]->text().endsWith(QStringLiteral("l3.lev")));
    items().last()->trigger();         // "Liste leeren"
    EXPECT_EQ(items().size(), 1 + 3);  // "(keine)"
    EXPECT_FALSE(items()[0]->isEnabled());
}

// The session's end asks as quitting does, and where it may not ask, the work is kept instead; once
// the player let the work go, closing asks no more and leaves nothing kept.
TEST_F(MainWindowTest, LogoutAsksAboutChangedWorkOrKeepsIt) {
    ShowActive();
    Window->Editormodus1->trigger();
    QTest::mouseClick(Window->PaintBox1, Qt::LeftButton, Qt::NoModifier, QPoint(103 + 100, 22 + 100));
    ASSERT_TRUE(Game().LevelChanged());
    EXPECT_TRUE(Window->SessionEnds(false));
    EXPECT_TRUE(QFile::exists(TQtPlatform::RecoveryFile()));
    const auto ends = [&](const QString& answer) {
        bool go = false;
        const test::TModalRun run =
            WhileModal([&] { go = Window->SessionEnds(true); },
                       [&](QWidget* modal) {
                           for (QAbstractButton* b : qobject_cast<QMessageBox*>(modal)->buttons())
                               if (b->text() == answer) b->click();
                       });
        EXPECT_TRUE(run.Acted && !run.TimedOut) << answer.toStdString();
        return go;
    };
    EXPECT_FALSE(ends(QStringLiteral("&Abbrechen")));
    EXPECT_TRUE(ends(QStringLiteral("&Verwerfen")));
    const test::TModalRun closing = WhileModal([&] { Window->close(); }, [](QWidget* modal) { modal->close(); }, 1000);
    EXPECT_FALSE(closing.Acted) << "closing asked again";
    EXPECT_FALSE(QFile::exists(TQtPlatform::RecoveryFile()));
}

TEST_F(MainWindowTest, LevelFileDialogs) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Window->Platform().SetLevelDialogFolder(dir.path().toStdString());
    std::string name = "unchanged";
    auto run = WhileModal([&] { EXPECT_FALSE(Window->Platform().OpenLevelDialog(name)); },
                          [&](QWidget* modal) {
                              auto* d = qobject_cast<QFileDialog*>(modal);
                              ASSERT_NE(d, nullptr);
                              EXPECT_EQ(d->nameFilters(), QStringList{QStringLiteral("Leveldateien (*.lev)")});
                              EXPECT_EQ(d->defaultSuffix(), QStringLiteral("lev"));
                              EXPECT_EQ(QDir(d->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
                              d->reject();
                          });
    EXPECT_TRUE(run.Acted && !run.TimedOut);
    EXPECT_EQ(name, "unchanged");
    run = WhileModal([&] { EXPECT_TRUE(Window->Platform().SaveLevelDialog(name)); },
                     [&](QWidget* modal) {
                         auto* d = qobject_cast<QFileDialog*>(modal);
                         ASSERT_NE(d, nullptr);
                         EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
                         EXPECT_FALSE(d->testOption(QFileDialog::DontConfirmOverwrite));  // asks before replacing
                         // The name typed as a user would, without the extension.
                         auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                         ASSERT_NE(edit, nullptr);
                         edit->setText(QStringLiteral("meins"));
                         static_cast<QDialog*>(d)->accept();
                     });
    EXPECT_TRUE(run.Acted && !run.TimedOut);
    EXPECT_EQ(name, dir.filePath(QStringLiteral("meins.lev")).toStdString());
    EXPECT_FALSE(Window->Platform().FileExists(name));
    EXPECT_TRUE(Window->Platform().FileExists(QCoreApplication::applicationFilePath().toStdString()));
}

TEST_F(MainWindowTest, RepaintShowsTheLastPictureAndRunsNoFrame) {
    ShowActive();
    EXPECT_TRUE(WaitFor([&] { return Game().TransitionCounter < 100; }, 3000));
    Window->Timer1->stop();
    QImage shown = Window->Platform().Screen().Image().copy();
    const int32_t counter = Game().TransitionCounter;
    const int32_t x = Game().PlayerX, y = Game().PlayerY;
    Window->PaintBox1->repaint();
    QApplication::processEvents();
    EXPECT_EQ(Game().TransitionCounter, counter);
    EXPECT_EQ(Game().PlayerX, x);
    EXPECT_EQ(Game().PlayerY, y);
    // What the widget shows is the presented picture, pixel for pixel.
    const QImage grabbed = Window->PaintBox1->grab().toImage().convertToFormat(shown.format());
    EXPECT_EQ(grabbed.size(), shown.size());
    EXPECT_TRUE(grabbed == shown);
    Window->Timer1->start();
}

TEST(MainWindowImages, MenuItemsShowTheirImagesByIndex) {
    // The images lie beside the program; for this test a set of its own with one colour each.
    const QDir appDir(QCoreApplication::applicationDirPath());
    const QString menuDir = appDir.filePath(QStringLiteral("grafiken/menu"));
    const bool made = !QDir(menuDir).exists();
    if (made) {
        ASSERT_TRUE(QDir().mkpath(menuDir));
    }
    for (int i = 0; i < 12; ++i) {
        const QString file = menuDir + QStringLiteral("/%1.png").arg(i, 2, 10, QLatin1Char('0'));
        if (made || !QFile::exists(file)) {
            QImage image(16, 16, QImage::Format_ARGB32);
            image.fill(QColor(10 * i, 255 - 10 * i, 0));
            ASSERT_TRUE(image.save(file));
        }
    }
    {
        TMainWindow window;
        auto colour = [](QAction* a) { return a->icon().pixmap(16, 16).toImage().pixelColor(8, 8); };
        auto fileColour = [&](int i) {
            return QImage(menuDir + QStringLiteral("/%1.png").arg(i, 2, 10, QLatin1Char('0'))).pixelColor(8, 8);
        };
        const std::pair<QAction*, int> withImage[] = {{window.NeuesSpiel1, 0},           {window.Beenden1, 1},
                                                      {window.Hintergrundmusik1, 2},     {window.Soundeffekte1, 3},
                                                      {window.NeuesLevel1, 5},           {window.Levelffnen1, 6},
                                                      {window.Levelspeichern1, 7},       {window.Tastenbelegung1, 8},
                                                      {window.AufzurVelkorHomepage1, 9}, {window.berdasProgramm1, 10},
                                                      {window.Levelverffentlichen1, 11}};
        for (const auto& [action, index] : withImage) {
            ASSERT_FALSE(action->icon().isNull()) << action->objectName().toStdString();
            EXPECT_EQ(colour(action), fileColour(index)) << action->objectName().toStdString();
        }
        for (QAction* a :
             {window.Editormodus1, window.Blockeinfgen1, window.FeindFedereinfgen1, window.FeindRotesMonstereinfgen1})
            EXPECT_TRUE(a->icon().isNull()) << a->objectName().toStdString();
    }
    if (made) QDir(appDir.filePath(QStringLiteral("grafiken"))).removeRecursively();
}

TEST_F(MainWindowTest, HighDpiScalingKeepsPixelsSharp) {
    ShowActive();
    EXPECT_TRUE(WaitFor([&] { return Game().TransitionCounter == 0; }, 5000));
    Window->Timer1->stop();
    const QImage shown = Window->Platform().Screen().Image().convertToFormat(QImage::Format_RGB32);
    // A screen of device pixel ratio 2: each picture pixel becomes a 2 x 2 block of the same colour.
    QImage device(shown.size() * 2, QImage::Format_RGB32);
    device.setDevicePixelRatio(2.0);
    device.fill(Qt::magenta);
    Window->PaintBox1->render(&device);
    int wrong = 0;
    for (int y = 0; y < device.height(); ++y)
        for (int x = 0; x < device.width(); ++x) wrong += device.pixel(x, y) != shown.pixel(x / 2, y / 2);
    EXPECT_EQ(wrong, 0);
    // The picture has edges a smoothing scaler would have blurred.
    EXPECT_NE(shown.pixel(50, 200), shown.pixel(300, 200));
    Window->Timer1->start();
}

TEST_F(MainWindowTest, OpeningALevelFromTheMenuLoadsIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QByteArray level(512, '\0');
    level[3 * 20 + 7] = 1;   // one block at column 3, row 7
    level[504] = char(200);  // start x 200
    level[508] = char(100);  // start y 100
    QFile file(dir.filePath(QStringLiteral("eigenes.lev")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(level);
    file.close();
    Window->Platform().SetLevelDialogFolder(dir.path().toStdString());
    auto run = WhileModal([&] { Window->Levelffnen1->trigger(); },
                          [&](QWidget* modal) {
                              auto* d = qobject_cast<QFileDialog*>(modal);
                              ASSERT_NE(d, nullptr);
                              auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                              ASSERT_NE(edit, nullptr);
                              edit->setText(QStringLiteral("eigenes"));  // the extension comes by default
                              static_cast<QDialog*>(d)->accept();
                          });
    EXPECT_TRUE(run.Acted && !run.TimedOut);
    EXPECT_EQ(Game().Grid[3 * 20 + 7], 1);
    EXPECT_EQ(Game().Grid[0], 0);
    EXPECT_EQ(Game().StartX, 200);
    EXPECT_EQ(Game().StartY, 100);
}
