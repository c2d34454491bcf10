// TGlView: the paint box's picture shown through the graphics card, which does the enlarging.
#pragma once
#include <QOpenGLWidget>
#include <memory>

#include "gfx/GlPicture.h"

namespace blubbi {

class TPaintBox;

class TGlView : public QOpenGLWidget {
public:
    explicit TGlView(TPaintBox* box);
    ~TGlView() override;

    // Whether the paint box should show its pictures through a TGlView: BLUBBI_PRESENTER=gl or
    // raster decides; otherwise a graphics card that is not the processor pretending to be one.
    static bool Wanted();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    // While its context is still there: the texture and the program go with it.
    void ReleaseGl();

    TPaintBox* Box;
    std::unique_ptr<TGlPicture> Picture;  // none while there is no context
};

}  // namespace blubbi
