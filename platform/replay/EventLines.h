// The event lines that replays and blubbi-sim scripts share (tick, down, up, mouse, menu, resize,
// pause ...): one grammar, read and written here, with the names and bounds it gives.
#pragma once
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/Events.h"

namespace blubbi {

// The largest paint box a line or an option may give, each side.
constexpr int32_t kMaxPaintBox = 8192;

// One event line: the event and how far the clock moves before it.
struct TEventLine {
    TEvent Event;                // Clock unused: Step says how far the clock moves
    uint32_t Step = 0;           // ms before the event (before each one of a run of ticks)
    bool StepGiven = false;      // the line said so (+MS); else a tick's step is a frame's
    int64_t Repeat = 1;          // ticks in the run
    std::vector<uint8_t> Steps;  // a ticks line: a step for each tick; else all are Step
};

// Reads an event line: the event, or nothing and in `error` what is wrong.
std::optional<TEventLine> ParseEventLine(std::string_view line, std::string& error);
// The line of an event, without its newline: what ParseEventLine reads back as the same event.
std::string FormatEventLine(const TEventLine& line);
// One tick's clock step as one character of a ticks line, for steps 0 to 61 ms; 0 for others.
char TickStepChar(uint32_t step);

// A key as lines name it: left, right, up, space or a code 0 to 255.
bool KeyCode(std::string_view word, int32_t& code);
std::string KeyName(int32_t code);
bool MouseButton(std::string_view word, TMouseButton& button);
// One side of a paint box, 1 to kMaxPaintBox.
bool PaintBoxSide(std::string_view word, int32_t& value);
const char* MouseButtonName(TMouseButton button);

// The words of a line, split at spaces and tabs.
std::vector<std::string_view> Words(std::string_view line);
// The rest of the line after `skip` words and the one space after them, as it stands.
std::string_view RestAfterWords(std::string_view line, size_t skip);
// A word that is a whole number of type T.
template <class T>
bool Number(std::string_view word, T& value) {
    const char* end = word.data() + word.size();
    auto [p, ec] = std::from_chars(word.data(), end, value);
    return !word.empty() && ec == std::errc() && p == end;
}

}  // namespace blubbi
