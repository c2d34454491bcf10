// The menu's checked items with an image: their check mark shows on the image itself.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QMenu>

#include "app/MainWindow.h"

using namespace blubbi;

namespace {

// The menu as it is drawn.
QImage Drawn(QMenu* menu) { return menu->grab().toImage().convertToFormat(QImage::Format_RGB32); }

}  // namespace

// A frame around the image is all some styles draw for a checked item with an image; the
// mark has to reach into the image, away from any frame's edge.
TEST(MenuChecks, ACheckedItemWithAnImageShowsAMarkOnIt) {
    const QDir appDir(QCoreApplication::applicationDirPath());
    const QString menuDir = appDir.filePath(QStringLiteral("grafiken/menu"));
    const bool made = !QDir(menuDir).exists();
    if (made) {
        ASSERT_TRUE(QDir().mkpath(menuDir));
        for (int i = 0; i < 12; ++i) {
            QImage image(16, 16, QImage::Format_ARGB32);
            image.fill(QColor(40, 60, 200));
            ASSERT_TRUE(image.save(menuDir + QStringLiteral("/%1.png").arg(i, 2, 10, QLatin1Char('0'))));
        }
    }
    {
        TMainWindow window;
        QMenu* menu = window.Optionen1;
        for (QAction* item : {window.Hintergrundmusik1, window.Soundeffekte1}) {
            ASSERT_FALSE(item->icon().isNull());
            menu->popup(QPoint(0, 0));
            const QRect row = menu->actionGeometry(item);
            item->setChecked(true);
            const QImage on = Drawn(menu).copy(row);
            item->setChecked(false);
            const QImage off = Drawn(menu).copy(row);
            menu->hide();

            QRect changed;
            for (int y = 0; y < on.height(); ++y)
                for (int x = 0; x < on.width(); ++x)
                    if (on.pixel(x, y) != off.pixel(x, y)) changed |= QRect(x, y, 1, 1);
            ASSERT_FALSE(changed.isEmpty()) << item->objectName().toStdString();
            const QRect inner = changed.adjusted(3, 3, -3, -3);
            int inside = 0;
            for (int y = inner.top(); y <= inner.bottom(); ++y)
                for (int x = inner.left(); x <= inner.right(); ++x) inside += on.pixel(x, y) != off.pixel(x, y);
            EXPECT_GE(inside, 12) << item->objectName().toStdString();
        }
        window.SyncChecks();
    }
    if (made) QDir(appDir.filePath(QStringLiteral("grafiken"))).removeRecursively();
}
