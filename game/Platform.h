// The one door between the game core and the machine: clock, seed, pictures, media,
// timers and dialogs. The game program implements it with Qt and SDL,
// blubbi-sim and the tests with a virtual clock and scripted answers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "game/Dib.h"

namespace blubbi {

// A colour as red + green * 256 + blue * 65536.
using TColor = uint32_t;
constexpr TColor RGB(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }
constexpr uint8_t GetRValue(TColor c) { return c & 0xFF; }
constexpr uint8_t GetGValue(TColor c) { return (c >> 8) & 0xFF; }
constexpr uint8_t GetBValue(TColor c) { return (c >> 16) & 0xFF; }
constexpr TColor clBlack = RGB(0, 0, 0);
constexpr TColor clWhite = RGB(255, 255, 255);

// An off-screen picture the frame composes into (the BackBuffer). All coordinates are
// pixels of this picture; drawing outside it is clipped. Destroying it releases it.
class TPicture {
public:
    virtual ~TPicture() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // GDI rules: the figure covers x1..x2-1, y1..y2-1; a one-pixel outline in `pen`,
    // the inside in `brush` (none when `hollow`); no anti-aliasing.
    virtual void Rectangle(int x1, int y1, int x2, int y2, TColor pen, TColor brush) = 0;
    virtual void Ellipse(int x1, int y1, int x2, int y2, TColor pen, TColor brush, bool hollow) = 0;
    // The arc of the ellipse in x1..x2, y1..y2, counter-clockwise from the radial
    // through (x3, y3) to the radial through (x4, y4).
    virtual void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, TColor pen) = 0;
    // Status font ("Arial", bold, 15 pixels), transparent background; (x, y) is the
    // top-left corner of the text. `text` is UTF-8.
    virtual void TextOut(int x, int y, const std::string& text, TColor color) = 0;

    // Sprite primitives; (x, y) is where the frame's top-left pixel lands.
    virtual void DrawSprite(const TDib& sheet, int x, int y, bool mirrored, int frame, int frameCount,
                            bool inBubble) = 0;
    virtual void DrawSpriteRow(const TDib& sheet, int x, int y, int frameCount, int frame) = 0;
    // Scaled copy without transparency; srcY counts from the bottom row of the image.
    virtual void StretchDrawDib(int x, int y, int destWidth, int destHeight, const TDib& image, int srcX, int srcY,
                                int srcWidth, int srcHeight) = 0;
};

enum class TModalResult { Ok, Cancel };

// The answer to the question before a changed level is dropped.
enum class TSaveChoice { Save, Discard, Cancel };

// Editor work kept against a crash: the level as a level file holds it, its name, and when it
// was kept (as the platform wrote it down, for the question only).
struct TRecovery {
    std::vector<uint8_t> Level;
    std::string Name;
    std::string Time;
};

// The game's own size: its paint box when the program starts, what every level is laid out for.
constexpr int kDesignWidth = 681, kDesignHeight = 425;

// The frame timer (Timer1) ticks this often; each tick calls Timer1Timer of the game.
constexpr uint32_t kFrameIntervalMs = 25;
// A one-shot timer calls its handler this long after it was enabled.
constexpr uint32_t kOneShotIntervalMs = 3000;

// The game's one-shot timers, by the names of their handlers: Timer2 loads the next
// level, Timer3 shows the win. The values index arrays of both.
enum class TOneShotTimer { Timer2, Timer3 };
constexpr size_t kOneShotTimerCount = 2;

// Everything runs on one thread. A platform calls into the game only from its event
// loop: Timer1Timer every kFrameIntervalMs, Timer2Timer / Timer3Timer when due, and the
// input and menu handlers; never while one of them is still running, except from inside
// a modal dialog's nested loop (see the dialogs below).
class TPlatform {
public:
    virtual ~TPlatform() = default;

    // Called by every rule that needs "now" (firing, bubbles, hits, music), any number of
    // times a frame; returns the system tick count in ms, wrapping at 2^32.
    virtual uint32_t GetTickCount() = 0;
    // Called once by FormCreate; returns the seed of the game's random generator.
    virtual uint64_t RandomSeed() = 0;
    // Called once by FormCreate; returns the program's folder, ending in '/', beside
    // which grafiken/, sound/ and levels/ lie.
    virtual std::string ProgramDir() = 0;

    // Called by FormCreate once per sheet; returns the decoded sheet, or a record with
    // Bits == nullptr when the file is missing or unreadable.
    virtual TDib OpenDib(const std::string& fileName) = 0;

    // Called by every frame (NewBackBuffer) and by the editor's mouse handlers; returns
    // the paint box's size now, which may change between frames.
    virtual int PaintBoxWidth() = 0;
    virtual int PaintBoxHeight() = 0;
    // Called by every frame (NewBackBuffer); returns a new picture to compose into.
    virtual std::unique_ptr<TPicture> NewPicture(int width, int height) = 0;
    // Called at the end of a frame (PresentPicture), twice while a level slides in; shows
    // the picture with its top-left corner at (x, y), leaving the rest as it was.
    virtual void Present(const TPicture& picture, int x, int y) = 0;
    // Called while the first level slides in with no earlier picture; fills a rectangle
    // of the paint box itself.
    virtual void PaintBoxRectangle(int x1, int y1, int x2, int y2, TColor color) = 0;

    // Called by FormCreate (open), frames (cues, the music's keep-alive), the sound menu
    // items and FormDestroy (close); returns the answer, empty when there is none or it failed.
    virtual std::string SendMediaCommand(const std::string& command) = 0;

    // Called by SetTimer2 / SetTimer3 only when the state changes: by the end-of-level
    // check (just before a frame) to enable, by the timer's own handler to disable. An
    // enabled timer calls Timer2Timer / Timer3Timer once kOneShotIntervalMs have passed.
    virtual void SetTimerEnabled(TOneShotTimer timer, bool enabled) = 0;

    // Called by SetPaused only when the state changes. While paused, GetTickCount keeps
    // answering the tick at which the pause began and enabled one-shot timers keep the
    // time they still had; after it the clock goes on from there, so the game never sees
    // the paused time. Enabling or disabling a timer while paused takes effect as usual.
    virtual void SetClockPaused(bool paused) = 0;

    // Called by GameOverNow from inside a frame (the player phase lost the last life);
    // shows `points` modally and returns Ok for "&Continue". It runs a nested event loop:
    // the game has set InDialog, so Timer1Timer lets those ticks pass without a frame,
    // while the one-shot timers still fire.
    virtual TModalResult ShowGameOverDialog(const std::string& points) = 0;
    // Called by Timer3Timer, between frames, after the last level; shows the win modally.
    // Its nested loop runs with InDialog set, holding frames off as the game-over one does.
    virtual void ShowWinDialog() = 0;
    // Called when a list cannot grow and when a level cannot be saved; a modal message
    // box without a title and with the error icon.
    virtual void ShowErrorMessage(const std::string& text) = 0;

    // Called once by FormCreate: the folder the level file dialogs start in.
    virtual void SetLevelDialogFolder(const std::string& folder) = 0;
    // Called by the editor's open and save commands; a modal file dialog ("Leveldateien
    // (*.lev)|*.lev", default extension ".lev") whose nested loop does not hold frames
    // off. Returns true with the chosen full path once the user confirmed.
    virtual bool OpenLevelDialog(std::string& fileName) = 0;
    virtual bool SaveLevelDialog(std::string& fileName) = 0;

    // Called by every level load for the bytes of the level file, at most a level file's size;
    // nullopt when it cannot be read whole. Reads the file itself unless a platform knows better
    // (a replay answers with the bytes the recorded game read).
    virtual std::optional<std::vector<uint8_t>> ReadLevelFile(const std::string& fileName);

    // Called by the end-of-level check and the cheat to learn whether a next level file
    // exists; true only for a regular file.
    virtual bool FileExists(const std::string& fileName) = 0;
    // Called by StartNewGame before it sets up the new game (from the menu or the game-over
    // dialog), so that a recording can begin the new game's replay from there.
    virtual void NewGameStarts() {}

    // Called before a changed level would be dropped (a new game, another level, quitting); a modal
    // question naming the level: save it, drop it, or leave everything as it is. Nobody to ask drops it.
    virtual TSaveChoice AskSaveChanges(const std::string& /*levelName*/) { return TSaveChoice::Discard; }
    // Called by a successful "Level öffnen..." and save with the file's full path: the player's
    // recently used levels.
    virtual void LevelFileUsed(const std::string& /*fileName*/) {}

    // Called whenever the edited level or its changed state changes. A platform that keeps work
    // against a crash calls KeepRecovery of the game within a few seconds, between events.
    virtual void RecoveryDue() {}
    // Called by KeepRecovery: keeps the level (a level file's bytes) with its name and the time now,
    // replacing what was kept; or forgets what was kept.
    virtual void WriteRecovery(const std::vector<uint8_t>& /*level*/, const std::string& /*name*/) {}
    virtual void RemoveRecovery() {}
    // Called by OfferRecovery: the work kept by an earlier run, if any; and the question whether
    // to bring it back into the editor.
    virtual std::optional<TRecovery> ReadRecovery() { return std::nullopt; }
    virtual bool AskRestoreRecovery(const TRecovery& /*kept*/) { return false; }
};

}  // namespace blubbi
