// The replay text: one event a line, read back with bounds on every count.
#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "game/Events.h"
#include "platform/replay/ClockRules.h"
#include "platform/replay/EventLines.h"
#include "platform/replay/VerifyResult.h"

namespace blubbi {

constexpr int kReplayFormat = 1;
constexpr int32_t kCheckpointFrames = 40;

const char* StartKindName(TStartKind kind);

struct TReplayHeader {
    std::string Program;  // the program's version
    uint64_t Seed = 1;
    uint32_t Clock = 0;  // the tick count at start-up
    int32_t Level = 1;   // the game's own level the run starts at
    int32_t Width = kDesignWidth, Height = kDesignHeight;
    std::string DataHash;             // of the sheets and levels the rules read
    std::vector<uint8_t> StartState;  // a saved state the run starts from; empty: start-up
    TStartKind Start = TStartKind::Program;
    TStartKind Origin = TStartKind::Program;  // Continued: how the first game of the chain began
    std::string Carry;                        // NewGame: "Name=value ..." of the carried fields
    int CarryLine = 0, StateLine = 0;         // where they stand in the file
    // How the recorded run began, a continued chain by its origin.
    TStartKind Begun() const { return Start == TStartKind::Continued ? Origin : Start; }
};

// What a dialog or the sound device answered while an event ran.
enum class TAnswerKind : uint8_t { GameOver, Open, Save, Media, Read, Unsaved, Restore };
struct TAnswer {
    TAnswerKind Kind = TAnswerKind::GameOver;
    bool Yes = false;       // continue; a file was chosen; kept work restored
    bool OwnLevel = false;  // Open, Read: one of the game's levels, Text its hash
    // Open: a file that could not be read whole (the game kept its level); Save: one that could not be written.
    bool Unreadable = false;
    std::string Text;            // level hash, saved file's name, the device's answer, save|discard|cancel
    std::vector<uint8_t> Bytes;  // Open, Read: the file, when it is not one of the game's levels; Restore: the level
    int32_t Query = 0;           // Media: which status query of the event this answers
};

// An event line with the answers after it, or a checkpoint, or the end.
struct TReplayStep : TEventLine {
    enum class TKind : uint8_t { Event, Check, End } Kind = TKind::Event;
    std::vector<TAnswer> Answers;
    int64_t Frame = 0;  // Check, End
    std::string Hash;   // Check, End
    int Line = 0;
};

struct TReplay {
    TReplayHeader Header;
    std::vector<TReplayStep> Steps;
};

struct TReplayLimits {
    size_t MaxBytes = 64u << 20;
    int64_t MaxLines = 4'000'000;
    int64_t MaxFrames = 10'000'000;  // some 70 hours of play
    // A level the replay carries whole (opened, read, restored) holds at most this many enemies'
    // records; 0: any level file.
    int64_t MaxLevelEnemies = 0;
};

struct TReplayError {
    int Line = 0;
    std::string Message;
    std::string ForPlayer;  // German, where the line is well formed but no real session writes it
};

// Reads a replay a step at a time, checking each line as it comes: a check of a long replay holds
// one step, not all of them. A reader is a small value: a copy reads on from where it was taken.
class TReplayReader {
public:
    TReplayReader(std::string_view text, const TReplayLimits& limits);
    // The header up to its start line; false at a bad line (Error says which).
    bool ReadHeader(TReplayHeader& header);
    // The next step with its answers; false after the end line, when nothing but blank lines and
    // comments follow it, and at a bad line (Error says which).
    bool Next(TReplayStep& step);
    bool Failed() const { return !Error.Message.empty(); }
    int64_t Frames() const { return FrameCount; }

    TReplayError Error;

private:
    // The next line with words, its words in `w`; nullopt at the end of the text or the line limit.
    std::optional<std::string_view> NextLine(std::vector<std::string_view>& w);
    bool Fail(int line, std::string message, std::string forPlayer = {});
    // The clock's steps of the event just read: forward, and its ticks no faster than the timer.
    bool ClockKept(const TReplayStep& s);
    bool HeaderLine(std::string_view line, const std::vector<std::string_view>& w, TReplayHeader& h);
    // At the start line: the header holds what a replay needs.
    bool HeaderWhole(TReplayHeader& h, const std::set<std::string, std::less<>>& seen);
    bool Checkpoint(const std::vector<std::string_view>& w, TReplayStep& step);
    bool EventWithAnswers(std::string_view line, TReplayStep& step);

    std::string_view Text;
    TReplayLimits Limits;
    size_t At = 0;
    int LineNo = 0;  // of the line read last
    int64_t FrameCount = 0;
    bool Ended = false;
    uint64_t ClockNow = 0;  // ms since the replay's start
    TTickClock Ticks;
};

// The whole text or the first bad line. A text without its end line is truncated.
std::optional<TReplay> ParseReplay(std::string_view text, const TReplayLimits& limits, TReplayError& error);
// Reads the whole text as ParseReplay does, keeping only its header and counting its frames.
std::optional<TReplayHeader> CheckReplay(std::string_view text, const TReplayLimits& limits, TReplayError& error,
                                         int64_t& frames);
// The text of a replay file: a regular file of at most `limits.MaxBytes` bytes, so a FIFO or a
// device never blocks or floods the reader. nullopt with `error` saying why.
std::optional<std::string> ReadReplayFile(const std::string& path, const TReplayLimits& limits, std::string& error);

// A checkpoint or end step as its line, without the newline; an event step as its event line.
std::string FormatStep(const TReplayStep& step);
std::string FormatAnswer(const TAnswer& answer);
std::string FormatHeader(const TReplayHeader& header);

std::string Base64(const uint8_t* data, size_t size);
std::optional<std::vector<uint8_t>> FromBase64(std::string_view text, size_t maxBytes);

}  // namespace blubbi
