// Replays in the window: each game lands in the data folder and checks out, the folder keeps the last
// and the best games, a shown replay ends as the game did, and an unwritable folder only says so.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>

#include "app/GameOverForm.h"
#include "app/GameRecording.h"
#include "app/MainWindow.h"
#include "app/PaintBox.h"
#include "app/QtPlatform.h"
#include "app/ReplayFiles.h"
#include "app/ReplayView.h"
#include "game/MainForm.h"
#include "gfx/Screen.h"
#include "platform/replay/Replay.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/GameData.h"

using namespace blubbi;
using blubbi::test::WaitFor;

namespace {

QStringList Stored() {
    return QDir(replays::Folder()).entryList({QStringLiteral("*.blubbi-replay")}, QDir::Files, QDir::Name);
}

std::string ReadStored(const QString& name) {
    QFile f(QDir(replays::Folder()).filePath(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
    return f.readAll().toStdString();
}

class ReplayWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Data.Ready) GTEST_SKIP() << "the pictures and levels are not built";
        QDir(replays::Folder()).removeRecursively();
        Window = std::make_unique<TMainWindow>(nullptr, Data.Path());
        Window->CreateForms();
        Window->show();
        Window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    }
    TMainForm& Game() { return Window->Game(); }
    // Walks right and jumps for a while with real keys on the real frame timer.
    void Play() {
        QTest::qWait(200);
        QTest::keyPress(Window->PaintBox1, Qt::Key_Right);
        QTest::qWait(400);
        QTest::keyClicks(Window->PaintBox1, QStringLiteral("ab"));
        QTest::keyPress(Window->PaintBox1, Qt::Key_Up);
        QTest::qWait(300);
        QTest::keyRelease(Window->PaintBox1, Qt::Key_Up);
        QTest::keyRelease(Window->PaintBox1, Qt::Key_Right);
        QTest::qWait(200);
    }
    TVerifyResult Verify(const std::string& text) {
        return VerifyReplay(text, Data.Path().toStdString(), TVerifyLimits{});
    }

    test::TGameData Data;
    std::unique_ptr<TMainWindow> Window;
};

}  // namespace

TEST_F(ReplayWindowTest, EachGameLandsInTheDataFolderAndChecksOut) {
    Play();
    // No frame runs between reading the game and the menu command: both happen before the loop turns.
    const int32_t score = Game().Score;
    const std::string atNewGame = StateHash(Game());
    Window->NeuesSpiel1->trigger();
    ASSERT_EQ(Stored().size(), 1);
    EXPECT_TRUE(Stored()[0].endsWith(QStringLiteral("_%1-Punkte.blubbi-replay").arg(score)))
        << Stored()[0].toStdString();
    const std::string first = ReadStored(Stored()[0]);
    EXPECT_NE(first.find("\ndown right"), std::string::npos);
    EXPECT_NE(first.find("\nchar 97"), std::string::npos);
    TVerifyResult r = Verify(first);
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << r.Reason << " at line " << r.Line;
    EXPECT_EQ(r.Score, score);
    EXPECT_EQ(r.EndHash, atNewGame);
    EXPECT_GT(r.Frames, 20);
    EXPECT_TRUE(r.DataMatch);

    // The next game starts from the new game's state and ends when the window closes.
    Play();
    const std::string atClose = StateHash(Game());
    const int32_t closeScore = Game().Score;
    Window->close();
    ASSERT_EQ(Stored().size(), 2);
    const QString second = ReadStored(Stored()[0]) == first ? Stored()[1] : Stored()[0];
    r = Verify(ReadStored(second));
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << r.Reason << " at line " << r.Line;
    EXPECT_EQ(r.Score, closeScore);
    EXPECT_EQ(r.EndHash, atClose);
}

// A level that cannot be saved says so in a box; behind it the game stands still, and its replay
// holds the save and checks out. (Sessions of several games are played in the real window.)
TEST_F(ReplayWindowTest, NothingRunsBehindTheBoxOfAFailedSave) {
    Play();
    QTemporaryDir dir;
    const QString nowhere = dir.filePath(QStringLiteral("gibt-es-nicht/meins.lev"));
    const int64_t frames = Window->Recording().Frames();
    std::string atBox, afterBox;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* d = qobject_cast<QFileDialog*>(modal); d && d->objectName() == QStringLiteral("SaveDialog1")) {
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(nowhere);
            static_cast<QDialog*>(d)->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal); box && atBox.empty()) {
            atBox = StateHash(Game());
            QTimer::singleShot(1000, box, [&, box] {
                afterBox = StateHash(Game());
                box->accept();
            });
        }
    });
    poll.start(20);
    Window->Levelspeichern1->trigger();
    poll.stop();
    ASSERT_FALSE(atBox.empty()) << "no message box";
    EXPECT_EQ(afterBox, atBox);
    EXPECT_EQ(Window->Recording().Frames(), frames);
    EXPECT_FALSE(QFile::exists(nowhere));
    Play();
    const TVerifyResult r = Verify(Window->Recording().Text());
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << r.Reason << " at line " << r.Line;
}

TEST_F(ReplayWindowTest, AShownReplayEndsAsTheGameDidAndEscOrAMenuItemEndsIt) {
    Play();
    const std::string atNewGame = StateHash(Game());
    Window->NeuesSpiel1->trigger();
    ASSERT_EQ(Stored().size(), 1);
    QTest::qWait(200);  // the next game has frames of its own
    Window->Wiedergabe4x1->trigger();
    ASSERT_TRUE(Window->PlayReplay(QDir(replays::Folder()).filePath(Stored()[0])));
    ASSERT_NE(Window->Replay(), nullptr);
    EXPECT_EQ(Window->Replay()->Speed(), 4);
    EXPECT_TRUE(Game().Paused);
    // Keys do not steer it.
    QTest::keyPress(Window->PaintBox1, Qt::Key_Left);
    QTest::qWait(100);
    QTest::keyRelease(Window->PaintBox1, Qt::Key_Left);
    ASSERT_TRUE(WaitFor([&] { return Window->Replay()->Over(); }, 20000));
    EXPECT_EQ(Window->Replay()->Player().Found.Status, TVerifyResult::TStatus::Ok)
        << Window->Replay()->Player().Found.Reason;
    EXPECT_EQ(StateHash(Window->Replay()->Game()), atNewGame);
    EXPECT_TRUE(Window->statusBar()->currentMessage().startsWith(QStringLiteral("Wiedergabe zu Ende")));

    QTest::keyClick(Window->PaintBox1, Qt::Key_Escape);
    EXPECT_EQ(Window->Replay(), nullptr);
    EXPECT_FALSE(Game().Paused);
    EXPECT_EQ(Game().LevelNo, 1);
    EXPECT_EQ(Game().Score, 0);
    EXPECT_EQ(Stored().size(), 2);  // the game the replay interrupted

    // Any other menu item ends it too, before it does its own work.
    ASSERT_TRUE(Window->PlayReplay(QDir(replays::Folder()).filePath(Stored()[0])));
    Window->Pause1->trigger();
    EXPECT_EQ(Window->Replay(), nullptr);
    EXPECT_TRUE(Game().Paused);
}

// A game recorded in a large window, watched in a small one: the field's middle in the window's.
TEST_F(ReplayWindowTest, AGameRecordedLargeShowsItsWholeFieldInASmallWindow) {
    const auto sizeBox = [&](QSize box) {
        Window->resize(Window->size() + box - Window->PaintBox1->size());
        return WaitFor([&] { return Window->PaintBox1->GameWidth() == box.width(); }, 5000);
    };
    ASSERT_TRUE(sizeBox({1100, 662}));
    Play();
    const QImage last = Window->Platform().Screen().Image().copy(209, 118, 681, 425);
    Window->NeuesSpiel1->trigger();
    ASSERT_TRUE(sizeBox({681, 425}));
    Window->Wiedergabe4x1->trigger();
    ASSERT_TRUE(Window->PlayReplay(QDir(replays::Folder()).filePath(Stored()[0])));
    ASSERT_TRUE(WaitFor([&] { return Window->Replay()->Over(); }, 20000));
    EXPECT_TRUE(Window->Platform().Screen().Image() == last) << "the watched game's field is not the one played";
}

TEST_F(ReplayWindowTest, SaveAsWritesTheGameBeingPlayed) {
    Play();
    const std::string now = StateHash(Game());
    QTemporaryDir dir;
    const auto run = blubbi::test::WhileModal([&] { Window->Aufzeichnungspeichernunter1->trigger(); },
                                              [&](QWidget* modal) {
                                                  auto* d = qobject_cast<QFileDialog*>(modal);
                                                  ASSERT_NE(d, nullptr);
                                                  auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                                                  ASSERT_NE(name, nullptr);
                                                  name->setText(dir.filePath(QStringLiteral("mein-spiel")));
                                                  QTest::keyClick(name, Qt::Key_Return);
                                              });
    ASSERT_TRUE(run.Acted && !run.TimedOut);
    QFile saved(dir.filePath(QStringLiteral("mein-spiel.blubbi-replay")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const TVerifyResult r = Verify(saved.readAll().toStdString());
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << r.Reason << " at line " << r.Line;
    EXPECT_EQ(r.EndHash, now);
    EXPECT_FALSE(Game().Paused);  // the dialog paused the game only while it was open
}

TEST_F(ReplayWindowTest, ADamagedReplayIsNamedByItsLineAndTheGameGoesOn) {
    QTemporaryDir dir;
    QFile bad(dir.filePath(QStringLiteral("kaputt.blubbi-replay")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("blubbi-replay 1\nprogram 1.0\nseed x\n");
    bad.close();
    const blubbi::test::TMessageSeen seen =
        blubbi::test::SeeMessageBox([&] { EXPECT_FALSE(Window->PlayReplay(bad.fileName())); });
    ASSERT_TRUE(seen.Seen);
    EXPECT_TRUE(seen.Text.contains(QStringLiteral("in Zeile 3 nicht lesbar"))) << seen.Text.toStdString();
    EXPECT_EQ(Window->Replay(), nullptr);
    EXPECT_FALSE(Game().Paused);
}

TEST(ReplayFolder, KeepsTheLastTwentyAndTheTwentyBest) {
    // Fifty games, a minute apart, with points that are not in the order of time.
    std::vector<replays::TStored> games;
    const QDateTime start(QDate(2026, 1, 1), QTime(12, 0));
    std::set<QString> expectedGone;
    for (int i = 0; i < 50; ++i) {
        replays::TStored s;
        s.Ended = start.addSecs(60 * i);
        s.Points = (i * 37) % 50 * 10;
        s.Name = replays::FileName(s.Ended, s.Points);
        ASSERT_EQ(replays::ReadName(s.Name)->Points, s.Points);
        games.push_back(s);
        const bool last = i >= 30, best = s.Points >= 300;
        if (!last && !best) expectedGone.insert(s.Name);
    }
    EXPECT_EQ(replays::FileName(start, 1), QStringLiteral("2026-01-01_12-00-00_1-Punkt.blubbi-replay"));
    EXPECT_EQ(replays::ReadName(replays::FileName(start, 1))->Points, 1);
    const QStringList gone = replays::ToRemove(games);
    EXPECT_EQ(std::set<QString>(gone.begin(), gone.end()), expectedGone);
    EXPECT_GE(gone.size(), 10);

    // In a folder: the same rule after each game; the player's own files stay.
    QTemporaryDir dir;
    QFile own(dir.filePath(QStringLiteral("meins.blubbi-replay")));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.close();
    QString error;
    for (const replays::TStored& s : games)
        ASSERT_FALSE(replays::Store(dir.path(), "x", s.Points, s.Ended, error).isEmpty()) << error.toStdString();
    QStringList left = QDir(dir.path()).entryList(QDir::Files);
    EXPECT_TRUE(left.removeOne(QStringLiteral("meins.blubbi-replay")));
    for (const QString& name : expectedGone) EXPECT_FALSE(left.contains(name)) << name.toStdString();
    EXPECT_EQ(left.size(), 50 - qsizetype(expectedGone.size()));
    // Two games in one second: the later one counts as the later.
    ASSERT_FALSE(replays::Store(dir.path(), "y", 0, games.back().Ended, error).isEmpty());
    EXPECT_TRUE(QDir(dir.path()).exists(replays::FileName(games.back().Ended, 0, 2)));
}

TEST(ReplayFolder, AnUnwritableFolderSaysSoOnceAndTheGameGoesOn) {
    QTemporaryDir home;
    QFile blocker(home.filePath(QStringLiteral("data")));  // a file where the folder would go
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QByteArray was = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", blocker.fileName().toLocal8Bit());
    std::ostringstream err;
    std::streambuf* cerr = std::cerr.rdbuf(err.rdbuf());
    {
        TMainWindow window;
        window.CreateForms();
        for (int game = 0; game < 3; ++game) {
            EXPECT_TRUE(WaitFor([&] { return window.Recording().Frames() > 0; }, 3000));
            window.NeuesSpiel1->trigger();
        }
        EXPECT_EQ(window.Game().GameActive, 1);
        EXPECT_FALSE(window.Recording().Text().empty());  // the game is still recorded, for saving by hand
    }
    std::cerr.rdbuf(cerr);
    qputenv("XDG_DATA_HOME", was);
    const std::string said = err.str();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("replays"), std::string::npos) << said;
}
