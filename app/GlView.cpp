// The card takes the picture at 1x and draws the blocks; the pause veil and the statistics come
// after, with Qt's painter on the same surface.
#include "app/GlView.h"

#include <QDir>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>

#include "app/PaintBox.h"
#include "gfx/Screen.h"

namespace blubbi {

TGlView::TGlView(TPaintBox* box) : QOpenGLWidget(box), Box(box) {
    setObjectName(QStringLiteral("GlView"));
    setAttribute(Qt::WA_TransparentForMouseEvents);  // the box takes the mouse and the keys
    setFocusPolicy(Qt::NoFocus);
}

// The base class destroys the context after this destructor has run: its last signal must not
// reach a member of the view that is already gone.
TGlView::~TGlView() {
    if (context()) disconnect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &TGlView::ReleaseGl);
    ReleaseGl();
}

void TGlView::ReleaseGl() {
    if (!Picture) return;
    makeCurrent();
    Picture->Destroy();
    Picture.reset();
    doneCurrent();
}

bool TGlView::Wanted() {
    const QByteArray choice = qgetenv("BLUBBI_PRESENTER");
    if (choice == "raster") return false;
    const bool forced = choice == "gl";
    // Platforms without windows of their own (the tests' offscreen one) have no card to ask.
    const QString platform = QGuiApplication::platformName();
    if (!forced && platform != QLatin1String("xcb") && platform != QLatin1String("wayland")) return false;
    // Without a render node the kernel knows no card, and OpenGL can only be software.
    if (!forced && QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("renderD*")}, QDir::System).isEmpty())
        return false;
    QOpenGLContext context;
    if (!context.create()) return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface)) return false;
    const auto* name = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
    const QByteArray renderer = name ? QByteArray(name).toLower() : QByteArray();
    context.doneCurrent();
    if (forced) return true;
    // A renderer in software enlarges on the processor too, and slower than the painter does.
    for (const char* software : {"llvmpipe", "softpipe", "swrast", "software"})
        if (renderer.contains(software)) return false;
    return !renderer.isEmpty();
}

// Again whenever the view gets a new context (a new top-level window, say): the old one took its
// texture and program with it.
void TGlView::initializeGL() {
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &TGlView::ReleaseGl, Qt::UniqueConnection);
    // One that cannot draw (a shader the driver refuses) still clears to black.
    Picture = std::make_unique<TGlPicture>();
    Picture->Create();
}

void TGlView::paintGL() {
    const auto start = TFrameStats::TClock::now();
    const TScreen* screen = Box->ShownScreen();
    if (Picture) Picture->Draw(screen ? screen->Image() : QImage(), Box->DeviceSize(), Box->Origin(), Box->Scale());
    if (Box->HasOverlay()) {
        QPainter painter(this);
        Box->PaintOverlay(painter);
    }
    Box->CountPainted(start);
}

}  // namespace blubbi
