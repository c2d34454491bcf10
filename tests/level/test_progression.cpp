// Level progression: the end check's outcomes, the pause, next level, win, game over, new game, cheat.
#include "tests/support/GameFixture.h"

namespace blubbi {
namespace {

using namespace blubbi::test;

struct Progression : GameFixture {
    // Marks every enemy as popped, as a bubble does, and asks for the check.
    void PopAll() {
        for (int i = 0; i < Game.Enemies->Count; ++i) (*Game.Enemies)[i].Removed = 1;
        Game.EndCheckPending = 1;
    }
};

TEST(LeadZero, PadsToWidthAndKeepsLongerStrings) {
    EXPECT_EQ(TMainForm::leadzero("7", 3), "007");
    EXPECT_EQ(TMainForm::leadzero("12", 3), "012");
    EXPECT_EQ(TMainForm::leadzero("1234", 3), "1234");
}

TEST_F(Progression, LevelFileNamesLieBesideTheProgram) {
    Start();
    EXPECT_EQ(LevelPath(1), Dir + "levels/level001.lev");
    EXPECT_EQ(LevelPath(12), Dir + "levels/level012.lev");
    EXPECT_EQ(LevelPath(1000), Dir + "levels/level1000.lev");
}

TEST_F(Progression, FinishedLevelLoadsTheNextOneThreeSecondsLaterWithASlide) {
    WriteLevel(1, {MakeEnemy(2, 300, 300)});
    WriteLevel(2, {MakeEnemy(1, 100, 100), MakeEnemy(1, 200, 100)}, 60, 296);
    Start();
    SkipSlide();
    Game.Items->Append();  // items lying about do not hold the level up
    PopAll();
    Ticks(1);
    EXPECT_EQ(Game.EndCheckPending, 0);
    EXPECT_EQ(Game.Timer2Enabled, 1);
    EXPECT_EQ(Game.Timer3Enabled, 0);
    EXPECT_EQ(Game.LevelNo, 1);
    Ticks(119);  // 2975 ms since the check
    EXPECT_EQ(Game.LevelNo, 1);
    Ticks(1);
    EXPECT_EQ(Game.LevelNo, 2);
    EXPECT_EQ(Game.Timer2Enabled, 0);
    EXPECT_EQ(Game.Enemies->Count, 2);
    EXPECT_EQ(Game.StartX, 60);
    EXPECT_EQ(Game.TransitionCounter, 98);  // the frame of the same tick began the slide
}

TEST_F(Progression, FreeEnemyMeansNotFinishedAndNoEnemiesNeverFinish) {
    WriteLevel(1, {MakeEnemy(2, 300, 300), MakeEnemy(2, 100, 300)});
    Start();
    SkipSlide();
    (*Game.Enemies)[0].Removed = 1;
    Game.EndCheckPending = 1;
    Ticks(1);
    EXPECT_EQ(Game.EndCheckPending, 0);
    EXPECT_EQ(Game.Timer2Enabled + Game.Timer3Enabled, 0);

    Game.NewBtnClick();  // no enemies at all: nothing ever asks for the check
    Ticks(200);
    EXPECT_EQ(Game.Timer2Enabled + Game.Timer3Enabled, 0);
    EXPECT_EQ(Game.LevelNo, 1);
}

TEST_F(Progression, TrappedEnemiesWaitForTheBubblesEveryTick) {
    WriteLevel(1, {MakeEnemy(2, 300, 300)});
    WriteLevel(2, {});
    Start();
    SkipSlide();
    (*Game.Enemies)[0].Trapped = 1;
    Game.EndCheckPending = 1;
    TBubble* b = Game.Bubbles->Append();
    b->X = 200;
    b->Y = 200;
    b->SpawnTick = Platform.Clock;
    b->HasEnemy = 1;
    Game.checkendeNow();
    EXPECT_EQ(Game.EndCheckPending, 1);
    EXPECT_EQ(Game.InEndCheck, 0);
    EXPECT_EQ(Game.Timer2Enabled, 0);
    // Once the bubbles are gone the level is finished.
    Game.Bubbles->Clear();
    Game.checkendeNow();
    EXPECT_EQ(Game.EndCheckPending, 0);
    EXPECT_EQ(Game.Timer2Enabled, 1);
}

TEST_F(Progression, LastLevelShowsTheWinDialogThenLevelOneWithPointsKept) {
    WriteLevel(1, {MakeEnemy(2, 300, 300)}, 100, 296);
    Start();
    SkipSlide();
    Game.Score = 555;
    Game.Lives = 1;
    Game.KeyLeft = 1;
    int framesDuringDialog = 0;
    Platform.DuringWin = [&] {
        EXPECT_EQ(Game.InDialog, 1);
        const int before = Platform.Presented;
        Ticks(5);  // the frame timer idles behind the win dialog
        framesDuringDialog = Platform.Presented - before;
    };
    PopAll();
    Ticks(1);
    EXPECT_EQ(Game.Timer3Enabled, 1);
    Ticks(120);
    ASSERT_EQ(Platform.Dialogs, std::vector<std::string>{"Win"});
    EXPECT_EQ(framesDuringDialog, 0);
    EXPECT_EQ(Game.LevelNo, 1);
    EXPECT_EQ(Game.Score, 555);
    EXPECT_EQ(Game.Lives, 3);
    EXPECT_EQ(Game.KeyLeft, 0);
    EXPECT_EQ(Game.InDialog, 0);
    EXPECT_EQ((*Game.Enemies)[0].Removed, 0);
}

TEST_F(Progression, GameOverContinueReloadsTheLevelWithThreeLivesAndNoPoints) {
    WriteLevel(1, {MakeEnemy(2, 300, 300)});
    WriteLevel(2, {MakeEnemy(1, 100, 100)}, 200, 201);
    Start();
    Game.LevelNo = 2;
    Game.Score = 77;
    Game.Lives = 0;
    Game.KeyFire = 1;
    Platform.GameOverAnswer = TModalResult::Ok;
    Game.GameOverNow();
    ASSERT_EQ(Platform.GameOverPoints, std::vector<std::string>{"77"});
    EXPECT_EQ(Game.LevelNo, 2);
    EXPECT_EQ(Game.Lives, 3);
    EXPECT_EQ(Game.Score, 0);
    EXPECT_EQ(Game.KeyFire, 0);
    EXPECT_EQ(Game.StartX, 200);
    EXPECT_EQ(Game.TransitionCounter, 100);
    EXPECT_EQ(Game.InDialog, 0);
}

TEST_F(Progression, GameOverNewGameStartsLevelOneAtTheDefaultPlace) {
    WriteLevel(1, {MakeEnemy(2, 300, 300)}, 250, 201);
    WriteLevel(2, {}, 200, 201);
    Start();
    Game.LevelNo = 2;
    Game.Score = 77;
    Platform.GameOverAnswer = TModalResult::Cancel;  // "&Neues Spiel", Esc or the close box
    Game.GameOverNow();
    EXPECT_EQ(Game.LevelNo, 1);
    EXPECT_EQ(Game.Score, 0);
    EXPECT_EQ(Game.Lives, 3);
    EXPECT_EQ(Game.StartX, 38);
    EXPECT_EQ(Game.StartY, 315);
    EXPECT_EQ(Game.PlayerX, 38);
    EXPECT_EQ(Game.PlayerY, 315);
}

TEST_F(Progression, PendingTimerIsNotStoppedByANewGame) {
    WriteLevel(1, {MakeEnemy(2, 300, 300)});
    WriteLevel(2, {});
    Start();
    SkipSlide();
    PopAll();
    Ticks(1);
    Game.NeuesSpiel1Click();
    EXPECT_EQ(Game.Timer2Enabled, 1);
    Ticks(120);
    EXPECT_EQ(Game.LevelNo, 2);
}

TEST_F(Progression, CheatCodeInAnyCaseAsTheTailOfLongerText) {
    WriteLevel(1, {MakeEnemy(2, 300, 300)});
    WriteLevel(2, {MakeEnemy(1, 100, 100)});
    Start();
    Game.Score = 9;
    for (char c : std::string("hello sKiPaHeAd")) Game.FormKeyPress(c);
    EXPECT_EQ(Game.LevelNo, 2);
    EXPECT_EQ(Game.CheatBuffer, "sKiPaHeAd");
    EXPECT_EQ(Game.TransitionCounter, 100);
    EXPECT_EQ(Game.Score, 9);
    // On the last level the code does nothing.
    for (char c : std::string("skipahead")) Game.FormKeyPress(c);
    EXPECT_EQ(Game.LevelNo, 2);
    // The buffer is kept after a match: one more character pushes the code out.
    Game.LevelNo = 1;
    Game.FormKeyPress('x');
    EXPECT_EQ(Game.LevelNo, 1);
    EXPECT_EQ(Game.CheatBuffer, "kipaheadx");
}

// A run may start at another of the game's own levels; the game goes on from there as usual.
TEST_F(Progression, StartAtAnotherLevelLoadsItAndContinuesFromIt) {
    WriteLevel(1, {MakeEnemy(2, 300, 300)});
    WriteLevel(2, {MakeEnemy(1, 100, 100), MakeEnemy(1, 200, 100)}, 60, 296);
    WriteLevel(3, {});
    Game.StartLevelNo = 2;
    Start();
    EXPECT_EQ(Game.LevelNo, 2);
    EXPECT_EQ(Game.Enemies->Count, 2);
    EXPECT_EQ(Game.PlayerX, 60);
    EXPECT_EQ(Game.Lives, 3);
    SkipSlide();
    PopAll();
    Ticks(121);  // the check, then 3000 ms
    EXPECT_EQ(Game.LevelNo, 3);
}

TEST_F(Progression, GameOverDialogHoldsTheFrameTimer) {
    WriteLevel(1, {});
    Start();
    SkipSlide();
    int frames = -1;
    Platform.DuringGameOver = [&] {
        const int before = Platform.Presented;
        Ticks(10);
        frames = Platform.Presented - before;
    };
    Game.GameOverNow();
    EXPECT_EQ(frames, 0);
}

}  // namespace
}  // namespace blubbi
