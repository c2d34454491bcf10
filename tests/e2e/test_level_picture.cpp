// blubbi-level png: the level as loaded, its number from the game's own file name, and a failed write.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <cstdio>
#include <filesystem>

#include "tests/support/LevelBytes.h"

namespace blubbi {
namespace {

using namespace blubbi::test;

struct TRun {
    int Status = -1;
    std::string Output;
};

// `shellFirst` runs in the same shell just before, for limits such as "ulimit -f 2;".
TRun Png(const std::string& level, const std::string& out, const std::string& shellFirst = "") {
    const std::string command = shellFirst + BLUBBI_LEVEL_TOOL + " png " + level + " -o " + out + " --graphics " +
                                BLUBBI_DATA + "/grafiken 2>&1";
    TRun r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) r.Output.append(buffer, n);
    const int status = ::pclose(pipe);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

struct LevelPicture : ::testing::Test {
    std::string Dir;
    void SetUp() override {
        Dir = TempProgramDir(std::string("png-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }

    QImage Draw(const std::string& name, const std::vector<TEnemy>& enemies, int32_t startX, int32_t startY) {
        WriteFile(Dir + name, LevelBytes(BorderGrid(), enemies, startX, startY));
        const TRun r = Png(Dir + name, Dir + name + ".png");
        EXPECT_EQ(r.Status, 0) << r.Output;
        QImage picture(QString::fromStdString(Dir + name + ".png"));
        EXPECT_EQ(picture.size(), QSize(475, 380));
        return picture.convertToFormat(QImage::Format_RGB32);
    }
};

// Whether the w x h pixels at (ax, ay) of `a` are those at (bx, by) of `b`.
bool SameArea(const QImage& a, int ax, int ay, const QImage& b, int bx, int by, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (a.pixel(ax + x, ay + y) != b.pixel(bx + x, by + y)) return false;
    return true;
}

TEST_F(LevelPicture, ShowsTheLevelAsLoadedBeforeAnyStep) {
    // The same figures standing on the floor and a hundred pixels up in the air: one step of the
    // game would bounce the Feder, drop those in the air and walk the walker, so only pictures
    // of the level as loaded show each figure the same in both.
    const QImage floor = Draw("floor.lev", {MakeEnemy(0, 100, 300), MakeEnemy(2, 300, 320)}, 200, 315);
    const QImage air = Draw("air.lev", {MakeEnemy(0, 100, 200), MakeEnemy(2, 300, 220)}, 200, 215);
    EXPECT_TRUE(SameArea(floor, 95, 300, air, 95, 200, 60, 61)) << "Feder";
    EXPECT_TRUE(SameArea(floor, 290, 320, air, 290, 220, 45, 41)) << "Blaues Männel";
    EXPECT_TRUE(SameArea(floor, 195, 315, air, 195, 215, 50, 46)) << "player";
}

TEST_F(LevelPicture, ShowsTheLevelNumberOnlyForTheGamesOwnName) {
    const QImage one = Draw("level001.lev", {}, 38, 315);
    const QImage twelve = Draw("level012.lev", {}, 38, 315);
    const QImage mine = Draw("mine.lev", {}, 38, 315);
    const QImage odd = Draw("level12.lev", {}, 38, 315);
    // "Level: N" lies at (8, 0) to about (90, 20); "Punkte: 0" starts at 108.
    const auto white = [](const QImage& p) {
        int n = 0;
        for (int y = 0; y < 22; ++y)
            for (int x = 8; x < 100; ++x) n += p.pixel(x, y) == qRgb(255, 255, 255);
        return n;
    };
    EXPECT_GT(white(one), 20);
    EXPECT_GT(white(twelve), white(one));  // one more digit
    EXPECT_EQ(white(mine), 0);
    EXPECT_EQ(white(odd), 0);                                   // the game would name level 12 level012.lev
    EXPECT_TRUE(SameArea(one, 108, 0, mine, 108, 0, 100, 22));  // the points are shown alike
}

TEST_F(LevelPicture, AFailedWriteSaysSoAndLeavesTheOldFile) {
    WriteFile(Dir + "level001.lev", LevelBytes(BorderGrid(), {MakeEnemy(1, 200, 100)}, 38, 315));
    WriteFile(Dir + "old.png", {1, 2, 3});
    // A file-size limit of a kilobyte stands in for a full disk; the picture takes more.
    const TRun r = Png(Dir + "level001.lev", Dir + "old.png", "ulimit -f 2; ");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Output, Dir + "old.png: cannot write the picture: File too large\n");
    EXPECT_EQ(ReadFile(Dir + "old.png"), (std::vector<uint8_t>{1, 2, 3}));
    for (const auto& entry : std::filesystem::directory_iterator(Dir))
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

}  // namespace
}  // namespace blubbi
