// The planner's search: a beam of forked games that try short runs of held keys and keep
// the runs that bring the end of the level nearest.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/planner/PlanGame.h"

namespace blubbi::plan {

struct TSearchOptions {
    int Beam = 150;           // games kept after every run, the best ones
    int Spread = 100;         // and so many more, the most advanced at each place the player reached
    int MaxFrames = 12000;    // give up on a level after this many frames
    double BubbleCost = 200;  // what an empty bubble in flight costs, in pixels of distance x 10
    int Cadence = 4;          // frames between changes of the keys: 4 is 100 ms, 10 is 250 ms
    bool Verbose = false;
};

// The keys held in each frame from the state of `start` until the level is over: the next
// level loaded or the win dialog shown. Nothing when no way was found, or all lives went.
std::optional<std::vector<uint8_t>> PlanLevel(const TPlanGame& start, const std::string& dir, uint64_t seed,
                                              const TSearchOptions& options);

}  // namespace blubbi::plan
