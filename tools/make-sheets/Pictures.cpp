// The two dialog pictures, drawn with QPainter from the sprite art, and the conversions between Qt images and palette
// pictures.
#include "Pictures.h"

#include <gif_lib.h>

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>

#include <cmath>
#include <stdexcept>
#include <vector>

namespace sheets {

namespace fs = std::filesystem;

QImage toImage(const IndexedPicture& picture) {
    QImage image(picture.width, picture.height, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const PaletteEntry& e = picture.palette[picture.at(x, y)];
            image.setPixel(x, y, e.transparent ? qRgba(0, 0, 0, 0) : qRgb(e.r, e.g, e.b));
        }
    return image;
}

IndexedPicture quantize(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    std::vector<GifByteType> red(n), green(n), blue(n), out(n);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb c = image.pixel(x, y);
            const std::size_t i =
                static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x);
            red[i] = static_cast<GifByteType>(qRed(c));
            green[i] = static_cast<GifByteType>(qGreen(c));
            blue[i] = static_cast<GifByteType>(qBlue(c));
        }
    int colours = 256;
    std::vector<GifColorType> map(256);
    if (GifQuantizeBuffer(static_cast<unsigned>(w), static_cast<unsigned>(h), &colours, red.data(), green.data(),
                          blue.data(), out.data(), map.data()) == GIF_ERROR)
        throw std::runtime_error("cannot reduce the picture to 256 colours");
    IndexedPicture pic;
    pic.width = w;
    pic.height = h;
    for (size_t i = 0; i < static_cast<size_t>(colours); ++i) {
        PaletteEntry entry{map[i].Red, map[i].Green, map[i].Blue, false};
        // The median cut averages the white paper with the palest strokes: the paper stays the
        // white of the dialog it lies on.
        if (entry.r >= 240 && entry.g >= 240 && entry.b >= 240) entry = PaletteEntry{255, 255, 255, false};
        pic.palette.push_back(entry);
    }
    pic.pixels.assign(out.begin(), out.end());
    return pic;
}

namespace {

// ---- hand-coloured look: pencil strokes clipped to shapes, a wobbly ink line around them ----

// Fixed seed: the picture is the same on every build.
QRandomGenerator& pencilRandom() {
    static QRandomGenerator random(20240611u);
    return random;
}

double jitter(double amount) { return (pencilRandom().generateDouble() * 2.0 - 1.0) * amount; }

// Fills the shape with a light wash and then many slanted pencil strokes, as a child colours in.
void colourIn(QPainter& p, const QPainterPath& shape, QColor colour, double density = 1.0, double angle = -35.0) {
    p.save();
    p.setClipPath(shape, Qt::IntersectClip);
    QColor wash = colour;
    wash.setAlpha(110);
    p.fillPath(shape, wash);
    const QRectF box = shape.boundingRect().adjusted(-20, -20, 20, 20);
    const double slope = std::tan(angle * M_PI / 180.0);
    const double step = 3.2 / density;
    for (double x = box.left() - box.height(); x < box.right() + box.height(); x += step) {
        QColor c = colour;
        c.setAlpha(95 + static_cast<int>(jitter(40)));
        c = c.lighter(100 + static_cast<int>(jitter(12)));
        p.setPen(QPen(c, 1.6 + jitter(0.5), Qt::SolidLine, Qt::RoundCap));
        const double x0 = x + jitter(1.2), y0 = box.top() + jitter(6);
        const double y1 = box.bottom() + jitter(6);
        p.drawLine(QPointF(x0, y0), QPointF(x0 - (y1 - y0) * slope, y1));
    }
    p.restore();
}

// Darker strokes across the part of the shape that lies inside `shade`.
void shadeIn(QPainter& p, const QPainterPath& shape, const QPainterPath& shade, QColor colour) {
    colourIn(p, shape.intersected(shade), colour, 1.3, 40.0);
}

// An ink line that wanders a little, drawn twice like a pen going over it again.
void inkAround(QPainter& p, const QPainterPath& shape, double width = 3.0, QColor ink = QColor(52, 36, 44)) {
    const double length = shape.length();
    if (length <= 0) return;
    for (int pass = 0; pass < 2; ++pass) {
        QPainterPath line;
        const int steps = std::max(8, static_cast<int>(length / 4));
        const double wobble = 0.6 + 0.4 * pass;
        for (int i = 0; i <= steps; ++i) {
            const QPointF pt = shape.pointAtPercent(std::min(1.0, static_cast<double>(i) / steps));
            const QPointF moved(pt.x() + jitter(wobble), pt.y() + jitter(wobble));
            if (i == 0)
                line.moveTo(moved);
            else
                line.lineTo(moved);
        }
        QColor c = ink;
        c.setAlpha(pass == 0 ? 235 : 140);
        p.setPen(QPen(c, pass == 0 ? width : width * 0.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(line);
    }
}

QPainterPath ellipse(double cx, double cy, double rx, double ry) {
    QPainterPath path;
    path.addEllipse(QPointF(cx, cy), rx, ry);
    return path;
}

QPainterPath leaf(QPointF base, QPointF tip, double bulge) {
    const QPointF mid = (base + tip) / 2.0;
    const QPointF d = tip - base;
    const QPointF normal(-d.y(), d.x());
    const double len = std::hypot(normal.x(), normal.y());
    const QPointF off = normal / len * bulge;
    QPainterPath path(base);
    path.quadTo(mid + off, tip);
    path.quadTo(mid - off, base);
    return path;
}

// The palette of the sprites, so the drawing and the game share their colours.
const QColor kGreen(88, 204, 80), kGreenLight(190, 255, 150), kGreenDark(34, 124, 56);
const QColor kCream(255, 244, 186), kOrange(255, 160, 40), kOrangeDark(196, 96, 24);
const QColor kPink(255, 146, 168), kInk(40, 28, 40), kMouth(150, 30, 46), kYellow(255, 216, 60);

void drawStar(QPainter& p, QPointF c, double r, QColor colour) {
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const double a = -M_PI / 2 + i * M_PI / 5;
        const double rr = (i % 2) ? r * 0.45 : r;
        const QPointF pt(c.x() + rr * std::cos(a), c.y() + rr * std::sin(a));
        if (i == 0)
            star.moveTo(pt);
        else
            star.lineTo(pt);
    }
    star.closeSubpath();
    colourIn(p, star, colour, 1.4);
    inkAround(p, star, 2.0);
}

}  // namespace

QImage drawWinPicture(const fs::path&) {
    QImage image(320, 376, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // shadow on the floor it sits on
    colourIn(p, ellipse(160, 338, 128, 20), QColor(170, 170, 190), 0.8, 0);

    // the far foot behind the body, then the body
    const QPainterPath footLeft = ellipse(98, 318, 38, 24), footRight = ellipse(224, 322, 38, 24);
    const QPainterPath body = ellipse(160, 214, 116, 106);
    const QPainterPath armRaised = [] {
        QPainterPath arm;
        arm.addEllipse(QPointF(274, 158), 22, 30);
        return arm;
    }();
    colourIn(p, armRaised, kGreen);
    shadeIn(p, armRaised, ellipse(290, 175, 22, 26), kGreenDark);
    inkAround(p, armRaised);

    colourIn(p, body, kGreen);
    colourIn(p, body.intersected(ellipse(120, 170, 70, 60)), kGreenLight, 1.2);
    shadeIn(p, body, ellipse(200, 270, 110, 80).subtracted(ellipse(150, 190, 110, 100)), kGreenDark);
    const QPainterPath belly = body.intersected(ellipse(166, 262, 76, 62));
    colourIn(p, belly, kCream, 1.1, 30);
    shadeIn(p, belly, ellipse(200, 300, 60, 30), QColor(236, 206, 140));
    inkAround(p, body);
    inkAround(p, belly, 2.0);

    // the resting arm on the belly
    const QPainterPath armResting = ellipse(70, 262, 24, 19);
    colourIn(p, armResting, kGreen);
    inkAround(p, armResting);

    // feet in front, soles toward us
    for (const QPainterPath& foot : {footLeft, footRight}) {
        colourIn(p, foot, kOrange);
        shadeIn(p, foot, foot.translated(8, 10), kOrangeDark);
        inkAround(p, foot);
    }

    // sprout on top
    QPainterPath stem(QPointF(160, 110));
    stem.cubicTo(QPointF(158, 92), QPointF(168, 78), QPointF(164, 62));
    p.setPen(QPen(kGreenDark, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(stem);
    inkAround(p, stem, 1.6);
    const QPainterPath leafLeft = leaf(QPointF(164, 64), QPointF(106, 44), 16);
    const QPainterPath leafRight = leaf(QPointF(164, 64), QPointF(226, 30), 18);
    colourIn(p, leafLeft, kGreen);
    colourIn(p, leafRight, kGreenLight, 1.2);
    shadeIn(p, leafRight, ellipse(200, 56, 30, 14), kGreen);
    inkAround(p, leafLeft);
    inkAround(p, leafRight);

    // face: big eyes, rosy cheeks, a wide happy mouth
    for (const double ex : {122.0, 198.0}) {
        const QPainterPath eye = ellipse(ex, 182, 24, 31);
        p.fillPath(eye, Qt::white);
        inkAround(p, eye, 2.6);
        const QPainterPath pupil = ellipse(ex + 5, 188, 13, 19);
        colourIn(p, pupil, kInk, 2.0);
        p.fillPath(pupil, QColor(40, 28, 40, 200));
        p.fillPath(ellipse(ex + 1, 179, 5, 6), Qt::white);
        p.fillPath(ellipse(ex + 10, 198, 2.5, 3), Qt::white);
    }
    for (const double cx : {84.0, 236.0}) colourIn(p, ellipse(cx, 226, 17, 10), kPink, 1.5, 10);
    QPainterPath mouth(QPointF(134, 230));
    mouth.cubicTo(QPointF(140, 268), QPointF(180, 268), QPointF(186, 230));
    mouth.quadTo(QPointF(160, 238), QPointF(134, 230));
    colourIn(p, mouth, kMouth, 2.0);
    colourIn(p, mouth.intersected(ellipse(160, 262, 16, 10)), kPink, 2.0);
    inkAround(p, mouth, 2.6);

    // a cheer: stars and a bubble floating up
    drawStar(p, QPointF(42, 78), 22, kYellow);
    drawStar(p, QPointF(284, 64), 16, kYellow);
    drawStar(p, QPointF(30, 170), 11, kOrange);
    const QPainterPath bubble = ellipse(258, 104, 17, 17);
    colourIn(p, bubble, QColor(180, 230, 255), 0.7);
    inkAround(p, bubble, 2.0, QColor(60, 110, 170));
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(247, 93, 14, 14), 90 * 16, 90 * 16);
    return image;
}

namespace {

QImage sheetFrame(const fs::path& sources, const char* file, int frames, int frame) {
    const QImage sheet = toImage(readXpm((sources / file).string()));
    const int h = sheet.height() / frames;
    return sheet.copy(0, h * frame, sheet.width(), h);
}

void drawScaled(QPainter& p, const QImage& sprite, int x, int y, int scale) {
    p.drawImage(QPoint(x, y), sprite.scaled(sprite.width() * scale, sprite.height() * scale));
}

// The game's trapped look: the frame cut to a circle about its centre, red and green pulled toward 64.
QImage inBubble(const QImage& frame) {
    QImage out(frame.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    const int cx = frame.width() / 2, cy = frame.height() / 2;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb c = frame.pixel(x, y);
            const int dx = x - cx, dy = y - cy;
            if (qAlpha(c) == 0 || dx * dx + dy * dy >= 361) continue;
            out.setPixel(x, y, qRgb((qRed(c) + 64) / 2, (qGreen(c) + 64) / 2, qBlue(c)));
        }
    return out;
}

}  // namespace

QImage drawAboutPicture(const fs::path& sources) {
    constexpr int kScale = 2;
    QImage image(306, 322, QImage::Format_RGB32);
    image.fill(QColor(128, 0, 0));
    QPainter p(&image);

    // the play field: black cells, a floor of blocks
    const QRect field(8, 60, 290, 254);
    p.fillRect(field, Qt::black);
    p.setClipRect(field);
    const QImage block = toImage(readXpm((sources / "stein1.xpm").string()));
    for (int x = field.left(); x < field.right(); x += 19 * kScale) drawScaled(p, block, x, 276, kScale);
    for (int x = field.left(); x < field.left() + 19 * kScale * 2; x += 19 * kScale)
        drawScaled(p, block, x, 238, kScale);

    // the cast
    drawScaled(p, sheetFrame(sources, "feind2.xpm", 2, 0), 196, 66, kScale);
    drawScaled(p, sheetFrame(sources, "feind1.xpm", 2, 0), 206, 154, kScale);
    drawScaled(p, sheetFrame(sources, "item.xpm", 1, 0).copy(3 * 34, 0, 34, 34), 136, 208, kScale);
    drawScaled(p, sheetFrame(sources, "figur1.xpm", 1, 0), 4, 146, kScale);

    // a bubble holding a little blue man, drawn the way the game draws it
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(140, 128);
    p.setPen(QPen(QColor(255, 255, 0), 2 * kScale));
    p.setBrush(QColor(64, 64, 0));
    p.drawEllipse(centre, 19.0 * kScale, 19.0 * kScale);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QImage trapped = inBubble(sheetFrame(sources, "feind3.xpm", 2, 0));
    drawScaled(p, trapped, static_cast<int>(centre.x()) - trapped.width() / 2 * kScale,
               static_cast<int>(centre.y()) - trapped.height() / 2 * kScale, kScale);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 2 * kScale, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(centre.x() - 9 * kScale, centre.y() - 9 * kScale, 18 * kScale, 18 * kScale), 90 * 16, 90 * 16);
    // small bubbles still on their way from the player
    for (const auto& [x, y, r] : {std::tuple{96.0, 170.0, 9.0}, std::tuple{112.0, 150.0, 6.0}}) {
        p.setPen(QPen(QColor(255, 255, 0), 2));
        p.setBrush(QColor(64, 64, 0));
        p.drawEllipse(QPointF(x, y), r, r);
    }
    p.setClipping(false);

    // the title across the dark red band
    QFont font("DejaVu Sans", 1, QFont::Black);
    font.setPixelSize(34);
    QPainterPath title;
    title.addText(0, 0, font, QStringLiteral("Blubbi Blubbo"));
    const QRectF box = title.boundingRect();
    title.translate((image.width() - box.width()) / 2 - box.left(), 30 - box.center().y());
    p.setPen(QPen(QColor(24, 16, 32), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(title);
    QLinearGradient gold(0, 12, 0, 46);
    gold.setColorAt(0, QColor(255, 250, 196));
    gold.setColorAt(0.45, QColor(255, 228, 64));
    gold.setColorAt(1, QColor(255, 160, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(gold);
    p.drawPath(title);
    return image;
}

}  // namespace sheets
