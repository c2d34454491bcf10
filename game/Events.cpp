// The one dispatch of outside events into the game's handlers.
#include "game/Events.h"

#include "game/MenuCommands.h"

namespace blubbi {

TClockHold::TClockHold(TMainForm& game, uint32_t clock)
    : Game(game), WasHeld(game.ClockHeld), WasClock(game.HeldClock) {
    Game.ClockHeld = 1;
    Game.HeldClock = clock;
}

TClockHold::~TClockHold() {
    Game.ClockHeld = WasHeld;
    Game.HeldClock = WasClock;
}

bool IsMenuCommand(std::string_view name) { return FindMenuCommand(name) != nullptr; }

bool RunMenuCommand(TMainForm& game, std::string_view name) {
    const TMenuCommand* command = FindMenuCommand(name);
    if (!command) return false;
    (game.*command->Run)();
    return true;
}

void Dispatch(TMainForm& game, const TEvent& e) {
    const TClockHold hold(game, e.Clock);
    switch (e.Kind) {
        case TEventKind::Tick: game.Timer1Timer(); break;
        case TEventKind::Timer2: game.Timer2Timer(); break;
        case TEventKind::Timer3: game.Timer3Timer(); break;
        case TEventKind::KeyDown: game.FormKeyDown(e.A); break;
        case TEventKind::KeyUp: game.FormKeyUp(e.A); break;
        case TEventKind::Char: game.FormKeyPress(static_cast<char>(static_cast<uint8_t>(e.A))); break;
        case TEventKind::MouseDown: game.PaintBox1MouseDown(e.Button, e.A, e.B); break;
        case TEventKind::MouseMove: game.PaintBox1MouseMove(e.A, e.B); break;
        case TEventKind::MouseUp: game.PaintBox1MouseUp(e.Button, e.A, e.B); break;
        case TEventKind::Menu: RunMenuCommand(game, e.Text); break;
        // The frame reads the paint box's size itself; a repaint only shows the last picture.
        case TEventKind::Resize:
        case TEventKind::Repaint: break;
        case TEventKind::Pause: game.SetPaused(e.A != 0); break;
    }
}

}  // namespace blubbi
