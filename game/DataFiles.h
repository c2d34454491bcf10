// The files of the program folder that the game's rules read: the sheets and the game's own
// levels. The replay's data hash covers exactly these, so both take them from here.
#pragma once
#include <cstddef>
#include <span>
#include <string_view>

namespace blubbi {

struct TSheetFile {
    size_t Slot;       // index into TMainForm::Sheets
    const char* Path;  // in the program folder
};

// The sheets in their load order; release runs in the same order.
std::span<const TSheetFile> SheetFiles();

// Whether a file name in levels/ is one the game loads by number (LevelFileName): "level",
// three or more decimal digits, ".lev". Other .lev files there are the player's own.
bool IsOwnLevelFileName(std::string_view name);

}  // namespace blubbi
