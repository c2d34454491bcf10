// The four enemy kinds: their names, sheet, frames, animation cycle, footing, and the box a new one gets.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "game/MainForm.h"

namespace blubbi {

struct TEnemyKind {
    std::string_view Token;  // the kind's word in a level's text form
    std::string_view Name;   // the kind as the editor's menu names it (UTF-8)
    size_t Slot;             // sheet slot
    int Frames;              // frames stacked in the sheet
    int32_t AnimCycle;       // AnimCounter runs 0 .. AnimCycle - 1; each frame shows for 5 (0: not animated)
    int32_t FootInset;       // it stands on columns X + inset .. X + Width - inset
    int32_t Width, Height;   // the box the editor gives a new enemy of this kind
};

// Indexed by TEnemy::Kind. The "Geist" flies and never stands anywhere.
inline constexpr std::array<TEnemyKind, 4> kEnemyKinds{{
    {"Feder", "Feder", kSlotFeind1, 2, 0, 0, 46, 60},
    {"Geist", "Geist", kSlotFeind2, 2, 10, 0, 50, 40},
    {"BlauesMaennel", "Blaues Männel", kSlotFeind3, 2, 10, 0, 30, 40},
    {"RotesMonster", "Rotes Monster", kSlotFeind4, 4, 20, 8, 44, 50},
}};

// nullptr for a kind no level should hold: such an enemy is never drawn, free or trapped.
inline const TEnemyKind* KindOf(int32_t kind) {
    return kind >= 0 && kind < static_cast<int32_t>(kEnemyKinds.size()) ? &kEnemyKinds[static_cast<size_t>(kind)]
                                                                        : nullptr;
}

// The kind a level's text form names, or nullptr.
inline const TEnemyKind* KindOfToken(std::string_view token) {
    for (const TEnemyKind& k : kEnemyKinds)
        if (k.Token == token) return &k;
    return nullptr;
}

// The kind's number for TEnemy::Kind.
inline int32_t KindNumber(const TEnemyKind& kind) { return static_cast<int32_t>(&kind - kEnemyKinds.data()); }

}  // namespace blubbi
