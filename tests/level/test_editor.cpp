// The level editor: painting and dragging cells, placing and removing enemies, new level, files.
#include "tests/support/GameFixture.h"

namespace blubbi {
namespace {

using namespace blubbi::test;

// At the start size (681 x 425) the field's corner lies at (103, 22).
constexpr int kOx = (681 - 475) / 2, kOy = (425 - 380) / 2;

struct Editor : GameFixture {
    void SetUp() override {
        GameFixture::SetUp();
        Start();
        SkipSlide();
        Game.Editormodus1Click();
    }
    uint8_t Cell(int c, int r) const { return Game.Grid[c * 20 + r]; }
    int Px(int col) const { return kOx + col * 19; }
    int Py(int row) const { return kOy + row * 19; }
};

TEST_F(Editor, OffEditorModeTheMouseDoesNothing) {
    Game.Editormodus1Click();
    Game.PaintBox1MouseDown(TMouseButton::mbLeft, Px(5), Py(5));
    EXPECT_EQ(Cell(5, 5), 0);
    EXPECT_EQ(Game.CellDragActive, 0);
}

TEST_F(Editor, LeftDragPaintsBlocksAndRightDragClearsThem) {
    Game.PaintBox1MouseDown(TMouseButton::mbLeft, Px(3) + 18, Py(4) + 18);  // the cell's last pixel
    EXPECT_EQ(Cell(3, 4), 1);
    EXPECT_EQ(Game.CellDragValue, 1);
    for (int c = 4; c <= 10; ++c) Game.PaintBox1MouseMove(Px(c), Py(4));
    Game.PaintBox1MouseUp(TMouseButton::mbLeft, Px(10), Py(4));
    for (int c = 3; c <= 10; ++c) EXPECT_EQ(Cell(c, 4), 1) << c;
    Game.PaintBox1MouseMove(Px(11), Py(4));  // no drag after the release
    EXPECT_EQ(Cell(11, 4), 0);

    Game.PaintBox1MouseDown(TMouseButton::mbRight, Px(5), Py(4));
    Game.PaintBox1MouseMove(Px(6), Py(4));
    Game.PaintBox1MouseUp(TMouseButton::mbRight, Px(6), Py(4));
    EXPECT_EQ(Cell(5, 4), 0);
    EXPECT_EQ(Cell(6, 4), 0);
    EXPECT_EQ(Cell(7, 4), 1);
    Game.PaintBox1MouseDown(TMouseButton::mbMiddle, Px(0), Py(0));  // the border is not protected
    EXPECT_EQ(Cell(0, 0), 0);
}

TEST_F(Editor, PressOutsideTheFieldStillStartsADragWithTheLastValue) {
    Game.PaintBox1MouseDown(TMouseButton::mbLeft, kOx - 1, kOy + 40);
    EXPECT_EQ(Game.CellDragActive, 1);
    EXPECT_EQ(Game.CellDragValue, 0);  // no press has hit a cell yet
    Game.PaintBox1MouseMove(Px(0), Py(5));
    EXPECT_EQ(Cell(0, 5), 0);
    Game.PaintBox1MouseUp(TMouseButton::mbLeft, 0, 0);
    Game.PaintBox1MouseDown(TMouseButton::mbLeft, Px(8), Py(8));
    Game.PaintBox1MouseUp(TMouseButton::mbLeft, 0, 0);
    Game.PaintBox1MouseDown(TMouseButton::mbRight, 5, 5);
    Game.PaintBox1MouseMove(Px(9), Py(8));
    EXPECT_EQ(Cell(9, 8), 1);  // the last press that hit a cell made a block
}

TEST_F(Editor, DraggingRunsAFrameForEveryMoveOverACell) {
    Game.PaintBox1MouseDown(TMouseButton::mbLeft, Px(3), Py(4));
    const int before = Platform.Presented;
    Game.PaintBox1MouseMove(Px(3), Py(4));
    Game.PaintBox1MouseMove(Px(3) + 1, Py(4));
    Game.PaintBox1MouseMove(1, 1);  // outside: nothing
    EXPECT_EQ(Platform.Presented - before, 2);
}

TEST_F(Editor, FieldOriginFollowsThePaintBoxSize) {
    Platform.Width = 400;  // smaller than the field: the corner lies left of the paint box
    Platform.Height = 380;
    const int ox = (400 - 475) / 2;  // -37, truncated toward zero
    Game.PaintBox1MouseDown(TMouseButton::mbLeft, ox + 2 * 19, 19);
    EXPECT_EQ(Game.PlayFieldX, -37);
    EXPECT_EQ(Cell(2, 1), 1);
}

TEST_F(Editor, EnemiesAreInsertedWithTheirKindsSizeAtTheClickPoint) {
    const int32_t sizes[4][2] = {{46, 60}, {50, 40}, {30, 40}, {44, 50}};
    for (int kind = 1; kind <= 4; ++kind) {
        Game.SetInsertKind(kind);
        Game.PaintBox1MouseDown(TMouseButton::mbLeft, kOx + 10 * kind, kOy - 5);
    }
    ASSERT_EQ(Game.Enemies->Count, 4);
    for (int i = 0; i < 4; ++i) {
        const TEnemy& e = (*Game.Enemies)[i];
        EXPECT_EQ(e.Kind, i);
        EXPECT_EQ(e.X, 10 * (i + 1));
        EXPECT_EQ(e.Y, -5);  // not snapped, not kept inside the field
        EXPECT_EQ(e.Width, sizes[i][0]);
        EXPECT_EQ(e.Height, sizes[i][1]);
        EXPECT_EQ(e.Timer, 0);
        EXPECT_EQ(e.SpeedY, 0);
    }
}

TEST_F(Editor, RightClickRemovesOnlyTheEarliestEnemyUnderThePoint) {
    Game.FeindGeisteinfgen1Click();
    Game.PaintBox1MouseDown(TMouseButton::mbLeft, kOx + 100, kOy + 100);
    Game.FeindBlauesMnneleinfgen1Click();
    Game.PaintBox1MouseDown(TMouseButton::mbLeft, kOx + 110, kOy + 110);
    ASSERT_EQ(Game.Enemies->Count, 2);
    Game.PaintBox1MouseDown(TMouseButton::mbRight, kOx + 150, kOy + 140);  // both boxes, edges included
    ASSERT_EQ(Game.Enemies->Count, 1);
    EXPECT_EQ((*Game.Enemies)[0].Kind, kBlauesMaennel);
    Game.PaintBox1MouseDown(TMouseButton::mbMiddle, kOx + 141, kOy + 151);  // just outside
    EXPECT_EQ(Game.Enemies->Count, 1);
    Game.PaintBox1MouseDown(TMouseButton::mbMiddle, kOx + 140, kOy + 150);  // the far corner
    EXPECT_EQ(Game.Enemies->Count, 0);
}

TEST_F(Editor, DeletingTrappedEnemiesNeverReachesOutsideTheList) {
    Game.FeindBlauesMnneleinfgen1Click();
    Game.PaintBox1MouseDown(TMouseButton::mbLeft, kOx + 100, kOy + 300);
    Game.PaintBox1MouseDown(TMouseButton::mbLeft, kOx + 300, kOy + 300);
    TBubble* b = Game.Bubbles->Append();
    b->X = 250;
    b->Y = 100;
    b->SpawnTick = Platform.Clock - 9990;  // lets its enemy go within a few frames
    b->HasEnemy = 1;
    b->EnemyIndex = 1;
    (*Game.Enemies)[1].Trapped = 1;
    Game.PaintBox1MouseDown(TMouseButton::mbRight, kOx + 101, kOy + 301);
    Ticks(10);
    Game.Bubbles->Append()->HasEnemy = 1;
    (*Game.Bubbles)[0].EnemyIndex = 5;
    Game.NeuesLevel1Click();
    EXPECT_EQ(Game.Enemies->Count, 0);
    Ticks(10);
    SUCCEED();  // the sanitizers watch the reads
}

TEST_F(Editor, DeletingAnEnemyKeepsEveryBubbleOnItsOwnEnemy) {
    Game.FeindBlauesMnneleinfgen1Click();
    for (const int x : {60, 160, 260}) Game.PaintBox1MouseDown(TMouseButton::mbLeft, kOx + x, kOy + 300);
    const auto trap = [&](int32_t enemy, int32_t x) {
        TBubble* b = Game.Bubbles->Append();
        b->X = x;
        b->Y = 100;
        b->SpawnTick = Platform.Clock - 9990;  // lets its enemy go within a few frames
        b->HasEnemy = 1;
        b->EnemyIndex = enemy;
        (*Game.Enemies)[enemy].Trapped = 1;
    };
    trap(1, 200);  // the middle enemy
    trap(0, 350);  // the first one, about to be deleted
    Game.PaintBox1MouseDown(TMouseButton::mbRight, kOx + 61, kOy + 301);
    ASSERT_EQ(Game.Enemies->Count, 2);
    EXPECT_EQ((*Game.Bubbles)[0].HasEnemy, 1);
    EXPECT_EQ((*Game.Bubbles)[0].EnemyIndex, 0);  // followed its enemy one place down
    EXPECT_EQ((*Game.Bubbles)[1].HasEnemy, 0);    // its enemy is gone
    Ticks(10);                                    // both run out of time and burst
    ASSERT_EQ(Game.Bubbles->Count, 0);
    const TEnemy &middle = (*Game.Enemies)[0], &last = (*Game.Enemies)[1];
    EXPECT_EQ(middle.Trapped, 0);
    EXPECT_NEAR(middle.X, 200 + 19 - 15, 6);  // let go at its bubble's centre (it may drift)
    EXPECT_EQ(last.Trapped, 0);
    EXPECT_EQ(last.X, 260);  // never in a bubble
}

TEST_F(Editor, NewLevelIsBorderedAndKeepsEverythingElse) {
    Game.Grid.fill(0);
    Game.Bubbles->Append();
    Game.PlayerX = 200;
    Game.LevelNo = 4;
    Game.NeuesLevel1Click();
    EXPECT_EQ(std::vector<uint8_t>(Game.Grid.begin(), Game.Grid.end()), BorderGrid());
    EXPECT_EQ(Game.Bubbles->Count, 1);
    EXPECT_EQ(Game.PlayerX, 200);
    EXPECT_EQ(Game.LevelNo, 4);
}

TEST_F(Editor, OpenAndSaveGoThroughTheFileDialogs) {
    Platform.NextSaveFile = Dir + "mine.lev";
    Game.PlayerX = 123;
    Game.SaveBtnClick();
    EXPECT_EQ(ReadFile(Dir + "mine.lev").size(), 512u);
    EXPECT_EQ(Platform.LevelFolder, Dir + "levels");
    Game.Grid[30] = 1;
    Platform.NextOpenFile = "";  // cancelled: nothing happens
    Game.OpenBtnClick();
    EXPECT_EQ(Game.Grid[30], 1);
    Platform.NextOpenFile = Dir + "mine.lev";
    Game.LevelNo = 3;
    Game.OpenBtnClick();
    EXPECT_EQ(Game.Grid[30], 0);
    EXPECT_EQ(Game.StartX, 123);
    EXPECT_EQ(Game.LevelNo, 3);
}

// Every editor step is taken back and brought again in order, a drag as one step; a new step drops
// what could be redone; the level counts as changed exactly when it differs from the one saved.
TEST_F(Editor, UndoAndRedoWalkEveryStepAndKnowTheSavedLevel) {
    using TLevel = std::pair<std::vector<uint8_t>, std::vector<std::array<int32_t, 3>>>;
    const auto now = [&] {
        TLevel level{std::vector<uint8_t>(Game.Grid.begin(), Game.Grid.end()), {}};
        for (int32_t i = 0; i < Game.Enemies->Count; ++i)
            level.second.push_back({(*Game.Enemies)[i].Kind, (*Game.Enemies)[i].X, (*Game.Enemies)[i].Y});
        return level;
    };
    EXPECT_FALSE(Game.LevelChanged());
    std::vector<TLevel> seen{now()};
    Game.PaintBox1MouseDown(TMouseButton::mbLeft, Px(3), Py(4));
    for (int c = 4; c <= 8; ++c) Game.PaintBox1MouseMove(Px(c), Py(4));
    Game.PaintBox1MouseUp(TMouseButton::mbLeft, Px(8), Py(4));
    seen.push_back(now());
    Game.FeindGeisteinfgen1Click();
    for (int x : {150, 300}) {
        Game.PaintBox1MouseDown(TMouseButton::mbLeft, kOx + x, kOy + 100);
        seen.push_back(now());
    }
    Game.PaintBox1MouseDown(TMouseButton::mbRight, kOx + 160, kOy + 110);  // the first goes, the second moves up
    seen.push_back(now());
    Game.NeuesLevel1Click();
    seen.push_back(now());
    ASSERT_EQ(seen.back().second.size(), 0u);

    for (size_t i = seen.size() - 1; i > 0; --i) {
        Game.Rckgngig1Click();
        EXPECT_EQ(now(), seen[i - 1]) << "undo to " << i - 1;
    }
    // The new level was the last taken as it is: the one loaded before it is changed work again.
    EXPECT_TRUE(Game.LevelChanged());
    EXPECT_FALSE(Game.History.CanUndo());
    for (size_t i = 1; i < seen.size(); ++i) {
        Game.Wiederherstellen1Click();
        EXPECT_EQ(now(), seen[i]) << "redo to " << i;
    }
    EXPECT_FALSE(Game.LevelChanged());

    Game.Rckgngig1Click();
    Game.Rckgngig1Click();
    Platform.NextSaveFile = Dir + "mine.lev";
    Game.SaveBtnClick();
    EXPECT_FALSE(Game.LevelChanged());
    Game.Wiederherstellen1Click();
    EXPECT_TRUE(Game.LevelChanged());
    Game.Rckgngig1Click();
    EXPECT_FALSE(Game.LevelChanged());
    Game.Rckgngig1Click();
    Game.PaintBox1MouseDown(TMouseButton::mbLeft, Px(10), Py(10));  // a new step: the saved level is gone for good
    Game.PaintBox1MouseUp(TMouseButton::mbLeft, Px(10), Py(10));
    EXPECT_FALSE(Game.History.CanRedo());
    Game.Rckgngig1Click();
    EXPECT_TRUE(Game.LevelChanged());

    Platform.NextOpenFile = Dir + "mine.lev";
    Game.OpenBtnClick();
    EXPECT_FALSE(Game.LevelChanged());
    EXPECT_FALSE(Game.History.CanUndo());
}

}  // namespace
}  // namespace blubbi
