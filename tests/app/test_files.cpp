// Level files on the desktop: their MIME type, and the level file dialogs in German.
#include <gtest/gtest.h>

#include <QAbstractFileIconProvider>
#include <QDateTime>
#include <QFileDialog>
#include <QHeaderView>
#include <QMimeDatabase>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeView>

#include "app/German.h"
#include "app/MainWindow.h"
#include "app/QtPlatform.h"
#include "tests/app/AppTestSupport.h"

using namespace blubbi;
using blubbi::test::WaitFor;
using blubbi::test::WhileModal;

TEST(LevelFiles, HaveTheirOwnTypeWithNameAndIcon) {
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("eigenes.lev"), QMimeDatabase::MatchExtension);
    EXPECT_EQ(type.name(), QStringLiteral("application/x-blubbi-level"));
    EXPECT_EQ(type.globPatterns(), QStringList{QStringLiteral("*.lev")});
    EXPECT_EQ(type.iconName(), QStringLiteral("de.velkor.BlubbiBlubbo"));
    EXPECT_EQ(type.comment(), QStringLiteral("Blubbi-Blubbo-Level"));
    const QLocale german;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(type.comment(), QStringLiteral("Blubbi Blubbo level"));
    QLocale::setDefault(german);
}

TEST(LevelFiles, DialogsSpeakGermanAndShowEveryColumnWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("level001.lev")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(QByteArray(2000, '\0')), 2000);
    ASSERT_TRUE(file.flush());  // the write would set the time again
    ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2024, 3, 5), QTime(14, 7)), QFileDevice::FileModificationTime));
    file.close();

    TMainWindow window;
    window.Platform().SetLevelDialogFolder(dir.path().toStdString());
    for (const bool save : {false, true}) {
        std::string name;
        const auto run = WhileModal(
            [&] { save ? window.Platform().SaveLevelDialog(name) : window.Platform().OpenLevelDialog(name); },
            [&](QWidget* modal) {
                auto* d = qobject_cast<QFileDialog*>(modal);
                ASSERT_NE(d, nullptr);
                auto* view = d->findChild<QTreeView*>();
                ASSERT_NE(view, nullptr);
                ASSERT_TRUE(view->isVisible());
                QAbstractItemModel* model = view->model();
                ASSERT_TRUE(WaitFor([&] { return model->rowCount(view->rootIndex()) == 1; }));
                auto cell = [&](int column) { return model->index(0, column, view->rootIndex()).data().toString(); };
                QStringList headers;
                for (int c = 0; c < 4; ++c) headers << model->headerData(c, Qt::Horizontal).toString();
                EXPECT_EQ(headers, QStringList({"Name", "Größe", "Typ", "Änderungsdatum"}));
                EXPECT_EQ(cell(0), QStringLiteral("level001.lev"));
                EXPECT_EQ(cell(1), QStringLiteral("1,95 KiB"));
                EXPECT_EQ(cell(2), QStringLiteral("Blubbi-Blubbo-Level"));
                EXPECT_EQ(cell(3), QStringLiteral("05.03.24 14:07"));
                // Every column is as wide as its widest text, and all of them fit without scrolling.
                QApplication::processEvents();
                for (int c = 0; c < 4; ++c)
                    EXPECT_GE(view->header()->sectionSize(c),
                              static_cast<QAbstractItemView*>(view)->sizeHintForColumn(c))
                        << headers[c].toStdString();
                EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);
                d->reject();
            });
        EXPECT_TRUE(run.Acted && !run.TimedOut) << save;
    }
}

// The dialogs name a file's type by its name alone: one of no known kind that starts like a PDF is
// no PDF to them (reading files to guess would block on one such as /proc/kmsg).
TEST(LevelFiles, DialogsNameTypesWithoutReadingTheFiles) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("notiz.unbekannt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n") > 0 && file.flush());
    const QString pdf = QMimeDatabase().mimeTypeForName(QStringLiteral("application/pdf")).comment();
    ASSERT_EQ(QMimeDatabase().mimeTypeForFile(file.fileName()).comment(), pdf);  // what reading it says
    QFileDialog dialog;
    PrepareLevelDialog(dialog);
    EXPECT_NE(dialog.iconProvider()->type(QFileInfo(file.fileName())), pdf);
}
