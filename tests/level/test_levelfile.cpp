// Level files: the byte layout written, what loading takes and resets, damaged files, safe saving.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>

#include "level/LevelCodec.h"
#include "tests/support/GameFixture.h"

namespace blubbi {
namespace {

using namespace blubbi::test;

struct LevelFileTest : GameFixture {
    void SetUp() override {
        GameFixture::SetUp();
        Start();
    }
};

TEST_F(LevelFileTest, EmptyLevelIsExactly512BytesWithThePlayersPosition) {
    Game.PlayerX = -7;
    Game.PlayerY = 123456;
    ASSERT_TRUE(Game.SaveLevel(Dir + "a.lev"));
    auto bytes = ReadFile(Dir + "a.lev");
    ASSERT_EQ(bytes.size(), 512u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 500), BorderGrid());
    EXPECT_EQ(GetInt32(bytes, 500), 0);
    EXPECT_EQ(GetInt32(bytes, 504), -7);
    EXPECT_EQ(GetInt32(bytes, 508), 123456);
}

TEST_F(LevelFileTest, EnemyRecordsAreWrittenWholeInListOrder) {
    TEnemy a = MakeEnemy(2, 100, 200);
    a.Timer = 0x01020304;
    a.SpeedY = -5;
    a.Removed = 1;
    a.Padding[0] = 0xAB;
    TEnemy b = MakeEnemy(3, -1, 70);
    *Game.Enemies->Append() = a;
    *Game.Enemies->Append() = b;
    Game.Grid[3 * 20 + 4] = 2;
    ASSERT_TRUE(Game.SaveLevel(Dir + "b.lev"));
    auto bytes = ReadFile(Dir + "b.lev");
    ASSERT_EQ(bytes.size(), 512u + 88u);
    EXPECT_EQ(bytes[3 * 20 + 4], 2);
    EXPECT_EQ(GetInt32(bytes, 500), 2);
    EXPECT_EQ(bytes[504], 0x04);  // little-endian Timer
    EXPECT_EQ(bytes[507], 0x01);
    auto ea = EnemyBytes(a), eb = EnemyBytes(b);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 504, bytes.begin() + 548), ea);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 548, bytes.begin() + 592), eb);
    EXPECT_EQ(GetInt32(bytes, 592), Game.PlayerX);
}

TEST_F(LevelFileTest, LoadingTakesFieldsAsStoredAndFreesEveryEnemy) {
    TEnemy e = MakeEnemy(0, 40, 50);
    e.Removed = 1;
    e.Trapped = 1;
    e.DirX = 1;
    e.Timer = 9;
    e.Kind = 7;
    auto grid = BorderGrid();
    grid[100] = 5;
    WriteFile(Dir + "c.lev", LevelBytes(grid, {e, e}, 77, 88));
    Game.Bubbles->Append();
    Game.Items->Append();
    Game.LastHitTick = 5;
    Game.Score = 12;
    Game.OpenLevel(Dir + "c.lev");
    ASSERT_EQ(Game.Enemies->Count, 2);
    const TEnemy& got = (*Game.Enemies)[1];
    EXPECT_EQ(got.Removed, 0);
    EXPECT_EQ(got.Trapped, 0);
    EXPECT_EQ(got.DirX, 0);
    EXPECT_EQ(got.Timer, 9);
    EXPECT_EQ(got.Kind, 7);
    EXPECT_EQ(Game.Grid[100], 5);
    EXPECT_EQ(Game.StartX, 77);
    EXPECT_EQ(Game.StartY, 88);
    EXPECT_EQ(Game.PlayerX, 77);  // the frame run by the load may already have moved it down
    EXPECT_EQ(Game.Bubbles->Count, 0);
    EXPECT_EQ(Game.Items->Count, 0);
    EXPECT_EQ(Game.LastHitTick, 0u);
    EXPECT_EQ(Game.Score, 12);
}

TEST_F(LevelFileTest, NegativeCountReadsNoRecordsAndStartFollowsAt504) {
    auto bytes = LevelBytes(BorderGrid(), {}, 10, 20);
    bytes[500] = 0xFF, bytes[501] = 0xFF, bytes[502] = 0xFF, bytes[503] = 0xFF;  // N = -1
    WriteFile(Dir + "d.lev", bytes);
    *Game.Enemies->Append() = MakeEnemy(1, 0, 0);
    Game.OpenLevel(Dir + "d.lev");
    EXPECT_EQ(Game.Enemies->Count, 0);
    EXPECT_EQ(Game.StartX, 10);
    EXPECT_EQ(Game.StartY, 20);
}

TEST_F(LevelFileTest, ShortFilesAreRefusedWholeAndLongFilesReadToTheirLayout) {
    auto good = LevelBytes(BorderGrid(), {MakeEnemy(2, 60, 60)}, 38, 315);
    Game.Grid.fill(9);
    const auto before = Game.Grid;
    for (size_t cut : {size_t(0), size_t(499), size_t(503), size_t(547), good.size() - 1}) {
        WriteFile(Dir + "e.lev", std::vector<uint8_t>(good.begin(), good.begin() + cut));
        Game.OpenLevel(Dir + "e.lev");
        EXPECT_EQ(Game.Grid, before) << "cut at " << cut;
        EXPECT_EQ(Game.Enemies->Count, 0) << "cut at " << cut;
    }
    // A huge count in a small file costs nothing and changes nothing.
    auto huge = good;
    huge[500] = 0x00, huge[501] = 0x94, huge[502] = 0x35, huge[503] = 0x77;  // about two billion
    WriteFile(Dir + "f.lev", huge);
    Game.OpenLevel(Dir + "f.lev");
    EXPECT_EQ(Game.Grid, before);
    auto longer = good;
    longer.insert(longer.end(), 100, 0xEE);
    WriteFile(Dir + "g.lev", longer);
    Game.OpenLevel(Dir + "g.lev");
    EXPECT_EQ(Game.Enemies->Count, 1);
    EXPECT_EQ(Game.StartY, 315);
}

TEST_F(LevelFileTest, ManyEnemiesLoadIntoOneBlockOfTheChunkedSize) {
    std::vector<TEnemy> enemies;
    for (int i = 0; i < 1234; ++i) {
        enemies.push_back(MakeEnemy(i % 4, i, 40));
        enemies.back().DirX = 2;
    }
    WriteFile(Dir + "many.lev", LevelBytes(BorderGrid(), enemies, 38, 315));
    static int obtained = 0;
    const auto saved = TDynaArrayBase::Allocator;
    TDynaArrayBase::Allocator = [](size_t bytes) -> void* {
        ++obtained;
        return std::calloc(bytes, 1);
    };
    Game.OpenLevel(Dir + "many.lev");
    TDynaArrayBase::Allocator = saved;
    EXPECT_EQ(obtained, 1);  // growing a hundred at a time would copy the list twelve times
    ASSERT_EQ(Game.Enemies->Count, 1234);
    EXPECT_EQ(Game.Enemies->AllocatedBytes, 1300 * 44);
    EXPECT_EQ((*Game.Enemies)[1233].Kind, 1233 % 4);
    EXPECT_EQ((*Game.Enemies)[1233].DirX, 0);
}

TEST_F(LevelFileTest, MissingFileClearsOnlyTheProtection) {
    Game.LastHitTick = 1234;
    Game.Grid.fill(3);
    Game.OpenLevel(Dir + "missing.lev");
    EXPECT_EQ(Game.LastHitTick, 0u);
    EXPECT_EQ(Game.Grid[0], 3);
}

TEST_F(LevelFileTest, SavedLevelLoadsBackToTheSameLevel) {
    *Game.Enemies->Append() = MakeEnemy(3, 200, 100);
    Game.Grid[250] = 1;
    Game.PlayerX = 150;
    Game.PlayerY = 201;
    ASSERT_TRUE(Game.SaveLevel(Dir + "h.lev"));
    const auto grid = Game.Grid;
    Game.NewBtnClick();
    Game.OpenLevel(Dir + "h.lev");
    EXPECT_EQ(Game.Grid, grid);
    ASSERT_EQ(Game.Enemies->Count, 1);
    EXPECT_EQ((*Game.Enemies)[0].X, 200);
    EXPECT_EQ(Game.StartX, 150);
    EXPECT_EQ(Game.StartY, 201);
}

TEST_F(LevelFileTest, ThousandDamagedFilesNeverCrash) {
    std::mt19937 rng(42);
    const auto good = LevelBytes(BorderGrid(), {MakeEnemy(0, 1, 2), MakeEnemy(3, 4, 5), MakeEnemy(1, 6, 7)}, 38, 315);
    for (int i = 0; i < 1000; ++i) {
        auto bytes = good;
        bytes.resize(rng() % (good.size() + 40));
        for (int k = rng() % 8; k > 0 && !bytes.empty(); --k) bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
        WriteFile(Dir + "r.lev", bytes);
        Game.OpenLevel(Dir + "r.lev");
        ASSERT_LE(Game.Enemies->Count, 3);
    }
}

TEST_F(LevelFileTest, FailedSaveKeepsTheOldFileAndSaysSo) {
    // The folder of the target cannot take the temporary file.
    const std::string gone = Dir + "no-such-folder/x.lev";
    EXPECT_FALSE(Game.SaveLevel(gone));
    ASSERT_EQ(Platform.ErrorMessages.size(), 1u);
    EXPECT_EQ(Platform.ErrorMessages[0], "Der Level konnte nicht gespeichert werden:\n" + gone);

    // A disk that fills up in the middle of the file: the old file stays as it was and no
    // temporary file is left. (A file-size limit stands in for the full disk.)
    const std::string folder = Dir + "full/";
    std::filesystem::create_directories(folder);
    WriteFile(folder + "old.lev", {1, 2, 3});
    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_FALSE(Game.SaveLevel(folder + "old.lev"));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(ReadFile(folder + "old.lev"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    EXPECT_EQ(Platform.ErrorMessages.size(), 2u);

    // A read-only folder (root may write anyway; then only the other cases speak).
    const std::string ro = Dir + "readonly/";
    std::filesystem::create_directories(ro);
    WriteFile(ro + "old.lev", {4, 5});
    ::chmod(ro.c_str(), 0555);
    const bool refused = !Game.SaveLevel(ro + "old.lev");
    ::chmod(ro.c_str(), 0755);
    if (::geteuid() != 0) {
        EXPECT_TRUE(refused);
        EXPECT_EQ(ReadFile(ro + "old.lev"), (std::vector<uint8_t>{4, 5}));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ro), {}), 1);
    }

    // Renaming over a folder fails after the temporary file was written: it is removed.
    std::filesystem::create_directories(Dir + "isdir.lev");
    EXPECT_FALSE(Game.SaveLevel(Dir + "isdir.lev"));
    for (const auto& entry : std::filesystem::directory_iterator(Dir))
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

TEST_F(LevelFileTest, SaveWritesALinksTargetKeepsTheModeAndTakesTheLongestName) {
    namespace fs = std::filesystem;
    const mode_t umaskBefore = ::umask(022);
    // Through a link the target gets the level and the link stays, also when it names no file yet.
    WriteFile(Dir + "target.lev", {1});
    fs::create_symlink("target.lev", Dir + "link.lev");
    fs::create_symlink(Dir + "later.lev", Dir + "dangling.lev");
    EXPECT_TRUE(Game.SaveLevel(Dir + "link.lev"));
    EXPECT_TRUE(Game.SaveLevel(Dir + "dangling.lev"));
    EXPECT_TRUE(fs::is_symlink(Dir + "link.lev"));
    EXPECT_TRUE(fs::is_symlink(Dir + "dangling.lev"));
    EXPECT_EQ(ReadFile(Dir + "target.lev").size(), 512u);
    EXPECT_EQ(ReadFile(Dir + "later.lev").size(), 512u);
    // A file shared with the group only stays so; a new file gets the usual mode.
    WriteFile(Dir + "group.lev", {1});
    fs::permissions(Dir + "group.lev", fs::perms(0640));
    EXPECT_TRUE(Game.SaveLevel(Dir + "group.lev"));
    EXPECT_TRUE(Game.SaveLevel(Dir + "fresh.lev"));
    ::umask(umaskBefore);
    EXPECT_EQ(fs::status(Dir + "group.lev").permissions(), fs::perms(0640));
    EXPECT_EQ(ReadFile(Dir + "group.lev").size(), 512u);
    EXPECT_EQ(fs::status(Dir + "fresh.lev").permissions(), fs::perms(0644));
    // The longest name the folder allows can be saved: the temporary name is a short one.
    const std::string longest = Dir + std::string(251, 'x') + ".lev";
    EXPECT_TRUE(Game.SaveLevel(longest));
    EXPECT_EQ(ReadFile(longest).size(), 512u);
    EXPECT_TRUE(Platform.ErrorMessages.empty());
    for (const auto& entry : fs::directory_iterator(Dir))
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

TEST_F(LevelFileTest, OnlyRegularFilesOfALevelsSizeAreRead) {
    Game.Grid.fill(7);
    const auto before = Game.Grid;
    // A FIFO without a writer would block an open for ever; a device never ends.
    const std::string fifo = Dir + "fifo.lev";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::alarm(10);  // a blocked open ends the test instead of hanging it
    Game.OpenLevel(fifo);
    Game.OpenLevel("/dev/zero");
    Game.OpenLevel(Dir);
    ::alarm(0);
    EXPECT_EQ(Game.Grid, before);
    // A file longer than the largest level is not read at all, even with a good layout.
    const std::string big = Dir + "big.lev";
    WriteFile(big, LevelBytes(BorderGrid(), {}, 38, 315));
    std::filesystem::resize_file(big, kLevelMaxFileBytes + 1);
    Game.OpenLevel(big);
    EXPECT_EQ(Game.Grid, before);
    std::filesystem::resize_file(big, kLevelMaxFileBytes);
    Game.OpenLevel(big);
    EXPECT_EQ(Game.Grid[0], 1);
}

}  // namespace
}  // namespace blubbi
