// blubbi-sim scripts: one command a line, checked whole before anything runs. The lines that send
// the game an event are a replay's event lines; the runner adds its own commands.
#pragma once
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "game/Events.h"

namespace blubbi::sim {

enum class TOp {
    Event,   // the event goes to the game as it is
    Tick,    // Count timer ticks of the platform
    Resize,  // the paint box takes the event's size, then the event goes to the game
    Type,
    Open,
    Save,
    Answer,
    Dump,
    Png
};

struct TCommand {
    TOp Op = TOp::Event;
    int Line = 0;
    TEvent Event;                       // Event, Resize: its clock is the game's when it is sent
    int64_t Count = 1;                  // Tick
    std::string Text;                   // typed text, path
    bool Yes = false;                   // Answer: continue
    std::optional<TSaveChoice> Choice;  // Answer: to the question before a changed level is dropped
};

struct TParseError {
    int Line;
    std::string Message;
};

// Reads the whole script; the first bad line is reported and nothing is run.
std::vector<TCommand> ParseScript(std::istream& in, std::optional<TParseError>& error);

}  // namespace blubbi::sim
