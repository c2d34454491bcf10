// The game's replays in the user's data folder: their names, safe writing, and which of them stay.
#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace blubbi::replays {

// Every replay file ends in it.
inline constexpr char kSuffix[] = ".blubbi-replay";
// The folder keeps the last games and the best ones by points; the rest goes.
inline constexpr int kKeepLast = 20, kKeepBest = 20;

// The replays' folder: "replays" in the user's data folder of the game.
QString Folder();

// A replay the game stored, as its file name tells.
struct TStored {
    QString Name;  // the file name without its folder
    QDateTime Ended;
    int32_t Points = 0;
    int Count = 1;  // of games that ended within that second
};

// The name of a game that ended at `ended` with `points`; `count` above 1 tells apart games
// that ended within one second.
QString FileName(const QDateTime& ended, int32_t points, int count = 1);
// What a name the game gave tells; nothing for other names (those files are the player's own).
std::optional<TStored> ReadName(const QString& name);

// The names to remove so that the last kKeepLast and the best kKeepBest games stay.
QStringList ToRemove(std::vector<TStored> stored);

// Writes `text` to `path` whole or not at all (a temporary file in the same folder, then
// renamed); false with the reason.
bool WriteWhole(const QString& path, const QByteArray& text, QString& error);

// Stores a game's replay in `folder` and removes the replays that go; the new file's path, or
// empty with the reason.
QString Store(const QString& folder, const QByteArray& text, int32_t points, const QDateTime& ended, QString& error);

}  // namespace blubbi::replays
