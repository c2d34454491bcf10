// QImage pictures for the paint box: figures, status text, sprites and presenting.
#include "gfx/Screen.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace blubbi {

namespace {

QColor QColorOf(TColor colour) { return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour)); }

// Pictures may be asked for with a paint box that has not got a size yet.
QImage BlankImage(int width, int height) {
    QImage image(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

TPixels PixelsOf(QImage& image) {
    if (image.isNull()) return TPixels{};
    return TPixels{reinterpret_cast<uint32_t*>(image.bits()), image.width(), image.height(),
                   static_cast<int>(image.bytesPerLine() / 4)};
}

// The rectangle Qt strokes so that a one-pixel outline covers x1..x2-1, y1..y2-1 (Qt's
// aliased outline reaches x + width); corners given the wrong way round are put right
// first, as the platform does.
QRect FigureRect(int x1, int y1, int x2, int y2) {
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    return QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1);
}

// Angle of the radial from the centre through (x, y), counter-clockwise from three o'clock,
// in Qt's sixteenths of a degree; y grows downward on the picture.
int RadialAngle16(double cx, double cy, int x, int y) {
    const double degrees = std::atan2(cy - y, x - cx) * 180.0 / std::numbers::pi;
    return static_cast<int>(std::lround(degrees * 16.0));
}

}  // namespace

// The pixels are left as they come: a new picture is black, but it is made black only when
// something other than a rectangle over all of it is drawn or its pixels are read first.
TImagePicture::TImagePicture(int width, int height)
    : Img(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32), Unpainted(true) {}

void TImagePicture::Blacken() const {
    if (!Unpainted) return;
    Unpainted = false;
    if (!Img.isNull()) Img.fill(Qt::black);
}

const QImage& TImagePicture::Image() const {
    Blacken();
    return Img;
}

TImagePicture::~TImagePicture() {
    if (Paint) Paint->end();
}

TPixels TImagePicture::Pixels() {
    Blacken();
    return PixelsOf(Img);
}

QPainter& TImagePicture::Painter() {
    Blacken();
    if (!Paint) {
        Paint = std::make_unique<QPainter>(&Img);
        Paint->setRenderHint(QPainter::Antialiasing, false);
        Paint->setRenderHint(QPainter::TextAntialiasing, false);
        StatusFont = QFont(QStringLiteral("Arial"));
        StatusFont.setPixelSize(15);
        StatusFont.setBold(true);
        StatusFont.setStyleStrategy(QFont::NoAntialias);
        Paint->setFont(StatusFont);
        Paint->setBackgroundMode(Qt::TransparentMode);
    }
    return *Paint;
}

void TImagePicture::Rectangle(int x1, int y1, int x2, int y2, TColor pen, TColor brush) {
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    if (x1 == x2 || y1 == y2) return;
    // A rectangle over the whole picture paints every pixel: no need to blacken it first.
    if (!(x1 <= 0 && y1 <= 0 && x2 >= Img.width() && y2 >= Img.height())) Blacken();
    Unpainted = false;
    TPixels pixels = PixelsOf(Img);
    const int64_t left = x1, top = y1, right = x2, bottom = y2;  // int64: no overflow at the edges
    FillRect(pixels, left + 1, top + 1, right - 1, bottom - 1, PixelOf(brush));
    const uint32_t outline = PixelOf(pen);
    FillRect(pixels, left, top, right, top + 1, outline);
    FillRect(pixels, left, bottom - 1, right, bottom, outline);
    FillRect(pixels, left, top + 1, left + 1, bottom - 1, outline);
    FillRect(pixels, right - 1, top + 1, right, bottom - 1, outline);
}

void TImagePicture::Ellipse(int x1, int y1, int x2, int y2, TColor pen, TColor brush, bool hollow) {
    if (Img.isNull()) return;
    QPainter& p = Painter();
    p.setPen(QPen(QColorOf(pen), 1));
    if (hollow) {
        p.setBrush(Qt::NoBrush);
    } else {
        p.setBrush(QColorOf(brush));
    }
    p.drawEllipse(FigureRect(x1, y1, x2, y2));
}

void TImagePicture::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, TColor pen) {
    if (Img.isNull()) return;
    const QRect rect = FigureRect(x1, y1, x2, y2);
    const double cx = (x1 + x2) / 2.0, cy = (y1 + y2) / 2.0;
    const int start = RadialAngle16(cx, cy, x3, y3);
    int span = RadialAngle16(cx, cy, x4, y4) - start;
    while (span <= 0) span += 360 * 16;  // the same radial twice: the whole ellipse
    QPainter& p = Painter();
    p.setPen(QPen(QColorOf(pen), 1));
    p.drawArc(rect, start, span);
}

void TImagePicture::TextOut(int x, int y, const std::string& text, TColor color) {
    if (Img.isNull()) return;
    QPainter& p = Painter();
    p.setPen(QColorOf(color));
    // The platform places text by the top of its cell, Qt by the baseline.
    p.drawText(QPoint(x, y + p.fontMetrics().ascent()), QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TImagePicture::DrawSprite(const TDib& sheet, int x, int y, bool mirrored, int frame, int frameCount,
                               bool inBubble) {
    TPixels pixels = Pixels();
    blubbi::DrawSprite(pixels, sheet, x, y, mirrored, frame, frameCount, inBubble);
}

void TImagePicture::DrawSpriteRow(const TDib& sheet, int x, int y, int frameCount, int frame) {
    TPixels pixels = Pixels();
    blubbi::DrawSpriteRow(pixels, sheet, x, y, frameCount, frame);
}

void TImagePicture::StretchDrawDib(int x, int y, int destWidth, int destHeight, const TDib& image, int srcX,
                                   int srcY, int srcWidth, int srcHeight) {
    TPixels pixels = Pixels();
    blubbi::StretchDrawDib(pixels, x, y, destWidth, destHeight, image, srcX, srcY, srcWidth, srcHeight);
}

TScreen::TScreen(int width, int height) : Img(BlankImage(width, height)) {}

TPixels TScreen::Pixels() { return PixelsOf(Img); }

void TScreen::Resize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == Img.width() && height == Img.height()) return;
    QImage resized = BlankImage(width, height);
    const int w = std::min(width, Img.width()), h = std::min(height, Img.height());
    for (int y = 0; y < h; ++y) {
        std::memcpy(resized.scanLine(y), Img.constScanLine(y), static_cast<size_t>(w) * 4);
    }
    Img = std::move(resized);
}

std::unique_ptr<TPicture> TScreen::NewPicture(int width, int height) {
    return std::make_unique<TImagePicture>(width, height);
}

void TScreen::Present(const TPicture& picture, int x, int y) {
    const auto* image = dynamic_cast<const TImagePicture*>(&picture);
    if (image == nullptr || Img.isNull()) return;
    const QImage& source = image->Image();
    const int64_t left = std::max<int64_t>(0, x), right = std::min<int64_t>(Img.width(), int64_t{x} + source.width());
    const int64_t top = std::max<int64_t>(0, y), bottom = std::min<int64_t>(Img.height(), int64_t{y} + source.height());
    if (left >= right || top >= bottom) return;
    TPixels target = Pixels();
    const auto* rows = reinterpret_cast<const uint32_t*>(source.constBits());
    const int64_t sourceStride = source.bytesPerLine() / 4;
    for (int64_t ty = top; ty < bottom; ++ty) {
        const uint32_t* from = rows + (ty - y) * sourceStride + (left - x);
        std::memcpy(target.Pixels + ty * target.Stride + left, from, static_cast<size_t>(right - left) * 4);
    }
}

void TScreen::Rectangle(int x1, int y1, int x2, int y2, TColor color) {
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    TPixels pixels = Pixels();
    FillRect(pixels, x1, y1, x2, y2, PixelOf(color));
}

bool TScreen::SavePng(const std::string& path) const {
    return Img.save(QString::fromStdString(path), "PNG");
}

}  // namespace blubbi
