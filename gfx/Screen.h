// The pictures of the paint box on QImage: the BackBuffer the frame draws into, and the
// shown picture that presenting copies it onto.
#pragma once
#include <QColor>
#include <QImage>
#include <QSize>
#include <functional>
#include <memory>
#include <string>

#include "game/Platform.h"
#include "gfx/SheetPicture.h"

class QPainter;

namespace blubbi {

// An off-screen picture (Format_RGB32). Sprites write its pixels directly; rectangles are
// plain fills; ellipses, arcs and text go through QPainter without anti-aliasing, each figure
// covering x1..x2-1, y1..y2-1 as the platform's drawing calls do. Text needs a
// QGuiApplication (the offscreen platform will do). Sheets are drawn as `sheets` keeps them
// prepared, shared with the screen's other pictures (a store of its own when none is given).
class TImagePicture : public TSheetPicture {
public:
    TImagePicture(int width, int height, std::shared_ptr<TPreparedSheets> sheets = nullptr);
    ~TImagePicture() override;
    TImagePicture(const TImagePicture&) = delete;
    TImagePicture& operator=(const TImagePicture&) = delete;

    int Width() const override { return Img.width(); }
    int Height() const override { return Img.height(); }

    void Rectangle(int x1, int y1, int x2, int y2, TColor pen, TColor brush) override;
    void Ellipse(int x1, int y1, int x2, int y2, TColor pen, TColor brush, bool hollow) override;
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, TColor pen) override;
    void TextOut(int x, int y, const std::string& text, TColor color) override;

    // The pixels as composed so far.
    const QImage& Image() const;
    // Direct access for drawing; valid until the picture is destroyed.
    TPixels Pixels();

    // Draws a figure or text with its corner at (x, y) in the given inks.
    using TFigurePainter = std::function<void(QPainter&, int x, int y, QColor pen, QColor brush)>;

private:
    TPixels Target() override { return Pixels(); }
    QPainter& Painter();
    void Blacken() const;
    void DrawFigure(const std::string& key, int x, int y, const std::function<QSize()>& measure,
                    const TFigurePainter& paint, TColor pen, TColor brush);

    mutable QImage Img;
    mutable bool Unpainted;           // nothing drawn yet, and the pixels not yet made black
    std::unique_ptr<QPainter> Paint;  // begun for a figure too large to keep, ended with the picture
};

// The paint box: what the player sees. Presenting copies a picture onto it; what the picture
// does not cover stays as it was. Its pictures share one store of prepared sheets, which
// lives as long as the last of them.
class TScreen {
public:
    TScreen(int width, int height);

    // A new size; the part that stays keeps its pixels, new parts are black.
    void Resize(int width, int height);
    std::unique_ptr<TPicture> NewPicture(int width, int height);
    // Copies `picture` with its top-left corner at (x, y), clipped to the paint box.
    void Present(const TPicture& picture, int x, int y);
    // A rectangle filled and outlined in `color`, covering x1..x2-1, y1..y2-1.
    void Rectangle(int x1, int y1, int x2, int y2, TColor color);

    const QImage& Image() const { return Img; }
    // Writes what the paint box shows as a PNG file; false with `error` saying why, and then
    // the file is as it was before.
    bool SavePng(const std::string& path, std::string& error) const;

private:
    TPixels Pixels();

    QImage Img;
    std::shared_ptr<TPreparedSheets> Sheets = std::make_shared<TPreparedSheets>();
};

// Shows `picture` through `painter` as scale x scale blocks of one colour each (no smoothing at any
// scale or screen density), its top-left corner at `origin`; what it leaves of `area` is black.
void ShowScaled(QPainter& painter, const QRect& area, const QImage& picture, QPoint origin, int scale);

}  // namespace blubbi
