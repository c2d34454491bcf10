// Sprite drawing on 32-bit pixel rows: keyed sprites, the in-bubble look, scaled blocks.
#include "gfx/Sprites.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <limits>
#include <vector>

#include "game/Platform.h"
#include "gfx/BildIO.h"
#include "gfx/PreparedSheets.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace blubbi {

namespace {

constexpr int kBubbleRadiusSquared = 19 * 19;

// Short runs are the rule here (a block row is 19 pixels, a sprite row 30 to 50), where a
// call into the library's memcpy costs more than the copy; 16-byte moves do it in place.
inline void CopyWords(uint32_t* dst, const uint32_t* src, int64_t n) {
    if (n < 4) {
        for (int64_t i = 0; i < n; ++i) dst[i] = src[i];
        return;
    }
    if (n > 256) {
        std::memcpy(dst, src, static_cast<size_t>(n) * sizeof(uint32_t));
        return;
    }
#ifdef __SSE2__
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 4), b);
    }
    if (i + 4 <= n) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
        i += 4;
    }
    if (i < n) {  // the last four again, overlapping what is already copied
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - 4),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 4)));
    }
#else
    std::memcpy(dst, src, static_cast<size_t>(n) * sizeof(uint32_t));
#endif
}

// wchar_t is a 32-bit word here, and the C library's wmemset fills long rows (the background
// of a whole picture) several times faster than a loop of 16-byte stores.
static_assert(sizeof(wchar_t) == sizeof(uint32_t));

inline void FillWords(uint32_t* dst, int64_t n, uint32_t word) {
    if (n > 64) {
        std::wmemset(reinterpret_cast<wchar_t*>(dst), static_cast<wchar_t>(word), static_cast<size_t>(n));
        return;
    }
    int64_t i = 0;
#ifdef __SSE2__
    const __m128i four = _mm_set1_epi32(static_cast<int>(word));
    for (; i + 4 <= n; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), four);
#endif
    for (; i < n; ++i) dst[i] = word;
}

// Copies the parts of row y's runs that lie in look columns from .. to - 1, each to the
// target row at the same column plus `shift`. A row of a stacked sheet holds a few runs.
inline void CopyRuns(uint32_t* targetRow, int64_t shift, const TPreparedSheet::TLookData& look, int64_t width,
                     int64_t y, int64_t from, int64_t to) {
    const uint32_t* words = look.Words.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    const int32_t* run = look.Runs.data() + look.RowRuns[static_cast<size_t>(y)];
    const int32_t* end = look.Runs.data() + look.RowRuns[static_cast<size_t>(y) + 1];
    if (from == 0 && to == width) {
        // The whole row lands in the target, as it mostly does: no run needs cutting.
        for (; run != end; run += 2) CopyWords(targetRow + (run[0] + shift), words + run[0], run[1] - run[0]);
        return;
    }
    while (run != end && run[1] <= from) run += 2;
    for (; run != end && run[0] < to; run += 2) {
        const int64_t a = std::max<int64_t>(run[0], from), b = std::min<int64_t>(run[1], to);
        if (a < b) CopyWords(targetRow + (a + shift), words + a, b - a);
    }
}

inline uint32_t* TargetRow(TPixels& target, int64_t y) {
    return target.Pixels + static_cast<size_t>(y) * static_cast<size_t>(target.Stride);
}

// Records made by hand may describe rows longer than their Stride; those are not drawn.
bool Drawable(const TPixels& target, const TDib& sheet) {
    return target.Pixels != nullptr && sheet.Bits != nullptr && sheet.BitCount == 8 && sheet.Width > 0 &&
           sheet.Height > 0 && sheet.Stride >= sheet.Width;
}

// Half-width of the in-bubble circle on the row dy from the centre (|dy| < 19): the largest m
// with m * m + dy * dy < 361.
constexpr std::array<int, 19> kBubbleHalfWidth = [] {
    std::array<int, 19> table{};
    for (int dy = 0; dy < 19; ++dy) {
        int m = 0;
        while ((m + 1) * (m + 1) + dy * dy < kBubbleRadiusSquared) ++m;
        table[static_cast<size_t>(dy)] = m;
    }
    return table;
}();

// A division of the clipping rules: in floating point, taken to the nearest whole number
// with halves to even (the default rounding mode). A zero divisor or a result beyond 32 bits
// gives 0, so nothing odd is drawn from odd arguments.
int32_t ScaleRound(int64_t a, int64_t b, int64_t divisor) {
    if (divisor == 0) return 0;
    const double q = std::nearbyint(static_cast<double>(a) * static_cast<double>(b) / static_cast<double>(divisor));
    if (!(q >= std::numeric_limits<int32_t>::min() && q <= std::numeric_limits<int32_t>::max())) return 0;
    return static_cast<int32_t>(q);
}

}  // namespace

TStretch ClipSource(const TDib& image, int x, int y, int destWidth, int destHeight, int srcX, int srcY, int srcWidth,
                    int srcHeight) {
    TStretch s{x, y, destWidth, destHeight, srcX, srcY, srcWidth, srcHeight};
    const int64_t width = image.Width, height = image.Height;
    if (s.SrcX + s.SrcWidth > width) {
        const int64_t w = width - s.SrcX;
        s.DestWidth = ScaleRound(s.DestWidth, w, s.SrcWidth);
        s.SrcWidth = w;
    }
    if (s.SrcY < 0) {
        const int64_t h = s.SrcHeight + s.SrcY;
        s.DestHeight = ScaleRound(s.DestHeight, h, s.SrcHeight);
        s.SrcHeight = h;
        s.SrcY = 0;
    }
    if (s.SrcY + s.SrcHeight > height) {
        const int64_t h = height - s.SrcY;
        const int64_t n = ScaleRound(s.DestHeight, h, s.SrcHeight);
        s.Y = s.Y + s.DestHeight - n;
        s.DestHeight = n;
        s.SrcHeight = h;
    }
    if (s.SrcX < 0) {
        const int64_t w = s.SrcX + s.SrcWidth;
        const int64_t n = ScaleRound(s.DestWidth, w, s.SrcWidth);
        s.X = s.X + s.DestWidth - n;
        s.DestWidth = n;
        s.SrcWidth = w;
        s.SrcX = 0;
    }
    return s;
}

namespace {

// source * k / dest, truncating. A block drawn at its own size needs no division at all,
// and a 64-bit division costs as much as copying a row.
inline int64_t Scaled(int64_t source, int64_t k, int64_t dest) {
    if (source == dest) return k;
    if (k == 0) return 0;
    return source * k / dest;
}

// The values source * k / dest (truncating) for k = first, first + 1, ...: with a source
// length that is not negative they are stepped without dividing.
class TScaleSteps {
public:
    TScaleSteps(int64_t source, int64_t dest, int64_t first) : Source(source), Dest(dest), K(first) {
        if (source == dest) {
            Quotient = first;
            StepQuotient = 1;
        } else if (source >= 0) {
            Quotient = Scaled(source, first, dest);
            Remainder = source * first - Quotient * dest;
            StepQuotient = source < dest ? 0 : source / dest;
            StepRemainder = source - StepQuotient * dest;
        }
    }
    int64_t Next() {
        if (Source < 0) return Source * K++ / Dest;
        const int64_t value = Quotient;
        Quotient += StepQuotient;
        Remainder += StepRemainder;
        if (Remainder >= Dest) {
            Remainder -= Dest;
            ++Quotient;
        }
        return value;
    }

private:
    int64_t Source, Dest, K;
    int64_t Quotient = 0, Remainder = 0, StepQuotient = 0, StepRemainder = 0;
};

}  // namespace

bool Stretchable(const TDib& image) {
    return image.Bits != nullptr && (image.BitCount == 8 || image.BitCount == 24) && image.Width > 0 &&
           image.Height > 0 && image.Stride >= int64_t{image.Width} * (image.BitCount / 8);
}

void FillRect(TPixels& target, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint32_t pixel) {
    if (!target.Pixels) return;
    x1 = std::max<int64_t>(x1, 0);
    y1 = std::max<int64_t>(y1, 0);
    x2 = std::min<int64_t>(x2, target.Width);
    y2 = std::min<int64_t>(y2, target.Height);
    if (x1 >= x2) return;
    for (int64_t y = y1; y < y2; ++y) FillWords(TargetRow(target, y) + x1, x2 - x1, pixel);
}

void FramedRect(TPixels& target, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint32_t pen, uint32_t brush) {
    FillRect(target, x1 + 1, y1 + 1, x2 - 1, y2 - 1, brush);
    FillRect(target, x1, y1, x2, y1 + 1, pen);
    FillRect(target, x1, y2 - 1, x2, y2, pen);
    FillRect(target, x1, y1 + 1, x1 + 1, y2 - 1, pen);
    FillRect(target, x2 - 1, y1 + 1, x2, y2 - 1, pen);
}

void DrawSprite(TPixels& target, TPreparedSheets& prepared, const TDib& sheet, int x, int y, bool mirrored, int frame,
                int frameCount, bool inBubble) {
    if (!Drawable(target, sheet) || frameCount <= 0 || frame < 0 || frame >= frameCount) return;
    const int width = sheet.Width;
    const int frameHeight = sheet.Height / frameCount;
    const int firstRow = frameHeight * frame;
    const int centreX = width / 2, centreY = frameHeight / 2;

    // Frame columns c and rows r that land inside the target.
    const int64_t cLo = std::max<int64_t>(0, -int64_t{x});
    const int64_t cHi = std::min<int64_t>(width, int64_t{target.Width} - x);
    const int64_t rLo = std::max<int64_t>(0, -int64_t{y});
    const int64_t rHi = std::min<int64_t>(frameHeight, int64_t{target.Height} - y);
    if (cLo >= cHi || rLo >= rHi) return;

    const auto look = static_cast<TPreparedSheet::TLook>((inBubble ? TPreparedSheet::kTinted : TPreparedSheet::kKeyed) +
                                                         (mirrored ? 1 : 0));
    const TPreparedSheet::TLookData& words = prepared.Of(sheet).Look(sheet, look);
    for (int64_t r = rLo; r < rHi; ++r) {
        int64_t from = cLo, to = cHi;
        if (inBubble) {
            // Only pixels strictly inside the radius-19 circle about the frame's centre; the
            // circle is about the target column, so a mirrored frame is cut the same way.
            const int64_t dy = r - centreY;
            if (dy <= -19 || dy >= 19) continue;
            const int64_t m = kBubbleHalfWidth[static_cast<size_t>(dy < 0 ? -dy : dy)];
            from = std::max<int64_t>(from, centreX - m);
            to = std::min<int64_t>(to, centreX + m + 1);
            if (from >= to) continue;
        }
        CopyRuns(TargetRow(target, y + r), x, words, width, firstRow + r, from, to);
    }
}

void DrawSpriteRow(TPixels& target, TPreparedSheets& prepared, const TDib& sheet, int x, int y, int frameCount,
                   int frame) {
    if (!Drawable(target, sheet) || frameCount <= 0 || frame < 0 || frame >= frameCount) return;
    const int frameWidth = sheet.Width / frameCount;

    const int64_t cLo = std::max<int64_t>(0, -int64_t{x});
    const int64_t cHi = std::min<int64_t>(frameWidth, int64_t{target.Width} - x);
    const int64_t rLo = std::max<int64_t>(0, -int64_t{y});
    const int64_t rHi = std::min<int64_t>(sheet.Height, int64_t{target.Height} - y);
    if (cLo >= cHi || rLo >= rHi) return;

    const TPreparedSheet::TFrameRuns& frames = prepared.Of(sheet).SideBySide(sheet, frameCount);
    const size_t firstRow = static_cast<size_t>(frame) * static_cast<size_t>(sheet.Height);
    for (int64_t r = rLo; r < rHi; ++r) {
        uint32_t* row = TargetRow(target, y + r);
        const uint32_t* src =
            frames.Words.data() + (firstRow + static_cast<size_t>(r)) * static_cast<size_t>(frameWidth);
        const int32_t* run = frames.Runs.data() + frames.Index[firstRow + static_cast<size_t>(r)];
        const int32_t* end = frames.Runs.data() + frames.Index[firstRow + static_cast<size_t>(r) + 1];
        for (; run != end; run += 2) {
            const int64_t a = std::max<int64_t>(run[0], cLo), b = std::min<int64_t>(run[1], cHi);
            if (a < b) CopyWords(row + (x + a), src + a, b - a);
        }
    }
}

namespace {

// The destination columns and rows of a stretch that land inside the target.
struct TWindow {
    int64_t ILo, IHi, JLo, JHi;
};

// The whole picture, as every block of the grid is drawn: kept scaled to the cell. False when the
// sheet keeps no such copy.
bool DrawWholeScaled(TPixels& target, TPreparedSheet& sheet, const TDib& image, const TStretch& s, const TWindow& w) {
    if (s.SrcX != 0 || s.SrcY != 0 || s.SrcWidth != image.Width || s.SrcHeight != image.Height) return false;
    const uint32_t* scaled = sheet.Scaled(image, s.DestWidth, s.DestHeight);
    if (!scaled) return false;
    for (int64_t j = w.JLo; j < w.JHi; ++j) {
        CopyWords(TargetRow(target, s.Y + j) + (s.X + w.ILo),
                  scaled + static_cast<size_t>(j) * static_cast<size_t>(s.DestWidth) + w.ILo, w.IHi - w.ILo);
    }
    return true;
}

// The image column of each destination column, -1 outside the image.
void MapColumns(const TStretch& s, const TDib& image, const TWindow& w, int64_t* columns) {
    TScaleSteps columnSteps(s.SrcWidth, s.DestWidth, w.ILo);
    for (int64_t i = w.ILo; i < w.IHi; ++i) {
        const int64_t column = s.SrcX + columnSteps.Next();
        columns[i - w.ILo] = (column >= 0 && column < image.Width) ? column : -1;
    }
}

// Row by row; a row or column outside the image shows zero, as an unfilled row buffer would.
// Without a column map (a block drawn at its own size, wholly inside the image) rows copy whole.
void StretchRows(TPixels& target, const TDib& image, const uint32_t* words, const TStretch& s, const TWindow& w,
                 const int64_t* columns) {
    const int64_t topRow = image.Height - s.SrcY - s.SrcHeight;
    const uint32_t zero = image.BitCount == 8
                              ? PixelOf(RGB(image.Colours[0].Red, image.Colours[0].Green, image.Colours[0].Blue))
                              : PixelOf(0);
    TScaleSteps rowSteps(s.SrcHeight, s.DestHeight, w.JLo);
    for (int64_t j = w.JLo; j < w.JHi; ++j) {
        uint32_t* dst = TargetRow(target, s.Y + j) + s.X;
        const int64_t row = topRow + rowSteps.Next();
        if (row < 0 || row >= image.Height) {
            FillWords(dst + w.ILo, w.IHi - w.ILo, zero);
            continue;
        }
        const uint32_t* src = words + static_cast<size_t>(row) * static_cast<size_t>(image.Width);
        if (!columns) {
            CopyWords(dst + w.ILo, src + s.SrcX + w.ILo, w.IHi - w.ILo);
            continue;
        }
        for (int64_t i = w.ILo; i < w.IHi; ++i) {
            const int64_t column = columns[i - w.ILo];
            dst[i] = column >= 0 ? src[column] : zero;
        }
    }
}

}  // namespace

void StretchDrawDib(TPixels& target, TPreparedSheets& prepared, int x, int y, int destWidth, int destHeight,
                    const TDib& image, int srcX, int srcY, int srcWidth, int srcHeight) {
    if (!target.Pixels || !Stretchable(image)) return;
    const TStretch s = ClipSource(image, x, y, destWidth, destHeight, srcX, srcY, srcWidth, srcHeight);
    if (s.DestWidth <= 0 || s.DestHeight <= 0) return;

    // Only the destination columns and rows that land inside the target are worked out.
    const TWindow w{std::max<int64_t>(0, -s.X), std::min<int64_t>(s.DestWidth, target.Width - s.X),
                    std::max<int64_t>(0, -s.Y), std::min<int64_t>(s.DestHeight, target.Height - s.Y)};
    if (w.ILo >= w.IHi || w.JLo >= w.JHi) return;

    TPreparedSheet& sheet = prepared.Of(image);
    if (DrawWholeScaled(target, sheet, image, s, w)) return;

    const bool straight = s.SrcWidth == s.DestWidth && s.SrcX >= 0 && s.SrcX + s.SrcWidth <= image.Width;
    constexpr int kSmall = 64;
    int64_t columnsSmall[kSmall];
    std::vector<int64_t> columnsLarge;
    int64_t* columns = straight ? nullptr : columnsSmall;
    if (!straight && w.IHi - w.ILo > kSmall) {
        columnsLarge.resize(static_cast<size_t>(w.IHi - w.ILo));
        columns = columnsLarge.data();
    }
    if (columns) MapColumns(s, image, w, columns);
    StretchRows(target, image, sheet.Look(image, TPreparedSheet::kOpaque).Words.data(), s, w, columns);
}

}  // namespace blubbi
