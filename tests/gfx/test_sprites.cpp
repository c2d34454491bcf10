// Sprite primitives: the drawing rules pixel by pixel, and the fast ones against the literal ones.
#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "GfxTestSupport.h"
#include "gfx/PreparedSheets.h"
#include "gfx/Sprites.h"
#include "tests/gfx/support/LiteralSprites.h"

namespace blubbi {
namespace {

using test::MakeSheet;
using test::PixelOfIndex;
using test::TCanvas;

// Every rule below holds for both versions of the primitives.
struct TPrimitives {
    const char* Name;
    void (*Sprite)(TPixels&, const TDib&, int, int, bool, int, int, bool);
    void (*SpriteRow)(TPixels&, const TDib&, int, int, int, int);
    void (*Stretch)(TPixels&, int, int, int, int, const TDib&, int, int, int, int);
};
// The fast ones keep what they prepare in one store, as the pictures of one screen do.
TPreparedSheets& Kept() {
    static TPreparedSheets sheets;
    return sheets;
}
void FastSprite(TPixels& t, const TDib& s, int x, int y, bool mirrored, int frame, int frames, bool inBubble) {
    DrawSprite(t, Kept(), s, x, y, mirrored, frame, frames, inBubble);
}
void FastSpriteRow(TPixels& t, const TDib& s, int x, int y, int frames, int frame) {
    DrawSpriteRow(t, Kept(), s, x, y, frames, frame);
}
void FastStretch(TPixels& t, int x, int y, int w, int h, const TDib& s, int sx, int sy, int sw, int sh) {
    StretchDrawDib(t, Kept(), x, y, w, h, s, sx, sy, sw, sh);
}
const TPrimitives kFast{"fast", &FastSprite, &FastSpriteRow, &FastStretch};
const TPrimitives kLiteral{"literal", &literal::DrawSprite, &literal::DrawSpriteRow, &literal::StretchDrawDib};

class SpriteRules : public testing::TestWithParam<TPrimitives> {};
INSTANTIATE_TEST_SUITE_P(Both, SpriteRules, testing::Values(kFast, kLiteral),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_P(SpriteRules, KeyIsTheIndexOfTheTopLeftPixelNotItsColour) {
    // Indices 3 and 4 share one colour; 3 is the key, so only 4 shows.
    TDib sheet = MakeSheet(4, 1, [](int x, int) { return x % 2 == 0 ? 3 : 4; });
    sheet.Colours[4] = sheet.Colours[3];
    TCanvas canvas(6, 3);
    GetParam().Sprite(canvas.View, sheet, 1, 1, false, 0, 1, false);
    EXPECT_EQ(canvas.At(1, 1), TCanvas::kBackground);
    EXPECT_EQ(canvas.At(2, 1), PixelOfIndex(sheet, 4));
    EXPECT_EQ(canvas.At(3, 1), TCanvas::kBackground);
    EXPECT_EQ(canvas.At(4, 1), PixelOfIndex(sheet, 4));
}

TEST_P(SpriteRules, KeyIndexInsideTheFigureIsTransparentInEveryFrame) {
    // Two stacked frames of 3 x 3; the key index 9 also sits in the middle of each.
    const TDib sheet =
        MakeSheet(3, 6, [](int x, int y) { return (x == 1 && y % 3 == 1) || (x == 0 && y == 0) ? 9 : 20; });
    for (int frame = 0; frame < 2; ++frame) {
        TCanvas canvas(3, 3);
        GetParam().Sprite(canvas.View, sheet, 0, 0, false, frame, 2, false);
        EXPECT_EQ(canvas.At(1, 1), TCanvas::kBackground) << frame;
        EXPECT_EQ(canvas.At(2, 2), PixelOfIndex(sheet, 20)) << frame;
    }
}

TEST_P(SpriteRules, StackedFrameIsPlacedByItsTopLeftPixel) {
    // Four frames of 2 x 3, each filled with its own index under a key pixel at (0, 0).
    const TDib sheet = MakeSheet(2, 12, [](int x, int y) { return x == 0 && y == 0 ? 0 : 10 + y / 3; });
    TCanvas canvas(8, 8);
    GetParam().Sprite(canvas.View, sheet, 3, 4, false, 2, 4, false);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 2; ++c) EXPECT_EQ(canvas.At(3 + c, 4 + r), PixelOfIndex(sheet, 12)) << c << "," << r;
    }
    EXPECT_EQ(canvas.At(3, 7), TCanvas::kBackground);
    EXPECT_EQ(canvas.At(5, 4), TCanvas::kBackground);
}

TEST_P(SpriteRules, MirroredFrameShowsTheRightmostColumnFirst) {
    const TDib sheet = MakeSheet(5, 2, [](int x, int y) { return x == 0 && y == 0 ? 0 : 40 + x; });
    TCanvas canvas(7, 3);
    GetParam().Sprite(canvas.View, sheet, 1, 0, true, 0, 1, false);
    for (int c = 0; c < 5; ++c) EXPECT_EQ(canvas.At(1 + c, 1), PixelOfIndex(sheet, 40 + 4 - c)) << c;
    // The key pixel (0, 0) now lands at the right end of the top row.
    EXPECT_EQ(canvas.At(5, 0), TCanvas::kBackground);
    EXPECT_EQ(canvas.At(1, 0), PixelOfIndex(sheet, 44));
}

TEST_P(SpriteRules, InBubbleLookIsCutStrictlyInsideRadius19AndTinted) {
    // One 41 x 41 frame: centre (20, 20). (39, 20) lies 19 away (361), (38, 38) at 18² + 18²,
    // (26, 38) at 6² + 18² = 360.
    TDib sheet = MakeSheet(41, 41, [](int x, int y) { return x == 0 && y == 0 ? 0 : 7; });
    sheet.Colours[7] = {0, 255, 100, 0};
    for (const bool mirrored : {false, true}) {
        TCanvas canvas(41, 41);
        GetParam().Sprite(canvas.View, sheet, 0, 0, mirrored, 0, 1, true);
        const uint32_t tinted = PixelOf(RGB(32, 159, 100));
        EXPECT_EQ(canvas.At(20, 20), tinted);
        EXPECT_EQ(canvas.At(39, 20), TCanvas::kBackground);
        EXPECT_EQ(canvas.At(1, 20), TCanvas::kBackground);
        EXPECT_EQ(canvas.At(38, 20), tinted);
        EXPECT_EQ(canvas.At(26, 38), tinted);
        EXPECT_EQ(canvas.At(14, 2), tinted);
        EXPECT_EQ(canvas.At(27, 38), TCanvas::kBackground);
        EXPECT_EQ(canvas.At(38, 38), TCanvas::kBackground);
    }
}

TEST_P(SpriteRules, InBubbleCentreIsTheFrameCentreNotTheSheetCentre) {
    // Second of two 5 x 40 frames: centre row 20 of the frame.
    const TDib sheet = MakeSheet(5, 80, [](int x, int y) { return x == 0 && y == 0 ? 0 : 8; });
    TCanvas canvas(5, 40);
    GetParam().Sprite(canvas.View, sheet, 0, 0, false, 1, 2, true);
    EXPECT_NE(canvas.At(2, 2), TCanvas::kBackground);   // dy = -18
    EXPECT_EQ(canvas.At(2, 1), TCanvas::kBackground);   // dy = -19
    EXPECT_NE(canvas.At(2, 38), TCanvas::kBackground);  // dy = 18
    EXPECT_EQ(canvas.At(2, 39), TCanvas::kBackground);  // dy = 19
}

TEST_P(SpriteRules, PixelsOutsideThePictureAreDropped) {
    const TDib sheet = MakeSheet(4, 4, [](int x, int y) { return x == 0 && y == 0 ? 0 : 1 + x + 4 * y; });
    TCanvas canvas(3, 3);
    GetParam().Sprite(canvas.View, sheet, -2, -1, false, 0, 1, false);
    EXPECT_EQ(canvas.At(0, 0), PixelOfIndex(sheet, 1 + 2 + 4));
    EXPECT_EQ(canvas.At(1, 2), PixelOfIndex(sheet, 1 + 3 + 12));
    EXPECT_EQ(canvas.At(2, 0), TCanvas::kBackground);
    TCanvas far(3, 3);
    GetParam().Sprite(far.View, sheet, 3, 0, false, 0, 1, false);
    GetParam().Sprite(far.View, sheet, -4, -4, false, 0, 1, false);
    EXPECT_EQ(far, TCanvas(3, 3));  // the padding past each row is never touched either
}

TEST_P(SpriteRules, SpriteRowTakesFramesSideBySide) {
    // Ten frames of 3 x 2, frame f filled with index 50 + f.
    const TDib sheet = MakeSheet(30, 2, [](int x, int y) { return x == 0 && y == 0 ? 0 : 50 + x / 3; });
    TCanvas canvas(5, 4);
    GetParam().SpriteRow(canvas.View, sheet, 1, 1, 10, 7);
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 2; ++r) EXPECT_EQ(canvas.At(1 + c, 1 + r), PixelOfIndex(sheet, 57));
    }
    EXPECT_EQ(canvas.At(4, 1), TCanvas::kBackground);
    EXPECT_EQ(canvas.At(1, 3), TCanvas::kBackground);
}

TEST_P(SpriteRules, EmptySheetDrawsNothing) {
    TCanvas canvas(4, 4);
    GetParam().Sprite(canvas.View, TDib{}, 0, 0, true, 0, 1, true);
    GetParam().SpriteRow(canvas.View, TDib{}, 0, 0, 10, 3);
    GetParam().Stretch(canvas.View, 0, 0, 4, 4, TDib{}, 0, 0, 0, 0);
    EXPECT_EQ(canvas, TCanvas(4, 4));
}

TEST_P(SpriteRules, RecordWhoseRowsDoNotFitItsStrideDrawsNothing) {
    TDib sheet = MakeSheet(8, 4, [](int x, int) { return x == 0 ? 0 : 5; });
    sheet.Stride = 4;  // a hand-made record claiming rows shorter than its width
    TCanvas canvas(10, 6);
    GetParam().Sprite(canvas.View, sheet, 0, 0, false, 0, 1, false);
    GetParam().SpriteRow(canvas.View, sheet, 0, 0, 1, 0);
    GetParam().Stretch(canvas.View, 0, 0, 8, 4, sheet, 0, 0, 8, 4);
    EXPECT_EQ(canvas, TCanvas(10, 6));
}

TEST_P(SpriteRules, StretchOfTheSameSizeCopiesEveryPixel) {
    const TDib block = MakeSheet(19, 19, [](int x, int y) { return (x * 13 + y * 7) % 256; });
    TCanvas canvas(25, 25);
    GetParam().Stretch(canvas.View, 3, 2, 19, 19, block, 0, 0, 19, 19);
    for (int y = 0; y < 19; ++y) {
        for (int x = 0; x < 19; ++x) {
            ASSERT_EQ(canvas.At(3 + x, 2 + y), PixelOfIndex(block, static_cast<uint8_t>((x * 13 + y * 7) % 256)));
        }
    }
    EXPECT_EQ(canvas.At(22, 2), TCanvas::kBackground);
    EXPECT_EQ(canvas.At(3, 21), TCanvas::kBackground);
}

TEST_P(SpriteRules, StretchToHalfKeepsEverySecondPixelFromTheTopLeft) {
    const TDib block = MakeSheet(38, 38, [](int x, int y) { return (x + 38 * y) % 251; });
    TCanvas canvas(19, 19);
    GetParam().Stretch(canvas.View, 0, 0, 19, 19, block, 0, 0, 38, 38);
    for (int y = 0; y < 19; ++y) {
        for (int x = 0; x < 19; ++x) ASSERT_EQ(canvas.At(x, y), PixelOfIndex(block, (2 * x + 76 * y) % 251));
    }
}

TEST_P(SpriteRules, StretchSourceRowsCountFromTheBottom) {
    // The bottom 2 rows of a 4 x 4 picture: SrcY 0, SrcHeight 2.
    const TDib picture = MakeSheet(4, 4, [](int, int y) { return 60 + y; });
    TCanvas canvas(4, 4);
    GetParam().Stretch(canvas.View, 0, 0, 4, 2, picture, 0, 0, 4, 2);
    EXPECT_EQ(canvas.At(0, 0), PixelOfIndex(picture, 62));
    EXPECT_EQ(canvas.At(0, 1), PixelOfIndex(picture, 63));
    EXPECT_EQ(canvas.At(0, 2), TCanvas::kBackground);
}

TEST_P(SpriteRules, StretchClippingRoundsHalvesToEven) {
    // A 10-wide picture asked for 20 columns: the 5 (or 7) destination columns shrink to
    // 5 * 10 / 20 = 2.5 -> 2 and 7 * 10 / 20 = 3.5 -> 4.
    const TDib picture = MakeSheet(10, 1, [](int x, int) { return 100 + x; });
    TCanvas five(8, 1);
    GetParam().Stretch(five.View, 0, 0, 5, 1, picture, 0, 0, 20, 1);
    EXPECT_NE(five.At(1, 0), TCanvas::kBackground);
    EXPECT_EQ(five.At(2, 0), TCanvas::kBackground);
    TCanvas seven(8, 1);
    GetParam().Stretch(seven.View, 0, 0, 7, 1, picture, 0, 0, 20, 1);
    EXPECT_NE(seven.At(3, 0), TCanvas::kBackground);
    EXPECT_EQ(seven.At(4, 0), TCanvas::kBackground);
    // SrcX -5 of width 10 over 4 columns: 2 columns remain, moved right by 2.
    TCanvas left(8, 1);
    GetParam().Stretch(left.View, 0, 0, 4, 1, picture, -5, 0, 10, 1);
    EXPECT_EQ(left.At(1, 0), TCanvas::kBackground);
    EXPECT_EQ(left.At(2, 0), PixelOfIndex(picture, 100));
    EXPECT_EQ(left.At(3, 0), PixelOfIndex(picture, 102));
}

TEST_P(SpriteRules, StretchOfTrueColourRows) {
    TDib picture = newdib(2, 2, 24, nullptr, 0);
    setpixel(picture, 0, 0, RGB(1, 2, 3));
    setpixel(picture, 1, 1, RGB(200, 100, 50));
    TCanvas canvas(4, 4);
    GetParam().Stretch(canvas.View, 0, 0, 4, 4, picture, 0, 0, 2, 2);
    EXPECT_EQ(canvas.At(1, 1), PixelOf(RGB(1, 2, 3)));
    EXPECT_EQ(canvas.At(3, 3), PixelOf(RGB(200, 100, 50)));
    EXPECT_EQ(canvas.At(3, 0), PixelOf(0));
}

// --- the fast primitives against the literal ones ---

TDib RandomSheet(std::mt19937& random) {
    const int width = 1 + static_cast<int>(random() % 60), height = 1 + static_cast<int>(random() % 90);
    const int used = 2 + static_cast<int>(random() % 6);  // few indices: long runs of key pixels
    TDib sheet = MakeSheet(width, height, [&](int, int) { return static_cast<uint8_t>(random() % used); });
    sheet.Colours[1] = sheet.Colours[0];
    return sheet;
}

TEST(FastSprites, MatchTheLiteralOnesEverywhere) {
    std::mt19937 random(2024);
    for (int trial = 0; trial < 3000; ++trial) {
        const TDib sheet = RandomSheet(random);
        const int frameCount = 1 + static_cast<int>(random() % 5);
        const int frame = static_cast<int>(random() % frameCount);
        const int x = static_cast<int>(random() % 160) - 70, y = static_cast<int>(random() % 160) - 90;
        const bool mirrored = random() % 2, inBubble = random() % 2;
        TCanvas fast(64, 48), slow(64, 48);
        FastSprite(fast.View, sheet, x, y, mirrored, frame, frameCount, inBubble);
        literal::DrawSprite(slow.View, sheet, x, y, mirrored, frame, frameCount, inBubble);
        ASSERT_EQ(fast, slow) << "sprite trial " << trial;
        FastSpriteRow(fast.View, sheet, y, x, frameCount, frame);
        literal::DrawSpriteRow(slow.View, sheet, y, x, frameCount, frame);
        ASSERT_EQ(fast, slow) << "row trial " << trial;
    }
}

TEST(FastStretch, MatchesTheLiteralOneEverywhere) {
    std::mt19937 random(99);
    auto between = [&](int lo, int hi) { return lo + static_cast<int>(random() % (hi - lo + 1)); };
    for (int trial = 0; trial < 3000; ++trial) {
        const TDib sheet = RandomSheet(random);
        TDib trueColour = newdib(sheet.Width, sheet.Height, 24, nullptr, 0);
        for (int py = 0; py < sheet.Height; ++py) {
            for (int px = 0; px < sheet.Width; ++px)
                setpixel(trueColour, px, py, static_cast<int32_t>(random() & 0xFFFFFF));
        }
        const int x = between(-40, 70), y = between(-40, 60);
        int destWidth = between(-2, 50), destHeight = between(-2, 50);
        const int srcX = between(-20, sheet.Width + 5), srcY = between(-20, sheet.Height + 5);
        const int srcWidth = between(-3, 70), srcHeight = between(-3, 90);
        if (trial % 4 == 0) {  // drawn at its own size, as the grid's blocks are
            destWidth = srcWidth;
            destHeight = srcHeight;
        }
        for (const TDib* image : {static_cast<const TDib*>(&sheet), static_cast<const TDib*>(&trueColour)}) {
            TCanvas fast(64, 48), slow(64, 48);
            FastStretch(fast.View, x, y, destWidth, destHeight, *image, srcX, srcY, srcWidth, srcHeight);
            literal::StretchDrawDib(slow.View, x, y, destWidth, destHeight, *image, srcX, srcY, srcWidth, srcHeight);
            ASSERT_EQ(fast, slow) << "trial " << trial << " depth " << image->BitCount;
        }
    }
}

// --- what is kept of a sheet between drawings ---

// Draws `sheet` with all three fast primitives, keeping what they prepare in `kept`, and with
// the literal ones, each on a canvas of its own, and expects the same pictures.
void ExpectDrawnAsTheLiteralOnesDo(TPreparedSheets& kept, const TDib& sheet, int frameCount, const char* when) {
    TCanvas fast(40, 30), slow(40, 30);
    for (const bool mirrored : {false, true}) {
        for (const bool inBubble : {false, true}) {
            DrawSprite(fast.View, kept, sheet, 1, 2, mirrored, frameCount - 1, frameCount, inBubble);
            literal::DrawSprite(slow.View, sheet, 1, 2, mirrored, frameCount - 1, frameCount, inBubble);
        }
    }
    DrawSpriteRow(fast.View, kept, sheet, 3, 1, frameCount, frameCount / 2);
    literal::DrawSpriteRow(slow.View, sheet, 3, 1, frameCount, frameCount / 2);
    StretchDrawDib(fast.View, kept, 20, 5, 19, 19, sheet, 0, 0, sheet.Width, sheet.Height);
    literal::StretchDrawDib(slow.View, 20, 5, 19, 19, sheet, 0, 0, sheet.Width, sheet.Height);
    EXPECT_EQ(fast, slow) << when;
}

TEST(KeptSheets, PreparedOnceAndKeptAcrossDrawings) {
    TPreparedSheets kept;
    const TDib sheet = MakeSheet(12, 18, [](int x, int y) { return (x * 5 + y) % 7; });
    ExpectDrawnAsTheLiteralOnesDo(kept, sheet, 3, "first");
    TPreparedSheet& prepared = kept.Of(sheet);
    const uint32_t* words = prepared.Look(sheet, TPreparedSheet::kTintedMirrored).Words.data();
    ExpectDrawnAsTheLiteralOnesDo(kept, sheet, 3, "again");
    EXPECT_EQ(&kept.Of(sheet), &prepared);
    EXPECT_EQ(prepared.Look(sheet, TPreparedSheet::kTintedMirrored).Words.data(), words);
}

TEST(KeptSheets, PixelWrittenWithSetpixelIsDrawnAnew) {
    TPreparedSheets kept;
    TDib sheet = MakeSheet(12, 18, [](int x, int y) { return (x + y) % 5; });
    ExpectDrawnAsTheLiteralOnesDo(kept, sheet, 3, "before");
    // The key pixel too: the key colour of every look changes with it.
    setpixel(sheet, 0, 0, 3);
    setpixel(sheet, 6, 7, 200);
    ExpectDrawnAsTheLiteralOnesDo(kept, sheet, 3, "after");
}

TEST(KeptSheets, NewRecordInTheSameSlotIsDrawnAsItIs) {
    TPreparedSheets kept;
    TDib sheet = MakeSheet(12, 18, [](int x, int y) { return (x + y) % 5; });
    ExpectDrawnAsTheLiteralOnesDo(kept, sheet, 3, "old");
    sheet = MakeSheet(9, 20, [](int x, int y) { return (x * y) % 11; });
    ExpectDrawnAsTheLiteralOnesDo(kept, sheet, 2, "new");
    // Freed first, the next picture of the same size likely gets the old one's pixel memory.
    deldib(sheet);
    sheet = MakeSheet(9, 20, [](int x, int y) { return (x + 3 * y) % 13; });
    ExpectDrawnAsTheLiteralOnesDo(kept, sheet, 2, "same size, after freeing");
}

TEST(KeptSheets, MovedRecordTakesWhatWasKeptAlong) {
    TPreparedSheets kept;
    TDib sheet = MakeSheet(12, 18, [](int x, int y) { return (x + 2 * y) % 6; });
    ExpectDrawnAsTheLiteralOnesDo(kept, sheet, 3, "before the move");
    const TPreparedSheet* prepared = &kept.Of(sheet);
    const TDib moved = std::move(sheet);
    EXPECT_EQ(&kept.Of(moved), prepared);
    ExpectDrawnAsTheLiteralOnesDo(kept, moved, 3, "after the move");
}

TEST(KeptSheets, SizeChangedByHandIsPreparedAfresh) {
    TPreparedSheets kept;
    TDib sheet = MakeSheet(12, 18, [](int x, int y) { return (x + y) % 4; });
    ExpectDrawnAsTheLiteralOnesDo(kept, sheet, 3, "whole");
    sheet.Width = 7;
    sheet.Height = 10;
    ExpectDrawnAsTheLiteralOnesDo(kept, sheet, 2, "narrowed");
}

TEST(KeptSheets, NothingIsKeptOfARecordFilledInByHand) {
    TPreparedSheets kept;
    TDib sheet = MakeSheet(12, 18, [](int x, int y) { return (x + y) % 4; });
    sheet.Serial = 0;
    ExpectDrawnAsTheLiteralOnesDo(kept, sheet, 3, "as filled in");
    for (int i = 0; i < sheet.Stride * sheet.Height; i += 3) sheet.Bits[i] = static_cast<uint8_t>(i % 17);
    ExpectDrawnAsTheLiteralOnesDo(kept, sheet, 3, "its pixels written by hand");
}

// Each way a sheet is drawn keeps one copy of its pixels, and only the ways it is drawn.
TEST(KeptSheets, OneCopyOfThePixelsForEachWayASheetIsDrawn) {
    TPreparedSheets kept;
    TCanvas canvas(400, 60);
    // Ten items of 34 x 34 side by side, each a bar on the key colour.
    const TDib items = MakeSheet(340, 34, [](int x, int) { return x % 34 >= 5 && x % 34 < 29 ? 7 : 0; });
    const size_t pixels = size_t{340} * 34 * sizeof(uint32_t);
    DrawSpriteRow(canvas.View, kept, items, 0, 0, 10, 3);
    EXPECT_GE(kept.Bytes(), pixels);
    EXPECT_LT(kept.Bytes(), pixels * 3 / 2) << "the frames, and nothing else";
    DrawSprite(canvas.View, kept, items, 0, 0, true, 0, 1, false);
    EXPECT_GE(kept.Bytes(), pixels * 2);
    EXPECT_LT(kept.Bytes(), pixels * 5 / 2) << "the frames and the mirrored look";

    // A block drawn whole into its cell keeps the cell's words, not the block's.
    const TDib block = MakeSheet(64, 64, [](int x, int y) { return (x ^ y) & 15; });
    const size_t before = kept.Bytes();
    StretchDrawDib(canvas.View, kept, 0, 0, 19, 19, block, 0, 0, 64, 64);
    EXPECT_LT(kept.Bytes() - before, size_t{64} * 64 * sizeof(uint32_t) / 4);
}

// Sheets drawn once and never again, or many far larger than the game's, do not pile up.
TEST(KeptSheets, AllKeptTogetherStayUnderTheLimit) {
    TPreparedSheets kept;
    const TDib first = MakeSheet(300, 90, [](int x, int y) { return (x * 7 + y) % 6; });
    ExpectDrawnAsTheLiteralOnesDo(kept, first, 3, "before the others");
    size_t most = 0;
    for (int i = 0; i < 24; ++i) {
        const TDib sheet = MakeSheet(512, 512, [i](int x, int y) { return static_cast<uint8_t>((x + y + i) % 5); });
        TCanvas canvas(64, 64);
        for (const bool mirrored : {false, true}) {
            for (const bool inBubble : {false, true})
                DrawSprite(canvas.View, kept, sheet, 0, 0, mirrored, 1, 3, inBubble);
        }
        most = std::max(most, kept.Bytes());
        ASSERT_LE(kept.Bytes(), TPreparedSheets::kMostBytes) << "sheet " << i;
    }
    EXPECT_GT(most, TPreparedSheets::kMostBytes / 2) << "the limit was reached";
    ExpectDrawnAsTheLiteralOnesDo(kept, first, 3, "prepared again");
}

TEST(KeptSheets, OtherFrameCountsAndCellSizesOfOneSheet) {
    const TDib sheet = MakeSheet(30, 24, [](int x, int y) { return (x / 3 + y) % 9; });
    for (const int frames : {3, 5, 10, 3}) {
        TCanvas fast(40, 30), slow(40, 30);
        for (int frame = 0; frame < frames; ++frame) {
            FastSpriteRow(fast.View, sheet, frame * 3 - 2, frame - 1, frames, frame);
            literal::DrawSpriteRow(slow.View, sheet, frame * 3 - 2, frame - 1, frames, frame);
        }
        ASSERT_EQ(fast, slow) << frames << " frames";
    }
    for (const auto& [w, h] : {std::pair{19, 19}, std::pair{7, 11}, std::pair{45, 3}, std::pair{19, 19}}) {
        TCanvas fast(40, 30), slow(40, 30);
        FastStretch(fast.View, -3, 2, w, h, sheet, 0, 0, sheet.Width, sheet.Height);
        literal::StretchDrawDib(slow.View, -3, 2, w, h, sheet, 0, 0, sheet.Width, sheet.Height);
        ASSERT_EQ(fast, slow) << w << " x " << h;
    }
}

}  // namespace
}  // namespace blubbi
