// TGlPicture: the game's picture as one texture, enlarged to whole blocks by the graphics card.
#pragma once
#include <QImage>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QPoint>
#include <QSize>

namespace blubbi {

class TGlPicture : protected QOpenGLFunctions {
public:
    // In the GL context that will draw; false when the card cannot, and Draw then only clears.
    bool Create();
    // Frees the texture; in the context it was made in.
    void Destroy();

    // Draws `picture` with its top-left at `origin` (pixels from the target's top-left), each of its
    // pixels a scale x scale block, black around, into the bound target of `target` pixels.
    void Draw(const QImage& picture, QSize target, QPoint origin, int scale);

private:
    QOpenGLShaderProgram Program;
    GLuint Texture = 0;
    QSize TextureSize;
    bool Es = false;       // OpenGL ES: the texture's inner format must be the pixels' format
    bool Swizzle = false;  // the card takes no BGRA pixels: the picture is turned to RGBA first
    QImage Converted;
};

}  // namespace blubbi
