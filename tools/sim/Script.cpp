// Parsing blubbi-sim scripts: the runner's own commands here, the event lines as replays read them.
#include "tools/sim/Script.h"

#include <array>

#include "platform/replay/EventLines.h"

namespace blubbi::sim {

namespace {

using TMessage = std::optional<std::string>;

// The event lines a script may hold: what a player does. Timers, frames of other lengths and
// repaints come from the runner's platform itself.
constexpr std::array<std::string_view, 7> kEventWords{"tick", "down", "up", "mouse", "menu", "resize", "pause"};

TMessage EventCommand(std::string_view line, TCommand& c) {
    std::string error;
    const std::optional<TEventLine> read = ParseEventLine(line, error);
    if (!read) return error;
    if (read->StepGiven) return "a script moves the clock by its ticks only";
    c.Event = read->Event;
    if (read->Event.Kind == TEventKind::Tick) {
        c.Op = TOp::Tick;
        c.Count = read->Repeat;
    } else if (read->Event.Kind == TEventKind::Resize) {
        c.Op = TOp::Resize;
    }
    return std::nullopt;
}

// A command whose argument is the rest of the line as it stands.
TMessage TextCommand(std::string_view line, TOp op, const char* missing, TCommand& c) {
    c.Op = op;
    c.Text = std::string(RestAfterWords(line, 1));
    if (c.Text.empty()) return missing;
    return std::nullopt;
}

TMessage ParseLine(std::string_view line, TCommand& c) {
    const auto w = Words(line);
    const std::string_view op = w[0];
    if (op == "type") return TextCommand(line, TOp::Type, "type needs text", c);
    if (op == "open") return TextCommand(line, TOp::Open, "a path is needed", c);
    if (op == "save") return TextCommand(line, TOp::Save, "a path is needed", c);
    if (op == "png") return TextCommand(line, TOp::Png, "png needs a path", c);
    if (op == "answer") {
        c.Op = TOp::Answer;
        if (w.size() >= 3 && w[1] == "save") {
            c.Choice = TSaveChoice::Save;
            c.Text = std::string(RestAfterWords(line, 2));
            return std::nullopt;
        }
        if (w.size() == 2 && (w[1] == "discard" || w[1] == "cancel")) {
            c.Choice = w[1] == "discard" ? TSaveChoice::Discard : TSaveChoice::Cancel;
            return std::nullopt;
        }
        if (w.size() != 2 || (w[1] != "continue" && w[1] != "newgame"))
            return "answer continue, newgame, save PATH, discard or cancel";
        c.Yes = w[1] == "continue";
        return std::nullopt;
    }
    if (op == "dump") {
        c.Op = TOp::Dump;
        if (w.size() != 1) return "dump takes no arguments";
        return std::nullopt;
    }
    for (std::string_view word : kEventWords)
        if (op == word) return EventCommand(line, c);
    return "unknown command";
}

}  // namespace

std::vector<TCommand> ParseScript(std::istream& in, std::optional<TParseError>& error) {
    std::vector<TCommand> script;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto w = Words(line);
        if (w.empty() || w[0][0] == '#') continue;
        TCommand c;
        c.Line = number;
        if (auto message = ParseLine(line, c)) {
            error = TParseError{number, *message};
            return {};
        }
        script.push_back(std::move(c));
    }
    return script;
}

}  // namespace blubbi::sim
