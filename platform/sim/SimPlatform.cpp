// The headless platform with real pictures.
#include "platform/sim/SimPlatform.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QGuiApplication>

#include <cstdlib>
#include <string>

#include "gfx/BildIO.h"

namespace blubbi {

TSimPlatform::TSimPlatform(int width, int height) : Screen(width, height) {
    Width = width;
    Height = height;
    Loader = nullptr;
}

TDib TSimPlatform::OpenDib(const std::string& fileName) { return blubbi::OpenDib(fileName); }

namespace {

// A picture of the box's size of which only a window in its middle is kept: every figure moves by
// the window's place and is clipped to it.
class TWindowPicture : public TPicture {
public:
    TWindowPicture(std::unique_ptr<TPicture> window, int width, int height)
        : Window(std::move(window)),
          W(width),
          H(height),
          DX((width - Window->Width()) / 2),
          DY((height - Window->Height()) / 2) {}
    const TPicture& Inner() const { return *Window; }

    int Width() const override { return W; }
    int Height() const override { return H; }
    void Rectangle(int x1, int y1, int x2, int y2, TColor pen, TColor brush) override {
        Window->Rectangle(x1 - DX, y1 - DY, x2 - DX, y2 - DY, pen, brush);
    }
    void Ellipse(int x1, int y1, int x2, int y2, TColor pen, TColor brush, bool hollow) override {
        Window->Ellipse(x1 - DX, y1 - DY, x2 - DX, y2 - DY, pen, brush, hollow);
    }
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, TColor pen) override {
        Window->Arc(x1 - DX, y1 - DY, x2 - DX, y2 - DY, x3 - DX, y3 - DY, x4 - DX, y4 - DY, pen);
    }
    void TextOut(int x, int y, const std::string& text, TColor color) override {
        Window->TextOut(x - DX, y - DY, text, color);
    }
    void DrawSprite(const TDib& sheet, int x, int y, bool mirrored, int frame, int frameCount, bool inBubble) override {
        Window->DrawSprite(sheet, x - DX, y - DY, mirrored, frame, frameCount, inBubble);
    }
    void DrawSpriteRow(const TDib& sheet, int x, int y, int frameCount, int frame) override {
        Window->DrawSpriteRow(sheet, x - DX, y - DY, frameCount, frame);
    }
    void StretchDrawDib(int x, int y, int destWidth, int destHeight, const TDib& image, int srcX, int srcY,
                        int srcWidth, int srcHeight) override {
        Window->StretchDrawDib(x - DX, y - DY, destWidth, destHeight, image, srcX, srcY, srcWidth, srcHeight);
    }

private:
    std::unique_ptr<TPicture> Window;
    int W, H, DX, DY;
};

}  // namespace

void TSimPlatform::SetViewport(int width, int height) {
    ViewWidth = width > 0 && height > 0 ? width : 0;
    ViewHeight = ViewWidth > 0 ? height : 0;
    Resize(Width, Height);
}

std::unique_ptr<TPicture> TSimPlatform::NewPicture(int width, int height) {
    if (ViewWidth <= 0) return Screen.NewPicture(width, height);
    return std::make_unique<TWindowPicture>(Screen.NewPicture(ViewWidth, ViewHeight), width, height);
}

void TSimPlatform::Present(const TPicture& picture, int x, int y) {
    THeadlessPlatform::Present(picture, x, y);
    // A window picture's window and the screen's lie at the same place of the box.
    const auto* window = dynamic_cast<const TWindowPicture*>(&picture);
    Screen.Present(window ? window->Inner() : picture, x, y);
}

void TSimPlatform::PaintBoxRectangle(int x1, int y1, int x2, int y2, TColor color) {
    const int dx = ViewWidth > 0 ? (Width - ViewWidth) / 2 : 0, dy = ViewHeight > 0 ? (Height - ViewHeight) / 2 : 0;
    Screen.Rectangle(x1 - dx, y1 - dy, x2 - dx, y2 - dy, color);
}

void TSimPlatform::Resize(int width, int height) {
    Width = width;
    Height = height;
    Screen.Resize(ViewWidth > 0 ? ViewWidth : width, ViewHeight > 0 ? ViewHeight : height);
}

void EnsureOffscreenGuiApplication() {
    if (QGuiApplication::instance()) return;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Qt wants a private runtime folder even offscreen; a missing one only costs a warning.
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const std::string dir = "/tmp/blubbi-runtime-" + std::to_string(::getuid());
        ::mkdir(dir.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    static int argc = 1;
    static char name[] = "blubbi";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

}  // namespace blubbi
