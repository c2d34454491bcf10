// Everything that reaches the game from outside, as one value, and the one door it goes through.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "game/MainForm.h"

namespace blubbi {

enum class TEventKind : uint8_t {
    Tick,       // the frame timer (Timer1)
    Timer2,     // one-shot: next level
    Timer3,     // one-shot: the win
    KeyDown,    // A = virtual key code
    KeyUp,      // A = virtual key code
    Char,       // A = typed character, 0 .. 255 in the game's 8-bit character set
    MouseDown,  // Button, A = x, B = y on the paint box
    MouseMove,  // A = x, B = y
    MouseUp,    // Button, A = x, B = y
    Menu,       // Text = the menu command's name
    Resize,     // A = width, B = height: the platform already reports the new size
    Repaint,    // the paint box asked to be drawn again
    Pause,      // A = 1 on, 0 off
};

struct TEvent {
    TEventKind Kind = TEventKind::Tick;
    uint32_t Clock = 0;  // the tick count the game reads throughout this event
    int32_t A = 0, B = 0;
    TMouseButton Button = TMouseButton::mbLeft;
    std::string Text;
};

inline TEvent MakeEvent(TEventKind kind, int32_t a = 0, int32_t b = 0) {
    TEvent e;
    e.Kind = kind;
    e.A = a;
    e.B = b;
    return e;
}

// Holds the game's clock at one value for as long as it lives; nested holds give the outer
// value back when they end. What was recorded is then exactly what the game read.
class TClockHold {
public:
    TClockHold(TMainForm& game, uint32_t clock);
    ~TClockHold();
    TClockHold(const TClockHold&) = delete;
    TClockHold& operator=(const TClockHold&) = delete;

private:
    TMainForm& Game;
    uint8_t WasHeld;
    uint32_t WasClock;
};

// Runs the event's handler with the clock held at the event's value. A menu name the game
// does not know does nothing.
void Dispatch(TMainForm& game, const TEvent& event);

// The menu commands of the game (game/MenuCommands.h), by their handler's name; false for an
// unknown name.
bool IsMenuCommand(std::string_view name);
bool RunMenuCommand(TMainForm& game, std::string_view name);

}  // namespace blubbi
