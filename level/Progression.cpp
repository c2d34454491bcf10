// Level progression: end-of-level check, next level, win, game over, new game, cheat code.
#include "game/MainForm.h"

namespace blubbi {

namespace {
constexpr char kCheatCode[] = "SKIPAHEAD";
constexpr size_t kCheatLength = sizeof(kCheatCode) - 1;

// Only ASCII letters change case: typed umlauts stay as they are.
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::string TMainForm::leadzero(const std::string& s, size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), '0') + s;
}

std::string TMainForm::LevelFileName(int32_t levelNo) const {
    return AppDir + "levels/level" + leadzero(std::to_string(levelNo), 3) + ".lev";
}

// Delphi timers keep running when enabled again, so only a change reaches the platform.
void TMainForm::SetTimer2(bool enabled) {
    if (Timer2Enabled == enabled) return;
    Timer2Enabled = enabled;
    if (enabled) Timer2Started = Now();
    Platform.SetTimerEnabled(TOneShotTimer::Timer2, enabled);
}

void TMainForm::SetTimer3(bool enabled) {
    if (Timer3Enabled == enabled) return;
    Timer3Enabled = enabled;
    if (enabled) Timer3Started = Now();
    Platform.SetTimerEnabled(TOneShotTimer::Timer3, enabled);
}

void TMainForm::checkendeNow() {
    InEndCheck = 1;
    int32_t trapped = 0, free = 0;
    Enemies->Rewind();
    while (Enemies->Next()) {
        const TEnemy& e = *Enemies->Current();
        if (e.Removed) continue;
        if (e.Trapped)
            ++trapped;
        else
            ++free;
    }
    if (free == 0 && trapped > 0 && Bubbles->Count > 0) {
        // Enemies still sit in bubbles: the check stays pending and runs before every frame.
        InEndCheck = 0;
        return;
    }
    if (free == 0) {
        if (Platform.FileExists(LevelFileName(LevelNo + 1)))
            SetTimer2(true);
        else
            SetTimer3(true);
    }
    EndCheckPending = 0;
    InEndCheck = 0;
}

// The slide begins before the load: the load's own frame is then composed below the
// visible area, so the picture shown last is the one that moves out, and the new level never
// shows in place before it rises.
void TMainForm::SlideInLevel(const std::string& fileName) {
    TransitionCounter = 100;
    OpenLevel(fileName);
    TransitionCounter = 100;
}

// A stopped timer does not fire, whatever asks for its handler (a late event, a replay line).
void TMainForm::Timer2Timer() {
    if (!Timer2Enabled) return;
    SetTimer2(false);
    ++LevelNo;
    SlideInLevel(LevelFileName(LevelNo));
}

void TMainForm::Timer3Timer() {
    if (!Timer3Enabled) return;
    SetTimer3(false);
    ++LevelNo;
    InDialog = 1;
    TransitionCounter = 100;
    Platform.ShowWinDialog();
    InDialog = 0;
    LevelNo = 1;
    SlideInLevel(LevelFileName(LevelNo));
    if (Lives < 3) Lives = 3;
    KeyJump = KeyFire = KeyLeft = KeyRight = 0;
}

void TMainForm::GameOverNow() {
    TransitionCounter = 100;
    InDialog = 1;
    const TModalResult result = Platform.ShowGameOverDialog(std::to_string(Score));
    KeyJump = KeyFire = KeyLeft = KeyRight = 0;
    if (result == TModalResult::Ok) {
        Lives = 3;
        Score = 0;
        SlideInLevel(LevelFileName(LevelNo));
    } else {
        StartNewGame();
    }
    InDialog = 0;
}

void TMainForm::NeuesSpiel1Click() {
    if (MayDropLevel()) StartNewGame();
}

void TMainForm::StartNewGame() {
    Platform.NewGameStarts();
    Lives = 3;
    LevelNo = 1;
    Score = 0;
    SlideInLevel(LevelFileName(LevelNo));
    // After the load: a new game always starts here, whatever level 1's file holds.
    StartX = PlayerX = 38;
    StartY = PlayerY = 315;
}

void TMainForm::FormKeyPress(char key) {
    CheatBuffer += key;
    while (CheatBuffer.size() > kCheatLength) CheatBuffer.erase(0, 1);
    if (CheatBuffer.size() != kCheatLength) return;
    for (size_t i = 0; i < kCheatLength; ++i)
        if (AsciiUpper(CheatBuffer[i]) != kCheatCode[i]) return;
    const std::string next = LevelFileName(LevelNo + 1);
    if (!Platform.FileExists(next)) return;
    ++LevelNo;
    SlideInLevel(next);
}

}  // namespace blubbi
