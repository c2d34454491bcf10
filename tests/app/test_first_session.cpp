// A new player's first session in the real program on a small desktop.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include "tests/support/LevelBytes.h"

namespace {

constexpr int kPaintW = 681, kPaintH = 425, kStatusH = 19;

QString Tool(const char* name) { return QStandardPaths::findExecutable(QString::fromLatin1(name)); }

bool Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The border, and (`trap`) an enemy of no known kind standing unseen where the player starts.
QByteArray Level(bool trap) {
    std::vector<blubbi::TEnemy> enemies;
    if (trap) enemies.push_back(blubbi::test::MakeEnemy(7, 38, 315));
    const std::vector<uint8_t> b = blubbi::test::LevelBytes(blubbi::test::BorderGrid(), enemies, 38, 315);
    return {reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size())};
}

struct TDesktop {
    QProcess Server, Manager, Game, Other;
    QTemporaryDir Dir;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();

    ~TDesktop() {
        for (QProcess* p : {&Other, &Game, &Manager, &Server}) p->kill(), p->waitForFinished(3000);
    }
    bool Start() {
        Server.start(Tool("Xvfb"), {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        if (!Server.waitForReadyRead(10000)) return false;
        Env.insert("DISPLAY", ":" + QString::fromLatin1(Server.readAllStandardOutput().trimmed()));
        Env.insert("QT_QPA_PLATFORM", "xcb");
        Env.insert("SDL_AUDIODRIVER", "dummy");
        Env.insert("XDG_CONFIG_HOME", Dir.filePath("config"));
        Env.insert("XDG_DATA_HOME", Dir.filePath("data"));
        Env.remove("BLUBBI_WAIT_FOR_FIRST_KEY");  // the player's default: the wait is on
        Manager.setProcessEnvironment(Env);
        Manager.start(Tool("openbox"), {});
        const bool started = Manager.waitForStarted(5000);
        QThread::msleep(1000);  // openbox takes the screen
        return started;
    }
    QString Run(const QString& program, const QStringList& args) const {
        QProcess p;
        p.setProcessEnvironment(Env);
        p.start(program, args);
        p.waitForFinished(30000);
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }
    QString X(const QStringList& args) const { return Run(Tool("xdotool"), args); }
    QString WaitFor(const QString& caption, int ms) const {
        QElapsedTimer clock;
        QString found;
        for (clock.start(); found.isEmpty() && clock.elapsed() < ms; QThread::msleep(20))
            found = X({"search", "--onlyvisible", "--name", caption}).section('\n', 0, 0);
        return found;
    }
    QImage Paint(const QString& window) const {
        Run(Tool("import"), {"-window", window, Dir.filePath("shot.png")});
        const QImage shot = QImage(Dir.filePath("shot.png")).convertToFormat(QImage::Format_RGB32);
        return shot.copy(0, shot.height() - kStatusH - kPaintH, kPaintW, kPaintH);
    }
    // The dark red around the field under the black veil of 150/255 (within `ms`): the game waits.
    bool Dimmed(const QString& window, int ms = 0) const {
        QElapsedTimer clock;
        for (clock.start();; QThread::msleep(100)) {
            const QColor c(Paint(window).pixel(20, kPaintH / 2));
            if (const bool dim = c.red() > 35 && c.red() < 70 && !c.green() && !c.blue(); dim || clock.elapsed() >= ms)
                return dim;
        }
    }
};

}  // namespace

// A zoom kept from a larger screen gives way; a level named on the command line opens and waits for
// the first key; an early Esc leaves the game-over dialog; a key let go while another program has
// the keyboard is let go in the game; a click resumes; a lone Alt leaves the arrows to the game.
TEST(FirstSession, OnASmallScreenFromALevelFileToTheSecondGame) {
    for (const char* tool : {"Xvfb", "xdotool", "import", "openbox", "display"})
        if (Tool(tool).isEmpty()) GTEST_SKIP() << "needs " << tool;
    const QDir build(QStringLiteral(BLUBBI_BUILD_DIR));
    if (!build.exists("grafiken/stein1.gif")) GTEST_SKIP() << "the sprite sheets are not built";
    TDesktop d;
    ASSERT_TRUE(d.Dir.isValid() && d.Start());
    // An empty level 1; the trap a level of the player's own; kept on a large screen: 3x, far up left.
    const QString program = d.Dir.filePath("blubbi");
    ASSERT_TRUE(Write(d.Dir.filePath("levels/level001.lev"), Level(false)) &&
                Write(d.Dir.filePath("eigen/falle.lev"), Level(true)) &&
                Write(d.Dir.filePath("config/Blubbi Blubbo/blubbi.conf"),
                      "[General]\nzoom=3\n[window]\nx=-400\ny=-300\nwidth=2043\nheight=1313\n") &&
                QFile::copy(BLUBBI_PROGRAM, program) &&
                QFile::link(build.filePath("grafiken"), d.Dir.filePath("grafiken")));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    d.Game.setProcessEnvironment(d.Env);
    d.Game.setWorkingDirectory(d.Dir.path());  // the file as a shell names it, from where it stands
    d.Game.start(program, {"eigen/falle.lev"}, QIODevice::ReadOnly);
    const QString window = d.WaitFor("^Velkor Blubbi Blubbo 1\\.0$", 20000);
    ASSERT_FALSE(window.isEmpty());
    d.X({"windowactivate", "--sync", window});
    // 2x would not fit 1024 x 768: 1x, the whole window on the screen (WINDOW, X, Y, WIDTH, HEIGHT).
    const QStringList g = d.X({"getwindowgeometry", "--shell", window}).split('\n');
    const auto at = [&](int i) { return g.value(i).section('=', 1).toInt(); };
    EXPECT_TRUE(at(3) == kPaintW && at(1) >= 0 && at(2) >= 0 && at(1) + at(3) <= 1024 && at(2) + at(4) <= 768);

    // The trap waits under the veil for the first key (a jump, back onto it), then takes three lives.
    EXPECT_TRUE(d.Dimmed(window, 5000)) << "the new game did not wait for a key";
    const QStringList held{"Up", "space", "Left"};  // held on as the last life goes (the wall stops Left)
    for (const QString& key : held) d.X({"keydown", key});
    ASSERT_FALSE(d.WaitFor("^Game Over$", 30000).isEmpty()) << "the level named on the command line did not open";
    // Esc at once (the pause key pressed as the last life went) leaves the dialog, as the keys held
    // from the game do; later it is "Neues Spiel".
    d.X({"key", "Escape"});
    QThread::msleep(900);
    for (const QString& key : held) d.X({"keyup", key});
    QThread::msleep(200);
    EXPECT_FALSE(d.WaitFor("^Game Over$", 100).isEmpty()) << "a key held from the game or pressed at once answered";
    // The name kept: entered in this computer's list (no server), it is the login name.
    for (int i = 0; i < 5; ++i) d.X({"key", "Tab"});
    d.X({"key", "space"});
    QThread::msleep(300);
    QFile table(d.Dir.filePath("data/Blubbi Blubbo/hiscores.json"));
    ASSERT_TRUE(table.open(QIODevice::ReadOnly)) << "the points were not entered";
    const QByteArray entered = table.readAll();
    EXPECT_TRUE(entered.contains("\"name\": \"" + QByteArray(getpwuid(geteuid())->pw_name) + "\"")) << entered.data();
    d.X({"key", "Escape"});
    EXPECT_TRUE(d.Dimmed(window, 5000)) << "the new game did not wait for a key";

    // The first key walks; let go while another program has the keyboard, the player stands after
    // a click on the veil.
    d.X({"keydown", "Right"});
    QThread::msleep(600);
    d.Other.setProcessEnvironment(d.Env);
    d.Other.start(Tool("display"), {build.filePath("grafiken/stein1.gif")});
    const QString other = d.WaitFor("stein1", 15000);
    for (int i = 0; i < 25 && d.X({"getwindowfocus"}) != other; ++i, QThread::msleep(200))
        d.X({"windowactivate", "--sync", other}), d.X({"windowfocus", "--sync", other});
    ASSERT_EQ(d.X({"getwindowfocus"}), other) << "the other program did not get the keyboard";
    QThread::msleep(1000);  // Qt counts a window as left once none of its own took the keyboard
    d.X({"keyup", "Right"});
    d.X({"windowactivate", "--sync", window});
    EXPECT_TRUE(d.Dimmed(window, 500)) << "losing the focus did not pause";
    d.X({"mousemove", "--window", window, "340", "200", "click", "1"});
    QThread::msleep(500);
    const QImage standing = d.Paint(window);
    EXPECT_FALSE(d.Dimmed(window)) << "a click did not resume";
    QThread::msleep(600);
    EXPECT_EQ(d.Paint(window), standing) << "the player walks on alone";

    // A lone Alt during play: the arrows still walk (back the way he came: the wall may be near).
    d.X({"key", "alt"});
    d.X({"keydown", "Left"});
    QThread::msleep(600);
    d.X({"keyup", "Left"});
    EXPECT_NE(d.Paint(window), standing) << "the arrows did not walk after Alt";

    d.Game.terminate();
    ASSERT_TRUE(d.Game.waitForFinished(10000));
    const QDir replays(d.Dir.filePath("data/Blubbi Blubbo/replays"));
    ASSERT_EQ(replays.entryList({"*.blubbi-replay"}).size(), 2);
    for (const QString& f : replays.entryList({"*.blubbi-replay"}))
        EXPECT_TRUE(d.Run(BLUBBI_SIM, {"--data", d.Dir.path(), "--verify", replays.filePath(f)}).contains("\"ok\""));
}
