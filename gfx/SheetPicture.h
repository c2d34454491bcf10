// A picture whose sprites are copied straight onto its own pixels from sheets prepared once and
// shared by the screen's pictures: the desktop's pictures and the browser's alike.
#pragma once
#include <memory>
#include <utility>

#include "game/Platform.h"
#include "gfx/PreparedSheets.h"
#include "gfx/Sprites.h"

namespace blubbi {

class TSheetPicture : public TPicture {
public:
    void DrawSprite(const TDib& sheet, int x, int y, bool mirrored, int frame, int frameCount, bool inBubble) override {
        TPixels pixels = Target();
        blubbi::DrawSprite(pixels, *Sheets, sheet, x, y, mirrored, frame, frameCount, inBubble);
    }
    void DrawSpriteRow(const TDib& sheet, int x, int y, int frameCount, int frame) override {
        TPixels pixels = Target();
        blubbi::DrawSpriteRow(pixels, *Sheets, sheet, x, y, frameCount, frame);
    }
    void StretchDrawDib(int x, int y, int destWidth, int destHeight, const TDib& image, int srcX, int srcY,
                        int srcWidth, int srcHeight) override {
        TPixels pixels = Target();
        blubbi::StretchDrawDib(pixels, *Sheets, x, y, destWidth, destHeight, image, srcX, srcY, srcWidth, srcHeight);
    }

protected:
    explicit TSheetPicture(std::shared_ptr<TPreparedSheets> sheets) : Sheets(std::move(sheets)) {}
    // The pixels to draw on, made ready (black, if nothing was drawn yet) for one drawing.
    virtual TPixels Target() = 0;

    std::shared_ptr<TPreparedSheets> Sheets;
};

}  // namespace blubbi
