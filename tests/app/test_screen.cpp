// Full screen, the settings the window keeps between runs, the menu bar for the keyboard, and the
// frame statistics.
#include <gtest/gtest.h>

#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "app/Addresses.h"
#include "app/FrameStats.h"
#include "app/MainWindow.h"
#include "app/PaintBox.h"
#include "app/QtPlatform.h"
#include "app/WindowSettings.h"
#include "game/MainForm.h"
#include "gfx/BildIO.h"
#include "gfx/Screen.h"
#include "tests/app/AppTestSupport.h"

using namespace blubbi;
using blubbi::test::WaitFor;

namespace {

std::unique_ptr<TMainWindow> NewWindow() {
    auto window = std::make_unique<TMainWindow>();
    window->CreateForms();
    // The block sheet decides whether frames draw; the tests do not need the real one.
    window->Game().Sheets[kSlotStein1] = newdib(19, 19, 8, nullptr, 0);
    return window;
}

void ShowActive(TMainWindow& window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// The offscreen platform hands a closed menu the activation a while later; a real window system
// gives it back to the window. Waits for that and puts it right.
void BackFromTheMenu(TMainWindow& window) {
    ASSERT_TRUE(WaitFor([] { return !QApplication::activePopupWidget(); }, 3000));
    QTest::qWait(150);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

void WriteSettingsFile(const QByteArray& bytes) {
    const QString file = addr::SettingsFile();
    QDir().mkpath(QFileInfo(file).path());
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(bytes);
}

// Every setting the window keeps is at its default, and the game's switches are at their start.
void ExpectDefaults(TMainWindow& window) {
    EXPECT_EQ(window.PaintBox1->Zoom(), 1);
    EXPECT_TRUE(window.ZoomGroup->actions()[0]->isChecked());
    EXPECT_FALSE(window.PaintBox1->Fit());
    EXPECT_FALSE(window.Vollbild1->isChecked());
    EXPECT_FALSE(window.windowState() & Qt::WindowFullScreen);
    EXPECT_TRUE(window.PauseBeiFokusverlust1->isChecked());
    EXPECT_FALSE(window.PlacedFromSettings());
    EXPECT_EQ(window.PaintBox1->sizeHint(), QSize(681, 425));
    EXPECT_TRUE(window.Hintergrundmusik1->isChecked());
    EXPECT_TRUE(window.Soundeffekte1->isChecked());
    EXPECT_FALSE(window.Editormodus1->isChecked());
    EXPECT_TRUE(window.Blockeinfgen1->isChecked());
}

}  // namespace

TEST(FullScreen, TheLargestWholeScaleThatFits) {
    EXPECT_EQ(TPaintBox::FitScale({681, 425}), 1);
    EXPECT_EQ(TPaintBox::FitScale({1361, 1000}), 1);
    EXPECT_EQ(TPaintBox::FitScale({1362, 850}), 2);
    EXPECT_EQ(TPaintBox::FitScale({1920, 1080}), 2);
    EXPECT_EQ(TPaintBox::FitScale({2560, 1440}), 3);
    EXPECT_EQ(TPaintBox::FitScale({3000, 1274}), 2);  // the height decides
    EXPECT_EQ(TPaintBox::FitScale({3840, 2160}), 5);
    EXPECT_EQ(TPaintBox::FitScale({640, 400}), 1);  // a screen too small still shows the game
}

// Counts the screen pixels of the box that are not the game pixel they show: the game at `scale`
// screen pixels per game pixel from `origin`, black around it.
int WrongScreenPixels(TMainWindow& window, QPoint origin, int scale) {
    const QImage field = window.Platform().Screen().Image().convertToFormat(QImage::Format_RGB32);
    const QImage shown = window.PaintBox1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (field.size() != QSize(681, 425) || shown.size() != window.PaintBox1->DeviceSize()) return -1;
    int wrong = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QPoint g((x - origin.x()) / scale, (y - origin.y()) / scale);
            const bool inside = x >= origin.x() && y >= origin.y() && g.x() < 681 && g.y() < 425;
            wrong += shown.pixel(x, y) != (inside ? field.pixel(g) : qRgb(0, 0, 0));
        }
    return wrong;
}

TEST(FullScreen, F11FillsTheScreenCentredAndTheEditorPaintsTheSameCell) {
    auto window = NewWindow();
    ShowActive(*window);
    TPaintBox* box = window->PaintBox1;
    TMainForm& game = window->Game();
    QTest::keyClick(box, Qt::Key_F11);
    const QSize screen = window->screen()->geometry().size();
    ASSERT_TRUE(WaitFor([&] { return window->isFullScreen() && box->size() == screen; }, 3000))
        << box->width() << "x" << box->height() << " on " << screen.width() << "x" << screen.height();
    EXPECT_TRUE(window->Vollbild1->isChecked());
    EXPECT_FALSE(window->menuBar()->isVisible());
    EXPECT_FALSE(window->statusBar()->isVisible());
    EXPECT_TRUE(QSettings(addr::SettingsFile(), QSettings::IniFormat).value(setting::FullScreen).toBool());
    const int scale = TPaintBox::FitScale(screen);
    EXPECT_EQ(box->Scale(), scale);
    EXPECT_EQ(window->Platform().PaintBoxWidth(), 681);
    EXPECT_EQ(window->Platform().PaintBoxHeight(), 425);
    const QPoint origin((screen.width() - 681 * scale) / 2, (screen.height() - 425 * scale) / 2);
    EXPECT_EQ(box->Origin(), origin);

    // The game's picture in whole blocks in the middle, black around it.
    EXPECT_TRUE(WaitFor([&] { return game.TransitionCounter == 0; }, 5000));
    window->Timer1->stop();
    EXPECT_EQ(WrongScreenPixels(*window, origin, scale), 0);
    window->Timer1->start();

    // The editor takes the game pixel under the mouse: the same cell as at 1x.
    window->Editormodus1->trigger();
    const int fieldX = (681 - 475) / 2, fieldY = (425 - 380) / 2;
    const int index = 7 * 20 + 9;
    game.Grid[index] = 0;
    const QPoint cell = origin + scale * QPoint(fieldX + 7 * 19, fieldY + 9 * 19);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, cell);
    EXPECT_EQ(game.Grid[index], 1);
    EXPECT_EQ(game.Grid[index - 1], 0);
    EXPECT_EQ(game.Grid[index - 20], 0);
    game.Grid[index] = 0;
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, cell - QPoint(1, 1));  // one screen pixel up-left
    EXPECT_EQ(game.Grid[index], 0);
    EXPECT_EQ(game.Grid[index - 21], 1);
    window->Editormodus1->trigger();

    // F11 again: the window as it was, with its bars.
    QTest::keyClick(box, Qt::Key_F11);
    ASSERT_TRUE(WaitFor([&] { return !window->isFullScreen() && box->size() == QSize(681, 425); }, 3000));
    EXPECT_TRUE(window->menuBar()->isVisible());
    EXPECT_TRUE(window->statusBar()->isVisible());
    EXPECT_EQ(box->Origin(), QPoint(0, 0));
    EXPECT_FALSE(QSettings(addr::SettingsFile(), QSettings::IniFormat).value(setting::FullScreen).toBool());
}

// Run at the desktop's scale factor 1 and again at 1.5, where a game pixel of 1.5 or 4.5 screen
// pixels would be smeared: each zoom is a whole number of screen pixels per game pixel, close to
// the zoom at the desktop's scale, the game keeps its start size, and the mouse finds its cell.
TEST(Zoom, WholeScreenPixelBlocksAtTheDesktopsScaleFactor) {
    auto window = NewWindow();
    ShowActive(*window);
    TPaintBox* box = window->PaintBox1;
    const double factor = box->devicePixelRatioF();
    ASSERT_TRUE(WaitFor([&] { return window->Game().TransitionCounter == 0; }, 5000));
    for (const int zoom : {1, 2, 3}) {
        window->ZoomGroup->actions()[zoom - 1]->trigger();
        const int scale = box->Scale();
        ASSERT_TRUE(WaitFor([&] { return window->Platform().PaintBoxWidth() == 681; }, 3000)) << zoom;
        EXPECT_EQ(window->Platform().PaintBoxHeight(), 425) << zoom;
        EXPECT_LE(std::abs(scale - zoom * factor), 0.5) << zoom;
        window->Timer1->stop();
        EXPECT_EQ(WrongScreenPixels(*window, QPoint(0, 0), scale), 0) << zoom << " at " << factor;
        window->Timer1->start();
    }
    window->Editormodus1->trigger();
    const int scale = box->Scale();
    const int fieldX = (681 - 475) / 2, fieldY = (425 - 380) / 2;
    const int index = 4 * 20 + 11;
    window->Game().Grid[index] = 0;
    const QPointF middle = QPointF(scale * (fieldX + 4 * 19 + 9.5), scale * (fieldY + 11 * 19 + 9.5)) / factor;
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, middle.toPoint());
    EXPECT_EQ(window->Game().Grid[index], 1);
    window->Editormodus1->trigger();

    // Filling the screen: the largest whole number of screen pixels that fits.
    QTest::keyClick(box, Qt::Key_F11);
    ASSERT_TRUE(WaitFor([&] { return window->isFullScreen() && box->size() == window->screen()->size(); }, 3000));
    const QSize area = box->DeviceSize();
    EXPECT_EQ(box->Scale(), TPaintBox::FitScale(area));
    const QPoint origin((area.width() - 681 * box->Scale()) / 2, (area.height() - 425 * box->Scale()) / 2);
    window->Timer1->stop();
    EXPECT_EQ(WrongScreenPixels(*window, origin, box->Scale()), 0);
    window->Timer1->start();
    QTest::keyClick(box, Qt::Key_F11);
    ASSERT_TRUE(WaitFor([&] { return !window->isFullScreen(); }, 3000));
    QFile::remove(addr::SettingsFile());
}

TEST(KeptSettings, SurviveARestartButTheGameSwitchesStartAsGiven) {
    const QRect place(20, 30, 640, 400);
    {
        auto first = NewWindow();
        first->setGeometry(place);
        ShowActive(*first);
        first->ZoomGroup->actions()[1]->trigger();
        first->setGeometry(place);  // sized by hand after the zoom
        ASSERT_TRUE(WaitFor([&] { return first->geometry() == place; }, 3000));
        first->PauseBeiFokusverlust1->trigger();
        first->Hintergrundmusik1->trigger();
        first->Soundeffekte1->trigger();
        first->Editormodus1->trigger();
        first->FeindGeisteinfgen1->trigger();
        first->Vollbild1->trigger();
        ASSERT_TRUE(WaitFor([&] { return first->isFullScreen(); }, 3000));
        first->close();
    }
    auto second = NewWindow();
    EXPECT_EQ(second->PaintBox1->Zoom(), 2);
    EXPECT_TRUE(second->ZoomGroup->actions()[1]->isChecked());
    EXPECT_TRUE(second->Vollbild1->isChecked());
    EXPECT_TRUE(second->PaintBox1->Fit());
    EXPECT_FALSE(second->PauseBeiFokusverlust1->isChecked());
    EXPECT_TRUE(second->PlacedFromSettings());
    ShowActive(*second);
    EXPECT_TRUE(WaitFor([&] { return second->isFullScreen(); }, 3000));
    EXPECT_EQ(second->normalGeometry(), place);
    // The game's own switches start as the game gives them at every run.
    EXPECT_TRUE(second->Hintergrundmusik1->isChecked());
    EXPECT_TRUE(second->Soundeffekte1->isChecked());
    EXPECT_FALSE(second->Editormodus1->isChecked());
    EXPECT_TRUE(second->Blockeinfgen1->isChecked());
    EXPECT_EQ(second->Game().MusicEnabled, 1);
    EXPECT_EQ(second->Game().EditorMode, 0);
    EXPECT_EQ(second->Game().InsertKind, 0);
    second->Vollbild1->trigger();
    ASSERT_TRUE(WaitFor([&] { return !second->isFullScreen(); }, 3000));
    EXPECT_EQ(second->geometry(), place);
    second.reset();

    // A place no screen has any more: the size comes back, the window is centred instead.
    QSettings(addr::SettingsFile(), QSettings::IniFormat).setValue(setting::WindowX, 100000);
    auto third = NewWindow();
    EXPECT_FALSE(third->PlacedFromSettings());
    EXPECT_EQ(third->size(), place.size());
    third.reset();
    // A size larger than every screen: the zoom's size instead.
    QSettings(addr::SettingsFile(), QSettings::IniFormat).setValue(setting::WindowWidth, 100000);
    auto fourth = NewWindow();
    EXPECT_EQ(fourth->PaintBox1->sizeHint(), QSize(2 * 681, 2 * 425));
    EXPECT_LT(fourth->width(), 100000);
    fourth.reset();
    // A size kept under another desktop scale factor: the start size instead, at the place kept.
    QSettings kept(addr::SettingsFile(), QSettings::IniFormat);
    kept.setValue(setting::WindowX, place.x());
    kept.setValue(setting::WindowWidth, place.width());
    kept.setValue(setting::WindowScale, 3.0);
    kept.sync();
    auto fifth = NewWindow();
    EXPECT_TRUE(fifth->PlacedFromSettings());
    EXPECT_EQ(fifth->size(), fifth->sizeHint());
    fifth.reset();
    QFile::remove(addr::SettingsFile());
}

TEST(KeptSettings, ADamagedFileMeansDefaults) {
    const char damaged[] =
        "\x01\xff[[general\nzoom=banana\nfullscreen=maybe\npauseOnFocusLoss=7\n"
        "window/x=1e9\nwindow/y=\nwindow/width=-5\nwindow/height=400\n\xfe\x00\x02=";
    WriteSettingsFile(QByteArray(damaged, sizeof damaged - 1));
    {
        auto window = NewWindow();
        ExpectDefaults(*window);
    }
    WriteSettingsFile(QByteArray("zoom=9\nfullscreen=true\n[window]\nx=0\ny=0\nwidth=0\nheight=0\n"));
    {
        auto window = NewWindow();
        EXPECT_EQ(window->PaintBox1->Zoom(), 1);
        EXPECT_TRUE(window->Vollbild1->isChecked());  // the one setting that is sound counts
        EXPECT_FALSE(window->PlacedFromSettings());
    }
    QFile::remove(addr::SettingsFile());
}

TEST(KeptSettings, AFileThatCannotBeWrittenMeansDefaultsAndNoCrash) {
    // A folder where the file should be: nothing can be read or written there.
    QFile::remove(addr::SettingsFile());
    ASSERT_TRUE(QDir().mkpath(addr::SettingsFile()));
    {
        auto window = NewWindow();
        ExpectDefaults(*window);
        ShowActive(*window);
        window->ZoomGroup->actions()[2]->trigger();
        window->PauseBeiFokusverlust1->trigger();
        window->Vollbild1->trigger();
        ASSERT_TRUE(WaitFor([&] { return window->isFullScreen(); }, 3000));
        window->close();
    }
    auto again = NewWindow();
    ExpectDefaults(*again);
    again.reset();
    QDir(addr::SettingsFile()).removeRecursively();
}

TEST(MenuKeys, F10AndALoneAltOpenTheMenuBarAndArrowsAndEnterWorkIt) {
    auto window = NewWindow();
    ShowActive(*window);
    TPaintBox* box = window->PaintBox1;
    QTest::keyClick(box, Qt::Key_F10);
    ASSERT_TRUE(WaitFor([&] { return window->Datei1->isVisible(); }, 3000));
    EXPECT_EQ(window->menuBar()->activeAction(), window->Datei1->menuAction());
    // Right goes to "Optionen" with its first item chosen; Enter carries it out.
    QTest::keyClick(window->Datei1, Qt::Key_Right);
    ASSERT_TRUE(WaitFor([&] { return window->Optionen1->isVisible(); }, 3000));
    EXPECT_FALSE(window->Datei1->isVisible());
    EXPECT_EQ(window->Optionen1->activeAction(), window->Hintergrundmusik1);
    QTest::keyClick(window->Optionen1, Qt::Key_Down);
    EXPECT_EQ(window->Optionen1->activeAction(), window->Soundeffekte1);
    QTest::keyClick(window->Optionen1, Qt::Key_Return);
    EXPECT_TRUE(WaitFor([&] { return !window->Optionen1->isVisible(); }, 3000));
    EXPECT_EQ(window->Game().SoundEnabled, 0);
    EXPECT_FALSE(window->Soundeffekte1->isChecked());
    EXPECT_TRUE(WaitFor([&] { return QApplication::focusWidget() == box; }, 3000));
    BackFromTheMenu(*window);

    // Alt alone in play leaves the arrows to the game; paused, it opens the bar; Esc twice leaves it.
    QTest::keyPress(box, Qt::Key_Alt);
    QTest::keyRelease(box, Qt::Key_Alt);
    QTest::qWait(100);
    EXPECT_FALSE(window->Datei1->isVisible() || window->menuBar()->hasFocus());
    QTest::keyClick(box, Qt::Key_Escape);
    QTest::keyPress(box, Qt::Key_Alt);
    QTest::keyRelease(box, Qt::Key_Alt);
    ASSERT_TRUE(WaitFor([&] { return window->Datei1->isVisible(); }, 3000));
    QTest::keyClick(window->Datei1, Qt::Key_Escape);
    BackFromTheMenu(*window);
    // The bar may keep the keyboard after the first Esc; a second one leaves it.
    if (window->menuBar()->hasFocus()) QTest::keyClick(window->menuBar(), Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == box; }, 3000));
    EXPECT_EQ(window->Game().Paused, 1);  // those Esc closed the menu and did not resume
    QTest::keyClick(box, Qt::Key_Escape);

    // Alt with another key, or the game's own keys: no menu, and the game sees them.
    QTest::keyPress(box, Qt::Key_Alt);
    QTest::keyPress(box, Qt::Key_Right, Qt::AltModifier);
    QTest::keyRelease(box, Qt::Key_Right, Qt::AltModifier);
    QTest::keyRelease(box, Qt::Key_Alt);
    QTest::keyPress(box, Qt::Key_Control);
    QTest::keyPress(box, Qt::Key_Left, Qt::ControlModifier);
    QTest::keyPress(box, Qt::Key_Space, Qt::ControlModifier);
    QTest::qWait(100);
    EXPECT_FALSE(QApplication::activePopupWidget());
    EXPECT_EQ(window->Game().KeyLeft, 1);
    EXPECT_EQ(window->Game().KeyFire, 1);
    QTest::keyRelease(box, Qt::Key_Left, Qt::ControlModifier);
    QTest::keyRelease(box, Qt::Key_Space, Qt::ControlModifier);
    QTest::keyRelease(box, Qt::Key_Control);
    EXPECT_EQ(window->Game().KeyLeft, 0);
    EXPECT_EQ(QApplication::focusWidget(), box);

    // In full screen the hidden bar shows for F10 and goes again when the menu is left.
    window->Vollbild1->trigger();
    ASSERT_TRUE(WaitFor([&] { return window->isFullScreen(); }, 3000));
    EXPECT_FALSE(window->menuBar()->isVisible());
    const auto placed = [&] { return std::pair(box->mapTo(window.get(), QPoint()) + box->Origin(), box->Scale()); };
    QTest::qWait(300);  // the window takes the screen's size
    const auto before = placed();
    QTest::keyClick(box, Qt::Key_F10);
    ASSERT_TRUE(WaitFor([&] { return window->Datei1->isVisible(); }, 3000));
    EXPECT_TRUE(window->menuBar()->isVisible());
    QTest::qWait(50);  // the layout follows the bar
    EXPECT_EQ(placed(), before) << "the bar moved the picture";
    QTest::keyClick(window->Datei1, Qt::Key_Escape);
    BackFromTheMenu(*window);
    if (window->menuBar()->hasFocus()) QTest::keyClick(window->menuBar(), Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([&] { return !window->menuBar()->isVisible() && QApplication::focusWidget() == box; }, 3000));
}

TEST(FrameStats, IntervalsGivePercentilesAndLostTicks) {
    TFrameStats stats;
    for (int i = 0; i < 97; ++i) stats.Interval(25.0);
    stats.Interval(30.0);  // late, but no tick lost
    stats.Interval(50.0);  // one tick lost
    stats.Interval(80.0);  // two more (80 / 25 rounds to 3 periods)
    const TFrameStats::TSummary s = stats.Summary();
    EXPECT_EQ(s.Count, 100);
    EXPECT_DOUBLE_EQ(s.P50Ms, 25.0);
    EXPECT_DOUBLE_EQ(s.P99Ms, 50.0);  // the 99th of 100 sorted intervals
    EXPECT_DOUBLE_EQ(s.MaxMs, 80.0);
    EXPECT_NEAR(s.MeanMs, (97 * 25.0 + 30 + 50 + 80) / 100, 1e-9);
    EXPECT_EQ(s.Dropped, 3);
    // The overlay's second: 100 intervals add up to 2585 ms, so one second was summed.
    EXPECT_GT(stats.Recent().Fps, 30.0);
    EXPECT_LT(stats.Recent().Fps, 41.0);
}

TEST(FrameStats, F12ShowsTheOverlayAndTheFileIsWrittenAtTheEnd) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("stats.json"));
    qputenv("BLUBBI_FRAME_STATS", file.toLocal8Bit());
    {
        auto window = NewWindow();
        ShowActive(*window);
        QTest::keyClick(window->PaintBox1, Qt::Key_F12);
        EXPECT_TRUE(window->PaintBox1->ShowStats);
        QTest::qWait(300);
        window->close();
    }
    qunsetenv("BLUBBI_FRAME_STATS");
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QJsonObject stats = QJsonDocument::fromJson(in.readAll()).object();
    for (const char* key : {"count", "mean_ms", "p50_ms", "p99_ms", "max_ms", "dropped"})
        EXPECT_TRUE(stats.contains(QLatin1String(key))) << key;
    EXPECT_GE(stats.value(QStringLiteral("count")).toInt(), 3);
    EXPECT_GT(stats.value(QStringLiteral("p50_ms")).toDouble(), 10.0);
}
