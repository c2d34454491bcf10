// What the clock of a real session can do: the frame timer never delivers its ticks faster than it
// can, the clock never runs backwards, and a one-shot timer fires only once its time has passed on
// the game's own clock. The recorder keeps to it and the reader refuses a replay that does not.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "game/Platform.h"

namespace blubbi {

// Any 40 ticks in a row take at least 800 ms on the game's clock: a mean step of 20 ms against the
// timer's 25. A precise timer that falls behind fires its next tick at once but never catches up,
// so 40 ticks always span 39 whole periods (975 ms) less how late the first one was run; every pause,
// menu or dialog in between can cost at most one period more, as the clock stands while they hold
// the game. The margin of 175 ms takes seven of them a second.
constexpr int kClockWindowTicks = 40;
constexpr uint32_t kClockWindowMinMs = 800;
// A step this large or larger is the clock going backwards (a 32-bit count wrapped round).
constexpr uint32_t kClockBackwards = 0x80000000u;

// Counts the ticks of one replay on its clock.
class TTickClock {
public:
    TTickClock() { Reset(); }
    // The step before an event or a tick; false when it turns the clock back.
    static bool Forward(uint32_t step) { return step < kClockBackwards; }
    // Whether a tick at `clock` (ms since the replay's start) keeps the window; `spanMs` is the time
    // its window took then.
    bool Allows(uint64_t clock, uint64_t& spanMs) const {
        if (Count < kClockWindowTicks) return true;
        spanMs = clock - Ring[Count % kClockWindowTicks];
        return spanMs >= kClockWindowMinMs;
    }
    void Add(uint64_t clock) { Ring[Count++ % kClockWindowTicks] = clock; }
    // A run of `n` ticks `step` ms apart after the clock `clock`: the first window that breaks the
    // rule by its last tick's number in the run (from 1), or 0. Long even runs are judged at once.
    int64_t AddRun(uint64_t clock, uint32_t step, int64_t n, uint64_t& spanMs);
    // The start counts as a tick: the first 40 steps are judged at the 40th tick.
    void Reset() {
        Count = 0;
        Add(0);
    }

private:
    std::array<uint64_t, static_cast<size_t>(kClockWindowTicks)> Ring{};
    uint64_t Count = 0;
};

inline int64_t TTickClock::AddRun(uint64_t clock, uint32_t step, int64_t n, uint64_t& spanMs) {
    const int64_t single = n < int64_t{2} * kClockWindowTicks ? n : kClockWindowTicks;
    for (int64_t i = 1; i <= single; ++i) {
        clock += step;
        if (!Allows(clock, spanMs)) return i;
        Add(clock);
    }
    if (single == n) return 0;
    // Every later window lies wholly in the run: all alike.
    spanMs = uint64_t{step} * kClockWindowTicks;
    if (spanMs < kClockWindowMinMs) return single + 1;
    clock += uint64_t{step} * static_cast<uint64_t>(n - single);
    for (int i = kClockWindowTicks - 1; i >= 0; --i) Add(clock - uint64_t{step} * static_cast<uint64_t>(i));
    return 0;
}

// A one-shot timer's line is due once its interval has passed since the game started it.
inline bool OneShotDue(uint32_t now, uint32_t started) { return now - started >= kOneShotIntervalMs; }

}  // namespace blubbi
