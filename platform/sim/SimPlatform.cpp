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

std::unique_ptr<TPicture> TSimPlatform::NewPicture(int width, int height) { return Screen.NewPicture(width, height); }

void TSimPlatform::Present(const TPicture& picture, int x, int y) {
    THeadlessPlatform::Present(picture, x, y);
    Screen.Present(picture, x, y);
}

void TSimPlatform::PaintBoxRectangle(int x1, int y1, int x2, int y2, TColor color) {
    Screen.Rectangle(x1, y1, x2, y2, color);
}

void TSimPlatform::Resize(int width, int height) {
    Width = width;
    Height = height;
    Screen.Resize(width, height);
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
