// A game the planner can fork.
#include "tools/planner/PlanGame.h"

#include <stdexcept>
#include <vector>

#include "game/Snapshot.h"
#include "platform/replay/EventLines.h"

namespace blubbi::plan {

TPlanGame::TPlanGame(const std::string& dir, uint64_t seed, int32_t startLevel) {
    Platform.Dir = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    Platform.Seed = seed;
    Game.StartLevelNo = startLevel;
    Game.FormCreate();
}

TPlanGame::~TPlanGame() { Game.FormDestroy(); }

// The game through its saved state, the one list of what a frame reads or writes, so that a field
// the game gains is copied here too; the sheets and pictures only draw. Then the platform's clock and
// timers, which the saved state leaves to the platform.
void TPlanGame::CopyFrom(const TPlanGame& other) {
    const std::vector<uint8_t> state = SaveState(other.Game);
    if (!LoadState(Game, state.data(), state.size())) throw std::logic_error("a saved game state did not load");
    Game.Paused = other.Game.Paused;

    TPlanPlatform& p = Platform;
    const TPlanPlatform& q = other.Platform;
    p.Clock = q.Clock;
    p.ClockPaused = q.ClockPaused;
    p.PausedAt = q.PausedAt;
    p.PausedMs = q.PausedMs;
    p.TimerOn = q.TimerOn;
    p.TimerSince = q.TimerSince;
    p.Width = q.Width;
    p.Height = q.Height;
    p.GameOvers = q.GameOvers;
    p.Wins = q.Wins;
    Held = other.Held;
    Frames = other.Frames;
}

void TPlanGame::Step(uint8_t keys) {
    for (int k = 0; k < kKeyCount; ++k)
        if ((Held & (1 << k)) && !(keys & (1 << k))) Game.FormKeyUp(kKeyCodes[k]);
    for (int k = 0; k < kKeyCount; ++k)
        if (!(Held & (1 << k)) && (keys & (1 << k))) Game.FormKeyDown(kKeyCodes[k]);
    Held = keys;
    Platform.Tick(Game);
    ++Frames;
}

std::string KeyLines(uint8_t before, uint8_t after) {
    std::string out;
    for (int k = 0; k < kKeyCount; ++k)
        if ((before & (1 << k)) && !(after & (1 << k))) out += "up " + KeyName(kKeyCodes[k]) + "\n";
    for (int k = 0; k < kKeyCount; ++k)
        if (!(before & (1 << k)) && (after & (1 << k))) out += "down " + KeyName(kKeyCodes[k]) + "\n";
    return out;
}

}  // namespace blubbi::plan
