// The shell tests run inside one QApplication, without a screen unless one is asked for, in German
// as the program runs, with the level files' type known as on an installed system, with settings
// and data of their own for each test, and no hiscore server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/German.h"

namespace {

// Each test starts with settings and data folders of its own, empty, as on a first run: what one
// test keeps (a zoom, full screen, the recent levels) never reaches the next in the same process.
class TFreshFolders : public ::testing::EmptyTestEventListener {
    std::unique_ptr<QTemporaryDir> Config, Data;

    void OnTestStart(const ::testing::TestInfo&) override {
        Config = std::make_unique<QTemporaryDir>();
        Data = std::make_unique<QTemporaryDir>();
        setenv("XDG_CONFIG_HOME", Config->path().toLocal8Bit().constData(), 1);
        setenv("XDG_DATA_HOME", Data->path().toLocal8Bit().constData(), 1);
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        Config.reset();
        Data.reset();
    }
};

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);
    const char* dataDirs = getenv("XDG_DATA_DIRS");
    const std::string systemDirs = dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share";
    setenv("XDG_DATA_DIRS", (std::string(BLUBBI_TEST_SHARE) + ":" + systemDirs).c_str(), 1);
    // Qt's file dialog keeps its column widths in the settings; the tests start from none.
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    QTemporaryDir data;
    setenv("XDG_DATA_HOME", data.path().toLocal8Bit().constData(), 1);
    unsetenv("BLUBBI_HISCORE_URL");
    // A screen on which every zoom fits, also at a desktop scale of 1.5 (zooms that do not fit are greyed).
    QFile screens(config.filePath(QStringLiteral("screens.json")));
    if (std::string(getenv("QT_QPA_PLATFORM")) == "offscreen" && screens.open(QIODevice::WriteOnly) &&
        screens.write(R"({"screens": [{"name": "Offscreen", "x": 0, "y": 0, "width": 4400, "height": 2800,
                         "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") > 0) {
        screens.close();
        setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens.fileName().toStdString()).c_str(), 1);
    }
    setenv("BLUBBI_WAIT_FOR_FIRST_KEY", "0", 0);  // games start at once, as the tests were written for
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Blubbi Blubbo"));
    blubbi::UseGerman();
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new TFreshFolders);
    return RUN_ALL_TESTS();
}
