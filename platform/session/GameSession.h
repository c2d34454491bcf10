// TGameSession: a session of games as the player lives it, the same in every shell: the wait for
// the first key, the pause and the keys it lets go, a new game from any state, the game over and
// its answers, and the win. A shell only moves keys, pixels, sounds and dialogs to and from it.
#pragma once
#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "game/Events.h"

namespace blubbi {

// The game as it stood when the last life went, before the answer starts anything.
struct TGameOverMoment {
    std::string Points;  // as the dialog shows them
    int32_t Level = 0;   // reached
    int32_t Lives = 0;
    std::set<int32_t> KeysDown;  // game keys held then: none of them answers the dialog
};

class TGameSession {
public:
    // `door` puts an event into the game the way every event goes (clock read, recorded).
    TGameSession(TMainForm& game, std::function<void(TEvent)> door);

    // A new game waits, paused, for its first game key once its level has slid in.
    bool WaitForFirstKey = true;
    // The shell asks the player after a game over (Ok: "Continue", Cancel: "Neues Spiel").
    std::function<TModalResult(const TGameOverMoment&)> AskGameOver;
    // The shell shows the win.
    std::function<void()> ShowWin;

    // The player's input after the shell merged its sources (keys, typed characters, the mouse).
    void Input(TEvent event);
    // Pauses or resumes; a pause lets go of every key the game holds.
    void SetPaused(bool paused);
    // Lets go of every key the game holds, through the door (the keyboard went elsewhere).
    void LetGo();
    // "Neues Spiel", paused or not: the new level slides in and waits.
    void NewGame();
    // Before each tick of the frame clock; false when no frame is to run (paused, or `held`: a
    // menu or dialog of the shell holds the game).
    bool BeforeTick(bool held = false);

    // Called by the shell's platform from inside the game's event.
    TModalResult GameOver(const std::string& points);
    void Win();
    void NewGameStarts();

    bool Paused() const;
    bool Waiting() const { return WaitingNow; }
    // The game over last answered, or the one whose dialog is open.
    const TGameOverMoment& LastGameOver() const { return Moment; }
    const std::set<int32_t>& KeysDown() const { return Down; }

private:
    // A new game or a continued one slides in: it runs even where a pause came meanwhile.
    void Arrive();
    // The slide's last picture stands a little below the field: the wait shows the field at rest.
    void ShowRestingField();

    TMainForm& Game;
    std::function<void(TEvent)> Door;
    std::set<int32_t> Down;  // keys the game has seen go down and not up
    bool FirstKeyDue = false;
    bool WaitingNow = false;
    bool ResumeDue = false;
    TGameOverMoment Moment;
};

}  // namespace blubbi
