// A new player's first session in the real program on a small desktop: a zoom kept from a larger
// screen gives way and the window lies on the screen; a level named on the command line opens
// and waits, paused, for the first key; Esc in the game-over dialog's first moment does nothing;
// a key let go while another program has the focus is let go in the game; a lone Alt during
// play leaves the arrows to the game, while paused it opens the menu; the replays check out.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include "tests/support/LevelBytes.h"

namespace {

constexpr int kPaintW = 681, kPaintH = 425, kStatusH = 19, kScreenW = 1024, kScreenH = 768;

QString Tool(const char* name) { return QStandardPaths::findExecutable(QString::fromLatin1(name)); }

// A level file: the border, and (when `trap`) an enemy of no known kind standing unseen where the player starts.
QByteArray Level(bool trap) {
    std::vector<blubbi::TEnemy> enemies;
    if (trap) enemies.push_back(blubbi::test::MakeEnemy(7, 38, 315));
    const std::vector<uint8_t> b = blubbi::test::LevelBytes(blubbi::test::BorderGrid(), enemies, 38, 315);
    return {reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size())};
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct TDesktop {
    QProcess Server, Manager, Game, Other;
    QString Display;
    QTemporaryDir Dir;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();

    ~TDesktop() {
        for (QProcess* p : {&Other, &Game, &Manager, &Server}) {
            p->kill();
            p->waitForFinished(3000);
        }
    }
    bool Start() {
        Server.start(Tool("Xvfb"), {"-displayfd", "1", "-screen", "0",
                                    QStringLiteral("%1x%2x24").arg(kScreenW).arg(kScreenH), "-nolisten", "tcp"});
        if (!Server.waitForReadyRead(10000)) return false;
        Display = QStringLiteral(":") + QString::fromLatin1(Server.readAllStandardOutput().trimmed());
        Env.insert("DISPLAY", Display);
        Env.insert("QT_QPA_PLATFORM", "xcb");
        Env.insert("SDL_AUDIODRIVER", "dummy");
        Env.insert("XDG_CONFIG_HOME", Dir.filePath("config"));
        Env.insert("XDG_DATA_HOME", Dir.filePath("data"));
        Env.remove("BLUBBI_WAIT_FOR_FIRST_KEY");  // the player's default: the wait is on
        Env.remove("WAYLAND_DISPLAY");
        Manager.setProcessEnvironment(Env);
        Manager.start(Tool("openbox"), {});
        if (!Manager.waitForStarted(5000)) return false;
        QThread::msleep(1000);  // openbox takes the screen
        return Manager.state() == QProcess::Running;
    }
    QString X(const QStringList& args) const {
        QProcess p;
        p.setProcessEnvironment(Env);
        p.start(Tool("xdotool"), args);
        p.waitForFinished(15000);
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }
    void Keys(const QStringList& keys, int ms = 400) const {
        X(QStringList{"key", "--delay", "100"} + keys);
        QThread::msleep(ms);
    }
    QString WaitFor(const QString& caption, int ms) const {
        QElapsedTimer clock;
        clock.start();
        QString found;
        while ((found = X({"search", "--onlyvisible", "--name", caption}).section('\n', 0, 0)).isEmpty() &&
               clock.elapsed() < ms)
            QThread::msleep(20);
        return found;
    }
    int Windows() const {
        return int(X({"search", "--onlyvisible", "--pid", QString::number(Game.processId())}).split('\n').size());
    }
    // The paint box as shown now.
    QImage Paint(const QString& window) const {
        QProcess p;
        const QString file = Dir.filePath("shot.png");
        p.start(Tool("import"), {"-display", Display, "-window", window, file});
        p.waitForFinished(15000);
        const QImage shot = QImage(file).convertToFormat(QImage::Format_RGB32);
        return shot.copy(0, shot.height() - kStatusH - kPaintH, kPaintW, kPaintH);
    }
};

// The dark red around the field under the black veil of 150/255: the game waits.
bool Dimmed(const QImage& paint) {
    const QColor c(paint.pixel(20, kPaintH / 2));
    return c.red() > 35 && c.red() < 70 && c.green() == 0 && c.blue() == 0;
}

QJsonObject Sim(const QStringList& args) {
    QProcess sim;
    sim.start(QStringLiteral(BLUBBI_SIM), args);
    sim.waitForFinished(30000);
    EXPECT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(sim.readAllStandardOutput()).object();
}

}  // namespace

TEST(FirstSession, OnASmallScreenFromALevelFileToTheSecondGame) {
    for (const char* tool : {"Xvfb", "xdotool", "import", "openbox", "display"})
        if (Tool(tool).isEmpty()) GTEST_SKIP() << "needs " << tool;
    const QDir build(QStringLiteral(BLUBBI_BUILD_DIR));
    if (!build.exists("grafiken/stein1.gif")) GTEST_SKIP() << "the sprite sheets are not built";
    TDesktop d;
    ASSERT_TRUE(d.Dir.isValid() && d.Start());
    // The program beside an empty level 1; the trap is a level of the player's own, elsewhere.
    const QString program = d.Dir.filePath("blubbi"), trap = d.Dir.filePath("eigen/falle.lev");
    ASSERT_TRUE(QFile::copy(QStringLiteral(BLUBBI_PROGRAM), program) && QDir(d.Dir.path()).mkpath("levels") &&
                QDir(d.Dir.path()).mkpath("eigen") &&
                QFile::link(build.filePath("grafiken"), d.Dir.filePath("grafiken")));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    ASSERT_TRUE(Write(d.Dir.filePath("levels/level001.lev"), Level(false)) && Write(trap, Level(true)));
    // Kept on a large screen: 3x, and a window reaching far over this one's top-left corner.
    QSettings kept(d.Dir.filePath("config/Blubbi Blubbo/blubbi.conf"), QSettings::IniFormat);
    for (const auto& [key, value] : {std::pair{"zoom", 3},
                                     {"window/x", -400},
                                     {"window/y", -300},
                                     {"window/width", 2043},
                                     {"window/height", 1313}})
        kept.setValue(QString::fromLatin1(key), value);
    kept.sync();

    d.Game.setProcessEnvironment(d.Env);
    d.Game.setWorkingDirectory(d.Dir.path());  // the file as a shell names it, from where it stands
    d.Game.start(program, {QStringLiteral("eigen/falle.lev")}, QIODevice::ReadOnly);
    const QString window = d.WaitFor("^Velkor Blubbi Blubbo 1\\.0$", 20000);
    ASSERT_FALSE(window.isEmpty());
    d.X({"windowactivate", "--sync", window});
    QThread::msleep(1500);
    // 2x would not fit 1024 x 768: 1x, the whole window on the screen.
    const QString shape = d.X({"getwindowgeometry", "--shell", window});
    std::printf("%s\n", qPrintable(shape));
    QMap<QString, int> g;
    for (const QString& line : shape.split('\n')) g[line.section('=', 0, 0)] = line.section('=', 1).toInt();
    EXPECT_EQ(g["WIDTH"], kPaintW);
    EXPECT_TRUE(g["X"] >= 0 && g["Y"] >= 0 && g["X"] + g["WIDTH"] <= kScreenW && g["Y"] + g["HEIGHT"] <= kScreenH);

    // The trap waits under the veil until the first key (a jump, back onto it), then takes three lives.
    QThread::msleep(2000);
    EXPECT_TRUE(Dimmed(d.Paint(window))) << "the new game did not wait for a key";
    EXPECT_TRUE(d.WaitFor("^Game Over$", 300).isEmpty()) << "lives went while it waited";
    d.Keys({"Up"}, 0);
    const QString over = d.WaitFor("^Game Over$", 30000);
    ASSERT_FALSE(over.isEmpty()) << "the level named on the command line did not open";
    // Esc at once (the pause key pressed as the last life went) leaves the dialog; later it is "Neues Spiel".
    d.Keys({"Escape"}, 600);
    EXPECT_FALSE(d.WaitFor("^Game Over$", 100).isEmpty()) << "Esc in its first moment closed the dialog";
    d.Keys({"Escape"}, 0);
    ASSERT_TRUE(d.WaitFor("^Game Over$", 100).isEmpty());
    QElapsedTimer clock;  // the level slides in first
    for (clock.start(); !Dimmed(d.Paint(window)) && clock.elapsed() < 5000;) QThread::msleep(100);
    EXPECT_TRUE(Dimmed(d.Paint(window))) << "the new game did not wait for a key";

    // The first key walks; let go while another program has the focus, the player stands after a
    // click on the veil.
    d.X({"keydown", "Right"});
    QThread::msleep(600);
    QImage(8, 8, QImage::Format_RGB32).save(d.Dir.filePath("tiny.png"));
    d.Other.setProcessEnvironment(d.Env);
    d.Other.start(Tool("display"), {d.Dir.filePath("tiny.png")});
    const QString other = d.WaitFor("tiny\\.png", 15000);
    ASSERT_FALSE(other.isEmpty());
    for (int i = 0; i < 25 && d.X({"getwindowfocus"}) != other; ++i) {
        d.X({"windowactivate", "--sync", other});
        d.X({"windowfocus", "--sync", other});
        QThread::msleep(200);
    }
    ASSERT_EQ(d.X({"getwindowfocus"}), other) << "the other program did not get the keyboard";
    QThread::msleep(1000);  // Qt counts a window as left only once no other of its own took the keyboard
    d.X({"keyup", "Right"});
    d.Other.kill();
    d.X({"windowactivate", "--sync", window});
    QThread::msleep(500);
    const QImage veiled = d.Paint(window);
    EXPECT_TRUE(Dimmed(veiled)) << "losing the focus did not pause";
    int hint = 0;  // "Esc: weiter" below "Pause"
    for (int y = kPaintH / 2 + 14; y < kPaintH / 2 + 36; ++y)
        for (int x = kPaintW / 2 - 60; x < kPaintW / 2 + 60; ++x) hint += veiled.pixel(x, y) == qRgb(255, 255, 255);
    EXPECT_GT(hint, 20) << "no line under \"Pause\"";
    d.X({"mousemove", "--window", window, "340", "200", "click", "1"});
    QThread::msleep(500);
    const QImage standing = d.Paint(window);
    EXPECT_FALSE(Dimmed(standing)) << "a click did not resume";
    QThread::msleep(600);
    EXPECT_EQ(d.Paint(window), standing) << "the player walks on alone";

    // A lone Alt during play: the arrows still walk. Paused, it opens the menu bar.
    const int windows = d.Windows();
    d.Keys({"alt", "Left"});  // back the way he came: the wall may be near on the right
    d.X({"keydown", "Left"});
    QThread::msleep(600);
    d.X({"keyup", "Left"});
    EXPECT_EQ(d.Windows(), windows) << "a menu opened during play";
    EXPECT_NE(d.Paint(window), standing) << "the arrows did not walk after Alt";
    d.Keys({"Escape", "alt", "Return"});
    EXPECT_GT(d.Windows(), windows) << "Alt did not open the menu while paused";
    d.Keys({"Escape", "Escape"});

    d.Game.terminate();
    ASSERT_TRUE(d.Game.waitForFinished(10000));
    const QDir replays(d.Dir.filePath("data/Blubbi Blubbo/replays"));
    const QStringList files = replays.entryList({"*.blubbi-replay"}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2);
    for (const QString& f : files)
        EXPECT_EQ(Sim({"--data", d.Dir.path(), "--verify", replays.filePath(f)}).value("status").toString(), "ok");
}
