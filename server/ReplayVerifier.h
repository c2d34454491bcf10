// The real replay checker: re-plays a submitted game with the game's own core, headless.
#pragma once
#include <memory>
#include <string>

#include "server/Verifier.h"

namespace blubbi::hiscore {

// `dataDir` is the game's program folder whose levels the replays are played with; pictures of the
// last frame are drawn by the runner `simPath` (blubbi-sim), so the server itself needs no GUI library.
std::unique_ptr<TScoreVerifier> MakeReplayVerifier(const std::string& dataDir, const std::string& simPath);

}  // namespace blubbi::hiscore
