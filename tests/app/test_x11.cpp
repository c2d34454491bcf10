// The real program in a real X window: it shows the play field and the player walks on a key press;
// under a window manager F11 fills the screen and the editor still paints the cell under the mouse; a game
// lost there leaves a replay that checks out, and goes to the project's own hiscore server, which lists it;
// a virtual gamepad put into the program walks, jumps and spits; three games in a row, through menu,
// dialogs and a focus lost, each leave a replay that checks out and the server takes; the editor asks
// before changed work goes and brings it back after a kill.
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
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "app/WindowSettings.h"
#include "tests/support/LevelBytes.h"

namespace {

constexpr int kPaintW = 681, kPaintH = 425, kStatusH = 19;
constexpr int kFieldX = (kPaintW - 475) / 2, kFieldY = (kPaintH - 380) / 2;
constexpr int kStartX = 38, kStartY = 315, kPlayerW = 41, kPlayerH = 46;

// A level with only the border of blocks and no enemy, so nothing but the player moves.
QByteArray BorderLevel() {
    const std::vector<uint8_t> bytes = blubbi::test::LevelBytes(blubbi::test::BorderGrid(), {}, kStartX, kStartY);
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

// A "Geist" flying at the player's height straight at him: its timer never runs out and it keeps its
// row, so the bubbles spat while space is held catch it, even when the key comes a second late.
QByteArray GhostLevel() {
    blubbi::TEnemy ghost = blubbi::test::MakeEnemy(1, 300, 300);
    ghost.Timer = 1000000;
    ghost.Aux = 1;  // no vertical movement
    const std::vector<uint8_t> bytes = blubbi::test::LevelBytes(blubbi::test::BorderGrid(), {ghost}, kStartX, kStartY);
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

// A "Geist" that stands still against the right wall, just right of the player's start: walking
// right into it costs a life each time the protection after a hit is over, so a game is lost
// some seven seconds after the key goes down, and never while the player stands or walks left.
QByteArray LostAtOnceLevel() {
    blubbi::TEnemy ghost = blubbi::test::MakeEnemy(1, 387, 302);  // as far right and down as it may stand
    ghost.Timer = 1000000;
    ghost.DirX = ghost.Aux = 1;  // neither sideways nor up or down
    const std::vector<uint8_t> bytes = blubbi::test::LevelBytes(blubbi::test::BorderGrid(), {ghost}, 330, kStartY);
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

// Asks `seen` every 50 ms until it holds; false when `ms` passed first.
template <class F>
bool Until(F seen, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!seen()) {
        if (clock.elapsed() > ms) return false;
        QThread::msleep(50);
    }
    return true;
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
        // Settings and replays of its own: none of the user's, and they last from one start to the next.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Config.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), Data.path());
        env.insert(QStringLiteral("BLUBBI_WAIT_FOR_FIRST_KEY"), QStringLiteral("0"));  // these games start at once
        // The leak checker's tracer crashes as the window program exits under X with its focus watch
        // (a fault of the tool's, "Tracer caught signal 11"); the app tests check its leaks in-process.
        const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   asan.isEmpty() ? QStringLiteral("detect_leaks=0") : asan + QStringLiteral(":detect_leaks=0"));
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

    // A window manager, for what only one does: full screen, minimising. It has taken the screen
    // once it runs its start-up command.
    bool StartManager(const QString& openbox) {
        const QString ready = Config.filePath(QStringLiteral("openbox-ready"));
        Manager.setProcessEnvironment(Env());
        Manager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Manager.start(openbox, {QStringLiteral("--startup"), QStringLiteral("touch ") + ready});
        if (!Manager.waitForStarted(5000)) return false;
        return Until([&] { return QFile::exists(ready) || Manager.state() != QProcess::Running; }) &&
               Manager.state() == QProcess::Running;
    }

    // One key press.
    bool Key(const QString& xdotool, const QString& name) const {
        bool sent = false;
        Run(xdotool, {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), name}, &sent);
        return sent;
    }

    // A picture of `window` ("root": the whole screen) through ImageMagick's import, kept in `file`.
    // Import may fail while the window changes, so it has three tries; a null picture when all failed,
    // which a test waiting for a picture takes as one more to wait for.
    QImage Shot(const QString& import, const QString& window, const QString& file) const {
        for (int tries = 3; tries > 0; --tries) {
            bool done = false;
            Run(import, {QStringLiteral("-display"), Display, QStringLiteral("-window"), window, file}, &done);
            if (done) return QImage(file).convertToFormat(QImage::Format_RGB32);
        }
        std::fprintf(stderr, "import failed three times\n");
        return {};
    }

    // Starts the game (with its own settings) and waits for its window; the window's id or empty.
    QString StartGame(const QString& program, const QString& xdotool) { return StartGame(program, xdotool, Env()); }
    QString StartGame(const QString& program, const QString& xdotool, const QProcessEnvironment& env) {
        Game.setProcessEnvironment(env);
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

    // Right held on LostAtOnceLevel() until the game is lost. The game-over dialog, focused, or empty
    // when none came.
    QString LoseAGame(const QString& xdotool, const QString& window) const {
        bool ok = false;
        Run(xdotool, {QStringLiteral("windowfocus"), window}, &ok);
        if (!ok) return {};
        Run(xdotool, {QStringLiteral("keydown"), QStringLiteral("Right")}, &ok);
        if (!ok) return {};
        const QString dialog = WaitForWindow(xdotool, QStringLiteral("^Game Over$"), 30000);
        Run(xdotool, {QStringLiteral("keyup"), QStringLiteral("Right")});
        if (!dialog.isEmpty()) Run(xdotool, {QStringLiteral("windowfocus"), QStringLiteral("--sync"), dialog});
        QThread::msleep(600);  // the dialog takes no key in its first half second
        return dialog;
    }

    // Pictures of `window` until two in a row agree: whatever moved has stopped. The last one, or
    // a null picture when it kept changing for `ms`.
    QImage Settled(const QString& import, const QString& window, const QString& file, int ms = 10000) const {
        // Three pictures alike in a row, not two: a game starved of the processor by a busy machine
        // can stand still in mid-air for as long as one screenshot takes.
        QImage before = Shot(import, window, file), again;
        int alike = 0;
        const bool still = Until(
            [&] {
                QThread::msleep(150);
                again = Shot(import, window, file);
                alike = std::exchange(before, again) == again ? alike + 1 : 0;
                return alike >= 3;
            },
            ms);
        return still ? again : QImage();
    }

    QProcess Server, Manager, Game;
    QString Display;
    QTemporaryDir Config, Data;
};

// The programs the window tests drive, as found on the PATH.
struct TWindowTools {
    QString Xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    QString Xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    QString Import = QStandardPaths::findExecutable(QStringLiteral("import"));
    QString Openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));

    // Why a test that needs them (and the window manager if `manager`) and the built sprite
    // sheets cannot run; empty when it can.
    std::string Missing(bool manager) const {
        if (Xvfb.isEmpty() || Xdotool.isEmpty() || Import.isEmpty() || (manager && Openbox.isEmpty()))
            return manager ? "needs Xvfb, xdotool, ImageMagick's import and the openbox window manager"
                           : "needs Xvfb, xdotool and ImageMagick's import";
        if (!QDir(QStringLiteral(BLUBBI_BUILD_DIR)).exists(QStringLiteral("grafiken/stein1.gif")))
            return "the sprite sheets are not built";
        return {};
    }
};

// The program with its sheets, beside `level` as its level 1, in `dir`; the program's path or empty.
QString ProgramWithLevel(const QTemporaryDir& dir, const QByteArray& level) {
    const QDir build(QStringLiteral(BLUBBI_BUILD_DIR));
    const QString program = dir.filePath(QStringLiteral("blubbi"));
    if (!dir.isValid() || !QFile::copy(QStringLiteral(BLUBBI_PROGRAM), program) ||
        !QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
        !QFile::link(build.filePath(QStringLiteral("grafiken")), dir.filePath(QStringLiteral("grafiken"))) ||
        !QDir(dir.path()).mkdir(QStringLiteral("levels")))
        return {};
    QFile file(dir.filePath(QStringLiteral("levels/level001.lev")));
    if (!file.open(QIODevice::WriteOnly) || file.write(level) != level.size()) return {};
    return program;
}

QString ProgramWithBorderLevel(const QTemporaryDir& dir) { return ProgramWithLevel(dir, BorderLevel()); }

// The state a replay ends in, as the runner plays it back with the program folder `data`: the
// last line its `dump` writes; empty when the runner failed.
QJsonObject ReplayEnd(const QString& data, const QString& replay) {
    QProcess sim;
    sim.start(QStringLiteral(BLUBBI_SIM),
              {QStringLiteral("--data"), data, QStringLiteral("--replay"), replay, QStringLiteral("-")});
    sim.write("dump\n");
    sim.closeWriteChannel();
    if (!sim.waitForFinished(30000) || sim.exitStatus() != QProcess::NormalExit || sim.exitCode() != 0) {
        ADD_FAILURE() << "blubbi-sim --replay: " << sim.readAllStandardError().toStdString();
        return {};
    }
    const QList<QByteArray> lines = sim.readAllStandardOutput().trimmed().split('\n');
    return QJsonDocument::fromJson(lines.last()).object();
}

// What the runner says of `replay` checked with the program folder `data`: its one line of JSON.
QJsonObject Verified(const QString& data, const QString& replay) {
    QProcess sim;
    sim.start(QStringLiteral(BLUBBI_SIM), {QStringLiteral("--data"), data, QStringLiteral("--verify"), replay});
    if (!sim.waitForFinished(30000)) ADD_FAILURE() << "blubbi-sim --verify did not finish";
    EXPECT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(sim.readAllStandardOutput()).object();
}

// The inside of the field, within its border of blocks, in the paint box's pixels.
constexpr int kCell = 19;
const QRect kInside(kFieldX + kCell, kFieldY + kCell, 475 - 2 * kCell, 380 - 2 * kCell);

// Where anything is drawn over the black free cells within `band` of the paint box.
QRect Drawn(const QImage& paint, const QRect& band) {
    QRect r;
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x <= band.right(); ++x)
            if (QColor(paint.pixel(x, y)) != QColor(0, 0, 0)) r |= QRect(x, y, 1, 1);
    return r;
}

// Whether a level has slid in: rising from below with black above it, it shows the top border's
// middle block whole at its place, with the free cell under it, only at the end.
bool SlidIn(const QImage& paint) {
    const QRect cell(kFieldX + 12 * kCell, kFieldY, kCell, kCell);
    return !paint.isNull() && Drawn(paint, cell) == cell && Drawn(paint, cell.translated(0, kCell)).isEmpty();
}

// Pictures of `window` until one shows the level slid in (the paint box lies above the status bar
// at the bottom); that one, or a null picture when none did in `ms`.
QImage SlidInShot(const TX11Run& x, const QString& import, const QString& window, const QString& file, int ms = 10000) {
    QImage shot;
    const bool slid = Until(
        [&] {
            shot = x.Shot(import, window, file);
            return SlidIn(shot.copy(0, shot.height() - kStatusH - kPaintH, kPaintW, kPaintH));
        },
        ms);
    return slid ? shot : QImage();
}

// The lines of a replay file from its first "pause on" to the "pause off" after it; empty when none.
QStringList FirstPause(const QString& replay) {
    QFile file(replay);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QString text = QString::fromUtf8(file.readAll());
    const qsizetype on = text.indexOf(QLatin1String("\npause on")),
                    off = text.indexOf(QLatin1String("\npause off"), on);
    if (on < 0 || off < 0) return {};
    return text.mid(on + 1, text.indexOf(QLatin1Char('\n'), off + 1) - on - 1).split(QLatin1Char('\n'));
}

// Where the young bubbles' yellow rings are drawn within `band`; `count` gets their pixels.
QRect Yellow(const QImage& paint, const QRect& band, int* count) {
    QRect r;
    *count = 0;
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x <= band.right(); ++x)
            if (paint.pixel(x, y) == qRgb(255, 255, 0)) {
                r |= QRect(x, y, 1, 1);
                ++*count;
            }
    return r;
}

// The virtual gamepad inside the program: each line appended to its command file is waited for
// until the pad has played it.
class TPadFile {
public:
    explicit TPadFile(QString path) : Path(std::move(path)) { QFile(Path).open(QIODevice::WriteOnly); }

    // The pad is in once the program opened its game controllers.
    bool Attached(int ms) const { return WaitForLines(1, ms) && DoneLines().value(0) == "attached"; }

    bool Send(const QString& line) {
        QFile file(Path);
        if (!file.open(QIODevice::Append) || file.write(line.toUtf8() + '\n') <= 0) return false;
        file.close();
        ++Sent;
        return WaitForLines(Sent + 1, 5000) && DoneLines().value(Sent) == line.toUtf8();
    }

private:
    QList<QByteArray> DoneLines() const {
        QFile done(Path + QStringLiteral(".done"));
        if (!done.open(QIODevice::ReadOnly)) return {};
        return done.readAll().split('\n');
    }
    bool WaitForLines(int lines, int ms) const {
        QElapsedTimer clock;
        clock.start();
        while (DoneLines().size() <= lines) {
            if (clock.elapsed() > ms) return false;
            QThread::msleep(5);
        }
        return true;
    }

    QString Path;
    int Sent = 0;
};

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

#ifdef BLUBBI_HISCORE
// The hiscore server as docs/hiscore-server.md starts it, on a free port of the loopback, with its
// scores in `home` and checking with the program folder `data`; asked through curl.
class THiscoreServer {
public:
    ~THiscoreServer() {
        Process.terminate();
        if (!Process.waitForFinished(10000)) Process.kill();
    }

    bool Start(const QTemporaryDir& home, const QString& curl, const QString& data) {
        Curl = curl;
        Process.setProcessChannelMode(QProcess::MergedChannels);
        Process.start(QStringLiteral(BLUBBI_HISCORE),
                      {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--db"),
                       QStringLiteral("sqlite:") + home.filePath(QStringLiteral("scores.sqlite")),
                       QStringLiteral("--data"), data});
        QElapsedTimer clock;
        clock.start();
        while (!Said.contains('\n') && clock.elapsed() < 20000 && Process.state() != QProcess::NotRunning) {
            Process.waitForReadyRead(200);
            Said += Process.readAll();
        }
        const qsizetype at = Said.indexOf("listening on ");
        if (at < 0) return false;
        Base = QString::fromUtf8(Said.mid(at + 13, Said.indexOf('\n', at) - at - 13)).trimmed();
        Base.chop(1);  // the closing slash
        return true;
    }

    QByteArray Get(const QString& path) const { return Ask({Base + path}); }

    // A replay sent as the game sends it, under `name` with `points`; the answer and its HTTP status.
    QJsonObject Submit(const QString& replay, const QString& name, const QString& points, int* status) const {
        const QByteArray out =
            Ask({QStringLiteral("-w"), QStringLiteral("\n%{http_code}"), QStringLiteral("-F"),
                 QStringLiteral("name=") + name, QStringLiteral("-F"), QStringLiteral("punkte=") + points,
                 QStringLiteral("-F"), QStringLiteral("replay=@") + replay, Base + QStringLiteral("/api/scores")},
                false);
        const qsizetype end = out.lastIndexOf('\n');
        *status = out.mid(end + 1).toInt();
        return QJsonDocument::fromJson(out.left(end)).object();
    }

    QProcess Process;
    QByteArray Said;
    QString Base;

private:
    // Never through a proxy: the server is on this machine. `fail`: nothing but for a 2xx answer.
    QByteArray Ask(QStringList args, bool fail = true) const {
        args.prepend(QStringLiteral("*"));
        args.prepend(QStringLiteral("--noproxy"));
        args.prepend(fail ? QStringLiteral("-sf") : QStringLiteral("-s"));
        QProcess p;
        p.start(Curl, args);
        p.waitForFinished(30000);
        return p.readAllStandardOutput();
    }

    QString Curl;
};
#endif

}  // namespace

TEST(RealWindow, ShowsThePlayFieldAndThePlayerWalks) {
    const TWindowTools tools;
    if (const std::string why = tools.Missing(false); !why.empty()) GTEST_SKIP() << why;
    // Named one by one: a lambda may not capture a structured binding before clang 16.
    const QString &xvfb = tools.Xvfb, &xdotool = tools.Xdotool, &import = tools.Import;

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

    const QString file = dir.filePath(QStringLiteral("shot.png"));
    const QImage before = SlidInShot(x, import, window, file);
    ASSERT_EQ(before.width(), kPaintW) << "the window is not at its start size, or the level did not slide in";
    const int paintTop = before.height() - kStatusH - kPaintH;
    ASSERT_GT(paintTop, 0);
    const auto paint = [&](const QImage& shot) { return shot.copy(0, paintTop, kPaintW, kPaintH); };
    const QImage paintBefore = paint(before);

    // The play field: dark red around it, black free cells, blocks on the border.
    EXPECT_EQ(QColor(paintBefore.pixel(kFieldX / 2, kPaintH / 2)), QColor(128, 0, 0));
    EXPECT_EQ(QColor(paintBefore.pixel(kFieldX + 12 * 19 + 9, kFieldY + 8 * 19 + 9)), QColor(0, 0, 0));
    const QImage block = paintBefore.copy(kFieldX + 12 * 19, kFieldY, 19, 19);
    bool blockDrawn = false;
    for (int y = 0; y < 19; ++y)
        for (int x0 = 0; x0 < 19; ++x0) blockDrawn |= QColor(block.pixel(x0, y)) != QColor(0, 0, 0);
    EXPECT_TRUE(blockDrawn) << "no block on the top border";

    // Right held until he is seen two steps right of where he stood, then let go.
    QRect changed;
    x.Run(xdotool, {QStringLiteral("keydown"), QStringLiteral("Right")}, &ok);
    ASSERT_TRUE(ok);
    Until([&] {
        return Differences(paintBefore, paint(x.Shot(import, window, file)), &changed) > 0 &&
               changed.right() > kFieldX + kStartX + kPlayerW + 10;
    });
    x.Run(xdotool, {QStringLiteral("keyup"), QStringLiteral("Right")}, &ok);
    const QImage standing = x.Settled(import, window, file);
    ASSERT_FALSE(standing.isNull()) << "the picture does not stand still";
    const QImage after = paint(standing);

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
    const TWindowTools tools;
    if (const std::string why = tools.Missing(false); !why.empty()) GTEST_SKIP() << why;
    const QString& xvfb = tools.Xvfb;
    const QString& xdotool = tools.Xdotool;

    // The program with its sheets and a level to lose on; a data folder of its own.
    QTemporaryDir dir, data;
    ASSERT_TRUE(data.isValid());
    const QString program = ProgramWithLevel(dir, LostAtOnceLevel());
    ASSERT_FALSE(program.isEmpty());

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

    // Played back, the replay ends where the window went on from: the game over it showed, answered
    // with "Neues Spiel", so a fresh game on level 1 with three lives and no points.
    const QJsonObject end = ReplayEnd(dir.path(), replays.filePath(files[0]));
    EXPECT_EQ(end.value(QStringLiteral("Dialogs")).toArray(), QJsonArray{QStringLiteral("GameOver")});
    EXPECT_EQ(end.value(QStringLiteral("LevelNo")).toInt(), 1);
    EXPECT_EQ(end.value(QStringLiteral("Lives")).toInt(), 3);
    EXPECT_EQ(end.value(QStringLiteral("Score")).toInt(), 0);
    EXPECT_EQ(end.value(QStringLiteral("TransitionCounter")).toInt(), 100) << "not at the new game's start";
}

TEST(RealWindow, F11FillsTheScreenAndTheEditorPaintsTheCellUnderTheMouse) {
    const TWindowTools tools;
    if (const std::string why = tools.Missing(true); !why.empty()) GTEST_SKIP() << why;
    // Named one by one: a lambda may not capture a structured binding before clang 16.
    const QString &xvfb = tools.Xvfb, &xdotool = tools.Xdotool, &import = tools.Import, &openbox = tools.Openbox;
    QTemporaryDir dir;
    const QString program = ProgramWithBorderLevel(dir);
    ASSERT_FALSE(program.isEmpty());

    // A screen on which twice the game's size fits, and a window manager that does full screen.
    constexpr int kScreenW = 1600, kScreenH = 1000, kScale = 2;
    constexpr int kLeft = (kScreenW - kScale * kPaintW) / 2, kTop = (kScreenH - kScale * kPaintH) / 2;
    TX11Run x;
    ASSERT_TRUE(x.StartServer(xvfb, QStringLiteral("%1x%2x24").arg(kScreenW).arg(kScreenH)));
    ASSERT_TRUE(x.StartManager(openbox));

    // Run once more through the graphics card's view (BLUBBI_PRESENTER=gl): the game says which it used.
    const QString presenter = qEnvironmentVariable("BLUBBI_PRESENTER");
    QProcessEnvironment env = x.Env();
    env.insert(QStringLiteral("BLUBBI_FRAME_STATS"), dir.filePath(QStringLiteral("stats.json")));
    const QString window = x.StartGame(program, xdotool, env);
    ASSERT_FALSE(window.isEmpty()) << "no window with the game's caption";
    bool ok = false;
    x.Run(xdotool, {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}, &ok);
    ASSERT_TRUE(ok);
    auto key = [&](const QString& name) { EXPECT_TRUE(x.Key(xdotool, name)) << name.toStdString(); };
    auto screen = [&](const QString& name) { return x.Shot(import, QStringLiteral("root"), dir.filePath(name)); };
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

    // Full screen is there once the field's surround shows in the middle of the black.
    const auto fullScreen = [&](const QImage& shot) {
        return shot.size() == QSize(kScreenW, kScreenH) && QColor(shot.pixel(kLeft / 2, kScreenH / 2)) == Qt::black &&
               gamePixel(shot, kFieldX / 2, kPaintH / 2) == QColor(128, 0, 0);
    };
    key(QStringLiteral("F11"));
    QImage full;
    EXPECT_TRUE(Until([&] {
        full = screen(QStringLiteral("full.png"));
        return fullScreen(full) && SlidIn(full.copy(kLeft, kTop, kScale * kPaintW, kScale * kPaintH)
                                              .scaled(kPaintW, kPaintH, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    })) << "no full screen";
    ASSERT_EQ(full.size(), QSize(kScreenW, kScreenH));
    // Black around, the surround of the field in sharp 2 x 2 blocks in the middle.
    EXPECT_EQ(QColor(full.pixel(kLeft / 2, kScreenH / 2)), QColor(0, 0, 0));
    EXPECT_EQ(QColor(full.pixel(kScreenW / 2, kTop / 2)), QColor(0, 0, 0));
    EXPECT_EQ(gamePixel(full, kFieldX / 2, kPaintH / 2), QColor(128, 0, 0));
    EXPECT_EQ(gamePixel(full, kFieldX + 12 * 19 + 9, kFieldY + 8 * 19 + 9), QColor(0, 0, 0));
    EXPECT_FALSE(cellHasBlock(full));

    // Editor mode by the keyboard: F10 shows the menu bar over the black above the game, then right
    // twice to "Leveleditor", Enter on "Editormodus"; the menu bar hides again.
    key(QStringLiteral("F10"));
    EXPECT_TRUE(Until([&] { return QColor(screen(QStringLiteral("menu.png")).pixel(kScreenW / 2, 5)) != Qt::black; }))
        << "no menu bar";
    x.Run(xdotool,
          {QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("150"), QStringLiteral("Right"),
           QStringLiteral("Right"), QStringLiteral("Return")},
          &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(Until([&] {
        const QImage shot = screen(QStringLiteral("menu.png"));
        return fullScreen(shot) && QColor(shot.pixel(kScreenW / 2, 5)) == Qt::black;
    })) << "the menu bar stays";
    // A click on a cell that holds a block leaves it there, so one that came too early is repeated.
    const QPoint click(kLeft + kScale * (cellX + 9), kTop + kScale * (cellY + 9));
    QImage painted;
    EXPECT_TRUE(Until([&] {
        x.Run(xdotool,
              {QStringLiteral("mousemove"), QString::number(click.x()), QString::number(click.y()),
               QStringLiteral("click"), QStringLiteral("1")},
              &ok);
        return ok && cellHasBlock(painted = screen(QStringLiteral("painted.png")));
    })) << "no block in the cell under the mouse";
    EXPECT_EQ(gamePixel(painted, kFieldX / 2, kPaintH / 2), QColor(128, 0, 0)) << "the field moved";

    // Closed in full screen, the next start comes up in full screen again.
    x.Game.terminate();
    ASSERT_TRUE(x.Game.waitForFinished(10000));
    EXPECT_EQ(x.Game.exitCode(), 0);
    QFile stats(dir.filePath(QStringLiteral("stats.json")));
    ASSERT_TRUE(stats.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(stats.readAll()).object().value(QStringLiteral("presenter")).toString(),
              presenter == QLatin1String("gl") ? QStringLiteral("card") : QStringLiteral("painter"));
    ASSERT_FALSE(x.StartGame(program, xdotool).isEmpty());
    // The cell painted before the signal is offered back; declined, nothing is kept any more.
    const QString offer = x.WaitForWindow(xdotool, QStringLiteral("wiederherstellen$"), 10000);
    ASSERT_FALSE(offer.isEmpty()) << "the painted level is not offered back";
    x.Run(xdotool, {QStringLiteral("windowactivate"), QStringLiteral("--sync"), offer});
    EXPECT_TRUE(x.Key(xdotool, QStringLiteral("Escape")));
    EXPECT_TRUE(
        Until([&] { return !QFile::exists(x.Data.filePath(QStringLiteral("Blubbi Blubbo/wiederherstellung.lev"))); }));
    EXPECT_TRUE(Until([&] { return fullScreen(screen(QStringLiteral("again.png"))); })) << "not in full screen";
}

// Esc stops the game and its clock: the picture stands still, dimmed under "Pause", no frame runs and
// the game's clock does not move in the replay however long the pause lasts, and the enemy caught
// before is still in its bubble afterwards. Minimising pauses by itself, and 2x zoom doubles the
// window, each game pixel a sharp 2 x 2 block.
TEST(RealWindow, EscAndMinimisingPauseTheGameAndItsClockAndZoomTwoDoublesSharply) {
    const TWindowTools tools;
    if (const std::string why = tools.Missing(true); !why.empty()) GTEST_SKIP() << why;
    // Named one by one: a lambda may not capture a structured binding before clang 16.
    const QString &xvfb = tools.Xvfb, &xdotool = tools.Xdotool, &import = tools.Import, &openbox = tools.Openbox;
    QTemporaryDir dir;
    const QString program = ProgramWithLevel(dir, GhostLevel());
    ASSERT_FALSE(program.isEmpty());

    TX11Run x;
    ASSERT_TRUE(x.StartServer(xvfb, QStringLiteral("1600x1000x24")));
    ASSERT_TRUE(x.StartManager(openbox));  // minimising is the window manager's
    // Losing the focus must not pause it here, so that only minimising can.
    QSettings(x.Config.filePath(QStringLiteral("Blubbi Blubbo/blubbi.conf")), QSettings::IniFormat)
        .setValue(blubbi::setting::PauseOnFocusLoss, false);
    const QString window = x.StartGame(program, xdotool);
    ASSERT_FALSE(window.isEmpty()) << "no window with the game's caption";
    bool ok = false;
    x.Run(xdotool, {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}, &ok);
    ASSERT_TRUE(ok);
    auto shot = [&](const QString& name) { return x.Shot(import, window, dir.filePath(name)); };
    auto key = [&](const QString& name) { EXPECT_TRUE(x.Key(xdotool, name)) << name.toStdString(); };

    // Space held from the slide on until a bubble is seen to hold the ghost: drawn in it, the ghost's
    // white is tinted to a blue no picture of the game has.
    x.Run(xdotool, {QStringLiteral("keydown"), QStringLiteral("space")}, &ok);
    ASSERT_TRUE(ok);
    QElapsedTimer sinceSpace;
    sinceSpace.start();
    const QImage first = SlidInShot(x, import, window, dir.filePath(QStringLiteral("first.png")));
    ASSERT_EQ(first.width(), kPaintW) << "the window is not at its start size, or the level did not slide in";
    const int paintTop = first.height() - kStatusH - kPaintH;
    ASSERT_GT(paintTop, 0);
    const QPoint surround(kFieldX / 2, paintTop + kPaintH / 2);
    const QRect field = kInside.translated(0, paintTop);
    const auto caught = [&](const QImage& shot) {
        int count = 0;
        for (int y = field.top(); y <= field.bottom() && !shot.isNull(); ++y)
            for (int x0 = field.left(); x0 <= field.right(); ++x0) count += shot.pixel(x0, y) == qRgb(159, 159, 255);
        return count > 50;
    };
    EXPECT_TRUE(Until([&] { return caught(shot(QStringLiteral("catch.png"))); }, 20000)) << "no ghost caught";
    x.Run(xdotool, {QStringLiteral("keyup"), QStringLiteral("space")}, &ok);
    // The word lies in the middle, in the window's own pixels at every zoom; in game pixels here.
    const QRect word(kPaintW / 2 - 90, kPaintH / 2 - 35, 180, 70);
    auto whiteInWord = [&](const QImage& picture, int top) {
        int count = 0;
        for (int y = word.top(); y <= word.bottom(); ++y)
            for (int x0 = word.left(); x0 <= word.right(); ++x0)
                count += picture.pixel(x0, top + y) == qRgb(255, 255, 255);
        return count;
    };
    // Running, nothing white stays there once the last bubbles spat have risen past.
    QImage running;
    EXPECT_TRUE(Until([&] {
        running = shot(QStringLiteral("running.png"));
        return !running.isNull() && whiteInWord(running, paintTop) < 20;
    }));
    ASSERT_EQ(running.size(), first.size());
    EXPECT_EQ(QColor(running.pixel(surround)), QColor(128, 0, 0));

    // The dark red surround under a black veil of 150/255, and the white word over it.
    key(QStringLiteral("Escape"));
    QElapsedTimer pauseClock;
    pauseClock.start();
    const auto isDim = [](const QColor& c) { return c.red() > 35 && c.red() < 70 && c.green() == 0 && c.blue() == 0; };
    QImage paused;
    EXPECT_TRUE(Until([&] { return isDim((paused = shot(QStringLiteral("paused.png"))).pixel(surround)); }))
        << QColor(paused.pixel(surround)).name().toStdString();
    ASSERT_EQ(paused.size(), running.size());
    const QColor dim(paused.pixel(surround));
    EXPECT_GT(whiteInWord(paused, paintTop), 100) << "no \"Pause\" in the middle";
    // A watch of two seconds; what the game's clock did meanwhile the replay tells below.
    while (pauseClock.elapsed() < 2000) {
        QThread::msleep(300);
        const QImage still = shot(QStringLiteral("still.png"));
        ASSERT_EQ(still.size(), paused.size());
        QRect moved;
        EXPECT_EQ(Differences(paused, still, &moved), 0) << "the paused picture changed after " << pauseClock.elapsed()
                                                         << " ms, at " << moved.x() << "," << moved.y();
    }
    key(QStringLiteral("Escape"));
    const qint64 pauseMs = pauseClock.elapsed();
    EXPECT_TRUE(Until([&] { return QColor(shot(QStringLiteral("resumed.png")).pixel(surround)) == QColor(128, 0, 0); }))
        << "still dimmed after the second Esc";

    // "Optionen", its eighth item "Vergrößerung", its second "2×": by the keyboard, from F10 on.
    x.Run(xdotool,
          {QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100"), QStringLiteral("F10"),
           QStringLiteral("Right"), QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
           QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
           QStringLiteral("Right"), QStringLiteral("Down"), QStringLiteral("Return")},
          &ok);
    ASSERT_TRUE(ok);
    // The window doubled and the game drawn in it: the surround where it belongs at 2x.
    QImage twice;
    const int top2 = running.height() + kPaintH - kStatusH - 2 * kPaintH;
    const QPoint surround2(2 * surround.x(), top2 + kPaintH);
    Until([&] {
        twice = shot(QStringLiteral("twice.png"));
        return twice.size() == QSize(2 * kPaintW, running.height() + kPaintH) &&
               QColor(twice.pixel(surround2)) == QColor(128, 0, 0);
    });
    ASSERT_EQ(twice.width(), 2 * kPaintW) << "the window did not double";
    ASSERT_EQ(twice.height(), running.height() + kPaintH) << "the paint box did not double";
    // Each game pixel one colour over its 2 x 2 block, the field where it was, running.
    int blurred = 0;
    for (int gy = 0; gy < kPaintH; ++gy)
        for (int gx = 0; gx < kPaintW; ++gx) {
            const QRgb c = twice.pixel(2 * gx, top2 + 2 * gy);
            blurred += twice.pixel(2 * gx + 1, top2 + 2 * gy) != c || twice.pixel(2 * gx, top2 + 2 * gy + 1) != c ||
                       twice.pixel(2 * gx + 1, top2 + 2 * gy + 1) != c;
        }
    EXPECT_EQ(blurred, 0) << "game pixels not sharp at 2x";
    EXPECT_EQ(QColor(twice.pixel(surround2)), QColor(128, 0, 0));
    const QRgb free = twice.pixel(2 * (kFieldX + 12 * 19 + 9), top2 + 2 * (kFieldY + 8 * 19 + 9));
    EXPECT_EQ(QColor(free), QColor(0, 0, 0)) << "no free cell where the field's middle should be";

    // Minimised, it pauses by itself; shown again, it is still paused and stands still. The game
    // reads the window's state when it hears of a change, so it is left minimised a moment.
    x.Run(xdotool, {QStringLiteral("windowminimize"), QStringLiteral("--sync"), window}, &ok);
    ASSERT_TRUE(ok) << "the window did not minimise";
    QThread::msleep(500);
    x.Run(xdotool, {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}, &ok);
    ASSERT_TRUE(ok) << "the window did not come back";
    QImage back;
    EXPECT_TRUE(Until([&] { return (back = shot(QStringLiteral("back.png"))).pixel(surround2) == dim.rgb(); }))
        << "not paused after minimising";
    ASSERT_EQ(back.size(), twice.size());
    QThread::msleep(500);
    QRect moved;
    EXPECT_EQ(Differences(back, shot(QStringLiteral("back-later.png")), &moved), 0) << "it went on after minimising";

    // The game as recorded: in the Esc pause no frame ran and its clock stood; minimising paused it;
    // and the ghost is still in its bubble, younger than the bubble's 10 s.
    x.Game.terminate();
    ASSERT_TRUE(x.Game.waitForFinished(10000));
    EXPECT_EQ(x.Game.exitCode(), 0);
    const QDir replays(x.Data.filePath(QStringLiteral("Blubbi Blubbo/replays")));
    const QStringList files = replays.entryList({QStringLiteral("*.blubbi-replay")}, QDir::Files);
    ASSERT_EQ(files.size(), 1) << "no replay in " << replays.path().toStdString();
    // An event's "+D" moves the game's clock D ms before it; a tick would be a frame.
    const QStringList pause = FirstPause(replays.filePath(files[0]));
    ASSERT_GE(pause.size(), 2) << "no pause in the replay";
    qint64 clockMoved = 0;
    for (const QString& line : pause.mid(1)) {
        EXPECT_FALSE(line.startsWith(QLatin1String("tick"))) << "a frame in the pause: " << line.toStdString();
        if (const qsizetype plus = line.lastIndexOf(QLatin1String(" +")); plus > 0)
            clockMoved += line.mid(plus + 2).toLongLong();
    }
    EXPECT_LT(clockMoved, 100) << "the game's clock moved " << clockMoved << " ms in a pause of " << pauseMs << " ms";
    const QJsonObject end = ReplayEnd(dir.path(), replays.filePath(files[0]));
    EXPECT_EQ(end.value(QStringLiteral("Paused")).toInt(), 1);
    EXPECT_EQ(end.value(QStringLiteral("Lives")).toInt(), 3) << "the ghost reached the player";
    const QJsonArray enemies = end.value(QStringLiteral("Enemies")).toArray();
    ASSERT_EQ(enemies.size(), 1);
    EXPECT_EQ(enemies[0].toObject().value(QStringLiteral("Trapped")).toInt(), 1) << "the ghost is not in a bubble";
    int holding = 0;
    for (const QJsonValue& value : end.value(QStringLiteral("Bubbles")).toArray()) {
        const QJsonObject bubble = value.toObject();
        if (bubble.value(QStringLiteral("HasEnemy")).toInt() == 0) continue;
        ++holding;
        const qint64 age =
            end.value(QStringLiteral("Tick")).toInteger() - bubble.value(QStringLiteral("SpawnTick")).toInteger();
        EXPECT_EQ(bubble.value(QStringLiteral("BurstStep")).toInt(), 0);
        EXPECT_GT(age, 0);
        EXPECT_LT(age, 10000) << "the bubble's clock ran on in the pause";
        std::printf("the bubble holding the ghost: %lld ms old in the game's time, %lld ms after space went down\n",
                    static_cast<long long>(age), static_cast<long long>(sinceSpace.elapsed()));
    }
    EXPECT_EQ(holding, 1);
}

// The real program steered by a gamepad alone: a virtual one that a library put into it plugs in
// and plays. The stick walks him at 10 pixels a frame until it is let go; the south button makes
// him jump, no higher than the 100 pixels that a start at 21 pixels a frame against a pull of 2
// gives, and land on the floor again; east and west each spit a bubble on the side he faces; a
// pad unplugged while he walks leaves him standing. The replay of it all checks out.
TEST(RealWindow, AVirtualGamepadWalksJumpsAndSpits) {
    const TWindowTools tools;
    if (const std::string why = tools.Missing(false); !why.empty()) GTEST_SKIP() << why;
    // Named one by one: a lambda may not capture a structured binding before clang 16.
    const QString &xvfb = tools.Xvfb, &xdotool = tools.Xdotool, &import = tools.Import;
    QTemporaryDir dir;
    const QString program = ProgramWithBorderLevel(dir);
    ASSERT_FALSE(program.isEmpty());

    TX11Run x;
    ASSERT_TRUE(x.StartServer(xvfb)) << "Xvfb did not come up";
    // Nothing but the pad plays: the window need not even have the focus.
    QSettings(x.Config.filePath(QStringLiteral("Blubbi Blubbo/blubbi.conf")), QSettings::IniFormat)
        .setValue(blubbi::setting::PauseOnFocusLoss, false);
    TPadFile pad(dir.filePath(QStringLiteral("pad")));
    QProcessEnvironment env = x.Env();
    env.insert(QStringLiteral("BLUBBI_TEST_PAD"), dir.filePath(QStringLiteral("pad")));
    env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(BLUBBI_VIRTUAL_PAD));
    // A sanitizer build wants its runtime first; the pad's library goes before it.
    const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               (asan.isEmpty() ? QString() : asan + QLatin1Char(':')) + QStringLiteral("verify_asan_link_order=0"));
    const QString window = x.StartGame(program, xdotool, env);
    ASSERT_FALSE(window.isEmpty()) << "no window with the game's caption";
    ASSERT_TRUE(pad.Attached(10000)) << "the pad did not come";
    auto send = [&](const QString& line) { ASSERT_TRUE(pad.Send(line)) << line.toStdString(); };

    int paintTop = -1;
    auto paint = [&](const QImage& shot) { return shot.copy(0, paintTop, kPaintW, kPaintH); };
    auto shot = [&] { return paint(x.Shot(import, window, dir.filePath(QStringLiteral("shot.png")))); };
    auto settled = [&] {
        const QImage still = x.Settled(import, window, dir.filePath(QStringLiteral("shot.png")));
        if (still.isNull()) ADD_FAILURE() << "the picture does not stand still";
        return paint(still);
    };
    const QImage first = SlidInShot(x, import, window, dir.filePath(QStringLiteral("first.png")));
    ASSERT_EQ(first.width(), kPaintW) << "the window is not at its start size, or the level did not slide in";
    paintTop = first.height() - kStatusH - kPaintH;
    ASSERT_GT(paintTop, 0);

    // On the floor of the empty field, the player is all that is drawn from his head's height
    // at the top of a jump down; his picture has no bubble's yellow.
    const QRect band(kInside.left(), kFieldY + kStartY - 110, kInside.width(),
                     kInside.bottom() - (kFieldY + kStartY - 110) + 1);
    const QImage start = settled();
    const QRect atStart = Drawn(start, band);
    ASSERT_FALSE(atStart.isEmpty()) << "no player";
    EXPECT_GE(atStart.left(), kFieldX + kStartX - 1);
    EXPECT_LE(atStart.right(), kFieldX + kStartX + kPlayerW + 1);
    EXPECT_LE(atStart.bottom(), kFieldY + kStartY + kPlayerH + 1);
    int yellow = 0;
    Yellow(start, kInside, &yellow);
    ASSERT_EQ(yellow, 0);

    // The stick pushed right walks him; let go, he stands.
    send(QStringLiteral("axis leftx 32767"));
    QThread::msleep(600);
    send(QStringLiteral("axis leftx 0"));
    const QRect walked = Drawn(settled(), band);
    EXPECT_GE(walked.left(), atStart.left() + 60) << "he did not walk right";
    EXPECT_LE(walked.right(), kInside.right() - 40) << "he walked on to the wall";
    EXPECT_EQ(walked.bottom(), atStart.bottom()) << "not on the floor";
    std::printf("the stick walked him %d pixels in 600 ms\n", walked.left() - atStart.left());

    // South held: he jumps, again on each landing; seen in the air, never above the jump's height.
    send(QStringLiteral("button south 1"));
    int highest = walked.bottom();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1500) {
        const QRect in = Drawn(shot(), band);
        ASSERT_FALSE(in.isEmpty()) << "the player left the picture";
        EXPECT_LE(std::abs(in.center().x() - walked.center().x()), 2) << "he moved sideways";
        highest = std::min(highest, in.bottom());
    }
    send(QStringLiteral("button south 0"));
    EXPECT_LE(highest, walked.bottom() - 30) << "he did not rise";
    EXPECT_GE(highest, walked.bottom() - 100) << "higher than a jump goes";
    std::printf("the highest the jump was seen: %d pixels\n", walked.bottom() - highest);
    const QImage landed = settled();
    EXPECT_EQ(Drawn(landed, band), walked) << "he did not land where he rose";

    // East spits a bubble on the side he faces, right beside him; west spits one too once the
    // first has risen out of the way.
    for (const QString& button : {QStringLiteral("east"), QStringLiteral("west")}) {
        // Held shorter than the half second after which a held button spits again.
        send(QStringLiteral("button %1 1").arg(button));
        QThread::msleep(200);
        send(QStringLiteral("button %1 0").arg(button));
        int count = 0;
        QRect bubble;
        clock.restart();
        while (count < 40 && clock.elapsed() < 3000) bubble = Yellow(shot(), band, &count);
        EXPECT_GE(count, 40) << "no bubble from " << button.toStdString();
        EXPECT_GT(bubble.left(), walked.right()) << button.toStdString();
        EXPECT_LE(bubble.width(), 39) << "more than one bubble from " << button.toStdString();
        // A bubble rises a few pixels a frame: out of the band in well under two seconds.
        EXPECT_TRUE(Until([&] { return !Yellow(shot(), band, &count).isValid(); }, 5000)) << "the bubble stays";
    }

    // The d-pad walks him back left; the pad unplugged meanwhile, he stops far from the wall.
    const QRect beforeLeft = Drawn(settled(), band);
    EXPECT_EQ(beforeLeft, walked);
    send(QStringLiteral("button dpleft 1"));
    QThread::msleep(400);
    send(QStringLiteral("detach"));
    const QImage unplugged = settled();
    const QRect stopped = Drawn(unplugged, band);
    EXPECT_LE(stopped.right(), walked.right() - 30) << "he did not walk left";
    EXPECT_GE(stopped.left(), kInside.left() + 40) << "he walked on to the wall";
    ASSERT_EQ(x.Game.state(), QProcess::Running);

    // The pad's presses went the keyboard's way into the replay: it checks out, and ends where the
    // window showed him, standing, no key held.
    x.Game.terminate();
    ASSERT_TRUE(x.Game.waitForFinished(10000));
    EXPECT_EQ(x.Game.exitCode(), 0);
    const QDir replays(x.Data.filePath(QStringLiteral("Blubbi Blubbo/replays")));
    const QStringList files = replays.entryList({QStringLiteral("*.blubbi-replay")}, QDir::Files);
    ASSERT_EQ(files.size(), 1) << "no replay in " << replays.path().toStdString();
    QProcess sim;
    sim.start(QStringLiteral(BLUBBI_SIM),
              {QStringLiteral("--data"), dir.path(), QStringLiteral("--verify"), replays.filePath(files[0])});
    ASSERT_TRUE(sim.waitForFinished(30000));
    EXPECT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().toStdString();
    const QJsonObject summary = QJsonDocument::fromJson(sim.readAllStandardOutput()).object();
    EXPECT_EQ(summary.value(QStringLiteral("status")).toString(), QStringLiteral("ok"));
    EXPECT_TRUE(summary.value(QStringLiteral("DataMatch")).toBool());
    const QJsonObject end = ReplayEnd(dir.path(), replays.filePath(files[0]));
    const int playerX = end.value(QStringLiteral("PlayerX")).toInt();
    EXPECT_GE(stopped.left(), kFieldX + playerX - 1);
    EXPECT_LE(stopped.right(), kFieldX + playerX + kPlayerW + 1);
    EXPECT_EQ(end.value(QStringLiteral("PlayerY")).toInt(), kStartY);
    EXPECT_EQ(end.value(QStringLiteral("FacingLeft")).toInt(), 1);
    for (const char* key : {"KeyLeft", "KeyRight", "KeyJump", "KeyFire"})
        EXPECT_EQ(end.value(QLatin1String(key)).toInt(), 0) << key << " still held";
    EXPECT_EQ((playerX - kStartX) % 10, 0) << "not a whole number of steps";
}

#ifdef BLUBBI_HISCORE
// What a new player does: start the server, point the game at it, lose a game, upload it, look at the list.
TEST(RealWindow, ALostGameGoesToTheOwnServerAndShowsThereCheckedWithItsLastFrame) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (xvfb.isEmpty() || xdotool.isEmpty() || curl.isEmpty()) GTEST_SKIP() << "needs Xvfb, xdotool and curl";
    if (!QDir(QStringLiteral(BLUBBI_BUILD_DIR)).exists(QStringLiteral("grafiken/stein1.gif")))
        GTEST_SKIP() << "the sprite sheets are not built";
    QTemporaryDir home, dir;
    ASSERT_TRUE(home.isValid());
    const QString program = ProgramWithLevel(dir, LostAtOnceLevel());
    ASSERT_FALSE(program.isEmpty());

    THiscoreServer server;
    ASSERT_TRUE(server.Start(home, curl, dir.path())) << server.Said.toStdString();
    const QString& base = server.Base;
    const auto get = [&](const QString& path) { return server.Get(path); };

    TX11Run x;
    ASSERT_TRUE(x.StartServer(xvfb)) << "Xvfb did not come up";
    QProcessEnvironment env = x.Env();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("BLUBBI_HISCORE_URL"), base);
    x.Game.setProcessEnvironment(env);
    x.Game.setProcessChannelMode(QProcess::ForwardedChannels);
    x.Game.start(program, {});
    ASSERT_TRUE(x.Game.waitForStarted(5000));
    const QString window = x.WaitForWindow(xdotool, QStringLiteral("^Velkor Blubbi Blubbo 1\\.0$"), 20000);
    ASSERT_FALSE(window.isEmpty()) << "no window with the game's caption";
    const QString dialog = x.LoseAGame(xdotool, window);
    ASSERT_FALSE(dialog.isEmpty()) << "no game over";
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
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000) {
        list = QJsonDocument::fromJson(get(QStringLiteral("/api/scores"))).object();
        if (list.value(QStringLiteral("total")).toInt() > 0) break;
        QThread::msleep(200);
    }
    ASSERT_EQ(list.value(QStringLiteral("total")).toInt(), 1) << "nothing arrived: " << server.Said.toStdString();
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
    QImage last;  // drawn right after the check, on a thread of its own
    for (clock.restart(); last.isNull() && clock.elapsed() < 30000; QThread::msleep(200))
        last = QImage::fromData(get(QStringLiteral("/replays/%1.png").arg(id)), "PNG");
    ASSERT_FALSE(last.isNull()) << "no last frame";
    EXPECT_EQ(last.size(), QSize(kPaintW, kPaintH));
    EXPECT_EQ(QColor(last.pixel(kFieldX / 2, kPaintH / 2)), QColor(128, 0, 0));

    x.Run(xdotool, {QStringLiteral("key"), QStringLiteral("Escape")});
    x.Game.terminate();
    EXPECT_TRUE(x.Game.waitForFinished(10000));
}

// Three games in one sitting, as a player has them: the first ended from the menu while paused; the
// second lost, its game-over dialog left for another program a moment and then continued; the third
// with a level saved where no folder is, until the window closes. Each game's replay checks out
// with the program's data, and the server takes the lost one with the points its file name gives.
TEST(RealWindow, ThreeGamesInARowEachLeaveAReplayThatChecksOutAndTheServerTakes) {
    const TWindowTools tools;
    if (const std::string why = tools.Missing(true); !why.empty()) GTEST_SKIP() << why;
    // Named one by one: a lambda may not capture a structured binding before clang 16.
    const QString &xvfb = tools.Xvfb, &xdotool = tools.Xdotool, &import = tools.Import, &openbox = tools.Openbox;
    const QString viewer = QStandardPaths::findExecutable(QStringLiteral("display"));
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (viewer.isEmpty() || curl.isEmpty()) GTEST_SKIP() << "needs ImageMagick's display and curl";
    QTemporaryDir dir;
    const QString program = ProgramWithLevel(dir, LostAtOnceLevel());
    ASSERT_FALSE(program.isEmpty());
    const QString data = dir.path();

    TX11Run x;
    ASSERT_TRUE(x.StartServer(xvfb)) << "Xvfb did not come up";
    ASSERT_TRUE(x.StartManager(openbox));  // the focus goes where a window manager gives it
    const QString window = x.StartGame(program, xdotool);
    ASSERT_FALSE(window.isEmpty()) << "no window with the game's caption";
    bool ok = false;
    const auto run = [&](const QStringList& args) {
        x.Run(xdotool, args, &ok);
        EXPECT_TRUE(ok) << args.join(QLatin1Char(' ')).toStdString();
    };
    const auto keys = [&](const QStringList& names) {
        run(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("150")} + names);
    };
    const auto walk = [&](const QString& key) {  // a few steps
        run({QStringLiteral("keydown"), key});
        QThread::msleep(300);
        run({QStringLiteral("keyup"), key});
    };
    // The dark red around the field: dimmed under the veil of a paused game, or as it is.
    const auto surround = [&] {
        const QImage shot = x.Shot(import, window, dir.filePath(QStringLiteral("shot.png")));
        return shot.isNull() ? QColor() : QColor(shot.pixel(kFieldX / 2, shot.height() - kStatusH - kPaintH / 2));
    };
    const auto paused = [&] {
        return Until([&] {
            const QColor c = surround();
            return c.red() > 35 && c.red() < 70 && c.green() == 0 && c.blue() == 0;
        });
    };
    const auto running = [&] { return Until([&] { return surround() == QColor(128, 0, 0); }); };
    const QDir replays(x.Data.filePath(QStringLiteral("Blubbi Blubbo/replays")));
    const auto stored = [&](qsizetype count) {
        QStringList files;
        QElapsedTimer clock;
        clock.start();
        while ((files = replays.entryList({QStringLiteral("*.blubbi-replay")}, QDir::Files)).size() < count &&
               clock.elapsed() < 15000)
            QThread::msleep(200);
        return files;  // named by the time each game ended: in the order of play
    };

    // Game 1, once the level has slid in (rising from below, it shows the top border's blocks at
    // their place last): a few steps, Esc, and "Datei → Neues Spiel" while paused.
    run({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    EXPECT_FALSE(SlidInShot(x, import, window, dir.filePath(QStringLiteral("shot.png"))).isNull())
        << "the level does not slide in";
    walk(QStringLiteral("Right"));
    keys({QStringLiteral("Escape")});
    EXPECT_TRUE(paused()) << "Esc did not pause";
    keys({QStringLiteral("F10"), QStringLiteral("Down"), QStringLiteral("Return")});
    EXPECT_EQ(stored(1).size(), 1) << "no replay of the first game";

    // Game 2 slides in and runs, though the first was left paused (these games start without the
    // first-key wait), and it is lost.
    EXPECT_TRUE(running()) << "the new game stayed under the old game's pause";
    const QString dialog = x.LoseAGame(xdotool, window);
    ASSERT_FALSE(dialog.isEmpty()) << "no game over";
    // Another program takes the focus a moment, and the player comes back to the dialog.
    const QString picture = dir.filePath(QStringLiteral("tiny.png"));
    QImage(8, 8, QImage::Format_RGB32).save(picture);
    QProcess other;
    other.setProcessEnvironment(x.Env());
    other.start(viewer, {picture});
    const QString otherWindow = x.WaitForWindow(xdotool, QStringLiteral("tiny\\.png"), 15000);
    ASSERT_FALSE(otherWindow.isEmpty()) << "ImageMagick's display showed no window";
    run({QStringLiteral("windowactivate"), QStringLiteral("--sync"), otherWindow});
    // Longer than the grace in which Qt waits for the focus to come back before it tells the game.
    QThread::msleep(1000);
    other.terminate();
    other.waitForFinished(5000);
    run({QStringLiteral("windowactivate"), QStringLiteral("--sync"), dialog});
    run({QStringLiteral("mousemove"), QStringLiteral("--window"), dialog, QString::number(138 + 64),
         QString::number(304 + 12), QStringLiteral("click"), QStringLiteral("1")});  // "Continue"
    EXPECT_EQ(stored(2).size(), 2) << "no replay of the game over";

    // Game 3, the second continued: the focus went away while the dialog was up, and still its level
    // slides in and runs.
    EXPECT_TRUE(running()) << "the continued game stayed under the pause of the focus change";
    walk(QStringLiteral("Left"));
    // "Leveleditor → Level speichern..." into a folder that is not there: the game says so.
    keys({QStringLiteral("F10"), QStringLiteral("Right"), QStringLiteral("Right"), QStringLiteral("Down"),
          QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});
    const QString save = x.WaitForWindow(xdotool, QStringLiteral("^Speichern unter$"), 10000);
    ASSERT_FALSE(save.isEmpty()) << "no save dialog";
    const QString nowhere = dir.filePath(QStringLiteral("gibt-es-nicht/mein.lev"));
    run({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), nowhere});
    keys({QStringLiteral("Return")});
    QString box;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000 && (box.isEmpty() || box == save || box == window)) {
        QThread::msleep(200);
        box = x.Run(xdotool, {QStringLiteral("getactivewindow")});
    }
    ASSERT_FALSE(box.isEmpty() || box == save || box == window) << "no error message";
    std::printf("the message: %s\n", qPrintable(x.Run(xdotool, {QStringLiteral("getwindowname"), box})));
    keys({QStringLiteral("Return")});
    EXPECT_TRUE(Until([&] { return x.Run(xdotool, {QStringLiteral("getactivewindow")}) == window; }))
        << "the message is still up";
    EXPECT_FALSE(QFile::exists(nowhere));
    walk(QStringLiteral("Right"));

    keys({QStringLiteral("alt+F4")});  // the window manager closes the window
    ASSERT_TRUE(x.Game.waitForFinished(15000)) << "the program did not end";
    EXPECT_EQ(x.Game.exitCode(), 0);

    // The first game from the program's start; the lost one from "Neues Spiel" to its game over;
    // the continued one, stored at closing, from that same start on.
    const QStringList files = stored(3);
    ASSERT_EQ(files.size(), 3) << files.join(QLatin1Char(' ')).toStdString();
    THiscoreServer server;
    ASSERT_TRUE(server.Start(dir, curl, data)) << server.Said.toStdString();
    std::vector<QJsonObject> games;
    for (const QString& name : files) {
        const QJsonObject& game = games.emplace_back(Verified(data, replays.filePath(name)));
        std::printf("%s: %s\n", qPrintable(name), QJsonDocument(game).toJson(QJsonDocument::Compact).constData());
        EXPECT_EQ(game.value(QStringLiteral("status")).toString(), QStringLiteral("ok")) << name.toStdString();
        EXPECT_TRUE(game.value(QStringLiteral("DataMatch")).toBool()) << name.toStdString();
        const QString points = QRegularExpression(QStringLiteral("_(\\d+)-Punkte")).match(name).captured(1);
        if (!game.value(QStringLiteral("EndedInGameOver")).toBool()) continue;
        EXPECT_EQ(game.value(QStringLiteral("GameOverPoints")).toString(), points) << name.toStdString();
        int status = 0;
        const QJsonObject answer =
            server.Submit(replays.filePath(name), QStringLiteral("Xvfb Tester"), points, &status);
        EXPECT_EQ(status, 201) << name.toStdString() << ": "
                               << answer.value(QStringLiteral("reason")).toString().toStdString();
        EXPECT_TRUE(answer.value(QStringLiteral("verified")).toBool()) << name.toStdString();
        EXPECT_EQ(answer.value(QStringLiteral("points")).toInteger(), points.toLongLong()) << name.toStdString();
    }
    EXPECT_EQ(games[0].value(QStringLiteral("Start")).toString(), QStringLiteral("program"));
    EXPECT_FALSE(games[0].value(QStringLiteral("EndedInGameOver")).toBool());
    EXPECT_EQ(games[1].value(QStringLiteral("Start")).toString(), QStringLiteral("new-game"));
    EXPECT_EQ(games[1].value(QStringLiteral("GameOvers")).toInt(), 1);
    EXPECT_TRUE(games[1].value(QStringLiteral("EndedInGameOver")).toBool());
    EXPECT_EQ(games[2].value(QStringLiteral("Start")).toString(), QStringLiteral("continued"));
    EXPECT_EQ(games[2].value(QStringLiteral("Origin")).toString(), QStringLiteral("new-game"));
    EXPECT_EQ(games[2].value(QStringLiteral("GameOvers")).toInt(), 1);
    const QJsonObject list = QJsonDocument::fromJson(server.Get(QStringLiteral("/api/scores"))).object();
    EXPECT_EQ(list.value(QStringLiteral("total")).toInt(), 1) << "the server lists other than the one game over";
}
#endif

// The editor's work in the real window: a stroke painted, taken back and brought again marks the
// caption; every way out of a changed level asks first (cancel keeps everything, a cancelled save asks
// again, save and discard do theirs); killed, the game brings the work back at the next start as it
// was on screen, and the replay of that run, restore and questions included, checks out.
TEST(RealWindow, EditorWorkIsAskedForBeforeItGoesAndComesBackAfterAKill) {
    const TWindowTools tools;
    if (const std::string why = tools.Missing(true); !why.empty()) GTEST_SKIP() << why;
    // Named one by one: a lambda may not capture a structured binding before clang 16.
    const QString &xvfb = tools.Xvfb, &xdotool = tools.Xdotool, &import = tools.Import, &openbox = tools.Openbox;
    QTemporaryDir dir;
    const QString program = ProgramWithBorderLevel(dir);
    ASSERT_FALSE(program.isEmpty());
    TX11Run x;
    ASSERT_TRUE(x.StartServer(xvfb) && x.StartManager(openbox));
    QString window = x.StartGame(program, xdotool);
    ASSERT_FALSE(window.isEmpty()) << "no window with the game's caption";
    bool ok = false;
    const auto run = [&](const QStringList& args) {
        const QString out = x.Run(xdotool, args, &ok);
        EXPECT_TRUE(ok) << args.join(QLatin1Char(' ')).toStdString();
        return out;
    };
    const auto keys = [&](const QStringList& names) {
        run(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("150")} + names);
    };
    const auto shown = [&](const QString& caption) { return x.WaitForWindow(xdotool, caption, 10000); };
    const QString clean = QStringLiteral("^Velkor Blubbi Blubbo 1\\.0$"), changed = QStringLiteral("^\\*Velkor");
    const QString file = dir.filePath(QStringLiteral("shot.png"));
    const auto field = [&] {
        const QImage shot = x.Settled(import, window, file);
        return shot.copy(0, shot.height() - kStatusH - kPaintH, kPaintW, kPaintH);
    };
    // A drag of the mouse from a cell to the next in its row, painting both (one move: a busy window
    // that takes several moves as one cannot leave a cell out); `expected` holds them from then on.
    std::vector<uint8_t> expected = blubbi::test::BorderGrid();
    const auto stroke = [&](int row, int from, int to) {
        const QString g = run({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
        const int top = g.section(QStringLiteral("HEIGHT="), 1).section(QLatin1Char('\n'), 0, 0).toInt() - kStatusH -
                        kPaintH + kFieldY + kCell * row + 9;
        const auto at = [&](int col) {
            return QStringList{QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                               QString::number(kFieldX + kCell * col + 9), QString::number(top)};
        };
        run(at(from) + QStringList{QStringLiteral("mousedown"), QStringLiteral("1")});
        for (int col = from; col <= to; ++col) run(at(col)), expected[size_t(col * 20 + row)] = 1;
        run({QStringLiteral("mouseup"), QStringLiteral("1")});
    };
    const auto grid = [](const QByteArray& level) { return std::vector<uint8_t>(level.begin(), level.begin() + 500); };
    const auto read = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    // The question before the level named goes, answered with `answer`; false when none came.
    const auto asked = [&](const QStringList& way, const QString& name, const QString& answer) {
        keys(way);
        const QString box = shown(QStringLiteral("^Level „%1“ geändert$").arg(name));
        if (box.isEmpty()) return false;
        run({QStringLiteral("windowactivate"), QStringLiteral("--sync"), box});
        keys({answer});
        return true;
    };
    const auto saveAs = [&](const QString& path) {
        if (shown(QStringLiteral("^Speichern unter$")).isEmpty()) return false;
        run({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), path});
        keys({QStringLiteral("Return")});
        return true;
    };
    const QStringList newGame{QStringLiteral("F10"), QStringLiteral("Down"), QStringLiteral("Return")},
        quit{QStringLiteral("ctrl+q")},  // "Beenden"
        editor{QStringLiteral("F10"), QStringLiteral("Right"), QStringLiteral("Right")};
    const QString kept = x.Data.filePath(QStringLiteral("Blubbi Blubbo/wiederherstellung.lev"));

    run({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    ASSERT_FALSE(SlidInShot(x, import, window, file).isNull()) << "the level does not slide in";
    keys(editor + QStringList{QStringLiteral("Return")});  // "Editormodus"
    const QImage before = field();
    stroke(5, 5, 6);
    ASSERT_FALSE(shown(changed).isEmpty()) << "a stroke does not mark the caption";
    const QImage painted = field();
    EXPECT_NE(painted, before);
    keys({QStringLiteral("ctrl+z")});
    EXPECT_FALSE(shown(clean).isEmpty()) << "undone, the level is still marked changed";
    EXPECT_EQ(field(), before);
    keys({QStringLiteral("ctrl+y")});
    EXPECT_FALSE(shown(changed).isEmpty()) << "redone, the level is not marked changed";
    EXPECT_EQ(field(), painted);

    // "Neues Spiel", cancelled: nothing happened. "Level öffnen...": saving asks for a name; cancelled
    // there, the question comes again; saved, the open dialog follows.
    ASSERT_TRUE(asked(newGame, QStringLiteral("level001"), QStringLiteral("Escape")));
    EXPECT_FALSE(shown(changed).isEmpty());
    EXPECT_EQ(field(), painted);
    const QString mine = dir.filePath(QStringLiteral("mein.lev"));
    ASSERT_TRUE(asked(editor + QStringList{QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")},
                      QStringLiteral("level001"), QStringLiteral("alt+s")));
    ASSERT_FALSE(shown(QStringLiteral("^Speichern unter$")).isEmpty());
    keys({QStringLiteral("Escape")});
    ASSERT_FALSE(shown(QStringLiteral("^Level „level001“ geändert$")).isEmpty()) << "a cancelled save dropped it";
    keys({QStringLiteral("alt+s")});
    ASSERT_TRUE(saveAs(mine));
    ASSERT_FALSE(shown(QStringLiteral("^Öffnen$")).isEmpty()) << "no open dialog after the save";
    keys({QStringLiteral("Escape")});
    EXPECT_FALSE(shown(clean).isEmpty()) << "saved, the level is still marked changed";
    EXPECT_EQ(grid(read(mine)), expected);
    EXPECT_EQ(QSettings(x.Config.filePath(QStringLiteral("Blubbi Blubbo/blubbi.conf")), QSettings::IniFormat)
                  .value(QStringLiteral("recentLevels"))
                  .toStringList(),
              QStringList{mine});

    // "Neues Level" discarded: the bordered field again, untouched and so no work to ask about. A
    // stroke on it, then "Beenden" and the close box, cancelled.
    stroke(7, 3, 4);
    ASSERT_TRUE(asked(editor + QStringList{QStringLiteral("Down"), QStringLiteral("Return")}, QStringLiteral("mein"),
                      QStringLiteral("alt+v")));
    EXPECT_TRUE(Until([&] { return field() == before; })) << "the new level did not come";
    EXPECT_FALSE(shown(clean).isEmpty()) << "an untouched new level is marked changed";
    expected = blubbi::test::BorderGrid();
    stroke(9, 2, 3);
    EXPECT_TRUE(asked(quit, QStringLiteral("Unbenannt"), QStringLiteral("alt+a")));
    EXPECT_TRUE(asked({QStringLiteral("alt+F4")}, QStringLiteral("Unbenannt"), QStringLiteral("Escape")));
    EXPECT_FALSE(shown(changed).isEmpty()) << "the window went";

    // A stroke, kept within seconds; the kill loses nothing of it.
    stroke(9, 6, 7);
    QByteArray level;
    EXPECT_TRUE(Until([&] {
        const QByteArray k = read(kept);
        level = k.mid(k.indexOf("\n\n") + 2);
        return level.size() >= 512 && grid(level) == expected;
    })) << "the changed level was not kept";
    const QImage last = field();
    x.Game.kill();
    ASSERT_TRUE(x.Game.waitForFinished(10000));

    window = x.StartGame(program, xdotool);
    ASSERT_FALSE(window.isEmpty());
    const QString offer = shown(QStringLiteral("^Level „Unbenannt“ wiederherstellen$"));
    ASSERT_FALSE(offer.isEmpty()) << "the kept work is not offered";
    run({QStringLiteral("windowactivate"), QStringLiteral("--sync"), offer});
    keys({QStringLiteral("Return")});
    EXPECT_FALSE(shown(changed).isEmpty()) << "the work brought back is not marked changed";
    EXPECT_TRUE(Until([&] { return field() == last; })) << "the work brought back is not what was on screen";
    const QString back = dir.filePath(QStringLiteral("zurueck.lev"));
    keys(editor +
         QStringList{QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});
    ASSERT_TRUE(saveAs(back));
    EXPECT_FALSE(shown(clean).isEmpty());
    EXPECT_EQ(read(back), level) << "the level brought back differs from the one kept";

    // Changed again, "Beenden" discards: a clean exit keeps nothing, and its replay checks out.
    stroke(3, 10, 11);
    ASSERT_TRUE(asked(quit, QStringLiteral("zurueck"), QStringLiteral("alt+v")));
    ASSERT_TRUE(x.Game.waitForFinished(15000)) << "the program did not end";
    EXPECT_EQ(x.Game.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(kept));
    const QDir replays(x.Data.filePath(QStringLiteral("Blubbi Blubbo/replays")));
    const QStringList stored = replays.entryList({QStringLiteral("*.blubbi-replay")}, QDir::Files);
    ASSERT_FALSE(stored.isEmpty());
    EXPECT_EQ(Verified(dir.path(), replays.filePath(stored.last())).value(QStringLiteral("status")).toString(),
              QStringLiteral("ok"));
}
