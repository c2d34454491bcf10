// The picture goes up as it is and the card lays each pixel out as a block: a zoomed frame costs the
// processor what a frame at 1x costs.
#include "gfx/GlPicture.h"

#include <QOpenGLContext>

namespace blubbi {

namespace {
// The quad fills the viewport; the viewport is the picture's place, so every fragment's centre
// falls inside one texel and nearest sampling gives whole blocks.
constexpr const char* kVertex = R"(
attribute vec2 corner;
varying vec2 texel;
void main() {
    texel = vec2(corner.x, 1.0 - corner.y);
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";
constexpr const char* kFragment = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform sampler2D picture;
varying vec2 texel;
void main() {
    gl_FragColor = vec4(texture2D(picture, texel).rgb, 1.0);
}
)";
constexpr GLfloat kCorners[] = {0, 0, 1, 0, 0, 1, 1, 1};
}  // namespace

bool TGlPicture::Create() {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context) return false;
    initializeOpenGLFunctions();
    if (!Program.addShaderFromSourceCode(QOpenGLShader::Vertex, kVertex) ||
        !Program.addShaderFromSourceCode(QOpenGLShader::Fragment, kFragment)) {
        return false;
    }
    Program.bindAttributeLocation("corner", 0);
    if (!Program.link()) return false;
    Es = context->isOpenGLES();
    Swizzle = Es && !context->hasExtension("GL_EXT_texture_format_BGRA8888");
    glGenTextures(1, &Texture);
    glBindTexture(GL_TEXTURE_2D, Texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return true;
}

void TGlPicture::Destroy() {
    if (Texture) glDeleteTextures(1, &Texture);
    Texture = 0;
    TextureSize = {};
    Program.removeAllShaders();
}

void TGlPicture::Draw(const QImage& picture, QSize target, QPoint origin, int scale) {
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, target.width(), target.height());
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    if (picture.isNull() || !Texture) return;

    // Rows of 32-bit pixels with no padding: the image's own bytes are what the card reads.
    const QImage* pixels = &picture;
    GLenum format = GL_BGRA;
    if (Swizzle || picture.format() != QImage::Format_RGB32) {
        Converted = picture.convertToFormat(Swizzle ? QImage::Format_RGBX8888 : QImage::Format_RGB32);
        pixels = &Converted;
        if (Swizzle) format = GL_RGBA;
    }
    glBindTexture(GL_TEXTURE_2D, Texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (pixels->size() != TextureSize) {
        TextureSize = pixels->size();
        glTexImage2D(GL_TEXTURE_2D, 0, Es ? static_cast<GLint>(format) : GL_RGBA8, TextureSize.width(),
                     TextureSize.height(), 0, format, GL_UNSIGNED_BYTE, pixels->constBits());
    } else {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, TextureSize.width(), TextureSize.height(), format, GL_UNSIGNED_BYTE,
                        pixels->constBits());
    }

    // GL counts rows from the bottom.
    const QSize shown = TextureSize * scale;
    glViewport(origin.x(), target.height() - origin.y() - shown.height(), shown.width(), shown.height());
    Program.bind();
    Program.setUniformValue("picture", 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, Texture);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    Program.enableAttributeArray(0);
    Program.setAttributeArray(0, GL_FLOAT, kCorners, 2);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    Program.disableAttributeArray(0);
    Program.release();
    glViewport(0, 0, target.width(), target.height());
}

}  // namespace blubbi
