// The sheet list and the name of the game's own level files.
#include "game/DataFiles.h"

#include <array>

#include "game/MainForm.h"

namespace blubbi {

namespace {
constexpr std::array<TSheetFile, kSheetCount> kSheetFiles{{
    {kSlotStein1, "grafiken/stein1.gif"},
    {kSlotFigur1, "grafiken/figur1.gif"},
    {kSlotFigur2, "grafiken/figur2.gif"},
    {kSlotLaufe2, "grafiken/laufe2.gif"},
    {kSlotFeind1, "grafiken/feind1.gif"},
    {kSlotFeind2, "grafiken/feind2.gif"},
    {kSlotFeind3, "grafiken/feind3.gif"},
    {kSlotFeind4, "grafiken/feind4.gif"},
    {kSlotLeben, "grafiken/leben.gif"},
    {kSlotItem, "grafiken/item.gif"},
}};
}  // namespace

std::span<const TSheetFile> SheetFiles() { return kSheetFiles; }

bool IsOwnLevelFileName(std::string_view name) {
    constexpr std::string_view head = "level", tail = ".lev";
    if (name.size() < head.size() + 3 + tail.size() || !name.starts_with(head) || !name.ends_with(tail)) return false;
    for (char c : name.substr(head.size(), name.size() - head.size() - tail.size()))
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace blubbi
