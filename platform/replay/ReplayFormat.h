// The replay text: one event a line, read back with bounds on every count.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/Events.h"

namespace blubbi {

constexpr int kReplayFormat = 1;
constexpr int32_t kCheckpointFrames = 40;

// What a replay starts from: the program's start; "Neues Spiel" on a game set up from the program's
// start and the values a game carries into the next (Carry); a game continued after a game over,
// whose replay holds the games before it back to its origin; or any saved state (tools and tests).
enum class TStartKind : uint8_t { Program, NewGame, Continued, State };
const char* StartKindName(TStartKind kind);

struct TReplayHeader {
    std::string Program;  // the program's version
    uint64_t Seed = 1;
    uint32_t Clock = 0;  // the tick count at start-up
    int32_t Level = 1;   // the game's own level the run starts at
    int32_t Width = 681, Height = 425;
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
enum class TAnswerKind : uint8_t { GameOver, Open, Save, Media, Read };
struct TAnswer {
    TAnswerKind Kind = TAnswerKind::GameOver;
    bool Yes = false;            // continue; a file was chosen
    bool OwnLevel = false;       // Open, Read: one of the game's levels, Text its hash
    bool Unreadable = false;     // Open: a file that could not be read whole (the game kept its level)
    std::string Text;            // level hash, saved file's name, the device's answer
    std::vector<uint8_t> Bytes;  // Open, Read: the file, when it is not one of the game's levels
    int32_t Query = 0;           // Media: which status query of the event this answers
};

struct TReplayStep {
    enum class TKind : uint8_t { Event, Check, End } Kind = TKind::Event;
    TEvent Event;                // Clock unused: Step says how far the clock moves
    uint32_t Step = 0;           // ms before the event (before each one of a run of ticks)
    int64_t Repeat = 1;          // ticks in the run
    std::vector<uint8_t> Steps;  // a ticks line: a step for each tick; else all are Step
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
};

struct TReplayError {
    int Line = 0;
    std::string Message;
};

// The whole text or the first bad line. A text without its end line is truncated.
std::optional<TReplay> ParseReplay(std::string_view text, const TReplayLimits& limits, TReplayError& error);
// The text of a replay file: a regular file of at most `limits.MaxBytes` bytes, so a FIFO or a
// device never blocks or floods the reader. nullopt with `error` saying why.
std::optional<std::string> ReadReplayFile(const std::string& path, const TReplayLimits& limits, std::string& error);

// One step (event or answer lines excluded) as its line, without the newline.
std::string FormatStep(const TReplayStep& step);
std::string FormatAnswer(const TAnswer& answer);
std::string FormatHeader(const TReplayHeader& header);

// Reads one event line on its own (as a recorder does with the line it just wrote).
std::optional<TReplayStep> ParseEventLine(std::string_view line);

// One tick's clock step as one character of a ticks line, for steps 0 to 61 ms; 0 for others.
char TickStepChar(uint32_t step);

std::string Base64(const uint8_t* data, size_t size);
std::optional<std::vector<uint8_t>> FromBase64(std::string_view text, size_t maxBytes);
// Bytes in lower-case hex, two digits each.
std::string HexDigits(const unsigned char* bytes, size_t size);
// SHA-256 in lower-case hex.
std::string Sha256Hex(const void* data, size_t size);

}  // namespace blubbi
