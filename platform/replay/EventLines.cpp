// The shared event grammar: each kind of line read by a small function of its own.
#include "platform/replay/EventLines.h"

#include <array>

namespace blubbi {

namespace {

// A ticks line writes each step as one of these; its index is the step in ms.
constexpr std::string_view kStepChars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr size_t kMaxStepChars = 4096;
constexpr int32_t kMaxCode = 255;

struct TKeyName {
    int32_t Code;
    std::string_view Name;
};
constexpr std::array<TKeyName, 4> kKeyNames{
    {{VK_LEFT, "left"}, {VK_RIGHT, "right"}, {VK_UP, "up"}, {VK_SPACE, "space"}}};

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

using TArgs = std::vector<std::string_view>;  // the words after the first
using TMessage = std::optional<std::string>;

TMessage Tick(const TArgs& w, TEventLine& s) {
    s.Event.Kind = TEventKind::Tick;
    if (!s.StepGiven) s.Step = kFrameIntervalMs;
    if (w.size() > 1 || (w.size() == 1 && (!Number(w[0], s.Repeat) || s.Repeat < 1))) return "tick [COUNT] [+MS]";
    return std::nullopt;
}

TMessage Ticks(const TArgs& w, TEventLine& s) {
    s.Event.Kind = TEventKind::Tick;
    if (s.StepGiven || w.size() != 1 || w[0].size() > kMaxStepChars) return "ticks STEPS, one character a tick";
    for (char c : w[0]) {
        const size_t step = kStepChars.find(c);
        if (step == std::string_view::npos) return "ticks STEPS, one character a tick";
        s.Steps.push_back(static_cast<uint8_t>(step));
    }
    s.Repeat = static_cast<int64_t>(s.Steps.size());
    return std::nullopt;
}

TMessage NoArguments(const TArgs& w, TEventLine& s, TEventKind kind, const char* name) {
    s.Event.Kind = kind;
    if (!w.empty()) return std::string(name) + " takes no arguments";
    return std::nullopt;
}

TMessage Key(const TArgs& w, TEventLine& s, TEventKind kind) {
    s.Event.Kind = kind;
    if (w.size() != 1 || !KeyCode(w[0], s.Event.A)) return "a key is left, right, up, space or a code 0 to 255";
    return std::nullopt;
}

TMessage Char(const TArgs& w, TEventLine& s) {
    TEvent& e = s.Event;
    e.Kind = TEventKind::Char;
    if (w.size() != 1 || !Number(w[0], e.A) || e.A < 0 || e.A > kMaxCode) return "char takes a code 0 to 255";
    return std::nullopt;
}

TMessage Mouse(const TArgs& w, TEventLine& s) {
    TEvent& e = s.Event;
    if (w.size() == 3 && w[0] == "move") {
        e.Kind = TEventKind::MouseMove;
        if (!Number(w[1], e.A) || !Number(w[2], e.B)) return "mouse move X Y";
        return std::nullopt;
    }
    if (w.size() != 4 || (w[0] != "down" && w[0] != "up")) return "mouse down, move or up";
    e.Kind = w[0] == "down" ? TEventKind::MouseDown : TEventKind::MouseUp;
    if (!MouseButton(w[1], e.Button) || !Number(w[2], e.A) || !Number(w[3], e.B))
        return "mouse down|up left|right|middle X Y";
    return std::nullopt;
}

TMessage Menu(const TArgs& w, TEventLine& s) {
    s.Event.Kind = TEventKind::Menu;
    if (w.size() != 1 || !IsMenuCommand(w[0])) return "unknown menu command";
    s.Event.Text = std::string(w[0]);
    return std::nullopt;
}

TMessage Resize(const TArgs& w, TEventLine& s) {
    s.Event.Kind = TEventKind::Resize;
    if (w.size() != 2 || !PaintBoxSide(w[0], s.Event.A) || !PaintBoxSide(w[1], s.Event.B))
        return "resize W H with sizes from 1 to " + std::to_string(kMaxPaintBox);
    return std::nullopt;
}

TMessage Pause(const TArgs& w, TEventLine& s) {
    s.Event.Kind = TEventKind::Pause;
    if (w.size() != 1 || (w[0] != "on" && w[0] != "off")) return "pause on or off";
    s.Event.A = w[0] == "on";
    return std::nullopt;
}

TMessage Event(std::string_view op, const TArgs& w, TEventLine& s) {
    if (op == "tick") return Tick(w, s);
    if (op == "ticks") return Ticks(w, s);
    if (op == "timer2") return NoArguments(w, s, TEventKind::Timer2, "a timer");
    if (op == "timer3") return NoArguments(w, s, TEventKind::Timer3, "a timer");
    if (op == "down") return Key(w, s, TEventKind::KeyDown);
    if (op == "up") return Key(w, s, TEventKind::KeyUp);
    if (op == "char") return Char(w, s);
    if (op == "mouse") return Mouse(w, s);
    if (op == "menu") return Menu(w, s);
    if (op == "resize") return Resize(w, s);
    if (op == "repaint") return NoArguments(w, s, TEventKind::Repaint, "repaint");
    if (op == "pause") return Pause(w, s);
    return "unknown event";
}

std::string StepSuffix(uint32_t step, uint32_t usual) { return step == usual ? "" : " +" + std::to_string(step); }

std::string MouseLine(const TEvent& e) {
    const std::string at = std::to_string(e.A) + " " + std::to_string(e.B);
    if (e.Kind == TEventKind::MouseMove) return "mouse move " + at;
    return std::string("mouse ") + (e.Kind == TEventKind::MouseDown ? "down " : "up ") + MouseButtonName(e.Button) +
           " " + at;
}

std::string TickLine(const TEventLine& s) {
    if (!s.Steps.empty()) {
        std::string line = "ticks ";
        for (uint8_t step : s.Steps) line += kStepChars[step];
        return line;
    }
    std::string line = "tick";
    // Appended in two steps: GCC 12 at -O3 takes `" " + std::string&&` for an overlapping copy.
    if (s.Repeat != 1) line.append(" ").append(std::to_string(s.Repeat));
    return line + StepSuffix(s.Step, kFrameIntervalMs);
}

// Reads an event line into `out`, or says what is wrong with it.
TMessage ReadEventLine(std::string_view line, TEventLine& out) {
    auto w = Words(line);
    if (w.empty()) return "empty line";
    // A trailing +D moves the clock before the event.
    if (w.size() > 1 && w.back()[0] == '+') {
        if (!Number(w.back().substr(1), out.Step)) return "a clock step is +0 to +4294967295";
        out.StepGiven = true;
        w.pop_back();
    }
    const TArgs args(w.begin() + 1, w.end());
    return Event(w[0], args, out);
}

}  // namespace

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> w;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSeparator(line[i])) ++i;
        const size_t from = i;
        while (i < line.size() && !IsSeparator(line[i])) ++i;
        if (i > from) w.push_back(line.substr(from, i - from));
    }
    return w;
}

std::string_view RestAfterWords(std::string_view line, size_t skip) {
    size_t i = 0;
    for (size_t n = 0; n < skip; ++n) {
        while (i < line.size() && IsSeparator(line[i])) ++i;
        while (i < line.size() && !IsSeparator(line[i])) ++i;
    }
    if (i < line.size() && IsSeparator(line[i])) ++i;
    return line.substr(i);
}

bool KeyCode(std::string_view word, int32_t& code) {
    for (const TKeyName& key : kKeyNames)
        if (word == key.Name) {
            code = key.Code;
            return true;
        }
    return Number(word, code) && code >= 0 && code <= kMaxCode;
}

std::string KeyName(int32_t code) {
    for (const TKeyName& key : kKeyNames)
        if (code == key.Code) return std::string(key.Name);
    return std::to_string(code);
}

bool MouseButton(std::string_view word, TMouseButton& button) {
    for (TMouseButton b : {TMouseButton::mbLeft, TMouseButton::mbRight, TMouseButton::mbMiddle})
        if (word == MouseButtonName(b)) {
            button = b;
            return true;
        }
    return false;
}

const char* MouseButtonName(TMouseButton button) {
    switch (button) {
        case TMouseButton::mbLeft: return "left";
        case TMouseButton::mbRight: return "right";
        case TMouseButton::mbMiddle: return "middle";
    }
    return "middle";
}

bool PaintBoxSide(std::string_view word, int32_t& value) {
    return Number(word, value) && value >= 1 && value <= kMaxPaintBox;
}

char TickStepChar(uint32_t step) { return step < kStepChars.size() ? kStepChars[step] : '\0'; }

std::optional<TEventLine> ParseEventLine(std::string_view line, std::string& error) {
    TEventLine out;
    TMessage message = ReadEventLine(line, out);
    if (!message) return out;
    error = std::move(*message);
    return std::nullopt;
}

std::string FormatEventLine(const TEventLine& s) {
    const TEvent& e = s.Event;
    std::string line;
    switch (e.Kind) {
        case TEventKind::Tick: return TickLine(s);
        case TEventKind::Timer2: line = "timer2"; break;
        case TEventKind::Timer3: line = "timer3"; break;
        case TEventKind::KeyDown: line = "down " + KeyName(e.A); break;
        case TEventKind::KeyUp: line = "up " + KeyName(e.A); break;
        case TEventKind::Char: line = "char " + std::to_string(e.A); break;
        case TEventKind::MouseDown:
        case TEventKind::MouseUp:
        case TEventKind::MouseMove: line = MouseLine(e); break;
        case TEventKind::Menu: line = "menu " + e.Text; break;
        case TEventKind::Resize: line = "resize " + std::to_string(e.A) + " " + std::to_string(e.B); break;
        case TEventKind::Repaint: line = "repaint"; break;
        case TEventKind::Pause: line = e.A ? "pause on" : "pause off"; break;
    }
    return line + StepSuffix(s.Step, 0);
}

}  // namespace blubbi
