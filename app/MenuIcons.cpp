// Check marks drawn onto menu images.
#include "app/MenuIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace blubbi {

namespace {

QPixmap Checked(const QPixmap& image) {
    QPixmap marked = image;
    const double s = marked.width() / marked.devicePixelRatio();
    QPainterPath tick;
    tick.moveTo(0.42 * s, 0.70 * s);
    tick.lineTo(0.62 * s, 0.90 * s);
    tick.lineTo(0.96 * s, 0.42 * s);
    QPainter painter(&marked);
    painter.setRenderHint(QPainter::Antialiasing);
    // A light edge keeps the mark apart from any colour of the image beneath.
    painter.strokePath(tick, QPen(Qt::white, 0.30 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.strokePath(tick, QPen(QColor(0, 140, 0), 0.16 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    return marked;
}

}  // namespace

QIcon WithCheckMark(const QIcon& image) {
    QList<QSize> sizes = image.availableSizes();
    if (sizes.isEmpty()) sizes = {QSize(16, 16)};
    QIcon icon;
    for (const QSize& size : sizes) {
        for (const double ratio : {1.0, 2.0}) {
            QPixmap plain = image.pixmap(size, ratio);
            if (plain.isNull()) continue;
            icon.addPixmap(plain, QIcon::Normal, QIcon::Off);
            icon.addPixmap(Checked(plain), QIcon::Normal, QIcon::On);
        }
    }
    return icon;
}

}  // namespace blubbi
