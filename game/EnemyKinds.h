// The four enemy kinds: their sheet, frames, animation cycle, and the box a new one gets.
#pragma once
#include <array>
#include <cstdint>

#include "game/MainForm.h"

namespace blubbi {

struct TEnemyKind {
    int Slot;               // sheet slot
    int Frames;             // frames stacked in the sheet
    int32_t AnimCycle;      // AnimCounter runs 0 .. AnimCycle - 1; each frame shows for 5 (0: not animated)
    int32_t Width, Height;  // the box the editor gives a new enemy of this kind
};

// Indexed by TEnemy::Kind.
inline constexpr std::array<TEnemyKind, 4> kEnemyKinds{{
    {kSlotFeind1, 2, 0, 46, 60},   // "Feder"
    {kSlotFeind2, 2, 10, 50, 40},  // "Geist"
    {kSlotFeind3, 2, 10, 30, 40},  // "Blaues Männel"
    {kSlotFeind4, 4, 20, 44, 50},  // "Rotes Monster"
}};

// nullptr for a kind no level should hold: such an enemy is never drawn, free or trapped.
inline const TEnemyKind* KindOf(int32_t kind) {
    return kind >= 0 && kind < static_cast<int32_t>(kEnemyKinds.size()) ? &kEnemyKinds[static_cast<size_t>(kind)]
                                                                        : nullptr;
}

}  // namespace blubbi
