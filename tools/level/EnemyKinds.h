// The four enemy kinds as the level tool knows them: number, text token, menu name and box size.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "game/EnemyKinds.h"

namespace blubbi::leveltool {

struct TKindInfo {
    int32_t Kind;
    std::string_view Token;  // the word used in the text form
    std::string_view Name;   // the name the editor menu shows
    int32_t Width, Height;   // the box the editor gives a new enemy of this kind
};

inline constexpr std::array<TKindInfo, 4> kKinds{{
    {kFeder, "Feder", "Feder", kEnemyKinds[kFeder].Width, kEnemyKinds[kFeder].Height},
    {kGeist, "Geist", "Geist", kEnemyKinds[kGeist].Width, kEnemyKinds[kGeist].Height},
    {kBlauesMaennel, "BlauesMaennel", "Blaues Männel", kEnemyKinds[kBlauesMaennel].Width,
     kEnemyKinds[kBlauesMaennel].Height},
    {kRotesMonster, "RotesMonster", "Rotes Monster", kEnemyKinds[kRotesMonster].Width,
     kEnemyKinds[kRotesMonster].Height},
}};

inline const TKindInfo* FindKind(int32_t kind) {
    for (const TKindInfo& k : kKinds)
        if (k.Kind == kind) return &k;
    return nullptr;
}

inline const TKindInfo* FindKindToken(std::string_view token) {
    for (const TKindInfo& k : kKinds)
        if (k.Token == token) return &k;
    return nullptr;
}

}  // namespace blubbi::leveltool
