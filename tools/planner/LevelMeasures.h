// What a level asks of a player, measured with the game's own rules: where trapped bubbles come
// to rest and whether a jump reaches them, how soon a player who stands still is hit, how alike
// two layouts are, and how a proof's keys fare under other seeds.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "level/LevelCodec.h"

namespace blubbi::plan {

struct TFairness {
    int RestPlaces = 0;   // places (one per pixel column) where a rising bubble stops under a block
    int OutOfReach = 0;   // of those, the ones no jump from a place the player reaches can touch
    int Overlapping = 0;  // pairs of enemies whose boxes meet at load
    int NearStart = 0;    // enemies whose box comes within kNearStart pixels of the player's start box
};
constexpr int kNearStart = 60;

// Rest places and their reach follow the player's own walk, jump and fall from the start position.
TFairness MeasureFairness(const TLevelData& level);

struct TDanger {
    int HitWithin2s = 0, HitWithin5s = 0;  // seeds, of those tried, that hit a player standing still
    int Seeds = 0;
};
// The level `levelNo` of the program folder `dir` under seeds 1 .. seeds, the player standing
// still from the end of the slide on.
TDanger MeasureDanger(const std::string& dir, int32_t levelNo, int seeds);

// Blocks inside the border, the bottom row included: the layout a player sees.
std::vector<bool> Layout(const TLevelData& level);
// The blocks both share over the blocks either has (1 for two empty layouts).
double Overlap(const std::vector<bool>& a, const std::vector<bool>& b);
// The layout seen in a mirror standing upright in the middle of the field.
std::vector<bool> Mirrored(const std::vector<bool>& a);

// A short fingerprint of a level file's bytes, to tell whether a report still speaks of it.
std::string LevelHash(const std::string& bytes);

// Keys held in each frame, as the planner writes them into a proof.
std::vector<uint8_t> ReadProofKeys(const std::string& scriptText);

struct TProofRun {
    bool Cleared = false;  // the next level loaded (or the win dialog shown) within the keys
    int LastPop = -1;      // frame of the last pop, counted from the end of the slide
    int Lives = 0;         // lives at the end
    int CloseCalls = 0;    // frames with a free enemy no more than kCloseGap pixels from the player, unhurt
};
constexpr int kCloseGap = 4;
TProofRun PlayKeys(const std::string& dir, int32_t levelNo, uint64_t seed, const std::vector<uint8_t>& keys);

}  // namespace blubbi::plan
