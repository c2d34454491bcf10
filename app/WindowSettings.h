// What the window remembers between runs in the game's settings file, and how it is read back.
#pragma once
#include <QRect>
#include <QString>
#include <QVariant>
#include <optional>

namespace blubbi {

// The keys of the window's settings in addr::SettingsFile() (an INI file). Anything missing,
// unreadable or out of range reads as its default; the menu switches of the game itself (music,
// effects, editor mode, insert kind) are never kept: they start as the game gives them.
namespace setting {
inline const QString Zoom = QStringLiteral("zoom");                          // 1..4, default 1
inline const QString FullScreen = QStringLiteral("fullscreen");              // true/false, default false
inline const QString PauseOnFocusLoss = QStringLiteral("pauseOnFocusLoss");  // true/false, default true
// The window's client area when last shown as a plain window: position and size in screen
// pixels. It comes back only where it still fits a screen.
inline const QString WindowX = QStringLiteral("window/x");
inline const QString WindowY = QStringLiteral("window/y");
inline const QString WindowWidth = QStringLiteral("window/width");
inline const QString WindowHeight = QStringLiteral("window/height");
// The desktop's scale factor the size was kept under; under another one the size is not used.
inline const QString WindowScale = QStringLiteral("window/scale");
// Gamepads on or off (true/false, default true); read and written by the gamepad support.
inline const QString Gamepad = QStringLiteral("gamepad");
inline const QString ReplaySpeed = QStringLiteral("replaySpeed");  // 1, 2 or 4, default 1
// A new game waits for its first game key (true/false); default true, or what the environment
// variable BLUBBI_WAIT_FOR_FIRST_KEY says (0 or 1) where the file has no value.
inline const QString WaitForFirstKey = QStringLiteral("waitForFirstKey");
}  // namespace setting

struct TWindowSettings {
    int Zoom = 1;
    bool FullScreen = false;
    bool PauseOnFocusLoss = true;
    bool Gamepad = true;
    int ReplaySpeed = 1;
    bool WaitForFirstKey = true;
    std::optional<QRect> Geometry;        // as it was kept; whether it fits a screen is asked by FitsAScreen
    std::optional<double> GeometryScale;  // the scale factor it was kept under, where known

    // The settings as the file keeps them, each one that is missing or damaged at its default; a
    // file that cannot be read at all gives all defaults.
    static TWindowSettings Load();
};

// Writes one setting; a file that cannot be written leaves the game as it is.
void Remember(const QString& key, const QVariant& value);
void RememberGeometry(const QRect& client, double scale);

// Whether a window's client area lies wholly on one of the screens' usable parts.
bool FitsAScreen(const QRect& client);
// Whether a window of this size fits on one of the screens.
bool SizeFitsAScreen(const QSize& size);

}  // namespace blubbi
