// TKeyMerge: the game's keys held on several sources (the keyboard, each gamepad) seen as one keyboard; PadKeys.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "game/Events.h"

namespace blubbi {

class TKeyMerge {
public:
    static constexpr int kKeyboard = 0;

    // True when the game is to see the key go down: no other source holds it already.
    bool Press(int source, int32_t key);
    // True when the game is to see the key go up: no other source still holds it.
    bool Release(int source, int32_t key);
    // Lets go of every key `source` holds (a pad unplugged); the keys the game is to see go up.
    std::vector<int32_t> ReleaseAll(int source);
    // Lets go of every key of every source (the window lost the keyboard, or the game pauses);
    // the keys the game is to see go up.
    std::vector<int32_t> ReleaseEverything();
    bool Held(int32_t key) const { return Holders.count(key) != 0; }

    // Whether an event of `source` goes on to the game; key events are counted on the way.
    bool Pass(int source, const TEvent& event);

private:
    std::map<int32_t, std::set<int>> Holders;  // key -> the sources holding it; no entry: up
};

// What one pad shows at a moment, in SDL's game-controller terms.
struct TPadInput {
    bool DpadLeft = false, DpadRight = false;
    int LeftX = 0;  // the left stick, -32768 .. 32767
    bool South = false, West = false, East = false;
};

// A stick must leave the middle by this much before it walks: worn sticks rest a little off it.
inline constexpr int kStickDeadZone = 8000;

// The game's keys a pad holds: the d-pad and the left stick beyond its dead zone walk (the
// arrows), the south button jumps (up arrow), the west and east buttons spit (space). In
// ascending key order.
std::vector<int32_t> PadKeys(const TPadInput& input);

}  // namespace blubbi
