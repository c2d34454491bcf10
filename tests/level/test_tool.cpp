// blubbi-level as a program: exit status, messages, and files written or left alone.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

struct TRun {
    int Status = -1;
    std::string Output;
};

TRun RunTool(const std::string& args, const std::string& prefix = "") {
    TRun r;
    FILE* pipe = popen((prefix + BLUBBI_LEVEL_TOOL + " " + args + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.Output.append(buf, n);
    const int status = pclose(pipe);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string Temp(const std::string& name) { return ::testing::TempDir() + "blubbi_level_tool_" + name; }

void Write(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Map(bool floorUnderStart) {
    std::string s = "grid\n#########################\n";
    for (int row = 1; row < 19; ++row) s += "#.......................#\n";
    s += floorUnderStart ? "#########################\n" : "#....####################\n";
    return s;
}

TEST(LevelTool, TextToLevelToTextAndCheck) {
    const std::string text = Map(true) + "enemy BlauesMaennel X=300 Y=320\nstart X=38 Y=315\n";
    Write(Temp("good.txt"), text);
    ASSERT_EQ(RunTool("from-text " + Temp("good.txt") + " -o " + Temp("good.lev")).Status, 0);
    EXPECT_EQ(Read(Temp("good.lev")).size(), 512u + 44);
    const TRun toText = RunTool("to-text " + Temp("good.lev"));
    EXPECT_EQ(toText.Status, 0);
    EXPECT_NE(toText.Output.find("enemy BlauesMaennel X=300 Y=320\nstart X=38 Y=315\n"), std::string::npos);
    const TRun check = RunTool("check " + Temp("good.lev"));
    EXPECT_EQ(check.Status, 0);
    EXPECT_EQ(check.Output, Temp("good.lev") + ": ok\n");
}

TEST(LevelTool, CheckFailsOnABadLevel) {
    Write(Temp("bad.txt"), Map(false) + "enemy 5 X=300 Y=320\nstart X=38 Y=315\n");
    ASSERT_EQ(RunTool("from-text " + Temp("bad.txt") + " -o " + Temp("bad.lev")).Status, 0);
    const TRun check = RunTool("check " + Temp("bad.lev"));
    EXPECT_EQ(check.Status, 1);
    EXPECT_NE(check.Output.find("does not stand"), std::string::npos);
    EXPECT_NE(check.Output.find("unknown kind 5"), std::string::npos);
}

TEST(LevelTool, CheckFailsOnADamagedFile) {
    Write(Temp("short.lev"), std::string(511, '\0'));
    const TRun check = RunTool("check " + Temp("short.lev"));
    EXPECT_EQ(check.Status, 1);
    EXPECT_NE(check.Output.find("not a level file"), std::string::npos);
    EXPECT_EQ(RunTool("check " + Temp("does-not-exist.lev")).Status, 1);
}

TEST(LevelTool, BadTextWritesNoFile) {
    std::remove(Temp("broken.lev").c_str());
    Write(Temp("broken.txt"), Map(true) + "enemy Feder Colour=3\nstart X=38 Y=315\n");
    const TRun r = RunTool("from-text " + Temp("broken.txt") + " -o " + Temp("broken.lev"));
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("line 22: unknown enemy field 'Colour'"), std::string::npos);
    EXPECT_FALSE(std::ifstream(Temp("broken.lev")).good());
}

TEST(LevelTool, NoSubcommandIsAnError) { EXPECT_NE(RunTool("").Status, 0); }

TEST(LevelTool, OnlyRegularFilesAreReadAndSaidSoPlainly) {
    const std::string fifo = Temp("fifo.lev");
    std::remove(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Each would wait or read for ever; the time limit turns that into a failure.
    for (const std::string& path : {fifo, std::string("/dev/zero"), ::testing::TempDir()}) {
        const TRun r = RunTool("check " + path, "timeout 20 ");
        EXPECT_EQ(r.Status, 1) << path;
        EXPECT_EQ(r.Output, path + ": cannot read the file: not a regular file\n");
    }
    std::remove(fifo.c_str());
}

}  // namespace
