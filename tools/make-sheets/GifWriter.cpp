// Writes palette pictures as 8-bit GIF files with giflib.
#include "GifWriter.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <memory>
#include <stdexcept>

namespace sheets {

namespace {

// The key colour has no visible meaning, but a loud one keeps stray key pixels easy to spot in a viewer.
constexpr GifColorType kKeyColour{255, 0, 255};

struct FileCloser {
    void operator()(GifFileType* f) const {
        int error = 0;
        EGifCloseFile(f, &error);
    }
};

[[noreturn]] void fail(const std::string& path, int error) {
    const char* text = GifErrorString(error);
    throw std::runtime_error(path + ": " + (text ? text : "GIF error"));
}

}  // namespace

void writeGif(const IndexedPicture& picture, const std::string& path, bool keyed) {
    if (picture.palette.size() > 256) throw std::runtime_error(path + ": more than 256 colours");
    // giflib would make the file readable by its owner alone; the game's data must be readable
    // by every account that runs the build tree, also over a file an older build left private.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::fchmod(fd, 0644) != 0) {
        const std::string why = std::strerror(errno);
        if (fd >= 0) ::close(fd);
        throw std::runtime_error(path + ": " + why);
    }
    int error = 0;
    std::unique_ptr<GifFileType, FileCloser> file(EGifOpenFileHandle(fd, &error));
    if (!file) {
        ::close(fd);
        fail(path, error);
    }
    EGifSetGifVersion(file.get(), true);  // the transparency extension needs GIF89a

    std::unique_ptr<ColorMapObject, decltype(&GifFreeMapObject)> map(GifMakeMapObject(256, nullptr), &GifFreeMapObject);
    if (!map) throw std::runtime_error(path + ": out of memory");
    for (int i = 0; i < 256; ++i) map->Colors[i] = GifColorType{0, 0, 0};
    for (std::size_t i = 0; i < picture.palette.size(); ++i) {
        const PaletteEntry& e = picture.palette[i];
        map->Colors[i] = e.transparent ? kKeyColour : GifColorType{e.r, e.g, e.b};
    }

    const int key = keyed ? picture.transparentIndex() : -1;
    if (EGifPutScreenDesc(file.get(), picture.width, picture.height, 8, key < 0 ? 0 : key, map.get()) == GIF_ERROR)
        fail(path, file->Error);
    if (key >= 0) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        gcb.UserInputFlag = false;
        gcb.DelayTime = 0;
        gcb.TransparentColor = key;
        GifByteType bytes[4];
        const std::size_t n = EGifGCBToExtension(&gcb, bytes);
        if (EGifPutExtension(file.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), bytes) == GIF_ERROR)
            fail(path, file->Error);
    }
    if (EGifPutImageDesc(file.get(), 0, 0, picture.width, picture.height, false, nullptr) == GIF_ERROR)
        fail(path, file->Error);
    std::vector<GifPixelType> row(static_cast<std::size_t>(picture.width));
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) row[static_cast<std::size_t>(x)] = picture.at(x, y);
        if (EGifPutLine(file.get(), row.data(), picture.width) == GIF_ERROR) fail(path, file->Error);
    }
    GifFileType* raw = file.release();
    if (EGifCloseFile(raw, &error) == GIF_ERROR) fail(path, error);
}

}  // namespace sheets
