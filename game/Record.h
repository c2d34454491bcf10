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

// Calls f(name, field, role) for every field of the record, in the saved state's order. The
// structured binding names each member once: a field added to the record and not here does not
// compile.
template <class R, class F>
void ForEachField(R& r, F&& f) {
    auto& [GameActive, FacingLeft, Walking, CellDragActive, InsertKind, BlinkCounter, LastHitTick, MusicStartTick,
           TransitionCounter, Score, Lives, LevelNo, StartX, StartY, VelY, WalkFrame, PlayerX, PlayerY, CellDragValue,
           InEndCheck, BurstByTouch, InPaint, MusicJustStarted, EndCheckPending, InDialog, Paused, KeyJump, KeyFire,
           KeyLeft, KeyRight, OnGround, HitTimer, LastFireTick, StartLevelNo, MusicEnabled, SoundEnabled, EditorMode,
           Timer2Enabled, Timer3Enabled, Timer2Started, Timer3Started, PlayFieldX, PlayFieldY, Rng, Grid,
           MusicModeSaved, MusicModeNow, CheatBuffer] =
        static_cast<std::conditional_t<std::is_const_v<R>, const TGameRecord&, TGameRecord&>>(r);
    constexpr TFieldRole C = TFieldRole::Carried, P = TFieldRole::Progress, T = TFieldRole::Transient;
#define BLUBBI_FIELD(name, role) f(#name, name, role)
    BLUBBI_FIELD(GameActive, C);
    BLUBBI_FIELD(FacingLeft, C);
    BLUBBI_FIELD(Walking, C);
    BLUBBI_FIELD(CellDragActive, C);
    BLUBBI_FIELD(InsertKind, C);
    BLUBBI_FIELD(BlinkCounter, C);
    BLUBBI_FIELD(LastHitTick, C);
    BLUBBI_FIELD(MusicStartTick, C);
    BLUBBI_FIELD(TransitionCounter, C);
    BLUBBI_FIELD(Score, P);
    BLUBBI_FIELD(Lives, P);
    BLUBBI_FIELD(LevelNo, P);
    BLUBBI_FIELD(StartX, P);
    BLUBBI_FIELD(StartY, P);
    BLUBBI_FIELD(VelY, C);
    BLUBBI_FIELD(WalkFrame, C);
    BLUBBI_FIELD(PlayerX, P);
    BLUBBI_FIELD(PlayerY, P);
    BLUBBI_FIELD(CellDragValue, C);
    BLUBBI_FIELD(InEndCheck, T);
    BLUBBI_FIELD(BurstByTouch, C);
    BLUBBI_FIELD(InPaint, T);
    BLUBBI_FIELD(MusicJustStarted, C);
    BLUBBI_FIELD(EndCheckPending, C);
    BLUBBI_FIELD(InDialog, T);
    BLUBBI_FIELD(Paused, C);
    BLUBBI_FIELD(KeyJump, C);
    BLUBBI_FIELD(KeyFire, C);
    BLUBBI_FIELD(KeyLeft, C);
    BLUBBI_FIELD(KeyRight, C);
    BLUBBI_FIELD(OnGround, C);
    BLUBBI_FIELD(HitTimer, C);
    BLUBBI_FIELD(LastFireTick, C);
    BLUBBI_FIELD(StartLevelNo, P);
    BLUBBI_FIELD(MusicEnabled, C);
    BLUBBI_FIELD(SoundEnabled, C);
    BLUBBI_FIELD(EditorMode, C);
    BLUBBI_FIELD(Timer2Enabled, C);
    BLUBBI_FIELD(Timer3Enabled, C);
    BLUBBI_FIELD(Timer2Started, C);
    BLUBBI_FIELD(Timer3Started, C);
    BLUBBI_FIELD(PlayFieldX, C);
    BLUBBI_FIELD(PlayFieldY, C);
    f("Rng", Rng.State, C);
    BLUBBI_FIELD(Grid, P);
    BLUBBI_FIELD(MusicModeSaved, C);
    BLUBBI_FIELD(MusicModeNow, C);
    BLUBBI_FIELD(CheatBuffer, C);
#undef BLUBBI_FIELD
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
