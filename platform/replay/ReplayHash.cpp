// The hashes a replay holds: of the game state and of the data the rules read.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "base/Sha256.h"
#include "game/DataFiles.h"
#include "game/Snapshot.h"
#include "platform/replay/Replay.h"
#include "platform/replay/ReplayShared.h"

namespace blubbi {

namespace fs = std::filesystem;

namespace {

// The files of the program folder the rules read, by their path in it, sorted: the game's own
// levels and the sheets. Nothing else counts, so build files beside them (the sound library's
// objects in a build tree's sound/) or pictures only the window shows change no hash.
std::vector<std::string> RuleFiles(const std::string& dataDir) {
    std::vector<std::string> names;
    for (const TSheetFile& sheet : SheetFiles()) names.emplace_back(sheet.Path);
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(dataDir) / "levels", ec), end; !ec && it != end; it.increment(ec))
        if (const std::string name = it->path().filename().string(); IsOwnLevelFileName(name))
            names.push_back("levels/" + name);
    std::erase_if(names, [&](const std::string& name) { return !fs::is_regular_file(fs::path(dataDir) / name, ec); });
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

// The game's own levels by file name, with the hash of their bytes now: those the data hash covers.
std::map<std::string, std::string> LevelFilesNow(const std::string& dataDir) {
    std::map<std::string, std::string> levels;
    for (const std::string& name : RuleFiles(dataDir)) {
        if (!name.starts_with("levels/")) continue;
        const std::string content = ReadAll(fs::path(dataDir) / name);
        levels.emplace(name.substr(std::string_view("levels/").size()), Sha256Hex(content.data(), content.size()));
    }
    return levels;
}

// The file's name when it is one of the game's own levels, by name and folder.
std::optional<std::string> OwnLevelName(const std::string& dataDir, const std::string& fileName) {
    const fs::path file(fileName);
    if (file.parent_path().lexically_normal() != (fs::path(dataDir) / "levels").lexically_normal()) return std::nullopt;
    if (!IsOwnLevelFileName(file.filename().string())) return std::nullopt;
    return file.filename().string();
}

std::string StateHash(const TMainForm& game) {
    const auto bytes = SaveState(game);
    return Sha256Hex(bytes.data(), bytes.size()).substr(0, 16);
}

std::string PlayHash(const TMainForm& game, uint32_t now) {
    TGameRecord r = game;
    // 0 is "never" for the ticks that have such a meaning; it stays so.
    for (uint32_t* tick : {&r.LastHitTick, &r.MusicStartTick, &r.LastFireTick, &r.Timer2Started, &r.Timer3Started})
        if (*tick != 0) *tick = now - *tick;
    TSha256 hash;
    ForEachField(std::as_const(r), [&](const char* name, const auto& v, TFieldRole) {
        using T = std::decay_t<decltype(v)>;
        hash.Add(std::string(name) + '=');
        if constexpr (std::is_integral_v<T>)
            hash.Add(std::to_string(v));
        else
            hash.Add(v.data(), v.size());
        hash.Add("\n");
    });
    const auto list = [&](const auto& records, auto&& age) {
        const int32_t count = records ? records->Count : -1;
        hash.Add(&count, sizeof count);
        for (int32_t i = 0; i < count; ++i) {
            using T = std::decay_t<decltype((*records)[i])>;
            std::array<uint8_t, sizeof(T)> bytes;
            std::memcpy(bytes.data(), &(*records)[i], sizeof(T));
            age(bytes);
            hash.Add(bytes.data(), bytes.size());
        }
    };
    list(game.Bubbles, [now](auto& bytes) {
        uint32_t spawned = 0;
        std::memcpy(&spawned, bytes.data() + offsetof(TBubble, SpawnTick), sizeof spawned);
        spawned = now - spawned;
        std::memcpy(bytes.data() + offsetof(TBubble, SpawnTick), &spawned, sizeof spawned);
    });
    list(game.Enemies, [](auto&) {});
    list(game.Items, [](auto&) {});
    return hash.Hex();
}

std::string DataHash(const std::string& dataDir) {
    TSha256 hash;
    for (const std::string& name : RuleFiles(dataDir)) {
        const std::string bytes = ReadAll(fs::path(dataDir) / name);
        hash.Add(name + '\0' + std::to_string(bytes.size()) + '\0');
        hash.Add(bytes);
    }
    return hash.Hex();
}

}  // namespace blubbi
