// How each enemy kind looks: its sheet, its frames and the length of its animation cycle.
#pragma once
#include <cstdint>

#include "game/MainForm.h"

namespace blubbi {

struct TEnemyLook {
    int Slot;            // sheet slot
    int Frames;          // frames stacked in the sheet
    int32_t AnimCycle;   // AnimCounter runs 0 .. AnimCycle - 1; each frame shows for 5 (0: not animated)
};

// nullptr for a kind no level should hold: such an enemy is never drawn, free or trapped.
inline const TEnemyLook* LookOf(int32_t kind) {
    static constexpr TEnemyLook kLooks[] = {
        {kSlotFeind1, 2, 0},   // "Feder"
        {kSlotFeind2, 2, 10},  // "Geist"
        {kSlotFeind3, 2, 10},  // "Blaues Männel"
        {kSlotFeind4, 4, 20},  // "Rotes Monster"
    };
    return kind >= 0 && kind < 4 ? &kLooks[kind] : nullptr;
}

}  // namespace blubbi
