// The recently used levels in the settings file.
#include "app/RecentLevels.h"

#include <QFileInfo>
#include <QSettings>

#include "app/Addresses.h"

namespace blubbi::recent {

namespace {
const QString kKey = QStringLiteral("recentLevels");

void Store(const QStringList& files) {
    QSettings s(addr::SettingsFile(), QSettings::IniFormat);
    if (files.isEmpty())
        s.remove(kKey);
    else
        s.setValue(kKey, files);
}
}  // namespace

QStringList Levels() {
    QStringList files = QSettings(addr::SettingsFile(), QSettings::IniFormat).value(kKey).toStringList();
    files.removeAll(QString());
    files.removeDuplicates();
    return files.mid(0, kMaxLevels);
}

void Remember(const QString& file) {
    const QString path = QFileInfo(file).absoluteFilePath();
    QStringList files = Levels();
    files.removeAll(path);
    files.prepend(path);
    Store(files.mid(0, kMaxLevels));
}

void ForgetMissing() {
    QStringList files = Levels();
    files.removeIf([](const QString& file) { return !QFileInfo(file).isFile(); });
    Store(files);
}

void Clear() { Store({}); }

}  // namespace blubbi::recent
