// The one door between the game core and the machine: clock, seed, pictures, media,
// timers, dialogs and the shell. The game program implements it with Qt and SDL,
// blubbi-sim and the tests with a virtual clock and scripted answers.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

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

class TPlatform {
public:
    virtual ~TPlatform() = default;

    // System tick count in milliseconds (wraps at 2^32). Read by the frame whenever a
    // rule needs "now".
    virtual uint32_t GetTickCount() = 0;
    // Seed of the game's random generator; asked once, at start-up.
    virtual uint64_t RandomSeed() = 0;
    // Folder of the program, ending in '/'; the data folders lie beside it.
    virtual std::string ProgramDir() = 0;

    // Decodes a sheet; a missing or unreadable file gives a record with Bits == nullptr.
    virtual TDib OpenDib(const std::string& fileName) = 0;

    // The paint box: its size now, a new picture to compose into, showing a picture at an
    // offset (what lies outside stays as it was), and a filled rectangle on the paint box.
    virtual int PaintBoxWidth() = 0;
    virtual int PaintBoxHeight() = 0;
    virtual std::unique_ptr<TPicture> NewPicture(int width, int height) = 0;
    virtual void Present(const TPicture& picture, int x, int y) = 0;
    virtual void PaintBoxRectangle(int x1, int y1, int x2, int y2, TColor color) = 0;

    // A media command string; returns the answer (empty when there is none or it failed).
    virtual std::string SendMediaCommand(const std::string& command) = 0;

    // One-shot timers 2 and 3 (3000 ms). Called only when the state changes; an enabled
    // timer calls Timer2Timer / Timer3Timer of the game once its time has passed.
    virtual void SetTimerEnabled(int timer, bool enabled) = 0;

    // Modal dialogs. The game-over dialog shows `points`; Ok is its "&Continue".
    virtual TModalResult ShowGameOverDialog(const std::string& points) = 0;
    virtual void ShowWinDialog() = 0;
    // A message box without a title and with the error icon.
    virtual void ShowErrorMessage(const std::string& text) = 0;

    // Level file dialogs ("Leveldateien (*.lev)|*.lev", default extension ".lev");
    // true with the chosen full path once the user confirmed.
    virtual void SetLevelDialogFolder(const std::string& folder) = 0;
    virtual bool OpenLevelDialog(std::string& fileName) = 0;
    virtual bool SaveLevelDialog(std::string& fileName) = 0;

    virtual bool FileExists(const std::string& fileName) = 0;
    // Shell "open" of a web or mail address; failures are silent.
    virtual void ShellOpen(const std::string& address) = 0;
};

}  // namespace blubbi
