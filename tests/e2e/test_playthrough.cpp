// Whole games played by scripts: popping through the levels, the pause, the win, game over, the editor.
#include <gtest/gtest.h>

#include "game/MainForm.h"
#include "level/LevelCodec.h"
#include "tests/e2e/SimRun.h"
#include "tests/support/LevelBytes.h"

namespace blubbi::e2e {
namespace {

using namespace blubbi::test;
using nlohmann::json;

// A "Blaues Männel" standing on the floor right in front of the player's start: the bubble
// spat in the level's first frame catches it at once.
std::vector<uint8_t> CatchLevel() { return LevelBytes(BorderGrid(), {MakeEnemy(2, 90, 320)}, 38, 315); }

// Spits in the level's first full frame, waits out the slide, walks into the bubble.
const char* kCatchAndPop = "down space\ntick\nup space\ntick 49\ndown right\ntick 12\nup right\n";

struct Playthrough : ::testing::Test {
    std::string Dir;
    void SetUp() override { Dir = DataDir(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
    void TearDown() override { std::filesystem::remove_all(Dir); }
    void Level(int n, const std::vector<uint8_t>& bytes) {
        WriteFile(Dir + "levels/level" + TMainForm::leadzero(std::to_string(n), 3) + ".lev", bytes);
    }
    static std::string EveryTick(int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += "tick\ndump\n";
        return s;
    }
    // The index of the first dump for which `pred` holds, or -1.
    template <class P>
    static int First(const std::vector<json>& dumps, P pred) {
        for (size_t i = 0; i < dumps.size(); ++i)
            if (pred(dumps[i])) return static_cast<int>(i);
        return -1;
    }
};

TEST_F(Playthrough, PoppingTheLastEnemyLeadsToTheNextLevelAndAfterTheLastToTheWin) {
    Level(1, CatchLevel());
    Level(2, CatchLevel());
    // Level 1: catch, pop, collect; find the tick of the end check.
    auto first = RunSim(Dir, std::string(kCatchAndPop) + EveryTick(40));
    ASSERT_EQ(first.Status, 0) << first.Err;
    const int popped = First(first.Dumps, [](const json& d) { return d["Enemies"][0]["Removed"] == 1; });
    ASSERT_GE(popped, 0) << "the enemy was never popped";
    EXPECT_EQ(first.Dumps[popped]["Items"].size(), 1u);
    const int checked = First(first.Dumps, [](const json& d) { return d["Timer2Enabled"] == 1; });
    ASSERT_EQ(checked, popped + 1);  // the next tick runs the check before its frame
    EXPECT_EQ(first.Dumps[checked]["LevelNo"], 1);
    EXPECT_EQ(first.Dumps.back()["Score"], 31);  // 1 for the burst, 10 for the pop, 20 for the item

    // Level 2 loads exactly 3000 ms after the check; the same catch wins the game.
    const std::string toCheck = std::string(kCatchAndPop) + "tick " + std::to_string(checked + 1) + "\n";
    auto second = RunSim(Dir, toCheck + "tick 119\ndump\ndown space\ntick\nup space\ndump\ntick 49\n" +
                                  "down right\ntick 12\nup right\n" + EveryTick(40) + "tick 120\ndump\n");
    ASSERT_EQ(second.Status, 0) << second.Err;
    EXPECT_EQ(second.Dumps[0]["LevelNo"], 1);
    const json& loaded = second.Dumps[1];
    EXPECT_EQ(loaded["LevelNo"], 2);
    EXPECT_EQ(loaded["TransitionCounter"], 98);
    EXPECT_EQ(loaded["Enemies"][0]["Trapped"], 1);
    EXPECT_EQ(loaded["Score"], 31);
    const std::vector<json> level2(second.Dumps.begin() + 2, second.Dumps.end() - 1);
    const int won = First(level2, [](const json& d) { return d["Timer3Enabled"] == 1; });
    ASSERT_GE(won, 0) << "level 2 never finished";
    const json& after = second.Dumps.back();
    EXPECT_EQ(after["Dialogs"], json::array({"Win"}));
    EXPECT_EQ(after["LevelNo"], 1);
    EXPECT_EQ(after["Lives"], 3);
    EXPECT_EQ(after["Score"], 62);
    EXPECT_EQ(after["Enemies"][0]["Removed"], 0);
}

// A ghost that keeps sweeping the floor row: its Timer holds off every random change.
std::vector<uint8_t> GhostLevel(int32_t startX) {
    TEnemy ghost = MakeEnemy(1, 300, 300);  // near the lowest a ghost may fly (342 - 40)
    ghost.Timer = 1000000;
    ghost.Aux = 1;  // no vertical movement
    return LevelBytes(BorderGrid(), {ghost}, startX, 315);
}

TEST_F(Playthrough, GameOverContinueAndNewGame) {
    Level(1, GhostLevel(38));
    Level(2, GhostLevel(200));
    for (const std::string answer : {"continue", "newgame"}) {
        auto r = RunSim(Dir, "answer " + answer + "\ntype skipahead\n" + EveryTick(900));
        ASSERT_EQ(r.Status, 0) << r.Err;
        const int over = First(r.Dumps, [](const json& d) { return !d["Dialogs"].empty(); });
        ASSERT_GE(over, 0) << "the ghost never took the last life";
        EXPECT_EQ(r.Dumps[over]["Dialogs"], json::array({"GameOver"}));
        EXPECT_EQ(r.Dumps[over]["Lives"], 3);
        EXPECT_EQ(r.Dumps[over]["Score"], 0);
        EXPECT_EQ(r.Dumps[over]["TransitionCounter"], 100);
        EXPECT_EQ(r.Dumps[over - 1]["Lives"], 1);
        if (answer == "continue") {
            EXPECT_EQ(r.Dumps[over]["LevelNo"], 2);
            EXPECT_EQ(r.Dumps[over]["PlayerX"], 200);
        } else {
            EXPECT_EQ(r.Dumps[over]["LevelNo"], 1);
            EXPECT_EQ(r.Dumps[over]["StartX"], 38);
            EXPECT_EQ(r.Dumps[over]["StartY"], 315);
        }
    }
}

TEST_F(Playthrough, LevelBuiltWithTheEditorSavesByteExactAndLoadsBack) {
    // Editor mode, a wall painted by dragging, one enemy of each kind, saved where the player stands.
    const std::string save = Dir + "built.lev";
    auto r = RunSim(Dir,
                    "tick 50\nmenu Editormodus1Click\nmenu NeuesLevel1Click\n"
                    "mouse down left 293 212\nmouse move 293 231\nmouse move 293 250\nmouse up left 293 250\n"
                    "menu FeindFedereinfgen1Click\nmouse down left 150 100\n"
                    "menu FeindGeisteinfgen1Click\nmouse down left 250 100\n"
                    "menu FeindBlauesMnneleinfgen1Click\nmouse down left 350 100\n"
                    "menu FeindRotesMonstereinfgen1Click\nmouse down left 450 100\n"
                    "menu FeindRotesMonstereinfgen1Click\nmouse down left 500 100\nmouse down right 501 101\n"
                    "dump\nsave " +
                        save + "\nmenu NeuesLevel1Click\nopen " + save + "\ndump\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto bytes = ReadFile(save);
    ASSERT_EQ(bytes.size(), 512u + 4 * 44u);
    const auto level = DecodeLevel(bytes.data(), bytes.size());
    ASSERT_TRUE(level);
    const json& before = r.Dumps[0];
    const json& after = r.Dumps[1];
    for (int row : {10, 11, 12}) EXPECT_EQ(level->Grid[10 * 20 + row], 1) << row;  // column (293-103)/19
    EXPECT_EQ(json(std::vector<int>(level->Grid.begin(), level->Grid.end())), before["Grid"]);
    EXPECT_EQ(after["Grid"], before["Grid"]);
    EXPECT_EQ(level->StartX, before["PlayerX"].get<int>());
    EXPECT_EQ(level->StartY, before["PlayerY"].get<int>());
    EXPECT_EQ(after["StartX"], before["PlayerX"]);
    ASSERT_EQ(after["Enemies"].size(), 4u);
    const int kinds[] = {0, 1, 2, 3};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(level->Enemies[i].Kind, kinds[i]);
        EXPECT_EQ(after["Enemies"][i]["Kind"], kinds[i]);
        EXPECT_EQ(after["Enemies"][i]["X"], before["Enemies"][i]["X"]);
        EXPECT_EQ(after["Enemies"][i]["Width"], level->Enemies[i].Width);
    }
    EXPECT_EQ(level->Enemies[0].X, 150 - 103);
    EXPECT_EQ(level->Enemies[0].Y, 100 - 22);
}

}  // namespace
}  // namespace blubbi::e2e
