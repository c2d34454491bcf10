// make-sheets: turns the pixel-art sources of assets/graphics into the game's GIF sheets, menu images, icons and dialog
// pictures.
#include "GifWriter.h"
#include "Pictures.h"
#include "Xpm.h"

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;
using namespace sheets;

namespace {

// One row per sprite sheet: the game finds frames by dividing the sheet, so a wrong size is a broken game.
struct SheetRow {
    const char* source;
    const char* output;
    int frameWidth, frameHeight, frames;
    bool sideBySide;
    bool keyed;  // drawn with the key colour; the block is copied opaque
};

constexpr SheetRow kSheets[] = {
    {"item.xpm", "grafiken/item.gif", 34, 34, 10, true, true},
    {"leben.xpm", "grafiken/leben.gif", 19, 19, 1, false, true},
    {"feind4.xpm", "grafiken/feind4.gif", 45, 51, 4, false, true},
    {"feind3.xpm", "grafiken/feind3.gif", 31, 41, 2, false, true},
    {"feind2.xpm", "grafiken/feind2.gif", 51, 41, 2, false, true},
    {"feind1.xpm", "grafiken/feind1.gif", 47, 61, 2, false, true},
    {"laufe2.xpm", "grafiken/laufe2.gif", 41, 46, 4, false, true},
    {"figur1.xpm", "grafiken/figur1.gif", 41, 46, 1, false, true},
    {"figur2.xpm", "grafiken/figur2.gif", 41, 46, 1, false, true},
    {"stein1.xpm", "grafiken/stein1.gif", 19, 19, 1, false, false},
};

constexpr int kMenuImages = 12;
constexpr int kIconSizes[] = {16, 32, 48, 256};

void checkSheet(const SheetRow& row, const IndexedPicture& pic) {
    const int w = row.sideBySide ? row.frameWidth * row.frames : row.frameWidth;
    const int h = row.sideBySide ? row.frameHeight : row.frameHeight * row.frames;
    if (pic.width != w || pic.height != h)
        throw std::runtime_error(std::string(row.source) + ": is " + std::to_string(pic.width) + " x " +
                                 std::to_string(pic.height) + ", must be " + std::to_string(w) + " x " +
                                 std::to_string(h));
    if (!row.keyed) return;
    // The game takes the key from pixel (0, 0), so that pixel must be the transparent entry.
    const int key = pic.transparentIndex();
    if (key < 0 || pic.at(0, 0) != key)
        throw std::runtime_error(std::string(row.source) + ": the top-left pixel must be the None colour");
}

void saveImage(const QImage& image, const fs::path& path, const char* format, int quality = -1) {
    fs::create_directories(path.parent_path());
    if (!image.save(QString::fromStdString(path.string()), format, quality))
        throw std::runtime_error(path.string() + ": cannot write");
    // Readable by every account that runs the build tree, whatever the umask.
    fs::permissions(path, fs::perms(0644));
}

// The icon sizes without a source of their own show the standing player, centred, scaled by whole pixels.
QImage iconFromFigure(const QImage& figure, int size) {
    const int scale = std::min(size / figure.width(), size / figure.height());
    if (scale < 1) throw std::runtime_error("icon of " + std::to_string(size) + " pixels needs a source of its own");
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    const QImage big = figure.scaled(figure.width() * scale, figure.height() * scale);
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x)
            icon.setPixel((size - big.width()) / 2 + x, (size - big.height()) / 2 + y, big.pixel(x, y));
    return icon;
}

void build(const fs::path& src, const fs::path& out) {
    fs::create_directories(out / "grafiken" / "menu");
    for (const SheetRow& row : kSheets) {
        const IndexedPicture pic = readXpm((src / row.source).string());
        checkSheet(row, pic);
        writeGif(pic, (out / row.output).string(), row.keyed);
    }

    for (int i = 0; i < kMenuImages; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "%02d", i);
        const IndexedPicture pic = readXpm((src / "menu" / (std::string(name) + ".xpm")).string());
        if (pic.width != 16 || pic.height != 16)
            throw std::runtime_error(std::string("menu image ") + name + ": not 16 x 16");
        saveImage(toImage(pic), out / "grafiken" / "menu" / (std::string(name) + ".png"), "PNG");
    }

    const QImage standing = toImage(readXpm((src / "figur1.xpm").string()));
    for (int size : kIconSizes) {
        const fs::path own = src / "icons" / ("icon" + std::to_string(size) + ".xpm");
        const QImage icon = fs::exists(own) ? toImage(readXpm(own.string())) : iconFromFigure(standing, size);
        if (icon.width() != size || icon.height() != size)
            throw std::runtime_error(own.string() + ": not " + std::to_string(size) + " pixels square");
        const std::string dir = std::to_string(size) + "x" + std::to_string(size);
        saveImage(icon, out / "icons" / "hicolor" / dir / "apps" / "de.velkor.BlubbiBlubbo.png", "PNG");
    }

    writeGif(quantize(drawWinPicture(src)), (out / "grafiken" / "gewonnen.gif").string());
    saveImage(drawAboutPicture(src), out / "grafiken" / "info.jpg", "JPEG", 92);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-sheets SOURCE-DIR OUTPUT-DIR\n");
        return 2;
    }
    // Text in the dialog pictures needs a font engine, but no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    try {
        build(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-sheets: %s\n", e.what());
        return 1;
    }
    return 0;
}
