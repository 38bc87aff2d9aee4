#include "view3d/OffscreenGl.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QSurfaceFormat>

#include <GL/gl.h>

TOffscreenGl::TOffscreenGl() = default;

TOffscreenGl::~TOffscreenGl()
{
    if (Context_ && Surface_ && Context_->makeCurrent(Surface_.get())) {
        Fbo_.reset();
        Context_->doneCurrent();
    }
    Fbo_.reset();
    Context_.reset();
    Surface_.reset();
}

bool TOffscreenGl::Create(int width, int height, QString* error)
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (width < 1 || height < 1)
        return fail(QStringLiteral("the picture has no pixels"));
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return fail(QStringLiteral("OpenGL needs the GUI application"));
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    format.setAlphaBufferSize(8);
    Context_ = std::make_unique<QOpenGLContext>();
    Context_->setFormat(format);
    if (!Context_->create())
        return fail(QStringLiteral("no OpenGL context could be created on this display"));
    if (Context_->format().profile() == QSurfaceFormat::CoreProfile)
        return fail(QStringLiteral("the display offers only a core OpenGL profile"));
    Surface_ = std::make_unique<QOffscreenSurface>();
    Surface_->setFormat(Context_->format());
    Surface_->create();
    if (!Surface_->isValid() || !Context_->makeCurrent(Surface_.get()))
        return fail(QStringLiteral("the OpenGL context could not be made current"));
    QOpenGLFramebufferObjectFormat fboFormat;
    fboFormat.setAttachment(QOpenGLFramebufferObject::CombinedDepthStencil);
    fboFormat.setInternalTextureFormat(GL_RGBA8);
    Fbo_ = std::make_unique<QOpenGLFramebufferObject>(width, height, fboFormat);
    if (!Fbo_->isValid() || !Fbo_->bind())
        return fail(QStringLiteral("no %1x%2 framebuffer could be made").arg(width).arg(height));
    Width_ = width;
    Height_ = height;
    return true;
}

bool TOffscreenGl::MakeCurrent()
{
    if (!Context_ || !Surface_ || !Fbo_ || !Context_->makeCurrent(Surface_.get()))
        return false;
    return Fbo_->bind();
}

QImage TOffscreenGl::Read() const
{
    if (!Fbo_)
        return {};
    QImage image(Width_, Height_, QImage::Format_RGBA8888);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, Width_, Height_, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    // The background's alpha is 0.5 and components leave theirs; the screen shows colours.
    for (int y = 0; y < Height_; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < Width_; ++x)
            row[4 * x + 3] = 255;
    }
    return image.mirrored().convertToFormat(QImage::Format_RGB32);
}
