// The paint box: shows what the frame presented, routes keys and mouse to the game's handlers.
#include "app/PaintBox.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <optional>

#include "app/GlView.h"
#include "game/Latin1.h"
#include "game/MainForm.h"
#include "gfx/Screen.h"

namespace blubbi {

namespace {
std::optional<TMouseButton> GameButton(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton: return TMouseButton::mbLeft;
        case Qt::RightButton: return TMouseButton::mbRight;
        case Qt::MiddleButton: return TMouseButton::mbMiddle;
        default: return std::nullopt;
    }
}
}  // namespace

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PaintBox1"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);  // moves without a button reach the editor too
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(1, 1);
    if (TGlView::Wanted()) {
        Gl = new TGlView(this);
        Gl->resize(size());
    }
}

void TPaintBox::Refresh() {
    if (Gl)
        Gl->update();
    else
        update();
}

void TPaintBox::Bind(TMainForm* game, TScreen* screen) {
    Game = game;
    Screen = screen;
}

int32_t TPaintBox::VirtualKey(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return '0' + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return 112 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
        case Qt::Key_Backspace: return 8;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 13;
        case Qt::Key_Shift: return 16;
        case Qt::Key_Control: return 17;
        case Qt::Key_Alt: return 18;
        case Qt::Key_Escape: return 27;
        case Qt::Key_Space: return VK_SPACE;
        case Qt::Key_PageUp: return 33;
        case Qt::Key_PageDown: return 34;
        case Qt::Key_End: return 35;
        case Qt::Key_Home: return 36;
        case Qt::Key_Left: return VK_LEFT;
        case Qt::Key_Up: return VK_UP;
        case Qt::Key_Right: return VK_RIGHT;
        case Qt::Key_Down: return 40;
        case Qt::Key_Insert: return 45;
        case Qt::Key_Delete: return 46;
        default: return 0;
    }
}

bool TPaintBox::event(QEvent* event) {
    // Moved to a screen of another scale factor: the game's size in game pixels changes with it.
    if (event->type() == QEvent::ScreenChangeInternal && Scale() != ShownScale) {
        const bool done = QWidget::event(event);
        updateGeometry();
        FollowSize();
        return done;
    }
    // Tab and Backtab belong to the game, not to focus navigation.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            KeyDown(key);
            return true;
        }
    }
    return QWidget::event(event);
}

void TPaintBox::Post(TEventKind kind, int32_t a, int32_t b, TMouseButton button) {
    TEvent e = MakeEvent(kind);
    e.A = a;
    e.B = b;
    e.Button = button;
    if (SendEvent) SendEvent(std::move(e));
}

void TPaintBox::KeyDown(QKeyEvent* event) {
    event->accept();
    if (!event->isAutoRepeat()) AltAlone = event->key() == Qt::Key_Alt;
    if (!Game) return;
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Pause) {
        if (!event->isAutoRepeat() && OnPauseKey) OnPauseKey();
        return;
    }
    // A held key is one press for the game: the window system's repeats are dropped, unless the
    // key was let go meanwhile (the focus went away, or a pause).
    if (const int32_t code = VirtualKey(event->key()); code && (!event->isAutoRepeat() || (Held && !Held(code))))
        Post(TEventKind::KeyDown, code);
    // Typed characters go through the one door too, so that a recording holds them.
    for (const QChar ch : event->text()) {
        const char16_t code = ch.unicode();
        if (code == 0) continue;
        Post(TEventKind::Char, static_cast<uint8_t>(Latin1Of(code)));
    }
}

void TPaintBox::KeyUp(QKeyEvent* event) {
    event->accept();
    if (event->isAutoRepeat()) return;
    const bool menuWanted = event->key() == Qt::Key_Alt && AltAlone;
    AltAlone = false;
    if (!Game) return;
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Pause) return;
    if (const int32_t code = VirtualKey(event->key())) Post(TEventKind::KeyUp, code);
    if (menuWanted && OnMenuKey) OnMenuKey();
}

// The picture keeps its size until the box has its new one (resizeEvent): shrinking it to the old
// box divided by the new scale first would cut away what a paused game does not draw again.
void TPaintBox::SetScale(int scale) {
    ZoomFactor = std::clamp(scale, 1, kMaxScale);
    updateGeometry();
    update();
}

void TPaintBox::SetFit(bool fit) {
    if (fit == FitScreen) return;
    FitScreen = fit;
    FollowSize();
    update();
}

int TPaintBox::FitScale(QSize area) {
    return std::max(1, std::min(area.width() / kStartWidth, area.height() / kStartHeight));
}

int TPaintBox::ZoomScale(int zoom, double screenFactor) {
    return std::max(1, static_cast<int>(std::lround(zoom * screenFactor)));
}

QSize TPaintBox::DeviceSize() const {
    const double factor = devicePixelRatioF();
    return {static_cast<int>(std::lround(width() * factor)), static_cast<int>(std::lround(height() * factor))};
}

QSize TPaintBox::SizeAt(int zoom) const {
    const int scale = ZoomScale(zoom, devicePixelRatioF());
    const double factor = devicePixelRatioF();
    return {static_cast<int>(std::ceil(kStartWidth * scale / factor - 1e-9)),
            static_cast<int>(std::ceil(kStartHeight * scale / factor - 1e-9))};
}

QSize TPaintBox::ScreenArea() const {
    const double factor = devicePixelRatioF();
    const QWidget* top = window();
    return {static_cast<int>(std::lround(top->width() * factor)),
            static_cast<int>(std::lround(top->height() * factor))};
}

int TPaintBox::BoxTop() const {
    return static_cast<int>(std::lround(mapTo(window(), QPoint(0, 0)).y() * devicePixelRatioF()));
}

QPoint TPaintBox::Origin() const {
    if (!FitScreen) return {0, 0};
    const int scale = Scale();
    const QSize area = ScreenArea();
    return {(area.width() - kStartWidth * scale) / 2, (area.height() - kStartHeight * scale) / 2 - BoxTop()};
}

QPoint TPaintBox::GamePoint(QPointF position) const {
    const QPointF p = position * devicePixelRatioF() - QPointF(Origin());
    return {static_cast<int>(std::floor(p.x() / Scale())), static_cast<int>(std::floor(p.y() / Scale()))};
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
    AltAlone = false;
    if (Game && Game->Paused && OnPausedClick && event->button() == Qt::LeftButton) {
        OnPausedClick();
        return;
    }
    const auto button = GameButton(event->button());
    if (!Game || !button) return;
    const QPoint p = GamePoint(event->position());
    Post(TEventKind::MouseDown, p.x(), p.y(), *button);
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
    if (!Game) return;
    const QPoint p = GamePoint(event->position());
    Post(TEventKind::MouseMove, p.x(), p.y());
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
    const auto button = GameButton(event->button());
    if (!Game || !button) return;
    const QPoint p = GamePoint(event->position());
    Post(TEventKind::MouseUp, p.x(), p.y(), *button);
}

void TPaintBox::paintEvent(QPaintEvent*) {
    if (Gl) return;  // the card's view covers the box
    // Only shows the last picture again; frames run from the timer alone.
    const auto start = TFrameStats::TClock::now();
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);  // sharp pixels on high-DPI screens
    if (!Screen) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // The blocks are laid in the screen's pixels: at a fractional desktop scale, whole widget
    // units would give blocks of unequal size.
    const double factor = devicePixelRatioF();
    painter.save();
    painter.setWorldTransform(QTransform::fromScale(1 / factor, 1 / factor));
    ShowScaled(painter, QRect(QPoint(0, 0), DeviceSize()), Screen->Image(), Origin(), Scale());
    painter.restore();
    PaintOverlay(painter);
    CountPainted(start);
}

bool TPaintBox::HasOverlay() const { return (Game && Game->Paused) || (Stats && ShowStats); }

void TPaintBox::PaintOverlay(QPainter& painter) const {
    if (Game && Game->Paused) {
        // The field stays to be seen, dimmed, under the word.
        painter.fillRect(rect(), QColor(0, 0, 0, 150));
        QFont font(QStringLiteral("Arial"));
        font.setBold(true);
        painter.setPen(Qt::white);
        const QPoint middle = rect().center();
        const auto line = [&](int pixels, int dy, const QString& text) {
            // Smaller where the line would not fit the box (a small window at 1×).
            font.setPixelSize(pixels);
            while (pixels > 9 && QFontMetrics(font).horizontalAdvance(text) > width() - 16) font.setPixelSize(--pixels);
            painter.setFont(font);
            painter.drawText(QRect(0, middle.y() + dy - pixels, width(), 2 * pixels), Qt::AlignCenter, text);
        };
        if (FirstKeyWait) {
            line(20, -14, QStringLiteral("Pfeiltasten: laufen und springen – Leertaste: Blasen"));
            line(15, 16, QStringLiteral("Die erste dieser Tasten startet das Spiel."));
            // The list takes no game played with the editor on: the player learns it before he plays.
            if (Game->EditorMode)
                line(15, 40, QStringLiteral("Editormodus an: Dieses Spiel zählt nicht für die Hiscore-Liste."));
        } else {
            line(40, -8, QStringLiteral("Pause"));
            line(15, 26, QStringLiteral("Esc: weiter"));
        }
    }
    if (Stats && ShowStats) PaintStats(painter);
}

void TPaintBox::CountPainted(TFrameStats::TClock::time_point start) const {
    if (Stats) Stats->Painted(TFrameStats::Ms(TFrameStats::TClock::now() - start));
}

// Small, in the corner, in the window's own pixels: whatever the zoom, it stays readable.
void TPaintBox::PaintStats(QPainter& painter) const {
    const TFrameStats::TRecent& r = Stats->Recent();
    const QString text = QStringLiteral("%1 Bilder/s  Logik %2 ms  Aufbau %3 ms  Anzeige %4 ms  verlorene Takte %5")
                             .arg(r.Fps, 0, 'f', 1)
                             .arg(r.LogicMs, 0, 'f', 2)
                             .arg(r.ComposeMs, 0, 'f', 2)
                             .arg(r.PresentMs, 0, 'f', 2)
                             .arg(Stats->Dropped());
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(11);
    painter.setFont(font);
    const QRect box = painter.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2).translated(6, 6 + 11);
    painter.fillRect(box, QColor(0, 0, 0, 180));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, text);
}

void TPaintBox::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    // Alt+Tab and the like: the other key went elsewhere. The menu bar itself may take the focus
    // on Alt, and the release still counts.
    if (event->reason() != Qt::MenuBarFocusReason) AltAlone = false;
    if (OnFocusLost) OnFocusLost();
}

void TPaintBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (Gl) Gl->resize(size());
    FollowSize();
}

void TPaintBox::FollowSize() {
    ShownScale = Scale();
    if (Screen) Screen->Resize(GameWidth(), GameHeight());
    if (Game) Post(TEventKind::Resize, GameWidth(), GameHeight());
}

}  // namespace blubbi
