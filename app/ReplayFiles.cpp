// The replays' folder: names that carry the end time and the points, safe writing, pruning.
#include "app/ReplayFiles.h"

#include <QDir>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <set>

namespace blubbi::replays {

namespace {
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss");
}

QString Folder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/replays");
}

QString FileName(const QDateTime& ended, int32_t points, int count) {
    QString name = ended.toString(kTimeFormat) +
                   (points == 1 ? QStringLiteral("_1-Punkt") : QStringLiteral("_%1-Punkte").arg(points));
    if (count > 1) name += QStringLiteral("_%1").arg(count);
    return name + QLatin1String(kSuffix);
}

std::optional<TStored> ReadName(const QString& name) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d)_(-?\d{1,10})-Punkte?(?:_(\d{1,6}))?\.blubbi-replay$)"));
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch()) return std::nullopt;
    TStored s;
    s.Name = name;
    s.Ended = QDateTime::fromString(m.captured(1), kTimeFormat);
    bool ok = false;
    s.Points = m.captured(2).toInt(&ok);
    if (!s.Ended.isValid() || !ok) return std::nullopt;
    if (m.hasCaptured(3)) s.Count = m.captured(3).toInt();
    return s;
}

QStringList ToRemove(std::vector<TStored> stored) {
    std::set<QString> keep;
    // Newest first; within one second the higher count is the later game.
    std::sort(stored.begin(), stored.end(), [](const TStored& a, const TStored& b) {
        if (a.Ended != b.Ended) return a.Ended > b.Ended;
        return a.Count != b.Count ? a.Count > b.Count : a.Name > b.Name;
    });
    for (size_t i = 0; i < stored.size() && i < size_t(kKeepLast); ++i) keep.insert(stored[i].Name);
    // Equal points: the newer game stays.
    std::stable_sort(stored.begin(), stored.end(),
                     [](const TStored& a, const TStored& b) { return a.Points > b.Points; });
    for (size_t i = 0; i < stored.size() && i < size_t(kKeepBest); ++i) keep.insert(stored[i].Name);
    QStringList gone;
    for (const TStored& s : stored)
        if (!keep.count(s.Name)) gone << s.Name;
    gone.sort();
    return gone;
}

bool WriteWhole(const QString& path, const QByteArray& text, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

QString Store(const QString& folder, const QByteArray& text, int32_t points, const QDateTime& ended, QString& error) {
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) {
        error = QStringLiteral("cannot make the folder");
        return {};
    }
    // Games that ended in the same second count on, so the later one stays the later one.
    const QString second = ended.toString(kTimeFormat) + QLatin1Char('_');
    int count = 1 + int(dir.entryList({second + QStringLiteral("*")}, QDir::Files).size());
    QString name = FileName(ended, points, count);
    while (dir.exists(name)) name = FileName(ended, points, ++count);
    const QString path = dir.filePath(name);
    if (!WriteWhole(path, text, error)) return {};
    std::vector<TStored> stored;
    for (const QString& entry : dir.entryList({QStringLiteral("*") + QLatin1String(kSuffix)}, QDir::Files))
        if (auto s = ReadName(entry)) stored.push_back(*s);
    for (const QString& gone : ToRemove(std::move(stored))) dir.remove(gone);
    return path;
}

}  // namespace blubbi::replays
