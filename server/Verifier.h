// What the server asks of a replay checker, and the rules that turn its findings into an answer.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/replay/VerifyResult.h"

namespace blubbi::hiscore {

// A check's findings are the replay player's own (platform/replay/VerifyResult.h): the server judges
// LimitExceeded as a replay too long for it and Cancelled as one whose check ran out of time.

class TScoreVerifier {
public:
    virtual ~TScoreVerifier() = default;
    // The number of frames the replay says it holds, read from its head without playing it;
    // nothing when the bytes are not a replay.
    virtual std::optional<int64_t> DeclaredFrames(std::string_view replay) = 0;
    // As above; for bytes that are not a replay this game takes, `refusal` says at which line and why.
    virtual std::optional<int64_t> DeclaredFrames(std::string_view replay, TVerifyResult& refusal) {
        refusal.Status = TVerifyResult::TStatus::Malformed;
        return DeclaredFrames(replay);
    }
    // Re-plays at most maxFrames frames; returns Cancelled soon after cancel becomes true.
    virtual TVerifyResult Verify(std::string_view replay, int64_t maxFrames, const std::atomic<bool>& cancel) = 0;
    // The game's last frame as a PNG, or nothing when this checker draws no pictures or could not;
    // gives up soon after cancel becomes true or the deadline has passed.
    virtual std::optional<std::string> LastFramePng(std::string_view replay, int64_t maxFrames,
                                                    const std::atomic<bool>& cancel,
                                                    std::chrono::steady_clock::time_point deadline) = 0;
};

// What the server does with a submission after its replay has been checked.
struct TJudgement {
    int Status = 0;  // HTTP status: 201 stored, 4xx refused, 503 not decided
    bool Store = false;
    bool Verified = false;
    bool Ranked = false;
    std::string Reason;  // German, for the player
    std::string Note;    // German, shown on the page beside an entry without a place
};

TJudgement Judge(const TVerifyResult& summary, int32_t claimedPoints, int64_t maxFrames);

}  // namespace blubbi::hiscore
