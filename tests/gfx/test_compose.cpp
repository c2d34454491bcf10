// Composed frames: background, field position, blocks, lives row and the level-start slide.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include "GfxTestSupport.h"
#include "game/MainForm.h"
#include "gfx/Screen.h"
#include "platform/headless/HeadlessPlatform.h"

namespace blubbi {
namespace {

constexpr TColor kDarkRed = RGB(128, 0, 0);

// The headless platform with a real paint box that remembers what was shown where.
class TScreenPlatform : public THeadlessPlatform {
public:
    struct TShown {
        const TPicture* Picture;
        int X, Y;
    };
    TScreen Screen{681, 425};
    std::vector<TShown> Shown;
    std::vector<std::array<int, 4>> BlackRectangles;

    void SetSize(int width, int height) {
        Width = width;
        Height = height;
        Screen.Resize(width, height);
    }
    std::unique_ptr<TPicture> NewPicture(int width, int height) override { return Screen.NewPicture(width, height); }
    void Present(const TPicture& picture, int x, int y) override {
        THeadlessPlatform::Present(picture, x, y);
        Shown.push_back({&picture, x, y});
        Screen.Present(picture, x, y);
    }
    void PaintBoxRectangle(int x1, int y1, int x2, int y2, TColor color) override {
        if (color == clBlack) BlackRectangles.push_back({x1, y1, x2, y2});
        Screen.Rectangle(x1, y1, x2, y2, color);
    }
};

// A 19 x 19 block whose pixel (x, y) has index 100 + (x + y) % 50, and a 20 x 20 life icon
// of index 77 around a key pixel.
TDib BlockSheet(int size = 19) {
    return test::MakeSheet(size, size, [](int x, int y) { return static_cast<uint8_t>(100 + (x + y) % 50); });
}
TDib LifeSheet() {
    return test::MakeSheet(20, 20, [](int x, int y) { return x == 0 && y == 0 ? 0 : 77; });
}

class ComposedFrame : public testing::Test {
protected:
    TScreenPlatform Platform;
    TMainForm Form{Platform};

    void SetUp() override {
        Form.Sheets[kSlotStein1] = BlockSheet();
        Form.Sheets[kSlotLeben] = LifeSheet();
        Form.LevelNo = 1;
    }
    void Compose() {
        Form.NewBackBuffer();
        Form.DrawGrid();
        Form.DrawStatus();
    }
    const QImage& Picture() const { return dynamic_cast<const TImagePicture&>(*Form.BackBuffer).Image(); }
    TColor At(int x, int y) const { return ColourOf(Picture().pixel(x, y)); }
    TColor BlockColour(int x, int y) const {
        const TDib& sheet = Form.Sheets[kSlotStein1];
        const TRGBQuad& c = sheet.Colours[static_cast<uint8_t>(getpixel(sheet, x, y))];
        return RGB(c.Red, c.Green, c.Blue);
    }
};

TEST_F(ComposedFrame, DarkRedBackgroundWithABlackEdgeAroundTheField) {
    Compose();
    ASSERT_EQ(Form.PlayFieldX, 103);
    ASSERT_EQ(Form.PlayFieldY, 22);
    EXPECT_EQ(At(0, 0), clBlack);
    EXPECT_EQ(At(340, 0), clBlack);
    EXPECT_EQ(At(0, 200), clBlack);
    EXPECT_EQ(At(680, 424), clBlack);
    EXPECT_EQ(At(1, 1), kDarkRed);
    EXPECT_EQ(At(679, 423), kDarkRed);
    // The field of free cells: black from 103 to 577 and from 22 to 401.
    EXPECT_EQ(At(102, 200), kDarkRed);
    EXPECT_EQ(At(103, 200), clBlack);
    EXPECT_EQ(At(577, 200), clBlack);
    EXPECT_EQ(At(578, 200), kDarkRed);
    EXPECT_EQ(At(450, 21), kDarkRed);
    EXPECT_EQ(At(450, 22), clBlack);
    EXPECT_EQ(At(450, 401), clBlack);
    EXPECT_EQ(At(450, 402), kDarkRed);
}

TEST_F(ComposedFrame, FieldIsCentredWithTruncatingDivision) {
    struct TCase {
        int Width, Height, FieldX, FieldY;
    };
    for (const TCase& c : {TCase{681, 425, 103, 22}, TCase{475, 380, 0, 0}, TCase{476, 383, 0, 1},
                           TCase{474, 379, 0, 0}, TCase{400, 300, -37, -40}, TCase{100, 50, -187, -165}}) {
        Platform.SetSize(c.Width, c.Height);
        Form.Grid.fill(0);
        Form.Grid[12 * kRows + 10] = 1;  // field pixels 228..246 x 190..208
        Compose();
        ASSERT_EQ(Form.PlayFieldX, c.FieldX) << c.Width;
        ASSERT_EQ(Form.PlayFieldY, c.FieldY) << c.Height;
        const int bx = c.FieldX + 228, by = c.FieldY + 190;
        EXPECT_EQ(At(bx, by), BlockColour(0, 0)) << c.Width;
        EXPECT_EQ(At(bx + 7, by + 3), BlockColour(7, 3)) << c.Width;
        EXPECT_EQ(At(bx + 18, by + 18), BlockColour(18, 18)) << c.Width;
        EXPECT_EQ(At(bx - 1, by), clBlack) << c.Width;
        EXPECT_EQ(At(bx + 19, by + 19), clBlack) << c.Width;
    }
}

TEST_F(ComposedFrame, FieldAsLargeAsTheBoxCoversTheEdge) {
    Platform.SetSize(475, 380);
    Form.Grid.fill(0);
    Form.Grid[0] = 1;
    Compose();
    EXPECT_EQ(At(0, 0), BlockColour(0, 0));
    EXPECT_EQ(At(474, 379), clBlack);  // a free cell, not the edge
    EXPECT_EQ(At(0, 379), clBlack);
    for (const int y : {25, 200, 379}) {
        for (int x = 0; x < 475; x += 3) ASSERT_NE(At(x, y), kDarkRed) << x << "," << y;
    }
}

TEST_F(ComposedFrame, OnlyValueOneIsABlock) {
    Form.Grid.fill(0);
    Form.Grid[5 * kRows + 5] = 2;
    Form.Grid[6 * kRows + 5] = 1;
    Compose();
    EXPECT_EQ(At(103 + 5 * 19 + 4, 22 + 5 * 19 + 4), clBlack);
    EXPECT_EQ(At(103 + 6 * 19 + 4, 22 + 5 * 19 + 4), BlockColour(4, 4));
}

TEST_F(ComposedFrame, LargerBlockPictureIsScaledIntoTheCell) {
    Form.Sheets[kSlotStein1] = BlockSheet(38);
    Form.Grid.fill(0);
    Form.Grid[3 * kRows + 4] = 1;
    Compose();
    const int x0 = 103 + 3 * 19, y0 = 22 + 4 * 19;
    for (int j = 0; j < 19; ++j) {
        for (int i = 0; i < 19; ++i) ASSERT_EQ(At(x0 + i, y0 + j), BlockColour(2 * i, 2 * j)) << i << "," << j;
    }
}

TEST_F(ComposedFrame, LivesLieAt0_22_44OnRow361) {
    Form.Grid.fill(0);
    Form.Lives = 3;
    Compose();
    const TColor icon = RGB(77, 178, 27);  // palette entry 77 of the test sheets
    for (const int x : {0, 22, 44}) {
        EXPECT_EQ(At(103 + x, 22 + 361), clBlack) << x;  // the key pixel at the icon's corner
        EXPECT_EQ(At(103 + x + 1, 22 + 361), icon) << x;
        EXPECT_EQ(At(103 + x + 19, 22 + 361 + 18), icon) << x;
        EXPECT_EQ(At(103 + x + 20, 22 + 361 + 5), clBlack) << x;  // the gap of 2 pixels
        EXPECT_EQ(At(103 + x + 5, 22 + 360), clBlack) << x;
    }
    EXPECT_EQ(At(103 + 66 + 5, 22 + 361 + 5), clBlack);
}

TEST_F(ComposedFrame, NoLivesNoIcons) {
    Form.Grid.fill(0);
    for (const int lives : {0, -2}) {
        Form.Lives = lives;
        Compose();
        for (int x = 0; x < 120; ++x) ASSERT_EQ(At(103 + x, 22 + 370), clBlack) << x;
    }
}

TEST_F(ComposedFrame, StatusTextIsWhiteWithBlackShadowsNearTheFieldCorner) {
    Form.Grid.fill(1);  // blocks under the text, so the shadows show
    Form.Score = 4711;
    Compose();
    int white = 0, whiteFarAway = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 300; ++x) {
            if (At(103 + x, 22 + y) != clWhite) continue;
            ++white;
            if (y > 22 || (x > 80 && x < 108) || x > 230) ++whiteFarAway;
        }
    }
    EXPECT_GT(white, 100);
    EXPECT_EQ(whiteFarAway, 0);
}

TEST_F(ComposedFrame, SlideRisesOutOfBlackAndThenPushesThePreviousPictureOut) {
    Form.Grid.fill(0);
    Form.TransitionCounter = 100;
    Compose();
    const TPicture* first = Form.BackBuffer.get();
    std::vector<int> offsets;
    while (Form.TransitionCounter > 0) {
        if (Form.TransitionCounter == 50) {
            Form.PresentPicture();
            // Rows 0..211 black, then the picture's black top edge, then dark red.
            EXPECT_EQ(At(5, 5), kDarkRed);
            EXPECT_EQ(ColourOf(Platform.Screen.Image().pixel(5, 211)), clBlack);
            EXPECT_EQ(ColourOf(Platform.Screen.Image().pixel(5, 212)), clBlack);
            EXPECT_EQ(ColourOf(Platform.Screen.Image().pixel(5, 213)), kDarkRed);
            offsets.push_back(Platform.Shown.back().Y);
            continue;
        }
        Form.PresentPicture();
        ASSERT_EQ(Platform.Shown.back().Picture, first);
        offsets.push_back(Platform.Shown.back().Y);
    }
    ASSERT_EQ(offsets.size(), 50u);
    EXPECT_EQ(offsets.front(), 425);
    EXPECT_EQ(offsets[1], 416);  // 425 * 98 div 100
    EXPECT_EQ(offsets.back(), 8);
    ASSERT_EQ(Platform.BlackRectangles.size(), 50u);
    EXPECT_EQ(Platform.BlackRectangles.front(), (std::array<int, 4>{0, 0, 681, 425}));
    EXPECT_EQ(Platform.BlackRectangles[1], (std::array<int, 4>{0, 0, 681, 416}));
    EXPECT_EQ(Form.BackBuffer, nullptr);  // released with the slide's last frame

    // A normal frame keeps its picture for the next slide.
    Compose();
    const TPicture* normal = Form.BackBuffer.get();
    Form.PresentPicture();
    EXPECT_EQ(Platform.Shown.back().Y, 0);
    EXPECT_EQ(Form.PrevPicture.get(), normal);
    EXPECT_EQ(Form.BackBuffer, nullptr);

    Form.TransitionCounter = 100;
    Form.Score = 1;
    Compose();
    const size_t before = Platform.Shown.size();
    Form.PresentPicture();
    Form.PresentPicture();
    ASSERT_EQ(Platform.Shown.size(), before + 4);
    EXPECT_EQ(Platform.Shown[before + 1].Picture, normal);
    EXPECT_EQ(Platform.Shown[before + 1].Y, 0);
    EXPECT_EQ(Platform.Shown[before + 2].Y, 416);
    EXPECT_EQ(Platform.Shown[before + 3].Picture, normal);
    EXPECT_EQ(Platform.Shown[before + 3].Y, -8);  // 425 * -2 div 100, toward zero
    EXPECT_EQ(Platform.BlackRectangles.size(), 50u);
    while (Form.TransitionCounter > 0) Form.PresentPicture();
    EXPECT_EQ(Form.PrevPicture.get(), normal);  // untouched by the slide
    Compose();
    Form.PresentPicture();
    EXPECT_NE(Form.PrevPicture.get(), normal);
}

TEST_F(ComposedFrame, NothingToShowIsNoCrash) {
    Form.PresentPicture();
    EXPECT_TRUE(Platform.Shown.empty());
    Form.DrawGrid();
    Form.DrawStatus();
    Form.TransitionCounter = 50;
    Form.PresentPicture();
    EXPECT_EQ(Form.TransitionCounter, 48);
    EXPECT_TRUE(Platform.Shown.empty());
}

TEST(WholeFrames, FirstLevelRisesIntoTheBoxAndStays) {
    TScreenPlatform platform;
    const TDib block = BlockSheet();
    platform.Loader = [](const std::string& file) {
        return file.find("leben") != std::string::npos ? LifeSheet() : BlockSheet();
    };
    TMainForm form(platform);
    form.FormCreate();
    platform.Tick(form);
    EXPECT_EQ(ColourOf(platform.Screen.Image().pixel(300, 200)), clBlack);  // all below the box yet
    for (int i = 0; i < 49; ++i) platform.Tick(form);
    EXPECT_EQ(form.TransitionCounter, 0);
    platform.Tick(form);
    const QImage& screen = platform.Screen.Image();
    EXPECT_EQ(ColourOf(screen.pixel(1, 1)), kDarkRed);
    // The empty level's border: a block in the top-right corner cell.
    const TRGBQuad& c = block.Colours[static_cast<uint8_t>(getpixel(block, 3, 3))];
    EXPECT_EQ(ColourOf(screen.pixel(103 + 24 * 19 + 3, 22 + 3)), RGB(c.Red, c.Green, c.Blue));
    form.FormDestroy();
}

// Whether row `ya` of `a` and row `yb` of `b` hold the same pixels.
bool SameRow(const QImage& a, int ya, const QImage& b, int yb) {
    return a.width() == b.width() &&
           std::memcmp(a.constScanLine(ya), b.constScanLine(yb), static_cast<size_t>(a.bytesPerLine())) == 0;
}

TEST(WholeFrames, LevelChangesPushTheLastPictureOutAndNeverShowTheNewLevelInPlace) {
    TScreenPlatform platform;
    platform.Loader = [](const std::string& file) {
        return file.find("leben") != std::string::npos ? LifeSheet() : BlockSheet();
    };
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("blubbi-slide-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "levels");
    platform.Dir = dir.string() + "/";
    TMainForm form(platform);
    form.AppDir = platform.Dir;
    // Three levels that look different: the border alone, a full field, every other column.
    const std::array<std::function<bool(int, int)>, 3> looks{
        [](int c, int r) { return c == 0 || c == kCols - 1 || r == 0 || r == kRows - 1; },
        [](int, int) { return true; }, [](int c, int) { return c % 2 == 0; }};
    for (int n = 1; n <= 3; ++n) {
        for (int c = 0; c < kCols; ++c)
            for (int r = 0; r < kRows; ++r) form.Grid[c * kRows + r] = looks[n - 1](c, r) ? 1 : 0;
        form.PlayerX = 200;
        form.PlayerY = 100;
        ASSERT_TRUE(form.SaveLevel(form.LevelFileName(n)));
    }
    form.FormCreate();
    form.MusicEnabled = 0;
    for (int i = 0; i < 52; ++i) platform.Tick(form);
    ASSERT_EQ(form.TransitionCounter, 0);

    const auto changeLevel = [&](const char* how, const std::function<void()>& change) {
        SCOPED_TRACE(how);
        ASSERT_TRUE(form.PrevPicture);
        const QImage old = dynamic_cast<const TImagePicture&>(*form.PrevPicture).Image().copy();
        ASSERT_EQ(platform.Screen.Image(), old);
        change();
        EXPECT_EQ(platform.Screen.Image(), old);  // the load's own frame shows nothing new
        platform.Tick(form);
        EXPECT_EQ(platform.Screen.Image(), old);  // at 100 the old picture still shows in full
        for (int i = 0; i < 25; ++i) platform.Tick(form);
        // Halfway: the old picture's lower half above, the new picture's upper half below.
        ASSERT_EQ(form.TransitionCounter, 48);
        const QImage fresh = dynamic_cast<const TImagePicture&>(*form.BackBuffer).Image();
        const QImage& screen = platform.Screen.Image();
        EXPECT_NE(fresh, old);
        for (int y = 0; y < 212; ++y) ASSERT_TRUE(SameRow(screen, y, old, y + 212)) << y;
        for (int y = 213; y < 425; ++y) ASSERT_TRUE(SameRow(screen, y, fresh, y - 212)) << y;
        while (form.TransitionCounter > 0) platform.Tick(form);
        platform.Tick(form);
    };
    changeLevel("cheat code", [&] {
        for (const char ch : std::string("skipahead")) form.FormKeyPress(ch);
    });
    EXPECT_EQ(form.LevelNo, 2);
    changeLevel("next level", [&] {
        form.SetTimer2(true);
        form.Timer2Timer();
    });
    EXPECT_EQ(form.LevelNo, 3);
    changeLevel("won", [&] {
        form.SetTimer3(true);
        form.Timer3Timer();
    });
    EXPECT_EQ(form.LevelNo, 1);
    changeLevel("new game", [&] { form.NeuesSpiel1Click(); });
    platform.GameOverAnswer = TModalResult::Ok;
    changeLevel("continue after game over", [&] { form.GameOverNow(); });
    form.FormDestroy();
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace blubbi
