// The game's state record: every plain value a frame can read or change, in one list from
// which the saved state, its hash, the replay's new-game start and blubbi-sim's dump all derive.
#pragma once
#include <cstdint>
#include <string>
#include <type_traits>

#include "game/Geometry.h"
#include "game/Random.h"

namespace blubbi {

// How a field belongs to a game. Progress is what a game has won (a new game sets it anew);
// Transient is set and cleared within one event, so it is 0 between events; every other field
// carries over from one game into the next.
enum class TFieldRole : uint8_t { Carried, Progress, Transient };

struct TGameRecord {
    uint8_t GameActive = 0;
    uint8_t FacingLeft = 0;
    uint8_t Walking = 0;
    uint8_t CellDragActive = 0;
    int32_t InsertKind = 0;
    int32_t BlinkCounter = 0;
    uint32_t LastHitTick = 0;
    uint32_t MusicStartTick = 0;
    int32_t TransitionCounter = 0;
    int32_t Score = 0;
    int32_t Lives = 0;
    int32_t LevelNo = 0;
    int32_t StartX = 0, StartY = 0;
    int32_t VelY = 0;
    int32_t WalkFrame = 0;
    int32_t PlayerX = 0, PlayerY = 0;
    int32_t CellDragValue = 0;
    uint8_t InEndCheck = 0;
    uint8_t BurstByTouch = 0;
    uint8_t InPaint = 0;
    uint8_t MusicJustStarted = 0;
    uint8_t EndCheckPending = 0;
    uint8_t InDialog = 0;
    uint8_t Paused = 0;
    uint8_t KeyJump = 0, KeyFire = 0, KeyLeft = 0, KeyRight = 0;
    uint8_t OnGround = 0;
    int32_t HitTimer = 0;
    uint32_t LastFireTick = 0;
    // The level a run starts at: the game's own 1, or another of its levels for a run that
    // proves one level on its own. Read once, by FormCreate.
    int32_t StartLevelNo = 1;
    // The menu switches (check marks) and the one-shot timers, with the tick each was started at.
    uint8_t MusicEnabled = 1;
    uint8_t SoundEnabled = 1;
    uint8_t EditorMode = 0;
    uint8_t Timer2Enabled = 0;
    uint8_t Timer3Enabled = 0;
    uint32_t Timer2Started = 0;
    uint32_t Timer3Started = 0;
    // Where the play field sits in the paint box, as the last frame placed it.
    int32_t PlayFieldX = 0, PlayFieldY = 0;
    TRandom Rng;
    TGrid Grid{};
    std::string MusicModeSaved, MusicModeNow;
    std::string CheatBuffer;
};

// Every field of the record with its role (C carried, P progress, T transient), in the saved
// state's order, SEP between two. The one list names the members for a structured binding and
// for the calls alike, so a member missing here, or a line of here left out, does not compile.
// clang-format off
#define BLUBBI_GAME_FIELDS(X, SEP) \
    X(GameActive, C) SEP           \
    X(FacingLeft, C) SEP           \
    X(Walking, C) SEP              \
    X(CellDragActive, C) SEP       \
    X(InsertKind, C) SEP           \
    X(BlinkCounter, C) SEP         \
    X(LastHitTick, C) SEP          \
    X(MusicStartTick, C) SEP       \
    X(TransitionCounter, C) SEP    \
    X(Score, P) SEP                \
    X(Lives, P) SEP                \
    X(LevelNo, P) SEP              \
    X(StartX, P) SEP               \
    X(StartY, P) SEP               \
    X(VelY, C) SEP                 \
    X(WalkFrame, C) SEP            \
    X(PlayerX, P) SEP              \
    X(PlayerY, P) SEP              \
    X(CellDragValue, C) SEP        \
    X(InEndCheck, T) SEP           \
    X(BurstByTouch, C) SEP         \
    X(InPaint, T) SEP              \
    X(MusicJustStarted, C) SEP     \
    X(EndCheckPending, C) SEP      \
    X(InDialog, T) SEP             \
    X(Paused, C) SEP               \
    X(KeyJump, C) SEP              \
    X(KeyFire, C) SEP              \
    X(KeyLeft, C) SEP              \
    X(KeyRight, C) SEP             \
    X(OnGround, C) SEP             \
    X(HitTimer, C) SEP             \
    X(LastFireTick, C) SEP         \
    X(StartLevelNo, P) SEP         \
    X(MusicEnabled, C) SEP         \
    X(SoundEnabled, C) SEP         \
    X(EditorMode, C) SEP           \
    X(Timer2Enabled, C) SEP        \
    X(Timer3Enabled, C) SEP        \
    X(Timer2Started, C) SEP        \
    X(Timer3Started, C) SEP        \
    X(PlayFieldX, C) SEP           \
    X(PlayFieldY, C) SEP           \
    X(Rng, C) SEP                  \
    X(Grid, P) SEP                 \
    X(MusicModeSaved, C) SEP       \
    X(MusicModeNow, C) SEP         \
    X(CheatBuffer, C)
// clang-format on

// The value a field keeps: the generator by its state.
template <class V>
decltype(auto) StoredValue(V& v) {
    if constexpr (std::is_same_v<std::remove_const_t<V>, TRandom>) {
        return (v.State);
    } else {
        return (v);
    }
}

// Calls f(name, field, role) for every field of the record, in the saved state's order.
template <class R, class F>
void ForEachField(R& r, F&& f) {
#define BLUBBI_FIELD_NAME(name, role) name
#define BLUBBI_FIELD_CALL(name, role) f(#name, StoredValue(name), role);
#define BLUBBI_FIELD_COMMA ,
    auto& [BLUBBI_GAME_FIELDS(BLUBBI_FIELD_NAME, BLUBBI_FIELD_COMMA)] =
        static_cast<std::conditional_t<std::is_const_v<R>, const TGameRecord&, TGameRecord&>>(r);
    constexpr TFieldRole C = TFieldRole::Carried, P = TFieldRole::Progress, T = TFieldRole::Transient;
    BLUBBI_GAME_FIELDS(BLUBBI_FIELD_CALL, )
#undef BLUBBI_FIELD_NAME
#undef BLUBBI_FIELD_CALL
#undef BLUBBI_FIELD_COMMA
}

}  // namespace blubbi

namespace blubbi {

// Every signed number a game holds (positions, speeds, counters, points, lives, the level) stays far
// inside this in any real game; a saved state or carried values outside it were not made by one,
// and counting on from there could overflow.
constexpr int32_t kFieldBound = 1 << 24;

inline bool InBounds(int32_t v) { return v >= -kFieldBound && v <= kFieldBound; }

// The record's signed numbers all within kFieldBound. Ticks and the generator may hold any value.
inline bool InBounds(const TGameRecord& r) {
    bool ok = true;
    ForEachField(r, [&](const char*, const auto& v, TFieldRole) {
        if constexpr (std::is_same_v<std::decay_t<decltype(v)>, int32_t>) ok = ok && InBounds(v);
    });
    return ok;
}

}  // namespace blubbi
