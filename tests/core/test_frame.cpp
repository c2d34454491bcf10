// Start-up, the frame timer's gating, the order of a frame and the level-start slide.
#include "tests/support/GameFixture.h"

namespace blubbi {
namespace {

using namespace blubbi::test;

struct Frame : GameFixture {};

TEST_F(Frame, StartUpLoadsLevelOneAndEndsActive) {
    WriteLevel(1, {MakeEnemy(1, 100, 100)}, 60, 258);
    std::vector<std::string> opened;
    Platform.Loader = [&](const std::string& f) {
        opened.push_back(f.substr(Dir.size()));
        return THeadlessPlatform::MakeDib(19, 19);
    };
    Start();
    EXPECT_EQ(opened, (std::vector<std::string>{"grafiken/stein1.gif", "grafiken/figur1.gif", "grafiken/figur2.gif",
                                                "grafiken/laufe2.gif", "grafiken/feind1.gif", "grafiken/feind2.gif",
                                                "grafiken/feind3.gif", "grafiken/feind4.gif", "grafiken/leben.gif",
                                                "grafiken/item.gif"}));
    EXPECT_EQ(Game.GameActive, 1);
    EXPECT_EQ(Game.Lives, 3);
    EXPECT_EQ(Game.LevelNo, 1);
    EXPECT_EQ(Game.TransitionCounter, 100);
    EXPECT_EQ(Game.StartX, 60);  // level 1's own start position
    EXPECT_EQ(Game.Enemies->Count, 1);
    EXPECT_EQ(Platform.Presented, 0);  // the load's frame did nothing before the game was active
    EXPECT_EQ(Platform.LevelFolder, Dir + "levels");
}

TEST_F(Frame, WithoutLevelOneTheGameStartsOnTheEmptyBorderedLevel) {
    Start();
    EXPECT_EQ(std::vector<uint8_t>(Game.Grid.begin(), Game.Grid.end()), BorderGrid());
    EXPECT_EQ(Game.PlayerX, 38);
    EXPECT_EQ(Game.PlayerY, 315);
}

TEST_F(Frame, SlideTakesFiftyFramesWithTheGameStandingStill) {
    WriteLevel(1, {});
    Start();
    Game.FormKeyDown(VK_RIGHT);
    Ticks(1);  // the one full frame of the slide: the player turns/moves once
    EXPECT_EQ(Game.TransitionCounter, 98);
    EXPECT_EQ(Platform.LastPresentY, 425);  // composed below the visible area
    const int32_t x = Game.PlayerX, y = Game.PlayerY;
    const int32_t facing = Game.FacingLeft;
    for (int t = 98; t >= 2; t -= 2) {
        Ticks(1);
        EXPECT_EQ(Platform.LastPresentY, 425 * t / 100);
    }
    EXPECT_EQ(Game.TransitionCounter, 0);
    EXPECT_EQ(Game.PlayerX, x);
    EXPECT_EQ(Game.PlayerY, y);
    EXPECT_EQ(Game.FacingLeft, facing);
    EXPECT_EQ(Game.BackBuffer, nullptr);  // released when the slide ended
    Ticks(1);                             // the 51st frame is a normal one
    EXPECT_EQ(Platform.LastPresentY, 0);
    EXPECT_GT(Game.PlayerX, x);
    EXPECT_NE(Game.PrevPicture, nullptr);
}

TEST_F(Frame, GatedTicksAreLost) {
    Start();
    const int before = Platform.Presented;
    Game.InDialog = 1;
    Ticks(3);
    Game.InDialog = 0;
    Game.InEndCheck = 1;
    Ticks(3);
    Game.InEndCheck = 0;
    Game.InPaint = 1;
    Ticks(3);
    Game.InPaint = 0;
    EXPECT_EQ(Platform.Presented, before);
    Ticks(1);
    EXPECT_EQ(Platform.Presented, before + 1);
}

TEST_F(Frame, PendingEndCheckRunsBeforeTheFrameOfTheSameTick) {
    WriteLevel(1, {MakeEnemy(2, 300, 300)});
    Start();
    SkipSlide();
    (*Game.Enemies)[0].Removed = 1;
    Game.EndCheckPending = 1;
    const int before = Platform.Presented;
    Ticks(1);
    EXPECT_EQ(Game.EndCheckPending, 0);
    EXPECT_EQ(Game.Timer3Enabled, 1);
    EXPECT_EQ(Platform.Presented, before + 1);
}

TEST_F(Frame, WithoutBlockPicturesFramesEndAfterTheInput) {
    Platform.Loader = [](const std::string& f) {
        return f.find("stein1") != std::string::npos ? TDib{} : THeadlessPlatform::MakeDib(19, 19);
    };
    Start();
    Game.TransitionCounter = 0;
    Game.PlayerY = 100;  // in the air: it would fall if the frame went on
    Game.FormKeyDown(VK_RIGHT);
    Ticks(3);
    EXPECT_EQ(Game.PlayerY, 100);
    EXPECT_EQ(Game.FacingLeft, 0);
    EXPECT_GT(Game.PlayerX, 38);  // the input phase still ran
    EXPECT_EQ(Platform.Presented, 0);
    EXPECT_EQ(Game.InPaint, 0);
}

TEST_F(Frame, LosingTheLastLifeShowsGameOverFromInsideTheFrame) {
    WriteLevel(1, {MakeEnemy(2, 38, 300)});  // stands on the player
    Start();
    SkipSlide();
    Game.Lives = 1;
    Platform.GameOverAnswer = TModalResult::Ok;
    int ticks = 0;
    while (Platform.Dialogs.empty() && ticks < 100) {
        Ticks(1);
        ++ticks;
    }
    ASSERT_EQ(Platform.Dialogs, std::vector<std::string>{"GameOver"});
    EXPECT_EQ(Game.Lives, 3);
    EXPECT_EQ(Game.TransitionCounter, 100);
    EXPECT_EQ(Game.InPaint, 0);
    EXPECT_EQ(Game.InDialog, 0);
}

TEST_F(Frame, ShutdownClosesTheSoundsAndReleasesEverything) {
    Start();
    Ticks(2);
    Platform.Sent.clear();
    Game.FormDestroy();
    EXPECT_EQ(Platform.Sent, (std::vector<std::string>{"close blasen", "close platzen", "close springen", "close feder",
                                                       "close sammeln", "close getroffen", "close musik"}));
    EXPECT_EQ(Game.Enemies, nullptr);
    EXPECT_EQ(Game.Sheets[kSlotStein1].Bits, nullptr);
}

}  // namespace
}  // namespace blubbi
