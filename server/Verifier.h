// What the server asks of a replay checker, and the rules that turn its findings into an answer.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace blubbi::hiscore {

enum class TReplayStatus {
    Ok,         // re-played to its end, every checkpoint agreed
    Mismatch,   // re-played, but the game went differently than recorded
    Malformed,  // not a replay this game can read
    TooLong,    // more frames than the server plays
    Cancelled,  // stopped because its time ran out
};

// The findings of one re-play.
struct TReplaySummary {
    TReplayStatus Status = TReplayStatus::Malformed;
    std::string Detail;  // for Mismatch and Malformed: what was wrong (German, shown to the player)
    int64_t Frames = 0;
    bool GameOver = false;  // the game ended in a game over
    int32_t Score = 0;      // the points at that game over
    int32_t LevelNo = 0;    // the level it happened in
    bool EditorUsed = false;
    bool CheatUsed = false;
    bool UserLevels = false;   // levels that are not the game's own were played
    bool DataMatches = false;  // recorded with the game data this server ships
    std::string DataHash;      // the hash of the game data it was recorded with
    int32_t Checkpoints = 0;   // checkpoints compared (all of them agreed when Status is Ok)
    // The run began as a real game does: at level 1, from the program's start or "Neues Spiel"
    // (a continued game counts by the game its chain began with), not from a saved state.
    bool FreshStart = true;
    std::string GameId;  // the game as the check computed it; empty: known by its bytes only
};

class TScoreVerifier {
public:
    virtual ~TScoreVerifier() = default;
    // The number of frames the replay says it holds, read from its head without playing it;
    // nothing when the bytes are not a replay.
    virtual std::optional<int64_t> DeclaredFrames(std::string_view replay) = 0;
    // Re-plays at most maxFrames frames; returns Cancelled soon after cancel becomes true.
    virtual TReplaySummary Verify(std::string_view replay, int64_t maxFrames, const std::atomic<bool>& cancel) = 0;
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

TJudgement Judge(const TReplaySummary& summary, int32_t claimedPoints, int64_t maxFrames);

}  // namespace blubbi::hiscore
