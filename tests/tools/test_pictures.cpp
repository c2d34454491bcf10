// Reads the built pictures back (GIFs with giflib, PNG and JPEG headers by hand) and checks what the game relies on.
#include <gif_lib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kBuild = BLUBBI_BUILD_DIR;

struct GifCloser {
    void operator()(GifFileType* f) const {
        int error = 0;
        DGifCloseFile(f, &error);
    }
};
using Gif = std::unique_ptr<GifFileType, GifCloser>;

Gif openGif(const std::string& path) {
    int error = 0;
    Gif gif(DGifOpenFileName(path.c_str(), &error));
    if (!gif) return nullptr;
    if (DGifSlurp(gif.get()) == GIF_ERROR) return nullptr;
    return gif;
}

const ColorMapObject* colourMap(const GifFileType* gif) {
    const ColorMapObject* local = gif->SavedImages[0].ImageDesc.ColorMap;
    return local ? local : gif->SColorMap;
}

int transparentIndex(const GifFileType* gif) {
    GraphicsControlBlock gcb;
    if (DGifSavedExtensionToGCB(const_cast<GifFileType*>(gif), 0, &gcb) == GIF_ERROR) return NO_TRANSPARENT_COLOR;
    return gcb.TransparentColor;
}

struct Sheet {
    const char* file;
    int frameWidth, frameHeight, frames;
    bool sideBySide;
    bool standsOnFloor;  // the landing test looks at the row under the box, so the feet fill the last row
    bool trappable;      // drawn in a bubble, cut to a circle about the frame's centre
};

const Sheet kSheets[] = {
    {"item.gif", 34, 34, 10, true, true, false},    {"leben.gif", 19, 19, 1, false, false, false},
    {"feind4.gif", 45, 51, 4, false, true, true},   {"feind3.gif", 31, 41, 2, false, true, true},
    {"feind2.gif", 51, 41, 2, false, false, true},  {"feind1.gif", 47, 61, 2, false, true, true},
    {"laufe2.gif", 41, 46, 4, false, true, false},  {"figur1.gif", 41, 46, 1, false, true, false},
    {"figur2.gif", 41, 46, 1, false, false, false},
};

class SheetTest : public ::testing::TestWithParam<Sheet> {
protected:
    void SetUp() override {
        gif = openGif(kBuild + "/grafiken/" + GetParam().file);
        ASSERT_TRUE(gif) << GetParam().file << " cannot be read";
        ASSERT_EQ(gif->ImageCount, 1);
        width = gif->SWidth;
        height = gif->SHeight;
        bits = gif->SavedImages[0].RasterBits;
    }
    int pixel(int x, int y) const { return bits[static_cast<std::size_t>(y) * width + x]; }
    // Top-left corner of frame f.
    std::pair<int, int> origin(int f) const {
        const Sheet& s = GetParam();
        return s.sideBySide ? std::pair{f * s.frameWidth, 0} : std::pair{0, f * s.frameHeight};
    }

    Gif gif;
    int width = 0, height = 0;
    const GifByteType* bits = nullptr;
};

TEST_P(SheetTest, HasTheFrameSizesTheGameDividesBy) {
    const Sheet& s = GetParam();
    EXPECT_EQ(width, s.sideBySide ? s.frameWidth * s.frames : s.frameWidth);
    EXPECT_EQ(height, s.sideBySide ? s.frameHeight : s.frameHeight * s.frames);
    const SavedImage& image = gif->SavedImages[0];
    EXPECT_EQ(image.ImageDesc.Left, 0);
    EXPECT_EQ(image.ImageDesc.Top, 0);
    EXPECT_EQ(image.ImageDesc.Width, width);
    EXPECT_EQ(image.ImageDesc.Height, height);
}

TEST_P(SheetTest, IsAnEightBitPalettePicture) {
    const ColorMapObject* map = colourMap(gif.get());
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->BitsPerPixel, 8);
    EXPECT_EQ(map->ColorCount, 256);
}

TEST_P(SheetTest, KeyIsTheTopLeftPixelAndTheFileSaysSo) { EXPECT_EQ(transparentIndex(gif.get()), pixel(0, 0)); }

// A key pixel that cannot be reached from the frame's edge through key pixels is a hole in the figure.
TEST_P(SheetTest, NoFigurePixelUsesTheKeyIndex) {
    const Sheet& s = GetParam();
    const int key = pixel(0, 0);
    for (int f = 0; f < s.frames; ++f) {
        const int ox = origin(f).first, oy = origin(f).second;
        std::vector<char> seen(static_cast<std::size_t>(s.frameWidth) * s.frameHeight, 0);
        std::vector<std::pair<int, int>> todo;
        auto push = [&](int x, int y) {
            if (x < 0 || y < 0 || x >= s.frameWidth || y >= s.frameHeight) return;
            char& mark = seen[static_cast<std::size_t>(y) * s.frameWidth + x];
            if (mark || pixel(ox + x, oy + y) != key) return;
            mark = 1;
            todo.emplace_back(x, y);
        };
        for (int x = 0; x < s.frameWidth; ++x) push(x, 0), push(x, s.frameHeight - 1);
        for (int y = 0; y < s.frameHeight; ++y) push(0, y), push(s.frameWidth - 1, y);
        while (!todo.empty()) {
            const auto [x, y] = todo.back();
            todo.pop_back();
            push(x + 1, y), push(x - 1, y), push(x, y + 1), push(x, y - 1);
        }
        for (int y = 0; y < s.frameHeight; ++y)
            for (int x = 0; x < s.frameWidth; ++x) {
                if (pixel(ox + x, oy + y) != key) continue;
                EXPECT_TRUE(seen[static_cast<std::size_t>(y) * s.frameWidth + x])
                    << s.file << " frame " << f << ": key pixel inside the figure at " << x << "," << y;
            }
    }
}

TEST_P(SheetTest, KeyColourIsNotAFigureColour) {
    const ColorMapObject* map = colourMap(gif.get());
    const int key = pixel(0, 0);
    std::vector<bool> used(256, false);
    for (int i = 0; i < width * height; ++i) used[bits[i]] = true;
    const GifColorType k = map->Colors[key];
    for (int i = 0; i < 256; ++i) {
        if (i == key || !used[i]) continue;
        const GifColorType c = map->Colors[i];
        EXPECT_FALSE(c.Red == k.Red && c.Green == k.Green && c.Blue == k.Blue) << "index " << i;
    }
}

// Sprites are placed by their frame's corner, so a figure off centre would look displaced.
TEST_P(SheetTest, FigureIsCentredInEveryFrame) {
    const Sheet& s = GetParam();
    const int key = pixel(0, 0);
    for (int f = 0; f < s.frames; ++f) {
        const int ox = origin(f).first, oy = origin(f).second;
        int left = s.frameWidth, right = -1;
        for (int y = 0; y < s.frameHeight; ++y)
            for (int x = 0; x < s.frameWidth; ++x)
                if (pixel(ox + x, oy + y) != key) left = std::min(left, x), right = std::max(right, x);
        ASSERT_GE(right, left) << s.file << " frame " << f << " is empty";
        EXPECT_LE(std::abs(left + right + 1 - s.frameWidth), 6) << s.file << " frame " << f;
    }
}

// The trapped look shows only the circle of radius 19 about the frame's centre: the figure must fill it.
TEST_P(SheetTest, FigureFillsTheBubbleCircle) {
    const Sheet& s = GetParam();
    if (!s.trappable) GTEST_SKIP() << "never drawn in a bubble";
    const int key = pixel(0, 0);
    const int ox = origin(0).first, oy = origin(0).second;
    const int cx = s.frameWidth / 2, cy = s.frameHeight / 2;
    int inside = 0, opaque = 0;
    for (int y = 0; y < s.frameHeight; ++y)
        for (int x = 0; x < s.frameWidth; ++x) {
            const int dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy >= 361) continue;
            ++inside;
            if (pixel(ox + x, oy + y) != key) ++opaque;
        }
    EXPECT_GT(opaque * 10, inside * 6) << s.file;
}

TEST_P(SheetTest, WalkersStandOnTheLastRow) {
    const Sheet& s = GetParam();
    if (!s.standsOnFloor) GTEST_SKIP() << "flies, floats or is no figure";
    const int key = pixel(0, 0);
    for (int f = 0; f < s.frames; ++f) {
        const int ox = origin(f).first, oy = origin(f).second;
        int feet = 0;
        for (int x = 0; x < s.frameWidth; ++x) feet += pixel(ox + x, oy + s.frameHeight - 1) != key;
        EXPECT_GT(feet, 4) << s.file << " frame " << f;
    }
}

INSTANTIATE_TEST_SUITE_P(Sheets, SheetTest, ::testing::ValuesIn(kSheets),
                         [](const ::testing::TestParamInfo<Sheet>& info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

// All sprite sheets share one palette, so the figures look like one game.
TEST(Sheets, ShareOnePalette) {
    Gif first = openGif(kBuild + "/grafiken/laufe2.gif");
    ASSERT_TRUE(first);
    for (const Sheet& s : kSheets) {
        Gif gif = openGif(kBuild + "/grafiken/" + s.file);
        ASSERT_TRUE(gif) << s.file;
        const ColorMapObject* a = colourMap(first.get());
        const ColorMapObject* b = colourMap(gif.get());
        for (int i = 0; i < 256; ++i)
            EXPECT_TRUE(a->Colors[i].Red == b->Colors[i].Red && a->Colors[i].Green == b->Colors[i].Green &&
                        a->Colors[i].Blue == b->Colors[i].Blue)
                << s.file << " index " << i;
    }
}

// The block is copied without transparency, so it has no key and every pixel counts.
TEST(Block, IsAnOpaqueNineteenPixelSquare) {
    Gif gif = openGif(kBuild + "/grafiken/stein1.gif");
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->SWidth, 19);
    EXPECT_EQ(gif->SHeight, 19);
    EXPECT_EQ(colourMap(gif.get())->BitsPerPixel, 8);
    EXPECT_EQ(transparentIndex(gif.get()), NO_TRANSPARENT_COLOR);
}

TEST(WinPicture, IsAnEightBitGifOfTheDialogSize) {
    Gif gif = openGif(kBuild + "/grafiken/gewonnen.gif");
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->SWidth, 320);
    EXPECT_EQ(gif->SHeight, 376);
    EXPECT_EQ(colourMap(gif.get())->BitsPerPixel, 8);
    // drawn on white paper, the white of the dialog it lies on
    const GifColorType corner = colourMap(gif.get())->Colors[gif->SavedImages[0].RasterBits[0]];
    EXPECT_EQ(corner.Red + corner.Green + corner.Blue, 3 * 255);
}

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t bigEndian32(const std::vector<unsigned char>& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) |
           b[at + 3];
}

// Width, height and colour type from the IHDR chunk, which a PNG always has first.
void expectPng(const std::string& path, std::uint32_t size) {
    const std::vector<unsigned char> b = readFile(path);
    ASSERT_GE(b.size(), 26u) << path;
    ASSERT_EQ(std::string(b.begin() + 12, b.begin() + 16), "IHDR") << path;
    EXPECT_EQ(bigEndian32(b, 16), size) << path;
    EXPECT_EQ(bigEndian32(b, 20), size) << path;
    EXPECT_TRUE(b[25] == 4 || b[25] == 6) << path << ": needs an alpha channel";
}

TEST(MenuImages, AreTwelveSixteenPixelPicturesWithTransparency) {
    for (int i = 0; i < 12; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%02d.png", i);
        expectPng(kBuild + "/grafiken/menu/" + name, 16);
    }
}

TEST(Icons, HaveEveryHicolorSize) {
    for (std::uint32_t size : {16u, 32u, 48u, 256u}) {
        const std::string dir = std::to_string(size) + "x" + std::to_string(size);
        expectPng(kBuild + "/icons/hicolor/" + dir + "/apps/de.velkor.BlubbiBlubbo.png", size);
    }
}

// The frame header (SOF0 or SOF2) carries the picture's height and width.
TEST(AboutPicture, IsAJpegOfTheDialogSize) {
    const std::vector<unsigned char> b = readFile(kBuild + "/grafiken/info.jpg");
    ASSERT_GE(b.size(), 4u);
    ASSERT_EQ(b[0], 0xFF);
    ASSERT_EQ(b[1], 0xD8);
    std::size_t at = 2;
    while (at + 9 < b.size() && b[at] == 0xFF) {
        const unsigned char marker = b[at + 1];
        const std::size_t length = (std::size_t{b[at + 2]} << 8) | b[at + 3];
        if (marker == 0xC0 || marker == 0xC2) {
            EXPECT_EQ((b[at + 5] << 8) | b[at + 6], 322);
            EXPECT_EQ((b[at + 7] << 8) | b[at + 8], 306);
            return;
        }
        at += 2 + length;
    }
    FAIL() << "no frame header found";
}

}  // namespace
