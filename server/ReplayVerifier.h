// The real replay checker: re-plays a submitted game with the game's own core, headless.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "server/Verifier.h"

namespace blubbi::hiscore {

// The bounds of a check's work: the actors of all its frames together at most this many a frame,
// and no frame with more than this many.
constexpr int64_t kCheckActorsPerFrame = 64;
constexpr int64_t kCheckMaxActors = 1000;

// `dataDir` is the game's program folder whose levels the replays are played with; pictures of the
// last frame are drawn by the runner `simPath` (blubbi-sim), so the server itself needs no GUI library.
std::unique_ptr<TScoreVerifier> MakeReplayVerifier(const std::string& dataDir, const std::string& simPath);

}  // namespace blubbi::hiscore
