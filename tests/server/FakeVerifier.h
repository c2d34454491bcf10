// A replay checker for tests: its "replays" are one line of words that say what a re-play would find.
#pragma once
#include <atomic>
#include <chrono>
#include <string>

#include "server/Verifier.h"

namespace blubbi::hiscore {

// "FAKE-REPLAY frames=N score=S level=L gameover=1 editor=0 cheat=0 user=0 data=1 check=ok|bad ms=0 drawms=0
// id=X"
// (words other than the first may be left out: the defaults are a game over at level 1 with 0 points,
// 100 frames, nothing used, the shipped data, every checkpoint agreeing, no delay). ms makes the
// check take that long and drawms the drawing of its last frame, to test the deadline.
class TFakeVerifier : public TScoreVerifier {
public:
    std::optional<int64_t> DeclaredFrames(std::string_view replay) override;
    TVerifyResult Verify(std::string_view replay, int64_t maxFrames, const std::atomic<bool>& cancel) override;
    // A stand-in PNG: the signature followed by the replay's bytes.
    std::optional<std::string> LastFramePng(std::string_view replay, int64_t maxFrames, const std::atomic<bool>& cancel,
                                            std::chrono::steady_clock::time_point deadline) override;

    std::atomic<int> Drawn{0};  // pictures made so far
};

}  // namespace blubbi::hiscore
