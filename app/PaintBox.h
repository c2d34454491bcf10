// TPaintBox: the widget that shows the last presented picture and hands keys and mouse to the game.
#pragma once
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <functional>

#include "app/FrameStats.h"
#include "game/Events.h"

namespace blubbi {

class TMainForm;
class TScreen;
class TGlView;

class TPaintBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStartWidth = kDesignWidth, kStartHeight = kDesignHeight;

    explicit TPaintBox(QWidget* parent = nullptr);
    void Bind(TMainForm* game, TScreen* screen);

    // The game's code of a key (32 space, 37..40 arrows, letters and digits as their
    // capital ASCII codes, ...); 0 for keys the game has no code for.
    static int32_t VirtualKey(int qtKey);

    // Also called by the main window for keys that reach it instead of the paint box.
    void KeyDown(QKeyEvent* event);
    void KeyUp(QKeyEvent* event);

    // Esc and the Pause key: they pause or resume and do not reach the game.
    std::function<void()> OnPauseKey;
    // Alt pressed and let go with nothing else between: the menu bar is wanted. The game still
    // sees the Alt key itself.
    std::function<void()> OnMenuKey;
    // The box lost the keyboard (another program, a dialog, the menu bar): keys let go meanwhile
    // never reach it.
    std::function<void()> OnFocusLost;
    // Whether the game holds a key: a window system's repeat of one it does not hold (let go while
    // the focus was away, or by a pause) presses it again.
    std::function<bool(int32_t)> Held;
    // A click on the paused picture: it resumes and does not reach the game.
    std::function<void()> OnPausedClick;
    // The paused picture says which keys play and that the first one starts, instead of "Pause".
    bool FirstKeyWait = false;

    // The frame statistics shown small in the corner (F12), and where the paint box adds what its
    // showing of a picture costs.
    TFrameStats* Stats = nullptr;
    bool ShowStats = false;

    // Game pixels are shown as Scale x Scale blocks of the screen's own pixels (device pixels), so
    // they stay sharp whatever the desktop's scale factor. In a window the scale is the chosen zoom
    // times that factor, to the nearest whole number, and the game sees the widget's size divided
    // by it; filling the screen, the game keeps its start size at the largest whole-number scale
    // that fits, centred with black around.
    static constexpr int kMaxScale = 4;
    void SetScale(int scale);
    int Zoom() const { return ZoomFactor; }
    void SetFit(bool fit);
    bool Fit() const { return FitScreen; }
    // The picture and the game take the size the box gives them now (a resize does it by itself).
    void FollowSize();
    // The largest whole-number scale at which the game's start size fits `area` (at least 1).
    static int FitScale(QSize area);
    // Filling the screen: the window's whole area in device pixels, and how far down in it the box
    // begins. The menu bar shown over the game (F10) neither moves nor shrinks the picture.
    QSize ScreenArea() const;
    int BoxTop() const;
    // The screen pixels per game pixel for a zoom on a screen of the given scale factor.
    static int ZoomScale(int zoom, double screenFactor);
    int Scale() const { return FitScreen ? FitScale(ScreenArea()) : ZoomScale(ZoomFactor, devicePixelRatioF()); }
    int GameWidth() const { return FitScreen ? kStartWidth : std::max(1, DeviceSize().width() / Scale()); }
    int GameHeight() const { return FitScreen ? kStartHeight : std::max(1, DeviceSize().height() / Scale()); }
    // The widget's size in screen pixels.
    QSize DeviceSize() const;
    // Where the game's top-left pixel is shown, in screen pixels from the widget's corner.
    QPoint Origin() const;
    // The game pixel under a point of the widget (in the widget's own coordinates).
    QPoint GamePoint(QPointF position) const;

    // The size that shows the game's start size at the chosen zoom, or at `zoom`.
    QSize sizeHint() const override { return SizeAt(ZoomFactor); }
    QSize SizeAt(int zoom) const;

    // Shows the last presented picture again, through the graphics card where it does the
    // enlarging (see TGlView::Wanted), otherwise with Qt's painter.
    void Refresh();
    bool ThroughGraphicsCard() const { return Gl != nullptr; }
    // For the card's view: the picture, the pause veil and statistics over it, and the time taken.
    const TScreen* ShownScreen() const { return Screen; }
    bool HasOverlay() const;
    void PaintOverlay(QPainter& painter) const;
    void CountPainted(TFrameStats::TClock::time_point start) const;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override { KeyDown(event); }
    void keyReleaseEvent(QKeyEvent* event) override { KeyUp(event); }
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    TMainForm* Game = nullptr;

public:
    // Where the box's events go (the platform's Send, the one door into the game); unset, nowhere.
    std::function<void(TEvent)> SendEvent;

private:
    void PaintStats(QPainter& painter) const;
    void Post(TEventKind kind, int32_t a = 0, int32_t b = 0, TMouseButton button = TMouseButton::mbLeft);
    TScreen* Screen = nullptr;
    TGlView* Gl = nullptr;
    int ZoomFactor = 1;
    bool FitScreen = false;
    bool AltAlone = false;  // Alt is down and nothing else happened since
    int ShownScale = 0;     // the scale the game's size was last taken at
};

}  // namespace blubbi
