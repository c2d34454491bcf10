// The headless platform with real pictures: sheets decoded from the data folder and a
// paint box that can be written as a PNG. Used by blubbi-sim and blubbi-level.
#pragma once
#include <memory>
#include <string>

#include "gfx/Screen.h"
#include "platform/headless/HeadlessPlatform.h"

namespace blubbi {

class TSimPlatform : public THeadlessPlatform {
public:
    TSimPlatform(int width, int height);

    TDib OpenDib(const std::string& fileName) override;
    std::unique_ptr<TPicture> NewPicture(int width, int height) override;
    void Present(const TPicture& picture, int x, int y) override;
    void PaintBoxRectangle(int x1, int y1, int x2, int y2, TColor color) override;

    void Resize(int width, int height);
    // Draws only the middle width x height of the paint box, whatever its size: a picture of the
    // field for the cost of that window (0 x 0: the whole box). Before the game starts.
    void SetViewport(int width, int height);
    bool SavePng(const std::string& path, std::string& error) const { return Screen.SavePng(path, error); }

    TScreen Screen;

private:
    int ViewWidth = 0, ViewHeight = 0;
};

// Text drawing needs a GUI application object; without a display it runs offscreen.
void EnsureOffscreenGuiApplication();

}  // namespace blubbi
