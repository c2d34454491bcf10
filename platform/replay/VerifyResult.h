// What playing a replay found: the player's findings as it goes, a check's at its end, and what
// the hiscore server judges by. Header only, so the server's rules need none of the game's code.
#pragma once
#include <charconv>
#include <cstdint>
#include <string>

namespace blubbi {

// What a replay starts from: the program's start; "Neues Spiel" on a game set up from the program's
// start and the values a game carries into the next (Carry); a game continued after a game over,
// whose replay holds the games before it back to its origin; or any saved state (tools and tests).
enum class TStartKind : uint8_t { Program, NewGame, Continued, State };

struct TVerifyResult {
    enum class TStatus {
        Running,        // a player still playing
        Ok,             // played to its end, every checkpoint agreed
        Mismatch,       // the game went differently than recorded
        Malformed,      // not a replay this game can read
        LimitExceeded,  // more frames than the check plays
        Cancelled,      // stopped before its end (its time ran out), or it could not be played here
    } Status = TStatus::Running;
    int64_t Frame = 0;   // of the first mismatch
    int Line = 0;        // of the first bad line; of the step being played
    std::string Reason;  // what went wrong, for developers
    // Why a well-formed line cannot stand in a real session's replay, in German for the player.
    std::string ForPlayer;
    int64_t Frames = 0;
    int32_t Score = 0, LevelNo = 0, Lives = 0, GameOvers = 0, Wins = 0;
    bool EditorUsed = false, CheatUsed = false;
    bool UserLevels = false;  // levels that are not the game's own were played
    std::string Version;      // of the program that recorded it
    std::string DataHash;     // of the data the game was recorded with
    bool DataMatch = false;   // ... is the data it was checked with
    bool EndedInGameOver = false;
    std::string GameOverPoints;  // as the last game-over dialog showed them
    // The level reached and the lives as the last game-over dialog opened, before its answer.
    int32_t GameOverLevel = 0, GameOverLives = 0;
    std::string EndHash;  // of the state the play stopped in
    TStartKind Start = TStartKind::Program, Origin = TStartKind::Program;
    int32_t StartLevel = 1;  // of the run's first game
    // Known once the play came to its end: the game itself, whatever its text looks like (comments,
    // spacing, key names or codes): a hash of the data, the start state and every checkpoint's state.
    std::string GameId;

    // The points of the game over it ended in, as the dialog showed them; the score when they cannot be read.
    int32_t PointsAtEnd() const {
        int32_t shown = 0;
        const char* end = GameOverPoints.data() + GameOverPoints.size();
        const auto [at, error] = std::from_chars(GameOverPoints.data(), end, shown);
        return EndedInGameOver && error == std::errc() && at == end ? shown : Score;
    }
    // The level the game over it ended in was reached on; the level at its end otherwise.
    int32_t LevelAtEnd() const { return EndedInGameOver ? GameOverLevel : LevelNo; }
    // Why a replay that did not play to its end could not count, in German for the player.
    std::string Fault() const {
        if (Status == TStatus::Mismatch)
            return "Die Aufzeichnung weicht bei Bild " + std::to_string(Frame) + " vom Spiel ab";
        if (!ForPlayer.empty()) return "Zeile " + std::to_string(Line) + ": " + ForPlayer;
        return "Die Aufzeichnung ist in Zeile " + std::to_string(Line) + " nicht lesbar";
    }
    // The run began as a real game does: at level 1, from the program's start or "Neues Spiel" (a
    // continued game counts by the game its chain began with), not from a saved state.
    bool FreshStart() const {
        const TStartKind begun = Start == TStartKind::Continued ? Origin : Start;
        return StartLevel == 1 && (begun == TStartKind::Program || begun == TStartKind::NewGame);
    }
};

}  // namespace blubbi
