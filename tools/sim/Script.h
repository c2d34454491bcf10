// blubbi-sim scripts: one command a line, checked whole before anything runs.
#pragma once
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "game/MainForm.h"

namespace blubbi::sim {

enum class TOp {
    Tick,
    KeyDown,
    KeyUp,
    Type,
    Menu,
    Open,
    Save,
    MouseDown,
    MouseMove,
    MouseUp,
    Answer,
    Resize,
    Pause,
    Dump,
    Png
};

struct TCommand {
    TOp Op;
    int Line = 0;
    int32_t A = 0, B = 0;  // counts, key codes, coordinates, sizes
    TMouseButton Button = TMouseButton::mbLeft;
    std::string Text;  // typed text, menu name, path
};

struct TParseError {
    int Line;
    std::string Message;
};

// Reads the whole script; the first bad line is reported and nothing is run.
std::vector<TCommand> ParseScript(std::istream& in, std::optional<TParseError>& error);

}  // namespace blubbi::sim
