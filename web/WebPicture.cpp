// The browser's pictures and screen.
#include "web/WebPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace blubbi {

namespace {

// Pixel memory of pictures let go, by size: a frame makes one picture and lets the one before go.
std::vector<std::pair<size_t, std::unique_ptr<uint32_t[]>>>& Spare() {
    static std::vector<std::pair<size_t, std::unique_ptr<uint32_t[]>>> spare;
    return spare;
}

}  // namespace

TWebPicture::TWebPicture(int width, int height, std::shared_ptr<TPreparedSheets> sheets)
    : TSheetPicture(std::move(sheets)), W(std::max(width, 0)), H(std::max(height, 0)) {
    const size_t size = static_cast<size_t>(W) * static_cast<size_t>(H);
    auto& spare = Spare();
    const auto kept = std::find_if(spare.begin(), spare.end(), [&](const auto& s) { return s.first == size; });
    if (kept != spare.end()) {
        Words = std::move(kept->second);
        spare.erase(kept);
    } else {
        Words.reset(new uint32_t[size + 1]);  // not cleared: see Blacken
    }
}

TWebPicture::~TWebPicture() {
    auto& spare = Spare();
    if (spare.size() >= 4) spare.erase(spare.begin());
    spare.emplace_back(static_cast<size_t>(W) * static_cast<size_t>(H), std::move(Words));
}

void TWebPicture::Blacken() const {
    if (!Unpainted) return;
    Unpainted = false;
    std::fill_n(Words.get(), static_cast<size_t>(W) * static_cast<size_t>(H), 0xFF000000u);
}

const uint32_t* TWebPicture::Pixels() const {
    Blacken();
    return Words.get();
}

TPixels TWebPicture::View() {
    Blacken();
    return TPixels{Words.get(), W, H, W};
}

void TWebPicture::Rectangle(int x1, int y1, int x2, int y2, TColor pen, TColor brush) {
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    if (x1 == x2 || y1 == y2) return;
    if (x1 <= 0 && y1 <= 0 && x2 >= W && y2 >= H) Unpainted = false;  // every pixel is painted
    TPixels pixels = View();
    FramedRect(pixels, x1, y1, x2, y2, PixelOf(pen), PixelOf(brush));
}

// A pixel belongs to the figure when its centre lies inside the ellipse that fills the box; it is
// outline when one of its four neighbours does not.
template <class Keep>
void TWebPicture::Figure(int x1, int y1, int x2, int y2, uint32_t pen, const uint32_t* brush, Keep keep) {
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    const double w = double(x2) - x1, h = double(y2) - y1;
    if (w < 1 || h < 1 || w > 4096 || h > 4096) return;
    const double cx = x1 + w / 2, cy = y1 + h / 2, rx = w / 2, ry = h / 2;
    Blacken();
    const auto inside = [&](int px, int py) {
        const double dx = (px + 0.5 - cx) / rx, dy = (py + 0.5 - cy) / ry;
        return dx * dx + dy * dy <= 1.0;
    };
    for (int py = std::max(y1, 0); py < std::min(y2, H); ++py)
        for (int px = std::max(x1, 0); px < std::min(x2, W); ++px) {
            if (!inside(px, py)) continue;
            const bool edge = !inside(px - 1, py) || !inside(px + 1, py) || !inside(px, py - 1) || !inside(px, py + 1);
            uint32_t& word = Words[static_cast<size_t>(py) * static_cast<size_t>(W) + static_cast<size_t>(px)];
            if (edge && keep(px + 0.5 - cx, cy - (py + 0.5)))
                word = pen;
            else if (!edge && brush != nullptr)
                word = *brush;
        }
}

void TWebPicture::Ellipse(int x1, int y1, int x2, int y2, TColor pen, TColor brush, bool hollow) {
    const uint32_t fill = PixelOf(brush);
    Figure(x1, y1, x2, y2, PixelOf(pen), hollow ? nullptr : &fill, [](double, double) { return true; });
}

void TWebPicture::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, TColor pen) {
    const double cx = (double(x1) + x2) / 2, cy = (double(y1) + y2) / 2;
    // Angles counter-clockwise with y upwards, as the screen's y runs down.
    const double start = std::atan2(cy - y3, x3 - cx), end = std::atan2(cy - y4, x4 - cx);
    constexpr double kTurn = 2 * M_PI;
    double span = std::fmod(end - start + 2 * kTurn, kTurn);
    if (span == 0) span = kTurn;  // the same radial twice: the whole ellipse
    Figure(x1, y1, x2, y2, PixelOf(pen), nullptr,
           [=](double dx, double dy) { return std::fmod(std::atan2(dy, dx) - start + 2 * kTurn, kTurn) <= span; });
}

void TWebPicture::TextOut(int x, int y, const std::string& text, TColor color) {
    if (!text.empty()) Written.push_back({x, y, color, text});
}

TWebScreen::TWebScreen(int width, int height)
    : W(width), H(height), Words(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFF000000u) {}

void TWebScreen::Cover(int x1, int y1, int x2, int y2) {
    // A text goes when a picture is shown over the place it began.
    std::erase_if(Texts, [&](const TWebText& t) { return t.X >= x1 && t.X < x2 && t.Y >= y1 && t.Y < y2; });
}

// The canvas wants red, green, blue, alpha in memory: on this little-endian machine the word
// 0xAABBGGRR, where the pictures hold 0xAARRGGBB.
constexpr uint32_t CanvasWord(uint32_t word) {
    return (word & 0xFF00FF00u) | ((word >> 16) & 0xFFu) | ((word & 0xFFu) << 16);
}

void TWebScreen::Show(const TWebPicture& picture, int x, int y) {
    const int w = picture.Width(), h = picture.Height();
    const int left = std::max(0, -x), right = std::min(w, W - x);
    for (int py = std::max(0, -y); py < h && py + y < H; ++py) {
        const uint32_t* in = picture.Pixels() + static_cast<size_t>(py) * static_cast<size_t>(w);
        uint32_t* out = Words.data() + static_cast<size_t>(py + y) * static_cast<size_t>(W) + x;
        for (int px = left; px < right; ++px) out[px] = CanvasWord(in[px]);
    }
    Cover(x, y, x + w, y + h);
    for (TWebText t : picture.Texts()) {
        t.X += x;
        t.Y += y;
        Texts.push_back(std::move(t));
    }
}

void TWebScreen::Fill(int x1, int y1, int x2, int y2, TColor color) {
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    for (int py = std::max(0, y1); py < std::min(y2, H); ++py)
        for (int px = std::max(0, x1); px < std::min(x2, W); ++px)
            Words[static_cast<size_t>(py) * static_cast<size_t>(W) + static_cast<size_t>(px)] =
                CanvasWord(PixelOf(color));
    Cover(x1, y1, x2, y2);
}

std::string TWebScreen::TextsJson() const {
    std::string out = "[";
    for (const TWebText& t : Texts) {
        char head[64];
        std::snprintf(head, sizeof head, "[%d,%d,\"#%02x%02x%02x\",\"", t.X, t.Y, GetRValue(t.Color),
                      GetGValue(t.Color), GetBValue(t.Color));
        if (out.size() > 1) out += ',';
        out += head;
        for (const char ch : t.Text) {
            if (ch == '"' || ch == '\\') out += '\\';
            if (static_cast<unsigned char>(ch) < 0x20) continue;
            out += ch;
        }
        out += "\"]";
    }
    return out + "]";
}

}  // namespace blubbi
