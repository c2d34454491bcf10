// The browser's pictures: the frame composed on 32-bit pixel rows as the desktop composes it, with
// ellipses and arcs by a small rasterizer of their own; text is left to the page's canvas, which
// draws it over the pixels it was written on.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "game/Platform.h"
#include "gfx/SheetPicture.h"

namespace blubbi {

struct TWebText {
    int X = 0, Y = 0;  // top-left corner of the text
    TColor Color = 0;
    std::string Text;  // UTF-8
};

class TWebPicture : public TSheetPicture {
public:
    TWebPicture(int width, int height, std::shared_ptr<TPreparedSheets> sheets);
    ~TWebPicture() override;
    TWebPicture(const TWebPicture&) = delete;
    TWebPicture& operator=(const TWebPicture&) = delete;
    int Width() const override { return W; }
    int Height() const override { return H; }
    void Rectangle(int x1, int y1, int x2, int y2, TColor pen, TColor brush) override;
    void Ellipse(int x1, int y1, int x2, int y2, TColor pen, TColor brush, bool hollow) override;
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, TColor pen) override;
    void TextOut(int x, int y, const std::string& text, TColor color) override;

    const uint32_t* Pixels() const;
    const std::vector<TWebText>& Texts() const { return Written; }

private:
    TPixels Target() override { return View(); }
    TPixels View();
    // The figure of the ellipse in x1..x2-1, y1..y2-1: `keep` says which of its outline pixels
    // (by their place relative to the centre) are drawn.
    template <class Keep>
    void Figure(int x1, int y1, int x2, int y2, uint32_t pen, const uint32_t* brush, Keep keep);

    // A new picture is black, but made black only when something other than a rectangle over all
    // of it is drawn first (every frame begins with one), as the desktop's pictures do.
    void Blacken() const;

    int W, H;
    std::unique_ptr<uint32_t[]> Words;  // a frame's worth, taken from those earlier frames let go
    mutable bool Unpainted = true;
    std::vector<TWebText> Written;
};

// The page's picture of the paint box: what Present showed last, as RGBA bytes for the canvas,
// and the texts still to be drawn over it.
class TWebScreen {
public:
    TWebScreen(int width, int height);
    void Show(const TWebPicture& picture, int x, int y);
    void Fill(int x1, int y1, int x2, int y2, TColor color);
    const uint8_t* Rgba() const { return reinterpret_cast<const uint8_t*>(Words.data()); }
    // The texts as JSON: [[x, y, "#rrggbb", "text"], ...].
    std::string TextsJson() const;

private:
    void Cover(int x1, int y1, int x2, int y2);
    int W, H;
    std::vector<uint32_t> Words;  // as the canvas reads them
    std::vector<TWebText> Texts;
};

}  // namespace blubbi
