// Level files: reading a .lev file into the game and writing the level back safely.
#include <filesystem>

#include "base/Files.h"
#include "game/MainForm.h"
#include "level/LevelCodec.h"

namespace blubbi {

// Only a regular file of a level's size at most; a FIFO or a device is not waited for.
std::optional<std::vector<uint8_t>> TPlatform::ReadLevelFile(const std::string& fileName) {
    std::string error;
    return ReadRegularFile(fileName, kLevelMaxFileBytes, error);
}

bool TMainForm::OpenLevel(const std::string& fileName) {
    LastHitTick = 0;
    const auto bytes = Platform.ReadLevelFile(fileName);
    if (!bytes) return false;  // unreadable or damaged: the level in memory stays as it was
    const auto level = DecodeLevel(bytes->data(), bytes->size());
    if (!level) return false;
    ApplyLevel(*level);
    LevelName = std::filesystem::path(fileName).stem().string();
    return true;
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
    History.Clear();
    Platform.RecoveryDue();
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
    std::string error;
    const bool ok = WriteFileSafely(fileName, out.data(), out.size(), error);
    if (!ok) Platform.ShowErrorMessage("Der Level konnte nicht gespeichert werden:\n" + fileName);
    if (ok) {
        CloseEditStep();
        History.MarkSaved();
        LevelName = std::filesystem::path(fileName).stem().string();
        Platform.RecoveryDue();
        Platform.LevelFileUsed(fileName);
    }
    return ok;
}

std::vector<uint8_t> TMainForm::LevelBytes() const {
    TLevelData level;
    std::copy(Grid.begin(), Grid.end(), level.Grid.begin());
    // By place, not by the list's cursor: reading the level changes nothing of the game.
    if (Enemies)
        for (int32_t i = 0; i < Enemies->Count; ++i) level.Enemies.push_back((*Enemies)[i]);
    level.StartX = PlayerX;
    level.StartY = PlayerY;
    return EncodeLevel(level);
}

}  // namespace blubbi
