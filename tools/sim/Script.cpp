// Parsing blubbi-sim scripts and naming the menu handlers they may call.
#include "tools/sim/Script.h"

#include "game/Events.h"

#include <charconv>
#include <map>
#include <sstream>

namespace blubbi::sim {

namespace {

bool ParseInt(const std::string& word, int32_t& value) {
    const char* end = word.data() + word.size();
    auto [p, ec] = std::from_chars(word.data(), end, value);
    return ec == std::errc() && p == end;
}

bool ParseKey(const std::string& word, int32_t& code) {
    static const std::map<std::string, int32_t> names{
        {"left", VK_LEFT}, {"right", VK_RIGHT}, {"up", VK_UP}, {"space", VK_SPACE}};
    if (auto it = names.find(word); it != names.end()) {
        code = it->second;
        return true;
    }
    return ParseInt(word, code) && code >= 0;
}

bool ParseButton(const std::string& word, TMouseButton& button) {
    if (word == "left")
        button = TMouseButton::mbLeft;
    else if (word == "right")
        button = TMouseButton::mbRight;
    else if (word == "middle")
        button = TMouseButton::mbMiddle;
    else
        return false;
    return true;
}

// The rest of the line after the command word and one space, kept as it stands.
std::string RestAfter(const std::string& line, const std::string& word) {
    const size_t at = line.find(word);
    const size_t from = at + word.size() + 1;
    return from <= line.size() ? line.substr(from) : std::string();
}

std::optional<std::string> ParseLine(const std::string& line, TCommand& c) {
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string s; words >> s;) w.push_back(s);
    const std::string& op = w[0];
    const size_t args = w.size() - 1;
    auto bad = [&](const char* what) { return std::optional<std::string>(std::string(what)); };

    if (op == "tick") {
        c.Op = TOp::Tick;
        c.A = 1;
        if (args > 1 || (args == 1 && (!ParseInt(w[1], c.A) || c.A < 0))) return bad("tick takes one count of ticks");
    } else if (op == "down" || op == "up") {
        c.Op = op == "down" ? TOp::KeyDown : TOp::KeyUp;
        if (args != 1 || !ParseKey(w[1], c.A)) return bad("a key is left, right, up, space or a key code");
    } else if (op == "type") {
        c.Op = TOp::Type;
        c.Text = RestAfter(line, "type");
        if (c.Text.empty()) return bad("type needs text");
    } else if (op == "menu") {
        c.Op = TOp::Menu;
        if (args != 1 || !IsMenuCommand(w[1])) return bad("unknown menu handler");
        c.Text = w[1];
    } else if (op == "open" || op == "save") {
        c.Op = op == "open" ? TOp::Open : TOp::Save;
        c.Text = RestAfter(line, op);
        if (c.Text.empty()) return bad("a path is needed");
    } else if (op == "mouse") {
        if (args < 1) return bad("mouse down, move or up");
        if (w[1] == "move") {
            c.Op = TOp::MouseMove;
            if (args != 3 || !ParseInt(w[2], c.A) || !ParseInt(w[3], c.B)) return bad("mouse move X Y");
        } else if (w[1] == "down" || w[1] == "up") {
            c.Op = w[1] == "down" ? TOp::MouseDown : TOp::MouseUp;
            if (args != 4 || !ParseButton(w[2], c.Button) || !ParseInt(w[3], c.A) || !ParseInt(w[4], c.B))
                return bad("mouse down|up left|right|middle X Y");
        } else {
            return bad("mouse down, move or up");
        }
    } else if (op == "answer") {
        c.Op = TOp::Answer;
        if (args != 1 || (w[1] != "continue" && w[1] != "newgame")) return bad("answer continue or newgame");
        c.A = w[1] == "continue";
    } else if (op == "resize") {
        c.Op = TOp::Resize;
        if (args != 2 || !ParseInt(w[1], c.A) || !ParseInt(w[2], c.B) || c.A <= 0 || c.B <= 0 || c.A > 8192 ||
            c.B > 8192)
            return bad("resize W H with sizes from 1 to 8192");
    } else if (op == "pause") {
        c.Op = TOp::Pause;
        if (args != 1 || (w[1] != "on" && w[1] != "off")) return bad("pause on or off");
        c.A = w[1] == "on";
    } else if (op == "dump") {
        c.Op = TOp::Dump;
        if (args != 0) return bad("dump takes no arguments");
    } else if (op == "png") {
        c.Op = TOp::Png;
        c.Text = RestAfter(line, "png");
        if (c.Text.empty()) return bad("png needs a path");
    } else {
        return bad("unknown command");
    }
    return std::nullopt;
}

}  // namespace

std::vector<TCommand> ParseScript(std::istream& in, std::optional<TParseError>& error) {
    std::vector<TCommand> script;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        line = line.substr(first);
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
