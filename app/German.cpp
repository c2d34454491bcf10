// German texts, dates and numbers for Qt's part of the shell.
#include "app/German.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QTranslator>
#include <QTreeView>

namespace blubbi {

namespace {

// Qt's file list writes sizes and dates in the system's language whatever the default locale
// is; this writes them in the dialog's.
class TLocalFileModel : public QIdentityProxyModel {
public:
    TLocalFileModel(const QLocale& locale, QObject* parent) : QIdentityProxyModel(parent), Locale(locale) {}

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || !index.isValid()) return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (index.column() == kSizeColumn && !files->isDir(source))
            return Locale.formattedDataSize(files->size(source));
        if (index.column() == kDateColumn) return Locale.toString(files->lastModified(source), QLocale::ShortFormat);
        return QIdentityProxyModel::data(index, role);
    }

private:
    static constexpr int kSizeColumn = 1, kDateColumn = 3;
    QLocale Locale;
};

// Names each file's type and icon by its name alone. Qt's own provider reads a file's first bytes
// to guess its type: a level file then passes for a TGA picture where the game's type is not
// installed, and a special file (a pipe, /proc/...) can block the dialog for good.
class TNameOnlyIcons : public QFileIconProvider {
public:
    QIcon icon(const QFileInfo& info) const override {
        if (!info.isFile()) return QFileIconProvider::icon(info.isDir() ? Folder : File);
        const QMimeType type = Type(info);
        return QIcon::fromTheme(type.iconName(),
                                QIcon::fromTheme(type.genericIconName(), QFileIconProvider::icon(File)));
    }
    QString type(const QFileInfo& info) const override {
        if (!info.isFile()) return QFileIconProvider::type(info);  // folders and drives are not read
        const QString suffix = info.suffix().toLower();
        const QMimeType type = Type(info);
        // The game's own types, also where they are not installed.
        if (suffix == QLatin1String("lev") && type.isDefault()) return QStringLiteral("Blubbi-Blubbo-Level");
        if (suffix == QLatin1String("blubbi-replay")) return QStringLiteral("Blubbi-Blubbo-Aufzeichnung");
        return type.comment().isEmpty() ? type.name() : type.comment();
    }

private:
    QMimeType Type(const QFileInfo& info) const {
        return Mimes.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    }
    QMimeDatabase Mimes;
};

}  // namespace

void UseGerman() {
    static QTranslator qtGerman;
    if (qtGerman.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtGerman);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void PrepareLevelDialog(QFileDialog& dialog) {
    // A desktop's own dialog would speak the desktop's language.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setLocale(QLocale(QLocale::German, QLocale::Germany));
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setProxyModel(new TLocalFileModel(dialog.locale(), &dialog));
    static TNameOnlyIcons icons;  // outlives every dialog
    dialog.setIconProvider(&icons);
    dialog.resize(760, 460);
    // The name takes the room that is left; size, type and date are as wide as their texts.
    if (auto* view = dialog.findChild<QTreeView*>()) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
}

}  // namespace blubbi
