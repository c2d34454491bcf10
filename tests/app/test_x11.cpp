// The real program in a real X window: it shows the play field and the player walks on a key press;
// under a window manager F11 fills the screen and the editor still paints the cell under the mouse; a game
// lost there leaves a replay that checks out, and goes to the project's own hiscore server, which lists it.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdint>
#include <optional>

namespace {

constexpr int kPaintW = 681, kPaintH = 425, kStatusH = 19;
constexpr int kFieldX = (kPaintW - 475) / 2, kFieldY = (kPaintH - 380) / 2;
constexpr int kStartX = 38, kStartY = 315, kPlayerW = 41, kPlayerH = 46;

// A level with only the border of blocks and no enemy, so nothing but the player moves.
QByteArray BorderLevel() {
    QByteArray level(500, '\0');
    for (int col = 0; col < 25; ++col)
        for (int row = 0; row < 20; ++row)
            if (col == 0 || col == 24 || row == 0 || row == 19) level[col * 20 + row] = 1;
    auto put = [&level](int32_t v) {
        for (int i = 0; i < 4; ++i) level.append(char((uint32_t(v) >> (8 * i)) & 0xFF));
    };
    put(0);  // no enemies
    put(kStartX);
    put(kStartY);
    return level;
}

class TX11Run {
public:
    ~TX11Run() {
        for (QProcess* p : {&Game, &Manager, &Server}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(3000)) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }

    // Xvfb picks a free display itself and names it on its standard output once it takes clients.
    bool StartServer(const QString& xvfb, const QString& screen = QStringLiteral("1024x768x24")) {
        Server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Server.start(xvfb,
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                      screen, QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
        if (!Server.waitForStarted(5000)) return false;
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (!out.contains('\n') && clock.elapsed() < 10000 && Server.state() == QProcess::Running) {
            Server.waitForReadyRead(200);
            out += Server.readAllStandardOutput();
        }
        bool ok = false;
        const int number = out.trimmed().toInt(&ok);
        if (!ok) return false;
        Display = QStringLiteral(":%1").arg(number);
        return true;
    }

    // The test's own environment, so a sanitizer build's leak-check settings reach the game too.
    QProcessEnvironment Env() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), Display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        // Settings of its own: none of the user's, and they last from one start to the next.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Config.path());
        return env;
    }

    // Runs a tool on the display; its standard output, trimmed.
    QString Run(const QString& program, const QStringList& args, bool* ok = nullptr) const {
        QProcess p;
        p.setProcessEnvironment(Env());
        p.start(program, args);
        const bool finished = p.waitForFinished(15000);
        if (ok) *ok = finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }

    // Starts the game (with its own settings) and waits for its window; the window's id or empty.
    QString StartGame(const QString& program, const QString& xdotool) {
        Game.setProcessEnvironment(Env());
        Game.setProcessChannelMode(QProcess::ForwardedChannels);
        Game.start(program, {});
        if (!Game.waitForStarted(5000)) return {};
        return WaitForWindow(xdotool, QStringLiteral("^Velkor Blubbi Blubbo 1\\.0$"), 20000);
    }

    // The first visible window whose caption matches `caption` (a regular expression), waited for while
    // the game runs; empty when none came within the time.
    QString WaitForWindow(const QString& xdotool, const QString& caption, int ms) const {
        QString window;
        QElapsedTimer clock;
        clock.start();
        while (window.isEmpty() && clock.elapsed() < ms && Game.state() == QProcess::Running) {
            window = Run(xdotool,
                         {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), caption})
                         .section(QLatin1Char('\n'), 0, 0);
            if (window.isEmpty()) QThread::msleep(200);
        }
        return window;
    }

    // Walking right into level 1's walker costs all three lives; when the game's dice keep it away, the
    // other way does. The game-over dialog, focused, or empty when none came.
    QString LoseAGame(const QString& xdotool, const QString& window) const {
        bool ok = false;
        Run(xdotool, {QStringLiteral("windowfocus"), window}, &ok);
        if (!ok) return {};
        QThread::msleep(1500);  // the level slides in
        QString dialog;
        for (const QString& key : {QStringLiteral("Right"), QStringLiteral("Left")}) {
            Run(xdotool, {QStringLiteral("keydown"), key}, &ok);
            if (!ok) return {};
            dialog = WaitForWindow(xdotool, QStringLiteral("^Game Over$"), 40000);
            Run(xdotool, {QStringLiteral("keyup"), key});
            if (!dialog.isEmpty()) break;
        }
        if (!dialog.isEmpty()) Run(xdotool, {QStringLiteral("windowfocus"), dialog});
        return dialog;
    }

    QProcess Server, Manager, Game;
    QString Display;
    QTemporaryDir Config;
};

// The program with its sheets, beside a level of our own, in `dir`; the program's path or empty.
QString ProgramWithBorderLevel(const QTemporaryDir& dir) {
    const QDir build(QStringLiteral(BLUBBI_BUILD_DIR));
    const QString program = dir.filePath(QStringLiteral("blubbi"));
    if (!dir.isValid() || !QFile::copy(QStringLiteral(BLUBBI_PROGRAM), program) ||
        !QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
        !QFile::link(build.filePath(QStringLiteral("grafiken")), dir.filePath(QStringLiteral("grafiken"))) ||
        !QDir(dir.path()).mkdir(QStringLiteral("levels")))
        return {};
    QFile level(dir.filePath(QStringLiteral("levels/level001.lev")));
    if (!level.open(QIODevice::WriteOnly) || level.write(BorderLevel()) != 512) return {};
    return program;
}

int Differences(const QImage& a, const QImage& b, QRect* box) {
    int count = 0;
    QRect r;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                ++count;
                r |= QRect(x, y, 1, 1);
            }
    *box = r;
    return count;
}

}  // namespace

TEST(RealWindow, ShowsThePlayFieldAndThePlayerWalks) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    const QString import = QStandardPaths::findExecutable(QStringLiteral("import"));
    if (xvfb.isEmpty() || xdotool.isEmpty() || import.isEmpty())
        GTEST_SKIP() << "needs Xvfb, xdotool and ImageMagick's import";
    const QDir build(QStringLiteral(BLUBBI_BUILD_DIR));
    if (!build.exists(QStringLiteral("grafiken/stein1.gif"))) GTEST_SKIP() << "the sprite sheets are not built";

    QTemporaryDir dir;
    const QString program = ProgramWithBorderLevel(dir);
    ASSERT_FALSE(program.isEmpty());

    TX11Run x;
    ASSERT_TRUE(x.StartServer(xvfb)) << "Xvfb did not come up";
    const QString window = x.StartGame(program, xdotool);
    ASSERT_FALSE(window.isEmpty()) << "no window with the game's caption";
    bool ok = false;
    x.Run(xdotool, {QStringLiteral("windowfocus"), window}, &ok);
    ASSERT_TRUE(ok);
    QThread::msleep(1500);  // the level slides in for 1.25 s, longer on a busy machine

    auto shot = [&](const QString& name) {
        const QString file = dir.filePath(name);
        bool done = false;
        x.Run(import, {QStringLiteral("-display"), x.Display, QStringLiteral("-window"), window, file}, &done);
        EXPECT_TRUE(done) << "import failed";
        return QImage(file).convertToFormat(QImage::Format_RGB32);
    };
    // Once the slide is over and nothing but the player could move, two pictures in a row agree.
    QImage before = shot(QStringLiteral("before.png"));
    QElapsedTimer clock;
    clock.start();
    while (!before.isNull() && clock.elapsed() < 15000) {
        QThread::msleep(300);
        const QImage again = shot(QStringLiteral("before.png"));
        if (again == before) break;
        before = again;
    }
    ASSERT_FALSE(before.isNull());
    ASSERT_EQ(before.width(), kPaintW) << "the window is not at its start size";
    const int paintTop = before.height() - kStatusH - kPaintH;
    ASSERT_GT(paintTop, 0);
    const QImage paintBefore = before.copy(0, paintTop, kPaintW, kPaintH);

    // The play field: dark red around it, black free cells, blocks on the border.
    EXPECT_EQ(QColor(paintBefore.pixel(kFieldX / 2, kPaintH / 2)), QColor(128, 0, 0));
    EXPECT_EQ(QColor(paintBefore.pixel(kFieldX + 12 * 19 + 9, kFieldY + 8 * 19 + 9)), QColor(0, 0, 0));
    const QImage block = paintBefore.copy(kFieldX + 12 * 19, kFieldY, 19, 19);
    bool blockDrawn = false;
    for (int y = 0; y < 19; ++y)
        for (int x0 = 0; x0 < 19; ++x0) blockDrawn |= QColor(block.pixel(x0, y)) != QColor(0, 0, 0);
    EXPECT_TRUE(blockDrawn) << "no block on the top border";

    x.Run(xdotool, {QStringLiteral("keydown"), QStringLiteral("Right")}, &ok);
    ASSERT_TRUE(ok);
    QThread::msleep(800);
    x.Run(xdotool, {QStringLiteral("keyup"), QStringLiteral("Right")}, &ok);
    QThread::msleep(300);
    const QImage after = shot(QStringLiteral("after.png")).copy(0, paintTop, kPaintW, kPaintH);

    QRect changed;
    EXPECT_GT(Differences(paintBefore, after, &changed), 50) << "the picture did not change";
    // Only the player's band changed, and it reaches right of where the player stood.
    EXPECT_GE(changed.top(), kFieldY + kStartY - 2);
    EXPECT_LE(changed.bottom(), kFieldY + kStartY + kPlayerH + 1);
    EXPECT_GE(changed.left(), kFieldX + kStartX - 2);
    EXPECT_GT(changed.right(), kFieldX + kStartX + kPlayerW + 10);
    ASSERT_EQ(x.Game.state(), QProcess::Running);

    // SIGTERM ends the program like its close box: a clean exit.
    x.Game.terminate();
    ASSERT_TRUE(x.Game.waitForFinished(10000));
    EXPECT_EQ(x.Game.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(x.Game.exitCode(), 0);
}

// A game lost in the real window leaves its replay in the user's data folder, and the runner checks
// it: every checkpoint holds, and it ends in the game over with the points the game showed.
TEST(RealWindow, ALostGameLeavesAReplayThatChecksOut) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (xvfb.isEmpty() || xdotool.isEmpty()) GTEST_SKIP() << "needs Xvfb and xdotool";
    const QDir build(QStringLiteral(BLUBBI_BUILD_DIR));
    if (!build.exists(QStringLiteral("grafiken/stein1.gif")) || !build.exists(QStringLiteral("levels/level001.lev")))
        GTEST_SKIP() << "the sprite sheets and levels are not built";

    // The program with its sheets and levels; a data folder of its own.
    QTemporaryDir dir, data;
    ASSERT_TRUE(dir.isValid() && data.isValid());
    const QString program = dir.filePath(QStringLiteral("blubbi"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(BLUBBI_PROGRAM), program));
    ASSERT_TRUE(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    for (const QString& folder : {QStringLiteral("grafiken"), QStringLiteral("levels")})
        ASSERT_TRUE(QFile::link(build.filePath(folder), dir.filePath(folder)));

    TX11Run x;
    ASSERT_TRUE(x.StartServer(xvfb)) << "Xvfb did not come up";
    QProcessEnvironment env = x.Env();
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), data.filePath(QStringLiteral("config")));
    env.remove(QStringLiteral("BLUBBI_HISCORE_URL"));
    x.Game.setProcessEnvironment(env);
    x.Game.setProcessChannelMode(QProcess::ForwardedChannels);
    x.Game.start(program, {});
    ASSERT_TRUE(x.Game.waitForStarted(5000));

    const QString window = x.WaitForWindow(xdotool, QStringLiteral("^Velkor Blubbi Blubbo 1\\.0$"), 20000);
    ASSERT_FALSE(window.isEmpty()) << "no window with the game's caption";
    const QString dialog = x.LoseAGame(xdotool, window);
    ASSERT_FALSE(dialog.isEmpty()) << "no game over";
    bool ok = false;
    x.Run(xdotool, {QStringLiteral("key"), QStringLiteral("Return")}, &ok);  // "Neues Spiel" has the focus

    const QDir replays(data.filePath(QStringLiteral("Blubbi Blubbo/replays")));
    QStringList files;
    QElapsedTimer clock;
    clock.start();
    while (files.isEmpty() && clock.elapsed() < 15000) {
        files = replays.entryList({QStringLiteral("*.blubbi-replay")}, QDir::Files);
        if (files.isEmpty()) QThread::msleep(200);
    }
    ASSERT_EQ(files.size(), 1) << "no replay of the lost game in " << replays.path().toStdString();
    const QRegularExpressionMatch points = QRegularExpression(QStringLiteral("_(\\d+)-Punkte")).match(files[0]);
    ASSERT_TRUE(points.hasMatch()) << files[0].toStdString();
    x.Game.terminate();
    ASSERT_TRUE(x.Game.waitForFinished(10000));
    EXPECT_EQ(x.Game.exitCode(), 0);

    QProcess sim;
    sim.start(QStringLiteral(BLUBBI_SIM),
              {QStringLiteral("--data"), dir.path(), QStringLiteral("--verify"), replays.filePath(files[0])});
    ASSERT_TRUE(sim.waitForFinished(30000));
    EXPECT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().toStdString();
    const QJsonObject summary = QJsonDocument::fromJson(sim.readAllStandardOutput()).object();
    EXPECT_EQ(summary.value(QStringLiteral("status")).toString(), QStringLiteral("ok"));
    EXPECT_TRUE(summary.value(QStringLiteral("EndedInGameOver")).toBool());
    EXPECT_EQ(summary.value(QStringLiteral("GameOverPoints")).toString(), points.captured(1));
    EXPECT_TRUE(summary.value(QStringLiteral("DataMatch")).toBool());
    EXPECT_GT(summary.value(QStringLiteral("frames")).toInt(), 100);
}

TEST(RealWindow, F11FillsTheScreenAndTheEditorPaintsTheCellUnderTheMouse) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    const QString import = QStandardPaths::findExecutable(QStringLiteral("import"));
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (xvfb.isEmpty() || xdotool.isEmpty() || import.isEmpty() || openbox.isEmpty())
        GTEST_SKIP() << "needs Xvfb, xdotool, ImageMagick's import and the openbox window manager";
    const QDir build(QStringLiteral(BLUBBI_BUILD_DIR));
    if (!build.exists(QStringLiteral("grafiken/stein1.gif"))) GTEST_SKIP() << "the sprite sheets are not built";
    QTemporaryDir dir;
    const QString program = ProgramWithBorderLevel(dir);
    ASSERT_FALSE(program.isEmpty());

    // A screen on which twice the game's size fits, and a window manager that does full screen.
    constexpr int kScreenW = 1600, kScreenH = 1000, kScale = 2;
    constexpr int kLeft = (kScreenW - kScale * kPaintW) / 2, kTop = (kScreenH - kScale * kPaintH) / 2;
    TX11Run x;
    ASSERT_TRUE(x.StartServer(xvfb, QStringLiteral("%1x%2x24").arg(kScreenW).arg(kScreenH)));
    x.Manager.setProcessEnvironment(x.Env());
    x.Manager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    x.Manager.start(openbox, {});
    ASSERT_TRUE(x.Manager.waitForStarted(5000));
    QThread::msleep(1000);  // openbox takes the screen
    ASSERT_EQ(x.Manager.state(), QProcess::Running);

    const QString window = x.StartGame(program, xdotool);
    ASSERT_FALSE(window.isEmpty()) << "no window with the game's caption";
    bool ok = false;
    x.Run(xdotool, {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}, &ok);
    ASSERT_TRUE(ok);
    auto key = [&](const QString& name) {
        bool sent = false;
        x.Run(xdotool, {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), name}, &sent);
        EXPECT_TRUE(sent) << name.toStdString();
        QThread::msleep(300);
    };
    auto screen = [&](const QString& name) {
        const QString file = dir.filePath(name);
        bool done = false;
        x.Run(import, {QStringLiteral("-display"), x.Display, QStringLiteral("-window"), QStringLiteral("root"), file},
              &done);
        EXPECT_TRUE(done) << "import failed";
        return QImage(file).convertToFormat(QImage::Format_RGB32);
    };
    // A game pixel as the screen shows it: a 2 x 2 block, all of one colour.
    auto gamePixel = [&](const QImage& shot, int gx, int gy) -> std::optional<QColor> {
        const int sx = kLeft + kScale * gx, sy = kTop + kScale * gy;
        const QRgb c = shot.pixel(sx, sy);
        if (shot.pixel(sx + 1, sy) != c || shot.pixel(sx, sy + 1) != c || shot.pixel(sx + 1, sy + 1) != c)
            return std::nullopt;
        return QColor(c);
    };
    const int cellX = kFieldX + 12 * 19, cellY = kFieldY + 8 * 19;  // a free cell inside the border
    auto cellHasBlock = [&](const QImage& shot) {
        bool drawn = false;
        for (int y = 0; y < 19; ++y)
            for (int x0 = 0; x0 < 19; ++x0) drawn |= gamePixel(shot, cellX + x0, cellY + y) != QColor(0, 0, 0);
        return drawn;
    };

    key(QStringLiteral("F11"));
    QThread::msleep(1500);  // the level slides in
    const QImage full = screen(QStringLiteral("full.png"));
    ASSERT_EQ(full.size(), QSize(kScreenW, kScreenH));
    // Black around, the surround of the field in sharp 2 x 2 blocks in the middle.
    EXPECT_EQ(QColor(full.pixel(kLeft / 2, kScreenH / 2)), QColor(0, 0, 0));
    EXPECT_EQ(QColor(full.pixel(kScreenW / 2, kTop / 2)), QColor(0, 0, 0));
    EXPECT_EQ(gamePixel(full, kFieldX / 2, kPaintH / 2), QColor(128, 0, 0));
    EXPECT_EQ(gamePixel(full, kFieldX + 12 * 19 + 9, kFieldY + 8 * 19 + 9), QColor(0, 0, 0));
    EXPECT_FALSE(cellHasBlock(full));

    // Editor mode by the keyboard: F10, right twice to "Leveleditor", Enter on "Editormodus".
    key(QStringLiteral("F10"));
    key(QStringLiteral("Right"));
    key(QStringLiteral("Right"));
    key(QStringLiteral("Return"));
    QThread::msleep(500);  // the menu bar hides again
    const QPoint click(kLeft + kScale * (cellX + 9), kTop + kScale * (cellY + 9));
    x.Run(xdotool, {QStringLiteral("mousemove"), QString::number(click.x()), QString::number(click.y())}, &ok);
    ASSERT_TRUE(ok);
    x.Run(xdotool, {QStringLiteral("click"), QStringLiteral("1")}, &ok);
    ASSERT_TRUE(ok);
    QThread::msleep(500);
    const QImage painted = screen(QStringLiteral("painted.png"));
    EXPECT_TRUE(cellHasBlock(painted)) << "no block in the cell under the mouse";
    EXPECT_EQ(gamePixel(painted, kFieldX / 2, kPaintH / 2), QColor(128, 0, 0)) << "the field moved";

    // Closed in full screen, the next start comes up in full screen again.
    x.Game.terminate();
    ASSERT_TRUE(x.Game.waitForFinished(10000));
    EXPECT_EQ(x.Game.exitCode(), 0);
    ASSERT_FALSE(x.StartGame(program, xdotool).isEmpty());
    QThread::msleep(2000);
    const QImage again = screen(QStringLiteral("again.png"));
    EXPECT_EQ(gamePixel(again, kFieldX / 2, kPaintH / 2), QColor(128, 0, 0));
    EXPECT_EQ(QColor(again.pixel(kLeft / 2, kScreenH / 2)), QColor(0, 0, 0));
}

#ifdef BLUBBI_HISCORE
// What a new player does: start the server, point the game at it, lose a game, upload it, look at the list.
TEST(RealWindow, ALostGameGoesToTheOwnServerAndShowsThereCheckedWithItsLastFrame) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (xvfb.isEmpty() || xdotool.isEmpty() || curl.isEmpty()) GTEST_SKIP() << "needs Xvfb, xdotool and curl";
    const QDir build(QStringLiteral(BLUBBI_BUILD_DIR));
    if (!build.exists(QStringLiteral("grafiken/stein1.gif")) || !build.exists(QStringLiteral("levels/level001.lev")))
        GTEST_SKIP() << "the game's data are not built";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());

    // The server as docs/hiscore-server.md starts it, on a free port, checking with the game's own data.
    QProcess hiscore;
    hiscore.setProcessChannelMode(QProcess::MergedChannels);
    hiscore.start(QStringLiteral(BLUBBI_HISCORE),
                  {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--db"),
                   QStringLiteral("sqlite:") + home.filePath(QStringLiteral("scores.sqlite")), QStringLiteral("--data"),
                   build.path()});
    QByteArray said;
    QElapsedTimer clock;
    clock.start();
    while (!said.contains('\n') && clock.elapsed() < 20000 && hiscore.state() != QProcess::NotRunning) {
        hiscore.waitForReadyRead(200);
        said += hiscore.readAll();
    }
    const qsizetype at = said.indexOf("listening on ");
    ASSERT_GE(at, 0) << said.toStdString();
    QString base = QString::fromUtf8(said.mid(at + 13, said.indexOf('\n', at) - at - 13)).trimmed();
    base.chop(1);  // the closing slash
    const auto get = [&](const QString& path) {
        QProcess p;
        p.start(curl, {QStringLiteral("-sf"), QStringLiteral("--noproxy"), QStringLiteral("*"), base + path});
        p.waitForFinished(15000);
        return p.readAllStandardOutput();
    };

    TX11Run x;
    ASSERT_TRUE(x.StartServer(xvfb)) << "Xvfb did not come up";
    QProcessEnvironment env = x.Env();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("BLUBBI_HISCORE_URL"), base);
    x.Game.setProcessEnvironment(env);
    x.Game.setProcessChannelMode(QProcess::ForwardedChannels);
    x.Game.start(QStringLiteral(BLUBBI_PROGRAM), {});
    ASSERT_TRUE(x.Game.waitForStarted(5000));
    const QString window = x.WaitForWindow(xdotool, QStringLiteral("^Velkor Blubbi Blubbo 1\\.0$"), 20000);
    ASSERT_FALSE(window.isEmpty()) << "no window with the game's caption";
    const QString dialog = x.LoseAGame(xdotool, window);
    ASSERT_FALSE(dialog.isEmpty()) << "no game over";
    QThread::msleep(300);
    bool ok = false;
    // The name field, then "Ins Internet übertragen", at their places in the dialog.
    const auto click = [&](int px, int py) {
        x.Run(xdotool,
              {QStringLiteral("mousemove"), QStringLiteral("--window"), dialog, QString::number(px),
               QString::number(py), QStringLiteral("click"), QStringLiteral("1")},
              &ok);
        EXPECT_TRUE(ok);
    };
    click(16 + 96 + 70, 96 + 32 + 10);
    x.Run(xdotool, {QStringLiteral("key"), QStringLiteral("ctrl+a")});
    x.Run(xdotool, {QStringLiteral("type"), QStringLiteral("Xvfb Tester")});
    click(16 + 16 + 88, 96 + 96 + 12);

    QJsonObject list;
    clock.restart();
    while (clock.elapsed() < 30000) {
        list = QJsonDocument::fromJson(get(QStringLiteral("/api/scores"))).object();
        if (list.value(QStringLiteral("total")).toInt() > 0) break;
        QThread::msleep(200);
    }
    ASSERT_EQ(list.value(QStringLiteral("total")).toInt(), 1) << "nothing arrived: " << said.toStdString();
    const QJsonObject entry = list.value(QStringLiteral("scores")).toArray().at(0).toObject();
    EXPECT_EQ(entry.value(QStringLiteral("name")).toString(), QStringLiteral("Xvfb Tester"));
    EXPECT_TRUE(entry.value(QStringLiteral("verified")).toBool());
    EXPECT_TRUE(entry.value(QStringLiteral("ranked")).toBool());
    EXPECT_EQ(entry.value(QStringLiteral("rank")).toInt(), 1);
    EXPECT_EQ(entry.value(QStringLiteral("level")).toInt(), 1);
    const QString id = QString::number(entry.value(QStringLiteral("id")).toInteger());

    // The page lists it, checked, with the picture of its last frame: the play field as the game drew it.
    const QString page = QString::fromUtf8(get(QStringLiteral("/showhi.php")));
    EXPECT_TRUE(page.contains(QStringLiteral("Xvfb Tester")));
    EXPECT_TRUE(page.contains(QStringLiteral("✓ geprüft")));
    EXPECT_TRUE(page.contains(QStringLiteral("/replays/%1.png").arg(id)));
    const QImage last = QImage::fromData(get(QStringLiteral("/replays/%1.png").arg(id)), "PNG");
    ASSERT_FALSE(last.isNull()) << "no last frame";
    EXPECT_EQ(last.size(), QSize(kPaintW, kPaintH));
    EXPECT_EQ(QColor(last.pixel(kFieldX / 2, kPaintH / 2)), QColor(128, 0, 0));

    x.Run(xdotool, {QStringLiteral("key"), QStringLiteral("Escape")});
    x.Game.terminate();
    EXPECT_TRUE(x.Game.waitForFinished(10000));
    hiscore.terminate();
    EXPECT_TRUE(hiscore.waitForFinished(10000));
}
#endif
