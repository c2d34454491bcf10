// Level files: reading a .lev file into the game and writing the level back safely.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "game/MainForm.h"
#include "level/LevelCodec.h"

namespace blubbi {

namespace {

// Reads just the bytes the file's own layout asks for; nullopt for a file too short for it.
// Level files travel between players, so the count is weighed against the real size
// before anything is allocated.
std::optional<std::vector<uint8_t>> ReadLevelBytes(const std::string& fileName, bool& opened) {
    std::ifstream in(fileName, std::ios::binary);
    opened = static_cast<bool>(in);
    if (!opened) return std::nullopt;
    std::vector<uint8_t> bytes(kLevelRecordsOffset);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        return std::nullopt;
    const uint64_t needed = LevelBytesNeeded(*StoredEnemyCount(bytes.data(), bytes.size()));
    std::error_code ec;
    const uint64_t size = std::filesystem::file_size(fileName, ec);
    if (ec || size < needed) return std::nullopt;
    bytes.resize(needed);
    if (!in.read(reinterpret_cast<char*>(bytes.data() + kLevelRecordsOffset),
                 static_cast<std::streamsize>(needed - kLevelRecordsOffset)))
        return std::nullopt;
    return bytes;
}

}  // namespace

void TMainForm::OpenLevel(const std::string& fileName) {
    LastHitTick = 0;
    bool opened = false;
    const auto bytes = ReadLevelBytes(fileName, opened);
    if (!bytes) return;  // unreadable or damaged: the level in memory stays as it was
    if (const auto level = DecodeLevel(bytes->data(), bytes->size())) ApplyLevel(*level);
}

void TMainForm::ApplyLevel(const TLevelData& level) {
    std::copy(level.Grid.begin(), level.Grid.end(), Grid.begin());
    if (Enemies) {
        Enemies->Clear();
        // One block for all records at once: appending them one by one would copy the list
        // at every hundredth record, and a level of many enemies would load in quadratic time.
        const auto count = static_cast<int32_t>(level.Enemies.size());
        if (TEnemy* e = count > 0 ? Enemies->AppendMany(count) : nullptr) {
            for (const TEnemy& stored : level.Enemies) {
                *e = stored;
                e->Removed = 0;
                e->Trapped = 0;
                e->DirX = 0;
                ++e;
            }
        }
    }
    StartX = level.StartX;
    StartY = level.StartY;
    PlayerX = StartX;
    PlayerY = StartY;
    if (Bubbles) Bubbles->Clear();
    if (Items) Items->Clear();
    PaintBox1Paint();
}

bool TMainForm::SaveLevel(const std::string& fileName) {
    TLevelData level;
    std::copy(Grid.begin(), Grid.end(), level.Grid.begin());
    if (Enemies) {
        Enemies->Rewind();
        while (Enemies->Next()) level.Enemies.push_back(*Enemies->Current());
    }
    // The player's position now becomes the level's start position.
    level.StartX = PlayerX;
    level.StartY = PlayerY;
    const std::vector<uint8_t> out = EncodeLevel(level);

    // Written beside the target and renamed over it, so a failure never costs the old file.
    const std::string temp = fileName + ".tmp-" + std::to_string(::getpid());
    bool ok = false;
    if (FILE* f = std::fopen(temp.c_str(), "wb")) {
        ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
        ok = std::fflush(f) == 0 && ok;
        ok = ::fsync(::fileno(f)) == 0 && ok;
        ok = std::fclose(f) == 0 && ok;
        ok = ok && std::rename(temp.c_str(), fileName.c_str()) == 0;
        if (!ok) std::remove(temp.c_str());
    }
    if (!ok) Platform.ShowErrorMessage("Der Level konnte nicht gespeichert werden:\n" + fileName);
    return ok;
}

}  // namespace blubbi
