// A game the planner can fork.
#include "tools/planner/PlanGame.h"

namespace blubbi::plan {

namespace {

template <class T>
void CopyList(TDynaArray<T>& to, const TDynaArray<T>& from) {
    to.Clear();
    for (int32_t i = 0; i < from.Count; ++i) *to.Append() = from[i];
}

}  // namespace

TPlanGame::TPlanGame(const std::string& dir, uint64_t seed, int32_t startLevel) {
    Platform.Dir = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    Platform.Seed = seed;
    Game.StartLevelNo = startLevel;
    Game.FormCreate();
}

TPlanGame::~TPlanGame() { Game.FormDestroy(); }

// Every field that a frame reads or writes; the sheets and pictures only draw. A field
// missed here would show when the planner plays its answer through once more from the start.
void TPlanGame::CopyFrom(const TPlanGame& other) {
    TMainForm& g = Game;
    const TMainForm& o = other.Game;
    g.Rng = o.Rng;
    g.AppDir = o.AppDir;
    g.Grid = o.Grid;
    g.GameActive = o.GameActive;
    g.FacingLeft = o.FacingLeft;
    g.Walking = o.Walking;
    g.CellDragActive = o.CellDragActive;
    g.InsertKind = o.InsertKind;
    g.BlinkCounter = o.BlinkCounter;
    g.LastHitTick = o.LastHitTick;
    g.MusicStartTick = o.MusicStartTick;
    g.TransitionCounter = o.TransitionCounter;
    g.Score = o.Score;
    g.Lives = o.Lives;
    g.LevelNo = o.LevelNo;
    g.StartX = o.StartX;
    g.StartY = o.StartY;
    g.VelY = o.VelY;
    g.WalkFrame = o.WalkFrame;
    g.PlayerX = o.PlayerX;
    g.PlayerY = o.PlayerY;
    g.CellDragValue = o.CellDragValue;
    g.InEndCheck = o.InEndCheck;
    g.BurstByTouch = o.BurstByTouch;
    g.InPaint = o.InPaint;
    g.MusicJustStarted = o.MusicJustStarted;
    g.EndCheckPending = o.EndCheckPending;
    g.InDialog = o.InDialog;
    g.KeyJump = o.KeyJump;
    g.KeyFire = o.KeyFire;
    g.KeyLeft = o.KeyLeft;
    g.KeyRight = o.KeyRight;
    g.OnGround = o.OnGround;
    CopyList(*g.Bubbles, *o.Bubbles);
    CopyList(*g.Enemies, *o.Enemies);
    CopyList(*g.Items, *o.Items);
    g.HitTimer = o.HitTimer;
    g.LastFireTick = o.LastFireTick;
    g.MusicModeSaved = o.MusicModeSaved;
    g.MusicModeNow = o.MusicModeNow;
    g.CheatBuffer = o.CheatBuffer;
    g.StartLevelNo = o.StartLevelNo;
    g.MusicEnabled = o.MusicEnabled;
    g.SoundEnabled = o.SoundEnabled;
    g.EditorMode = o.EditorMode;
    g.Timer2Enabled = o.Timer2Enabled;
    g.Timer3Enabled = o.Timer3Enabled;
    g.Paused = o.Paused;

    TPlanPlatform& p = Platform;
    const TPlanPlatform& q = other.Platform;
    p.Clock = q.Clock;
    p.ClockPaused = q.ClockPaused;
    p.PausedAt = q.PausedAt;
    p.PausedMs = q.PausedMs;
    p.TimerOn = q.TimerOn;
    p.TimerSince = q.TimerSince;
    p.Width = q.Width;
    p.Height = q.Height;
    p.GameOvers = q.GameOvers;
    p.Wins = q.Wins;
    Held = other.Held;
    Frames = other.Frames;
}

void TPlanGame::Step(uint8_t keys) {
    for (int k = 0; k < kKeyCount; ++k)
        if ((Held & (1 << k)) && !(keys & (1 << k))) Game.FormKeyUp(kKeyCodes[k]);
    for (int k = 0; k < kKeyCount; ++k)
        if (!(Held & (1 << k)) && (keys & (1 << k))) Game.FormKeyDown(kKeyCodes[k]);
    Held = keys;
    Platform.Tick(Game);
    ++Frames;
}

std::string KeyLines(uint8_t before, uint8_t after) {
    std::string out;
    for (int k = 0; k < kKeyCount; ++k)
        if ((before & (1 << k)) && !(after & (1 << k))) out += std::string("up ") + kKeyNames[k] + "\n";
    for (int k = 0; k < kKeyCount; ++k)
        if (!(before & (1 << k)) && (after & (1 << k))) out += std::string("down ") + kKeyNames[k] + "\n";
    return out;
}

}  // namespace blubbi::plan
