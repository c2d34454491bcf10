// QImage pictures for the paint box: figures, status text, sprites and presenting.
#include "gfx/Screen.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <unordered_map>
#include <vector>

#include "base/Files.h"

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

// The rectangle Qt strokes so that a one-pixel outline of the figure at (x, y) with corner
// distances w, h covers x..x+w-1, y..y+h-1 (Qt's aliased outline reaches x + width). Values
// far off the picture are pulled in, where they change nothing visible but cannot overflow.
QRect FigureRect(int64_t x, int64_t y, int64_t w, int64_t h) {
    static constexpr int64_t kFar = int64_t{1} << 28;
    const auto in = [](int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, -kFar, kFar)); };
    return QRect(in(x), in(y), in(w - 1), in(h - 1));
}

// Angle of the radial from the centre through (x, y), counter-clockwise from three o'clock,
// in Qt's sixteenths of a degree; y grows downward on the picture.
int RadialAngle16(double cx, double cy, double x, double y) {
    const double degrees = std::atan2(cy - y, x - cx) * 180.0 / std::numbers::pi;
    return static_cast<int>(std::lround(degrees * 16.0));
}

// Corner distances of a figure as the size of its drawing; nonsense sizes fail the size limit.
QSize FigureSize(int64_t w, int64_t h) {
    const auto clamp = [](int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, -1, 1 << 20)); };
    return QSize(clamp(w), clamp(h));
}

// The status font: "Arial" (fontconfig gives Liberation Sans), bold, 15 pixels, no shading.
QFont StatusFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(15);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// A figure drawn once by Qt, kept as runs of pen and brush pixels relative to its corner.
struct TFigure {
    struct TRun {
        int32_t Y, X1, X2;
        bool Pen;
    };
    std::vector<TRun> Runs;
};

// Bubbles, bursts and status texts come back frame after frame in a few sizes and words;
// Qt draws each once, and the picture fills the kept runs at the figure's place. Qt draws
// without shading at whole-pixel places, so the runs are exactly the pixels it would draw.
class TFigureCache {
public:
    // nullptr when the figure is too large to keep.
    const TFigure* Find(const std::string& key, const std::function<QSize()>& measure,
                        const TImagePicture::TFigurePainter& paint);

private:
    std::unordered_map<std::string, TFigure> Figures;
};

TFigureCache& FigureCache() {
    thread_local TFigureCache cache;
    return cache;
}

const TFigure* TFigureCache::Find(const std::string& key, const std::function<QSize()>& measure,
                                  const TImagePicture::TFigurePainter& paint) {
    constexpr int kLargest = 2048;
    constexpr int kPad = 8;
    if (const auto found = Figures.find(key); found != Figures.end()) return &found->second;
    const QSize size = measure();
    if (size.width() < 0 || size.height() < 0 || size.width() > kLargest || size.height() > kLargest) return nullptr;
    if (Figures.size() >= 512) Figures.clear();  // scores go by; old texts are not needed again
    const int64_t width = size.width(), height = size.height();

    // Draw once with two marker inks on a clear image, and keep where each ink landed.
    const QRgb penInk = qRgb(255, 0, 0), brushInk = qRgb(0, 0, 255);
    QImage image(static_cast<int>(width) + 2 * kPad, static_cast<int>(height) + 2 * kPad, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setBackgroundMode(Qt::TransparentMode);
        p.setFont(StatusFont());
        paint(p, kPad, kPad, QColor(penInk), QColor(brushInk));
    }
    TFigure figure;
    for (int py = 0; py < image.height(); ++py) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(py));
        for (int px = 0; px < image.width();) {
            const QRgb ink = row[px] & 0xFFFFFFu;
            if (ink != (penInk & 0xFFFFFFu) && ink != (brushInk & 0xFFFFFFu)) {
                ++px;
                continue;
            }
            int end = px + 1;
            while (end < image.width() && (row[end] & 0xFFFFFFu) == ink) ++end;
            figure.Runs.push_back({py - kPad, px - kPad, end - kPad, ink == (penInk & 0xFFFFFFu)});
            px = end;
        }
    }
    return &Figures.emplace(key, std::move(figure)).first->second;
}

}  // namespace

// The pixels are left as they come: a new picture is black, but it is made black only when
// something other than a rectangle over all of it is drawn or its pixels are read first.
TImagePicture::TImagePicture(int width, int height, std::shared_ptr<TPreparedSheets> sheets)
    : TSheetPicture(sheets ? std::move(sheets) : std::make_shared<TPreparedSheets>()),
      Img(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32),
      Unpainted(true) {}

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
        Paint->setFont(StatusFont());
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
    FramedRect(pixels, x1, y1, x2, y2, PixelOf(pen), PixelOf(brush));
}

void TImagePicture::Ellipse(int x1, int y1, int x2, int y2, TColor pen, TColor brush, bool hollow) {
    if (Img.isNull()) return;
    // Corners given the wrong way round are put right first, as the platform does.
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    const int64_t w = int64_t{x2} - x1, h = int64_t{y2} - y1;
    const auto paint = [=](QPainter& p, int ax, int ay, QColor penInk, QColor brushInk) {
        p.setPen(QPen(penInk, 1));
        if (hollow) {
            p.setBrush(Qt::NoBrush);
        } else {
            p.setBrush(brushInk);
        }
        p.drawEllipse(FigureRect(ax, ay, w, h));
    };
    const std::string key = "E" + std::to_string(w) + "," + std::to_string(h) + (hollow ? "h" : "f");
    DrawFigure(
        key, x1, y1, [=] { return FigureSize(w, h); }, paint, pen, brush);
}

void TImagePicture::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, TColor pen) {
    if (Img.isNull()) return;
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    // Everything relative to the corner, so one drawing serves every place.
    const int64_t w = int64_t{x2} - x1, h = int64_t{y2} - y1;
    const int64_t sx = int64_t{x3} - x1, sy = int64_t{y3} - y1, ex = int64_t{x4} - x1, ey = int64_t{y4} - y1;
    const auto paint = [=](QPainter& p, int ax, int ay, QColor penInk, QColor) {
        const double cx = ax + static_cast<double>(w) / 2.0, cy = ay + static_cast<double>(h) / 2.0;
        const int start = RadialAngle16(cx, cy, static_cast<double>(ax + sx), static_cast<double>(ay + sy));
        int span = RadialAngle16(cx, cy, static_cast<double>(ax + ex), static_cast<double>(ay + ey)) - start;
        while (span <= 0) span += 360 * 16;  // the same radial twice: the whole ellipse
        p.setPen(QPen(penInk, 1));
        p.setBrush(Qt::NoBrush);
        p.drawArc(FigureRect(ax, ay, w, h), start, span);
    };
    const std::string key = "A" + std::to_string(w) + "," + std::to_string(h) + "," + std::to_string(sx) + "," +
                            std::to_string(sy) + "," + std::to_string(ex) + "," + std::to_string(ey);
    DrawFigure(
        key, x1, y1, [=] { return FigureSize(w, h); }, paint, pen, pen);
}

void TImagePicture::TextOut(int x, int y, const std::string& text, TColor color) {
    if (Img.isNull() || text.empty()) return;
    const QString string = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const auto paint = [&](QPainter& p, int ax, int ay, QColor penInk, QColor) {
        p.setPen(penInk);
        // The platform places text by the top of its cell, Qt by the baseline.
        p.drawText(QPoint(ax, ay + p.fontMetrics().ascent()), string);
    };
    const auto measure = [&] {
        const QFontMetrics metrics(StatusFont());
        // Glyphs may reach a little left of the start and past the advance.
        return QSize(metrics.horizontalAdvance(string) + metrics.height(), metrics.height());
    };
    DrawFigure("T" + text, x, y, measure, paint, color, color);
}

void TImagePicture::DrawFigure(const std::string& key, int x, int y, const std::function<QSize()>& measure,
                               const TFigurePainter& paint, TColor pen, TColor brush) {
    const TFigure* figure = FigureCache().Find(key, measure, paint);
    if (figure == nullptr) {
        // Too large to keep: Qt draws it in place.
        paint(Painter(), x, y, QColorOf(pen), QColorOf(brush));
        return;
    }
    TPixels pixels = Pixels();
    const uint32_t inks[2] = {PixelOf(brush), PixelOf(pen)};
    for (const TFigure::TRun& run : figure->Runs) {
        const int64_t ry = int64_t{y} + run.Y;
        FillRect(pixels, int64_t{x} + run.X1, ry, int64_t{x} + run.X2, ry + 1, inks[run.Pen ? 1 : 0]);
    }
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
    return std::make_unique<TImagePicture>(width, height, Sheets);
}

void TScreen::Present(const TPicture& picture, int x, int y) {
    const auto* image = dynamic_cast<const TImagePicture*>(&picture);
    if (image == nullptr || Img.isNull()) return;
    const QImage& source = image->Image();
    if (x == 0 && y == 0 && source.size() == Img.size()) {
        // Shown whole: share the pixels instead of copying them. Whichever side draws next
        // gets its own copy first (QImage copies on write), so nothing shown changes behind
        // the player's back.
        Img = source;
        return;
    }
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

bool TScreen::SavePng(const std::string& path, std::string& error) const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !Img.save(&buffer, "PNG")) {
        error = "the picture could not be encoded as PNG";
        return false;
    }
    // Made whole in memory and put in place in one step: a full disk leaves no empty or half
    // file behind a report of success.
    return WriteFileSafely(path, bytes.constData(), static_cast<size_t>(bytes.size()), error);
}

void ShowScaled(QPainter& painter, const QRect& area, const QImage& picture, QPoint origin, int scale) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect shown(origin, picture.size() * scale);
    if (!shown.contains(area)) painter.fillRect(area, Qt::black);
    painter.drawImage(shown, picture);  // no smoothing: each pixel a whole block
}

}  // namespace blubbi
