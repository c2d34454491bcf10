// QImage pictures: figures by the platform's corner rules, text, and the paint box.
#include <gtest/gtest.h>

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <filesystem>
#include <memory>

#include "GfxTestSupport.h"
#include "gfx/Screen.h"

namespace blubbi {
namespace {

TColor At(const TImagePicture& picture, int x, int y) { return ColourOf(picture.Image().pixel(x, y)); }
TColor At(const TScreen& screen, int x, int y) { return ColourOf(screen.Image().pixel(x, y)); }

constexpr TColor kRed = RGB(200, 0, 0), kGreen = RGB(0, 200, 0), kBlue = RGB(0, 0, 200);

// Bounding box of the pixels that differ from `background`.
QRect PaintedBox(const TImagePicture& picture, TColor background) {
    QRect box;
    for (int y = 0; y < picture.Height(); ++y) {
        for (int x = 0; x < picture.Width(); ++x) {
            if (At(picture, x, y) != background) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

TEST(PictureFigures, NewPictureIsBlack) {
    TImagePicture picture(5, 4);
    EXPECT_EQ(picture.Width(), 5);
    EXPECT_EQ(picture.Height(), 4);
    EXPECT_EQ(At(picture, 4, 3), clBlack);
}

TEST(PictureFigures, RectangleCoversUpToButExcludingTheSecondCorner) {
    TImagePicture picture(10, 10);
    picture.Rectangle(2, 3, 6, 8, kRed, kGreen);
    EXPECT_EQ(PaintedBox(picture, clBlack), QRect(QPoint(2, 3), QPoint(5, 7)));
    EXPECT_EQ(At(picture, 2, 5), kRed);
    EXPECT_EQ(At(picture, 5, 5), kRed);
    EXPECT_EQ(At(picture, 4, 3), kRed);
    EXPECT_EQ(At(picture, 4, 7), kRed);
    EXPECT_EQ(At(picture, 3, 4), kGreen);
    EXPECT_EQ(At(picture, 4, 6), kGreen);
}

TEST(PictureFigures, RectangleBeyondTheEdgesIsClipped) {
    TImagePicture picture(4, 4);
    picture.Rectangle(-10, -10, 100, 100, kRed, kGreen);
    EXPECT_EQ(At(picture, 0, 0), kGreen);
    EXPECT_EQ(At(picture, 3, 3), kGreen);
}

TEST(PictureFigures, EllipseCoversUpToButExcludingTheSecondCorner) {
    TImagePicture picture(60, 60);
    picture.Ellipse(10, 12, 49, 51, kRed, kGreen, false);  // a bubble: 39 corners apart
    EXPECT_EQ(PaintedBox(picture, clBlack), QRect(QPoint(10, 12), QPoint(48, 50)));
    EXPECT_EQ(At(picture, 29, 31), kGreen);
    EXPECT_EQ(At(picture, 10, 31), kRed);
    EXPECT_EQ(At(picture, 48, 31), kRed);
    EXPECT_EQ(At(picture, 11, 13), clBlack);  // corners stay outside
}

TEST(PictureFigures, HollowEllipseLeavesTheInside) {
    TImagePicture picture(60, 60);
    picture.Rectangle(0, 0, 60, 60, kBlue, kBlue);
    picture.Ellipse(10, 10, 49, 49, kRed, kGreen, true);
    EXPECT_EQ(At(picture, 29, 29), kBlue);
    EXPECT_EQ(At(picture, 10, 29), kRed);
}

TEST(PictureFigures, HighlightArcIsTheUpperLeftQuarter) {
    // The bubble's highlight: corners (10, 10)-(28, 28), from the radial through (20, 10)
    // counter-clockwise to the radial through (10, 20).
    TImagePicture picture(40, 40);
    picture.Arc(10, 10, 28, 28, 20, 10, 10, 20, clWhite);
    const QRect box = PaintedBox(picture, clBlack);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_EQ(box.left(), 10);
    EXPECT_EQ(box.top(), 10);
    EXPECT_LE(box.right(), 21);
    EXPECT_LE(box.bottom(), 21);
    EXPECT_EQ(At(picture, 10, 19), clWhite);
    EXPECT_EQ(At(picture, 19, 10), clWhite);
}

TEST(PictureFigures, ArcFromARadialBackToItselfIsTheWholeEllipse) {
    TImagePicture picture(40, 40);
    picture.Arc(10, 10, 29, 29, 30, 19, 30, 19, clWhite);
    EXPECT_EQ(PaintedBox(picture, clBlack), QRect(QPoint(10, 10), QPoint(28, 28)));
}

TEST(PictureText, TextLiesBelowAndRightOfItsCornerOnATransparentBackground) {
    TImagePicture picture(200, 60);
    picture.Rectangle(0, 0, 200, 60, kBlue, kBlue);
    picture.TextOut(20, 20, "Punkte: 1234", clWhite);
    const QRect box = PaintedBox(picture, kBlue);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_GE(box.left(), 20);
    EXPECT_LE(box.left(), 23);
    EXPECT_GE(box.top(), 20);
    EXPECT_LE(box.bottom(), 20 + 18);
    EXPECT_GT(box.width(), 60);  // bold 15-pixel figures, about 8 to 9 pixels each
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            const TColor c = At(picture, x, y);
            ASSERT_TRUE(c == kBlue || c == clWhite) << x << "," << y;  // no shading, no box behind
        }
    }
}

// Figures are drawn by Qt once and then filled in from what it drew: wherever they land,
// even cut by the edges, the pixels must be those Qt draws in place.
class FiguresAsQtDrawsThem : public testing::Test {
protected:
    static constexpr int kW = 64, kH = 48;
    TImagePicture Picture{kW, kH};
    QImage Direct{kW, kH, QImage::Format_RGB32};
    std::unique_ptr<QPainter> Painter;

    void SetUp() override {
        Direct.fill(Qt::black);
        Painter = std::make_unique<QPainter>(&Direct);
        Painter->setRenderHint(QPainter::Antialiasing, false);
        Painter->setRenderHint(QPainter::TextAntialiasing, false);
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(15);
        font.setBold(true);
        font.setStyleStrategy(QFont::NoAntialias);
        Painter->setFont(font);
    }
    void ExpectSame(const char* what) {
        Painter->end();
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                ASSERT_EQ(Picture.Image().pixel(x, y), Direct.pixel(x, y)) << what << " at " << x << "," << y;
            }
        }
    }
};

TEST_F(FiguresAsQtDrawsThem, Ellipses) {
    for (const QPoint at : {QPoint(3, 4), QPoint(-20, 30), QPoint(40, -11), QPoint(50, 20)}) {
        Picture.Ellipse(at.x(), at.y(), at.x() + 38, at.y() + 38, kRed, kGreen, false);
        Painter->setPen(QPen(QColor(200, 0, 0), 1));
        Painter->setBrush(QColor(0, 200, 0));
        Painter->drawEllipse(QRect(at.x(), at.y(), 37, 37));
        Picture.Ellipse(at.x() + 5, at.y() + 2, at.x() + 16, at.y() + 24, kBlue, kBlue, true);
        Painter->setPen(QPen(QColor(0, 0, 200), 1));
        Painter->setBrush(Qt::NoBrush);
        Painter->drawEllipse(QRect(at.x() + 5, at.y() + 2, 10, 21));
    }
    ExpectSame("ellipse");
}

TEST_F(FiguresAsQtDrawsThem, HighlightArcs) {
    for (const QPoint at : {QPoint(0, 0), QPoint(-12, 7), QPoint(55, 40), QPoint(21, 13)}) {
        Picture.Arc(at.x() + 10, at.y() + 10, at.x() + 28, at.y() + 28, at.x() + 20, at.y() + 10, at.x() + 10,
                    at.y() + 20, clWhite);
    }
    Painter->setPen(QPen(Qt::white, 1));
    // Radials through (20, 10) and (10, 20) about the centre (19, 19): 83.66 and 186.34 degrees.
    for (const QPoint at : {QPoint(0, 0), QPoint(-12, 7), QPoint(55, 40), QPoint(21, 13)}) {
        Painter->drawArc(QRect(at.x() + 10, at.y() + 10, 17, 17), 1339, 1642);
    }
    ExpectSame("arc");
}

TEST_F(FiguresAsQtDrawsThem, Texts) {
    Picture.TextOut(2, 3, "Level: 7", clWhite);
    Picture.TextOut(-9, 30, "Punkte: 120", kGreen);
    Picture.TextOut(20, 40, "Level: 7", kRed);
    Painter->setPen(Qt::white);
    const int ascent = Painter->fontMetrics().ascent();
    Painter->drawText(QPoint(2, 3 + ascent), QStringLiteral("Level: 7"));
    Painter->setPen(QColor(0, 200, 0));
    Painter->drawText(QPoint(-9, 30 + ascent), QStringLiteral("Punkte: 120"));
    Painter->setPen(QColor(200, 0, 0));
    Painter->drawText(QPoint(20, 40 + ascent), QStringLiteral("Level: 7"));
    ExpectSame("text");
}

TEST(PictureFigures, HugeFiguresAreDrawnInPlace) {
    TImagePicture picture(20, 20);
    picture.Ellipse(-5000, -5000, 5010, 5010, kRed, kGreen, false);
    EXPECT_EQ(At(picture, 10, 10), kGreen);
    picture.Ellipse(0, 0, 1 << 30, 5, kRed, kGreen, true);  // nothing to see, nothing kept
}

TEST(PictureSprites, SpritesLandOnThePicturesPixels) {
    const TDib sheet = test::MakeSheet(3, 3, [](int x, int y) { return x == 0 && y == 0 ? 0 : 5; });
    TImagePicture picture(6, 6);
    picture.DrawSprite(sheet, 2, 2, false, 0, 1, false);
    EXPECT_EQ(picture.Image().pixel(4, 4), test::PixelOfIndex(sheet, 5));
    EXPECT_EQ(At(picture, 2, 2), clBlack);
    picture.DrawSpriteRow(sheet, -1, 0, 1, 0);
    EXPECT_EQ(picture.Image().pixel(0, 0), test::PixelOfIndex(sheet, 5));
    picture.StretchDrawDib(3, 0, 3, 3, sheet, 0, 0, 3, 3);
    EXPECT_EQ(picture.Image().pixel(3, 0), test::PixelOfIndex(sheet, 0));
}

TEST(PaintBox, PresentCopiesAtAnOffsetAndClips) {
    TScreen screen(10, 8);
    auto picture = screen.NewPicture(10, 8);
    picture->Rectangle(0, 0, 10, 8, kRed, kRed);
    screen.Present(*picture, 3, 5);
    EXPECT_EQ(At(screen, 2, 7), clBlack);
    EXPECT_EQ(At(screen, 3, 4), clBlack);
    EXPECT_EQ(At(screen, 3, 5), kRed);
    EXPECT_EQ(At(screen, 9, 7), kRed);
    screen.Present(*picture, -20, 0);  // wholly outside: nothing
    screen.Present(*picture, 0, -6);
    EXPECT_EQ(At(screen, 0, 1), kRed);
    EXPECT_EQ(At(screen, 0, 2), clBlack);
}

TEST(PaintBox, PictureShownWholeStaysAsShown) {
    TScreen screen(10, 8);
    auto picture = screen.NewPicture(10, 8);
    picture->Rectangle(0, 0, 10, 8, kRed, kRed);
    screen.Present(*picture, 0, 0);
    EXPECT_EQ(At(screen, 5, 5), kRed);
    picture->Rectangle(0, 0, 10, 8, kGreen, kGreen);  // drawn after it was shown
    EXPECT_EQ(At(screen, 5, 5), kRed);
    screen.Rectangle(0, 0, 3, 3, kBlue);
    EXPECT_EQ(ColourOf(dynamic_cast<TImagePicture&>(*picture).Image().pixel(1, 1)), kGreen);
    picture.reset();
    EXPECT_EQ(At(screen, 1, 1), kBlue);
    EXPECT_EQ(At(screen, 5, 5), kRed);
}

TEST(PaintBox, RectangleFillsUpToTheSecondCorner) {
    TScreen screen(10, 8);
    screen.Rectangle(0, 0, 4, 2, kGreen);
    EXPECT_EQ(At(screen, 3, 1), kGreen);
    EXPECT_EQ(At(screen, 4, 1), clBlack);
    EXPECT_EQ(At(screen, 3, 2), clBlack);
}

TEST(PaintBox, ResizeKeepsWhatStays) {
    TScreen screen(6, 6);
    screen.Rectangle(0, 0, 6, 6, kGreen);
    screen.Resize(8, 3);
    EXPECT_EQ(screen.Image().width(), 8);
    EXPECT_EQ(screen.Image().height(), 3);
    EXPECT_EQ(At(screen, 5, 2), kGreen);
    EXPECT_EQ(At(screen, 6, 0), clBlack);
}

TEST(PaintBox, SavesAPng) {
    TScreen screen(7, 5);
    screen.Rectangle(1, 1, 3, 3, kBlue);
    const auto path = std::filesystem::temp_directory_path() / "blubbi_gfx_screen_test.png";
    std::string error;
    ASSERT_TRUE(screen.SavePng(path.string(), error)) << error;
    const QImage back(QString::fromStdString(path.string()));
    std::filesystem::remove(path);
    ASSERT_EQ(back.size(), QSize(7, 5));
    EXPECT_EQ(ColourOf(back.pixel(2, 2)), kBlue);
}

}  // namespace
}  // namespace blubbi
