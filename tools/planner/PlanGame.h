// A game the planner can fork: the real TMainForm on a quiet headless platform, and a copy of
// its whole moving state from one such game into another.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "game/MainForm.h"
#include "platform/headless/NullPlatform.h"

namespace blubbi::plan {

// Keys the scripts hold, one bit each, in the order the scripts send them.
enum : uint8_t { kKeyLeft = 1, kKeyRight = 2, kKeyUp = 4, kKeySpace = 8 };
constexpr int kKeyCount = 4;
constexpr int32_t kKeyCodes[kKeyCount] = {VK_LEFT, VK_RIGHT, VK_UP, VK_SPACE};

// The null platform, counting the game overs and wins.
class TPlanPlatform : public TNullPlatform {
public:
    TModalResult ShowGameOverDialog(const std::string&) override {
        ++GameOvers;
        return TModalResult::Cancel;
    }
    void ShowWinDialog() override { ++Wins; }
    int GameOvers = 0, Wins = 0;
};

class TPlanGame {
public:
    // Starts the game as blubbi-sim does: program folder `dir`, the seed, the clock at kStartClock.
    TPlanGame(const std::string& dir, uint64_t seed, int32_t startLevel);
    ~TPlanGame();
    TPlanGame(const TPlanGame&) = delete;
    TPlanGame& operator=(const TPlanGame&) = delete;

    // Makes this game the same as `other` from here on (pictures aside).
    void CopyFrom(const TPlanGame& other);

    // One frame with the keys `keys` held: the key changes as a script sends them
    // (releases first, then presses, each in key order), then one timer tick.
    void Step(uint8_t keys);

    TPlanPlatform Platform;
    TMainForm Game{Platform};
    uint8_t Held = 0;  // keys the script holds
    int32_t Frames = 0;
};

// Writes the key changes from `before` to `after` as script lines.
std::string KeyLines(uint8_t before, uint8_t after);

}  // namespace blubbi::plan
