// The image library: the ImageMagick files, damaged files, new pictures and pixel access.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include <gif_lib.h>

#include "GfxTestSupport.h"
#include "gfx/BildIO.h"

namespace blubbi {
namespace {

const std::string kData = BLUBBI_GFX_TESTDATA;

uint32_t ColourAt(const TDib& dib, int x, int y) {
    const TRGBQuad& c = dib.Colours[static_cast<uint8_t>(getpixel(dib, x, y))];
    return (uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue;  // 0xRRGGBB, as written in the notes
}

std::vector<char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A scratch file for damaged copies, removed with the fixture.
class DamagedGif : public testing::Test {
protected:
    std::string Path =
        (std::filesystem::temp_directory_path() / ("blubbi_gfx_" + std::to_string(::getpid()) + "_damaged.gif"))
            .string();
    void Write(const char* data, size_t size) {
        std::ofstream out(Path, std::ios::binary | std::ios::trunc);
        out.write(data, static_cast<std::streamsize>(size));
    }
    void TearDown() override { std::filesystem::remove(Path); }
};

bool IsEmpty(const TDib& dib) { return dib.Bits == nullptr && dib.Width == 0 && dib.Height == 0; }

bool SamePicture(const TDib& a, const TDib& b) {
    if (a.Width != b.Width || a.Height != b.Height) return false;
    for (int y = 0; y < a.Height; ++y) {
        for (int x = 0; x < a.Width; ++x) {
            if (ColourAt(a, x, y) != ColourAt(b, x, y)) return false;
        }
    }
    return true;
}

// --- files written by another tool ---

TEST(ImageMagickGif, InterlacedRowsLandInTheirPlaces) {
    const TDib dib = OpenDib(kData + "/interlaced.gif");
    ASSERT_NE(dib.Bits, nullptr);
    EXPECT_EQ(dib.Width, 24);
    EXPECT_EQ(dib.Height, 16);
    EXPECT_EQ(dib.BitCount, 8);
    EXPECT_EQ(ColourAt(dib, 0, 0), 0x00FF00u);
    EXPECT_EQ(ColourAt(dib, 10, 8), 0xFF0000u);
    EXPECT_EQ(ColourAt(dib, 0, 15), 0x0000FFu);
}

TEST(ImageMagickGif, GreyGradientRisesDownwards) {
    const TDib dib = OpenDib(kData + "/flat16.gif");
    ASSERT_NE(dib.Bits, nullptr);
    EXPECT_EQ(dib.Width, 10);
    EXPECT_EQ(dib.Height, 30);
    EXPECT_EQ(ColourAt(dib, 0, 0), 0x0D0D0Du);
    EXPECT_EQ(ColourAt(dib, 0, 15), 0x919191u);
    EXPECT_EQ(ColourAt(dib, 0, 29), 0xF2F2F2u);
    for (int y = 1; y < 30; ++y) EXPECT_GE(ColourAt(dib, 5, y) & 0xFF, ColourAt(dib, 5, y - 1) & 0xFF) << y;
}

TEST(ImageMagickGif, BlockPicture) {
    const TDib dib = OpenDib(kData + "/block19.gif");
    ASSERT_NE(dib.Bits, nullptr);
    EXPECT_EQ(dib.Width, 19);
    EXPECT_EQ(dib.Height, 19);
    EXPECT_EQ(ColourAt(dib, 0, 0), 0x808080u);
    EXPECT_EQ(ColourAt(dib, 5, 5), 0xC0C0C0u);
    EXPECT_EQ(ColourAt(dib, 3, 18), 0x404040u);
}

TEST(ImageMagickGif, AnimationGivesItsFirstImage) {
    const TDib dib = OpenDib(kData + "/anim2.gif");
    ASSERT_NE(dib.Bits, nullptr);
    ASSERT_EQ(dib.Width, 8);
    ASSERT_EQ(dib.Height, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(ColourAt(dib, x, y), 0xFF0000u) << x << "," << y;
    }
}

TEST(ImageMagickGif, RowsAreStoredBottomUpInWholeWords) {
    const TDib dib = OpenDib(kData + "/interlaced.gif");
    ASSERT_NE(dib.Bits, nullptr);
    EXPECT_EQ(dib.Stride % 4, 0);
    EXPECT_GE(dib.Stride, dib.Width);
    // The first stored row is the picture's bottom row (blue at its left end).
    EXPECT_EQ(dib.Bits[0], getpixel(dib, 0, 15));
    EXPECT_EQ(dib.Bits[(dib.Height - 1) * dib.Stride], getpixel(dib, 0, 0));
    EXPECT_NE(getpixel(dib, 0, 0), getpixel(dib, 0, 15));
}

// --- missing and damaged files ---

TEST(DamagedGifFiles, MissingFileGivesAnEmptyRecord) {
    EXPECT_TRUE(IsEmpty(OpenDib(kData + "/no-such-sheet.gif")));
    EXPECT_TRUE(IsEmpty(OpenDib("")));
    EXPECT_TRUE(IsEmpty(OpenDib(kData)));  // a folder
}

TEST_F(DamagedGif, CutFilesGiveNothingOrTheWholePicture) {
    for (const char* name : {"interlaced.gif", "flat16.gif", "block19.gif", "anim2.gif"}) {
        const std::vector<char> bytes = ReadAll(kData + "/" + name);
        const TDib whole = OpenDib(kData + "/" + name);
        ASSERT_GT(bytes.size(), 20u);
        for (size_t length = 0; length < bytes.size(); ++length) {
            Write(bytes.data(), length);
            const TDib cut = OpenDib(Path);
            EXPECT_TRUE(IsEmpty(cut) || SamePicture(cut, whole)) << name << " cut at " << length;
            // A single picture without the end of its pixel data is never half there. (The
            // animation's first picture is whole long before its file ends.)
            if (std::string(name) != "anim2.gif" && length + 4 < bytes.size()) {
                EXPECT_TRUE(IsEmpty(cut)) << name << " cut at " << length;
            }
        }
    }
}

TEST_F(DamagedGif, FlippedBytesNeverCrash) {
    std::mt19937 random(7);
    for (const char* name : {"interlaced.gif", "flat16.gif", "block19.gif", "anim2.gif"}) {
        const std::vector<char> bytes = ReadAll(kData + "/" + name);
        for (int trial = 0; trial < 300; ++trial) {
            std::vector<char> damaged = bytes;
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int f = 0; f < flips; ++f) damaged[random() % damaged.size()] = static_cast<char>(random());
            Write(damaged.data(), damaged.size());
            const TDib dib = OpenDib(Path);
            if (dib.Bits == nullptr) {
                EXPECT_TRUE(IsEmpty(dib));
                continue;
            }
            ASSERT_EQ(dib.BitCount, 8);
            ASSERT_GE(dib.Stride, dib.Width);
            int64_t sum = 0;  // every pixel readable
            for (int y = 0; y < dib.Height; ++y) {
                for (int x = 0; x < dib.Width; ++x) sum += getpixel(dib, x, y);
            }
            EXPECT_GE(sum, 0);
        }
    }
}

TEST_F(DamagedGif, HugeClaimedSizeIsRefused) {
    // A valid 1 x 1 picture whose screen claims 65535 x 65535 pixels.
    std::vector<char> bytes = ReadAll(kData + "/anim2.gif");
    ASSERT_GT(bytes.size(), 10u);
    bytes[6] = bytes[7] = bytes[8] = bytes[9] = static_cast<char>(0xFF);
    Write(bytes.data(), bytes.size());
    EXPECT_TRUE(IsEmpty(OpenDib(Path)));
}

// A whole, valid GIF through giflib: a logical screen of screenWidth x screenHeight holding
// one image of width x height at its top-left, every pixel colour 1.
bool WriteGif(const std::string& path, int screenWidth, int screenHeight, int width, int height) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    if (gif == nullptr) return false;
    ColorMapObject* map = GifMakeMapObject(2, nullptr);
    bool ok = map != nullptr && EGifPutScreenDesc(gif, screenWidth, screenHeight, 1, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(static_cast<size_t>(width), 1);
    for (int y = 0; ok && y < height; ++y) ok = EGifPutLine(gif, line.data(), width) == GIF_OK;
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    return ok;
}

// A sheet file of a few hundred bytes may claim a picture of gigabytes; no sheet is larger than
// kMaxSheetPixels, and a larger picture is refused as a damaged file is.
TEST_F(DamagedGif, PicturesLargerThanASheetAreRefused) {
    ASSERT_TRUE(WriteGif(Path, 16384, 4096, 1, 1));
    EXPECT_LT(std::filesystem::file_size(Path), 100u);
    EXPECT_TRUE(IsEmpty(OpenDib(Path)));

    constexpr int kSide = 512;
    static_assert(int64_t{kSide} * kSide == kMaxSheetPixels);
    ASSERT_TRUE(WriteGif(Path, kSide, kSide + 1, kSide, kSide + 1));
    EXPECT_TRUE(IsEmpty(OpenDib(Path)));
    ASSERT_TRUE(WriteGif(Path, kSide + 1, kSide, 1, 1));
    EXPECT_TRUE(IsEmpty(OpenDib(Path)));

    ASSERT_TRUE(WriteGif(Path, kSide, kSide, kSide, kSide));
    const TDib largest = OpenDib(Path);
    ASSERT_NE(largest.Bits, nullptr);
    EXPECT_EQ(largest.Width, kSide);
    EXPECT_EQ(getpixel(largest, kSide - 1, kSide - 1), 1);
}

TEST_F(DamagedGif, NotAGifAtAll) {
    const char text[] = "GIF89a, or so it says";
    Write(text, sizeof text);
    EXPECT_TRUE(IsEmpty(OpenDib(Path)));
    Write("", 0);
    EXPECT_TRUE(IsEmpty(OpenDib(Path)));
}

// --- new pictures and pixel access ---

TEST(NewDib, RowBufferTakesTheColourTable) {
    const TDib source = test::MakeSheet(3, 3, [](int, int) { return 0; });
    const TDib row = newdib(19, 1, 8, &source, 256);
    ASSERT_NE(row.Bits, nullptr);
    EXPECT_EQ(row.Width, 19);
    EXPECT_EQ(row.Height, 1);
    EXPECT_EQ(row.Stride, 20);
    EXPECT_EQ(row.Colours[200].Green, source.Colours[200].Green);
    for (int x = 0; x < 19; ++x) EXPECT_EQ(getpixel(row, x, 0), 0);

    const TDib few = newdib(4, 2, 8, &source, 2);
    EXPECT_EQ(few.Colours[1].Red, source.Colours[1].Red);
    EXPECT_EQ(few.Colours[2].Red, 0);
}

TEST(NewDib, TrueColourRowIsPaddedToWords) {
    const TDib row = newdib(5, 1, 24, nullptr, 0);
    ASSERT_NE(row.Bits, nullptr);
    EXPECT_EQ(row.BitCount, 24);
    EXPECT_EQ(row.Stride, 16);
}

TEST(NewDib, ImpossibleRequestsGiveEmptyRecords) {
    EXPECT_TRUE(IsEmpty(newdib(0, 1, 8, nullptr, 0)));
    EXPECT_TRUE(IsEmpty(newdib(5, -1, 8, nullptr, 0)));
    EXPECT_TRUE(IsEmpty(newdib(5, 5, 7, nullptr, 0)));
    EXPECT_TRUE(IsEmpty(newdib(1 << 20, 1 << 20, 8, nullptr, 0)));
}

TEST(PixelAccess, WrittenValuesReadBackAtEveryDepth) {
    for (const int depth : {1, 4, 8, 16, 24, 32}) {
        TDib dib = newdib(9, 5, depth, nullptr, 0);
        ASSERT_NE(dib.Bits, nullptr) << depth;
        const int32_t mask = depth >= 24 ? 0xFFFFFF : (1 << depth) - 1;
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 9; ++x) setpixel(dib, x, y, (x * 37 + y * 101 + 0x123456) & mask);
        }
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 9; ++x) {
                EXPECT_EQ(getpixel(dib, x, y), (x * 37 + y * 101 + 0x123456) & mask) << depth << " " << x << "," << y;
            }
        }
    }
}

TEST(PixelAccess, TrueColourValueIsRedGreenBlueFromTheLowByte) {
    TDib dib = newdib(2, 2, 24, nullptr, 0);
    setpixel(dib, 1, 0, RGB(10, 20, 30));
    // Stored blue, green, red in the top row, which is the second stored row.
    EXPECT_EQ(dib.Bits[dib.Stride + 3], 30);
    EXPECT_EQ(dib.Bits[dib.Stride + 5], 10);
    EXPECT_EQ(getpixel(dib, 1, 0), int32_t(RGB(10, 20, 30)));
}

TEST(PixelAccess, OutsideThePictureNothingIsReadOrWritten) {
    TDib dib = newdib(4, 4, 8, nullptr, 0);
    setpixel(dib, 4, 0, 9);
    setpixel(dib, -1, 2, 9);
    setpixel(dib, 0, 4, 9);
    for (int i = 0; i < dib.Stride * 4; ++i) EXPECT_EQ(dib.Bits[i], 0);
    EXPECT_EQ(getpixel(dib, -1, 0), 0);
    EXPECT_EQ(getpixel(TDib{}, 0, 0), 0);  // an empty record still answers for (0, 0)
}

TEST(PixelAccess, DeldibLeavesAnEmptyRecord) {
    TDib dib = newdib(4, 4, 8, nullptr, 0);
    deldib(dib);
    EXPECT_TRUE(IsEmpty(dib));
    deldib(dib);
}

TEST(Halftone, TrueColourBecomesNearestCubeColour) {
    TDib dib = newdib(4, 2, 24, nullptr, 0);
    setpixel(dib, 0, 0, RGB(250, 5, 0));
    setpixel(dib, 3, 1, RGB(0, 0, 140));
    const TDib copy = DIBHalftoneDIB(dib);
    ASSERT_EQ(copy.BitCount, 8);
    ASSERT_EQ(copy.Width, 4);
    EXPECT_EQ(ColourAt(copy, 0, 0), 0xFF0000u);
    EXPECT_EQ(ColourAt(copy, 3, 1), 0x000099u);
    const TDib small = DIBHalftoneDIBXY(dib, 2, 1);
    EXPECT_EQ(small.Width, 2);
    EXPECT_EQ(small.Height, 1);
    EXPECT_EQ(ColourAt(small, 0, 0), 0xFF0000u);
}

}  // namespace
}  // namespace blubbi
