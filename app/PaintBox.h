// TPaintBox: the widget that shows the last presented picture and hands keys and mouse to the game.
#pragma once
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <functional>

#include "game/Events.h"

namespace blubbi {

class TMainForm;
class TScreen;

class TPaintBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStartWidth = 681, kStartHeight = 425;

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

    // Game pixels are shown as Scale x Scale blocks; the game sees the widget's size divided by it.
    static constexpr int kMaxScale = 4;
    void SetScale(int scale);
    int Scale() const { return ScaleFactor; }
    int GameWidth() const { return std::max(1, width() / ScaleFactor); }
    int GameHeight() const { return std::max(1, height() / ScaleFactor); }
    // The game pixel under a point of the widget.
    QPoint GamePoint(QPointF position) const;

    QSize sizeHint() const override { return {kStartWidth * ScaleFactor, kStartHeight * ScaleFactor}; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override { KeyDown(event); }
    void keyReleaseEvent(QKeyEvent* event) override { KeyUp(event); }
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TMainForm* Game = nullptr;

public:
    // Where the box's events go (the platform's Send); unset, straight to the game.
    std::function<void(TEvent)> SendEvent;

private:
    void Post(TEventKind kind, int32_t a = 0, int32_t b = 0, TMouseButton button = TMouseButton::mbLeft);
    TScreen* Screen = nullptr;
    int ScaleFactor = 1;
};

}  // namespace blubbi
