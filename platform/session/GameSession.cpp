// The session around the games: one set of rules for the desktop window and the browser page.
#include "platform/session/GameSession.h"

#include <utility>

namespace blubbi {

TGameSession::TGameSession(TMainForm& game, std::function<void(TEvent)> door) : Game(game), Door(std::move(door)) {
    Arrive();  // the program's first game waits as every new one does
    ResumeDue = false;
}

bool TGameSession::Paused() const { return Game.Paused != 0; }

void TGameSession::Input(TEvent event) {
    if (event.Kind == TEventKind::KeyDown) {
        Down.insert(event.A);
        // The first game key starts the game and is its first move; one pressed while the level
        // slides in leaves nothing to wait for.
        if (IsGameKey(event.A)) {
            FirstKeyDue = false;
            if (WaitingNow) SetPaused(false);
        }
    } else if (event.Kind == TEventKind::KeyUp) {
        Down.erase(event.A);
    }
    Door(std::move(event));
}

void TGameSession::LetGo() {
    // In key order, whatever order they went down in: the same stream from every shell.
    const std::set<int32_t> held = std::exchange(Down, {});
    for (const int32_t key : held) Door(MakeEvent(TEventKind::KeyUp, key));
}

void TGameSession::SetPaused(bool paused) {
    // A pause asked for after the new game began stands; one from before it (or from within the
    // game-over dialog) gives way to the new level's slide.
    if (paused) ResumeDue = false;
    if (!paused) {
        FirstKeyDue = false;  // resumed by the player: he is there
        WaitingNow = false;
    }
    if (Paused() == paused) return;
    if (paused) LetGo();  // what is held now would be let go unseen while the game waits
    Door(MakeEvent(TEventKind::Pause, paused ? 1 : 0));
}

void TGameSession::NewGame() {
    TEvent e = MakeEvent(TEventKind::Menu);
    e.Text = "NeuesSpiel1Click";
    Door(std::move(e));
}

void TGameSession::Arrive() {
    FirstKeyDue = WaitForFirstKey;
    WaitingNow = false;
    ResumeDue = true;
}

void TGameSession::NewGameStarts() { Arrive(); }

bool TGameSession::BeforeTick(bool held) {
    if (held) return false;
    // A new game came while the game was paused (the menu, a focus change during the game-over
    // dialog): its level slides in now.
    if (std::exchange(ResumeDue, false) && Paused()) {
        const bool due = FirstKeyDue;
        SetPaused(false);
        FirstKeyDue = due;
    }
    // The level has slid in: the game waits for the first key over the field at rest.
    if (FirstKeyDue && WaitForFirstKey && !Paused() && Game.TransitionCounter == 0 && !Game.InDialog) {
        FirstKeyDue = false;
        SetPaused(true);
        WaitingNow = true;
        ShowRestingField();
    }
    return !Paused();
}

void TGameSession::ShowRestingField() {
    // Only a picture: the field's place is the game's own again afterwards, for its next frame.
    const int32_t x = Game.PlayFieldX, y = Game.PlayFieldY;
    Game.ComposeLoadedLevel(true);
    Game.PresentPicture();
    Game.PlayFieldX = x;
    Game.PlayFieldY = y;
}

TModalResult TGameSession::GameOver(const std::string& points) {
    Moment = {points, Game.LevelNo, Game.Lives, {}};
    for (const int32_t key : Down)
        if (IsGameKey(key)) Moment.KeysDown.insert(key);
    const TModalResult answer = AskGameOver ? AskGameOver(Moment) : TModalResult::Cancel;
    Arrive();  // either answer slides a level in that waits
    return answer;
}

void TGameSession::Win() {
    if (ShowWin) ShowWin();
    Arrive();
}

}  // namespace blubbi
