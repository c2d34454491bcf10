// The local hiscore table as a small JSON file, read defensively and replaced atomically.
#include "app/LocalHiscores.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace blubbi {

namespace {
constexpr qint64 kMaxFileBytes = 64 * 1024;  // ten entries take far less; more is not our file
constexpr qsizetype kMaxNameChars = 64;

bool Better(const THiscoreEntry& a, const THiscoreEntry& b) { return a.Points > b.Points; }
}  // namespace

TLocalHiscores::TLocalHiscores()
    : FileName(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/hiscores.json")) {}

std::vector<THiscoreEntry> TLocalHiscores::Load() const {
    std::vector<THiscoreEntry> entries;
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes) return entries;
    const QJsonDocument doc = QJsonDocument::fromJson(file.read(kMaxFileBytes));
    for (const QJsonValue& value : doc.object().value(QStringLiteral("scores")).toArray()) {
        const QJsonObject o = value.toObject();
        THiscoreEntry e;
        e.Name = o.value(QStringLiteral("name")).toString().left(kMaxNameChars);
        e.Points = o.value(QStringLiteral("points")).toInteger(-1);
        e.Level = o.value(QStringLiteral("level")).toInt(0);
        e.Date = QDateTime::fromString(o.value(QStringLiteral("date")).toString(), Qt::ISODate);
        if (e.Name.isEmpty() || e.Points < 0) continue;  // not an entry of ours
        entries.push_back(e);
    }
    std::stable_sort(entries.begin(), entries.end(), Better);
    if (entries.size() > size_t(kPlaces)) entries.resize(kPlaces);
    return entries;
}

int TLocalHiscores::Enter(const THiscoreEntry& entry, bool* saved) const {
    if (saved) *saved = false;
    std::vector<THiscoreEntry> entries = Load();
    THiscoreEntry e = entry;
    e.Name = e.Name.trimmed().left(kMaxNameChars);
    const auto at = std::upper_bound(entries.begin(), entries.end(), e, Better);
    const int place = int(at - entries.begin()) + 1;
    if (place > kPlaces) return 0;
    entries.insert(at, e);
    if (entries.size() > size_t(kPlaces)) entries.resize(kPlaces);

    QJsonArray scores;
    for (const THiscoreEntry& s : entries)
        scores.append(QJsonObject{{QStringLiteral("name"), s.Name},
                                  {QStringLiteral("points"), s.Points},
                                  {QStringLiteral("level"), s.Level},
                                  {QStringLiteral("date"), s.Date.toString(Qt::ISODate)}});
    QDir().mkpath(QFileInfo(FileName).absolutePath());
    QSaveFile file(FileName);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(QJsonObject{{QStringLiteral("scores"), scores}}).toJson());
        const bool ok = file.commit();
        if (saved) *saved = ok;
    }
    return place;
}

}  // namespace blubbi
