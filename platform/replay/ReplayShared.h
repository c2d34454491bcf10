// What the recorder, the player and the check share inside the replay library: the data folder's
// own levels and the media commands whose answers a replay holds.
#pragma once
#include <map>
#include <optional>
#include <string>

namespace blubbi {

// The media commands whose answers a replay writes: the status queries.
inline bool IsStatusQuery(const std::string& command) { return command.rfind("status ", 0) == 0; }

inline std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

// The game's own levels by file name, with the hash of their bytes now: those the data hash covers.
std::map<std::string, std::string> LevelFilesNow(const std::string& dataDir);
// The file's name when it is one of the game's own levels, by name and folder.
std::optional<std::string> OwnLevelName(const std::string& dataDir, const std::string& fileName);

}  // namespace blubbi
