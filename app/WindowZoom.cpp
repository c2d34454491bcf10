// The main window's size: zoom, full screen, staying on a screen, and what it keeps from the last run.
#include "app/MainWindow.h"

#include <QActionGroup>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "app/PaintBox.h"
#include "app/WindowSettings.h"

namespace blubbi {

// The zoom, after the options the game has always had.
void TMainWindow::BuildViewItems() {
    Vergrerung1 = Optionen1->addMenu(QStringLiteral("Vergrößerung"));
    Vergrerung1->setObjectName(QStringLiteral("Vergrerung1"));
    Vergrerung1->menuAction()->setObjectName(QStringLiteral("Vergrerung1Item"));
    ZoomGroup = new QActionGroup(this);
    ZoomGroup->setObjectName(QStringLiteral("ZoomGroup"));
    ZoomGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (int scale = 1; scale <= TPaintBox::kMaxScale; ++scale) {
        QAction* a = Vergrerung1->addAction(QStringLiteral("%1×").arg(scale));
        a->setObjectName(QStringLiteral("Zoom%1").arg(scale));
        a->setCheckable(true);
        ZoomGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, scale] {
            SetZoom(scale);
            Remember(setting::Zoom, scale);
        });
    }
    connect(Vergrerung1, &QMenu::aboutToShow, this, &TMainWindow::UpdateZoomItems);
}

namespace {
// The window's frame around its client area; before the window system has told it, room for a
// title bar.
QMargins FrameOf(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    const QMargins margins = handle ? handle->frameMargins() : QMargins();
    return margins.isNull() ? QMargins(4, 30, 4, 4) : margins;
}
}  // namespace

bool TMainWindow::ZoomFits(int zoom) const {
    const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where) return true;
    const QSize box = PaintBox1->SizeAt(zoom);
    const int bars = menuBar()->sizeHint().height() + statusBar()->height();
    const QMargins frame = FrameOf(this);
    const QSize window(box.width() + frame.left() + frame.right(), box.height() + bars + frame.top() + frame.bottom());
    const QSize room = where->availableGeometry().size();
    return window.width() <= room.width() && window.height() <= room.height();
}

int TMainWindow::FittingZoom(int wanted) const {
    int zoom = std::clamp(wanted, 1, TPaintBox::kMaxScale);
    while (zoom > 1 && !ZoomFits(zoom)) --zoom;
    return zoom;
}

void TMainWindow::UpdateZoomItems() {
    for (int zoom = 1; zoom <= TPaintBox::kMaxScale; ++zoom)
        ZoomGroup->actions()[zoom - 1]->setEnabled(zoom == 1 || ZoomFits(zoom));
}

void TMainWindow::KeepOnScreen() {
    if (isFullScreen() || isMaximized()) return;
    const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where) return;
    const QRect room = where->availableGeometry();
    const QRect frame = geometry().marginsAdded(FrameOf(this));
    const int left = std::clamp(frame.left(), room.left(), std::max(room.left(), room.right() + 1 - frame.width()));
    const int top = std::clamp(frame.top(), room.top(), std::max(room.top(), room.bottom() + 1 - frame.height()));
    if (left != frame.left() || top != frame.top()) move(pos() + QPoint(left - frame.left(), top - frame.top()));
}

// The start size gives the paint box its design size (times the zoom); the window stays resizable.
// A size and place kept from the last run come back where they still fit a screen.
void TMainWindow::RestoreSettings() {
    const TWindowSettings kept = TWindowSettings::Load();  // read once: every switch kept comes back here
    PauseBeiFokusverlust1->setChecked(kept.PauseOnFocusLoss);
    AufErstenTastendruckWarten1->setChecked(kept.WaitForFirstKey);
    Gamepad1->setChecked(kept.Gamepad);
    ReplaySpeedStored = kept.ReplaySpeed;
    SetReplaySpeed(ReplaySpeedStored);
    // A zoom kept from a larger screen gives way here; the kept one comes back where it fits.
    PaintBox1->SetScale(FittingZoom(kept.Zoom));
    ZoomGroup->actions()[PaintBox1->Zoom() - 1]->setChecked(true);
    UpdateZoomItems();
    resize(sizeHint());
    // A size kept under another desktop scale factor would show another part of the game: the
    // window takes its start size there, and only the place comes back.
    const bool sameScale = !kept.GeometryScale || std::abs(*kept.GeometryScale - PaintBox1->devicePixelRatioF()) < 0.01;
    if (kept.Geometry) {
        const QRect wanted = sameScale ? *kept.Geometry : QRect(kept.Geometry->topLeft(), size());
        if (SizeFitsAScreen(wanted.size())) resize(wanted.size());
        if (FitsAScreen(wanted)) {
            setGeometry(wanted);
            Placed = true;
        }
    }
    if (kept.FullScreen) SetFullScreen(true);
}

void TMainWindow::SetZoom(int scale) {
    if (!isFullScreen()) scale = FittingZoom(scale);
    PaintBox1->SetScale(scale);
    ZoomGroup->actions()[PaintBox1->Zoom() - 1]->setChecked(true);
    const QSize box = PaintBox1->sizeHint();
    if (isMaximized() || isFullScreen()) {
        PaintBox1->FollowSize();  // the window keeps its size; the field stays centred
        return;
    }
    if (box == PaintBox1->size()) PaintBox1->FollowSize();  // no resize to come, but maybe a new scale
    resize(size() + box - PaintBox1->size());
    KeepOnScreen();
}

void TMainWindow::Vollbild1Click() { SetFullScreen(Vollbild1->isChecked()); }

void TMainWindow::SetFullScreen(bool on) {
    Vollbild1->setChecked(on);
    PaintBox1->SetFit(on);
    menuBar()->setVisible(!on);
    statusBar()->setVisible(!on);
    if (on != isFullScreen()) {
        if (on) MaximizedBeforeFull = isMaximized();
        const QRect normal = normalGeometry();
        Qt::WindowStates state = windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized);
        if (on)
            state |= Qt::WindowFullScreen;
        else if (MaximizedBeforeFull)
            state |= Qt::WindowMaximized;
        setWindowState(state);
        // Not every window system puts a window back where it was before it filled the screen.
        if (!on && !MaximizedBeforeFull && normal.isValid()) {
            setGeometry(normal);
            KeepOnScreen();
        }
    }
    Remember(setting::FullScreen, on);
    PaintBox1->setFocus(Qt::OtherFocusReason);
}

}  // namespace blubbi
