// blubbi-sim's contract: commands, refusal of bad scripts, the dump's keys, replays, pictures.
#include <gtest/gtest.h>

#include <QImage>

#include "tests/e2e/SimRun.h"
#include "tests/support/LevelBytes.h"

namespace blubbi::e2e {
namespace {

using namespace blubbi::test;

struct Sim : ::testing::Test {
    std::string Dir;
    void SetUp() override { Dir = DataDir(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
    void TearDown() override { std::filesystem::remove_all(Dir); }
    void Level(int n, const std::vector<TEnemy>& enemies, int32_t x = 38, int32_t y = 315) {
        WriteFile(Dir + "levels/level00" + std::to_string(n) + ".lev", LevelBytes(BorderGrid(), enemies, x, y));
    }
};

TEST_F(Sim, BadLineStopsTheRunBeforeAnythingIsDone) {
    for (const std::string bad :
         {"jump", "tick -1", "tick 1 2", "down shift", "mouse down left 1", "menu Beenden1Click", "answer maybe",
          "resize 0 10", "dump now", "mouse wiggle 1 2", "down 256", "tick 2 +5", "timer2"}) {
        auto r = RunSim(Dir, "dump\n# a comment\n\ntick 2\n" + bad + "\ndump\n");
        EXPECT_EQ(r.Status, 2) << bad;
        EXPECT_TRUE(r.Dumps.empty()) << bad;
        EXPECT_NE(r.Err.find("line 5"), std::string::npos) << bad << ": " << r.Err;
    }
}

TEST_F(Sim, EveryCommandIsAcceptedAndTheDumpCarriesEveryKey) {
    Level(1, {MakeEnemy(2, 300, 320)});
    auto r = RunSim(Dir,
                    "tick\ndown left\nup left\ndown 39\nup 39\ntype hallo welt\nmenu Soundeffekte1Click\n"
                    "menu Soundeffekte1Click\nopen " +
                        Dir + "levels/level001.lev\nsave " + Dir +
                        "saved.lev\n"
                        "mouse down left 200 200\nmouse move 210 200\nmouse up left 210 200\nanswer continue\n"
                        "answer newgame\nresize 500 400\ntick 3\npng " +
                        Dir + "shot.png\ndump\n",
                    "--seed 7 --clock 5000 --size 600x420");
    ASSERT_EQ(r.Status, 0) << r.Err;
    ASSERT_EQ(r.Dumps.size(), 1u);
    const auto& d = r.Dumps[0];
    for (const char* key : {"Tick",
                            "GameActive",
                            "FacingLeft",
                            "Walking",
                            "CellDragActive",
                            "InsertKind",
                            "BlinkCounter",
                            "LastHitTick",
                            "MusicStartTick",
                            "TransitionCounter",
                            "Score",
                            "Lives",
                            "LevelNo",
                            "StartX",
                            "StartY",
                            "VelY",
                            "WalkFrame",
                            "PlayerX",
                            "PlayerY",
                            "CellDragValue",
                            "InEndCheck",
                            "BurstByTouch",
                            "InPaint",
                            "MusicJustStarted",
                            "EndCheckPending",
                            "InDialog",
                            "Paused",
                            "KeyJump",
                            "KeyFire",
                            "KeyLeft",
                            "KeyRight",
                            "OnGround",
                            "HitTimer",
                            "LastFireTick",
                            "CheatBuffer",
                            "EditorMode",
                            "MusicEnabled",
                            "SoundEnabled",
                            "Timer2Enabled",
                            "Timer3Enabled",
                            "Grid",
                            "Enemies",
                            "Bubbles",
                            "Items",
                            "Sent",
                            "Dialogs"})
        EXPECT_TRUE(d.contains(key)) << key;
    EXPECT_EQ(d["Tick"], 5000 + 4 * 25);
    EXPECT_EQ(d["Grid"].size(), 500u);
    EXPECT_EQ(d["CheatBuffer"], "allo welt");
    EXPECT_EQ(d["MusicStartTick"], 5000);
    for (const char* key :
         {"Timer", "AnimCounter", "Aux", "DirX", "Width", "Height", "SpeedY", "Kind", "X", "Y", "Removed", "Trapped"})
        EXPECT_TRUE(d["Enemies"][0].contains(key)) << key;
    EXPECT_EQ(d["Sent"][0], "open \"" + Dir + "sound/blasen.wav\" alias blasen");
    EXPECT_EQ(ReadFile(Dir + "saved.lev").size(), 512u + 44u);
    QImage shot(QString::fromStdString(Dir + "shot.png"));
    EXPECT_EQ(shot.width(), 500);
    EXPECT_EQ(shot.height(), 400);
}

// Whatever a script sends goes into its replay: played back, the game ends where the script left it.
TEST_F(Sim, ARecordedScriptReplaysToWhereItEnded) {
    Level(1, {MakeEnemy(2, 300, 320)});
    const std::string replay = Dir + "game.blubbi-replay";
    auto recorded = RunSim(Dir,
                           "tick 5\ndown left\ntick 3\nup left\ndown 255\nup 255\ntype ab\nmenu Editormodus1Click\n"
                           "mouse down left 200 200\nmouse move 230 200\nmouse up left 230 200\npause on\ntick 4\n"
                           "pause off\nresize 500 400\ntick 7\ndump\n",
                           "--record " + replay);
    auto played = RunSim(Dir, "dump\n", "--replay " + replay);
    ASSERT_EQ(recorded.Status, 0) << recorded.Err;
    ASSERT_EQ(played.Status, 0) << played.Err;
    // The runner's own clock (Tick) counts the paused ticks too, which a replay leaves out.
    for (auto* d : {&recorded.Dumps.at(0), &played.Dumps.at(0)})
        for (const char* runner : {"Sent", "Dialogs", "Tick"}) d->erase(runner);
    EXPECT_EQ(played.Dumps[0], recorded.Dumps[0]);
    EXPECT_EQ(RunSim(Dir, "", "--verify " + replay).Status, 0);
}

TEST_F(Sim, SentAndDialogsAreThoseSinceThePreviousDump) {
    auto r = RunSim(Dir, "dump\nmenu Hintergrundmusik1Click\ndump\ndump\n");
    ASSERT_EQ(r.Dumps.size(), 3u);
    EXPECT_EQ(r.Dumps[0]["Sent"].size(), 8u);  // seven opens and the music's start
    EXPECT_EQ(r.Dumps[1]["Sent"], nlohmann::json::array({"stop musik"}));
    EXPECT_TRUE(r.Dumps[2]["Sent"].empty());
}

TEST_F(Sim, PauseHoldsTheGameUntilItIsLifted) {
    Level(1, {MakeEnemy(2, 300, 320)});
    auto r = RunSim(Dir, "tick 10\ndump\npause on\ntick 400\ndump\npause off\ntick\ndump\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    ASSERT_EQ(r.Dumps.size(), 3u);
    EXPECT_EQ(r.Dumps[1]["Paused"], 1);
    EXPECT_EQ(r.Dumps[1]["TransitionCounter"], r.Dumps[0]["TransitionCounter"]);
    EXPECT_EQ(r.Dumps[1]["Enemies"], r.Dumps[0]["Enemies"]);
    EXPECT_EQ(r.Dumps[1]["Sent"], nlohmann::json::array({"pause musik"}));
    EXPECT_EQ(r.Dumps[2]["Paused"], 0);
    EXPECT_NE(r.Dumps[2]["TransitionCounter"], r.Dumps[1]["TransitionCounter"]);
    EXPECT_EQ(r.Dumps[2]["Sent"][0], "resume musik");
    EXPECT_EQ(RunSim(Dir, "pause maybe\n").Status, 2);
}

TEST_F(Sim, TheSameSeedReplaysTheSameGame) {
    Level(1, {MakeEnemy(1, 100, 100), MakeEnemy(1, 300, 60), MakeEnemy(3, 200, 311), MakeEnemy(2, 350, 321)});
    std::string script;
    for (int i = 0; i < 40; ++i) script += "tick 10\n" + std::string(i % 3 ? "down space\n" : "up space\n") + "dump\n";
    auto a = RunSim(Dir, script, "--seed 42");
    auto b = RunSim(Dir, script, "--seed 42");
    auto c = RunSim(Dir, script, "--seed 43");
    ASSERT_EQ(a.Status, 0) << a.Err;
    ASSERT_EQ(a.Dumps.size(), 40u);
    EXPECT_EQ(a.Dumps, b.Dumps);
    EXPECT_NE(a.Dumps.back()["Enemies"], c.Dumps.back()["Enemies"]);  // the ghosts fly elsewhere
}

TEST_F(Sim, APictureThatCannotBeWrittenFailsTheRunAndLeavesTheOldFile) {
    Level(1, {});
    WriteFile(Dir + "old.png", {1, 2, 3});
    // A file-size limit of a kilobyte stands in for a full disk; the picture of the level takes more.
    auto r = RunSimIn(Dir, Dir, "tick 60\npng " + Dir + "old.png\npng " + Dir + "new.png\ndump\n", "", "ulimit -f 2; ");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Dumps.size(), 1u);  // the run goes on to its end
    EXPECT_NE(r.Err.find("line 2: cannot write " + Dir + "old.png: File too large"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("line 3: cannot write " + Dir + "new.png: File too large"), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFile(Dir + "old.png"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(Dir + "new.png"));
    for (const auto& entry : std::filesystem::directory_iterator(Dir))
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

TEST_F(Sim, AFailedSaveShowsItsErrorBoxInTheNextDump) {
    Level(1, {});
    const std::string nowhere = Dir + "no-such-folder/x.lev";
    auto r = RunSim(Dir, "dump\nsave " + nowhere + "\ndump\ndump\n");
    ASSERT_EQ(r.Dumps.size(), 3u);
    EXPECT_TRUE(r.Dumps[0]["Dialogs"].empty());
    EXPECT_EQ(r.Dumps[1]["Dialogs"],
              nlohmann::json::array({"Error: Der Level konnte nicht gespeichert werden:\n" + nowhere}));
    EXPECT_TRUE(r.Dumps[2]["Dialogs"].empty());
}

// A check prints its summary line for any file, also one refused before its first line.
TEST_F(Sim, VerifyOfAFileOverTheReplayLimitPrintsItsSummary) {
    const std::string huge = Dir + "huge.blubbi-replay";
    std::ofstream(huge) << "blubbi-replay 1\n";
    std::filesystem::resize_file(huge, (64u << 20) + 1);  // sparse: no disk taken
    auto r = RunSim(Dir, "", "--verify " + huge);
    EXPECT_EQ(r.Status, 2);
    ASSERT_EQ(r.Dumps.size(), 1u) << r.Err;
    EXPECT_EQ(r.Dumps[0]["status"], "malformed");
    EXPECT_NE(r.Dumps[0]["reason"].get<std::string>().find("larger than"), std::string::npos) << r.Dumps[0];
}

TEST_F(Sim, PictureIsWhatThePaintBoxShows) {
    Level(1, {});
    auto r = RunSim(Dir, "png " + Dir + "first.png\ntick 60\npng " + Dir + "later.png\n", "--size 681x425");
    ASSERT_EQ(r.Status, 0) << r.Err;
    QImage first(QString::fromStdString(Dir + "first.png")), later(QString::fromStdString(Dir + "later.png"));
    ASSERT_EQ(first.size(), QSize(681, 425));
    ASSERT_EQ(later.size(), QSize(681, 425));
    EXPECT_EQ(later.pixelColor(5, 5), QColor(128, 0, 0));  // background
    EXPECT_EQ(later.pixelColor(0, 0), QColor(0, 0, 0));    // its black edge
    // A free cell of the play field is black; the field lies centred.
    EXPECT_EQ(later.pixelColor(103 + 19 * 12 + 9, 22 + 19 * 5 + 9), QColor(0, 0, 0));
}

}  // namespace
}  // namespace blubbi::e2e
