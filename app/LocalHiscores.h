// TLocalHiscores: the best ten games played on this computer, kept in the user's data folder.
#pragma once
#include <QDateTime>
#include <QString>
#include <vector>

namespace blubbi {

struct THiscoreEntry {
    QString Name;
    qint64 Points = 0;
    int Level = 0;
    QDateTime Date;
};

class TLocalHiscores {
public:
    static constexpr int kPlaces = 10;

    // The table in the user's data folder.
    TLocalHiscores();
    explicit TLocalHiscores(QString fileName) : FileName(std::move(fileName)) {}

    QString File() const { return FileName; }

    // Best first; a missing or damaged file is an empty table.
    std::vector<THiscoreEntry> Load() const;
    // Enters a game; its place (1 to 10), or 0 when it is not among the best ten. Equal points
    // keep the older game ahead. The file is replaced whole or not at all; `saved` says which.
    int Enter(const THiscoreEntry& entry, bool* saved = nullptr) const;

private:
    QString FileName;
};

}  // namespace blubbi
