#pragma once
// A GL context that draws into a framebuffer of its own, with no window: for pictures of
// the 3D view made by the command line and for the benchmark. It needs a display that
// offers OpenGL (under the offscreen platform there is none, and Create says so).
#include <QImage>
#include <QString>
#include <memory>

class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;

class TOffscreenGl {
public:
    TOffscreenGl();
    ~TOffscreenGl();
    TOffscreenGl(const TOffscreenGl&) = delete;
    TOffscreenGl& operator=(const TOffscreenGl&) = delete;

    // A compatibility context (the view draws with the fixed-function pipeline) with an
    // RGBA framebuffer of width x height with depth, bound and current. False with the
    // reason in error otherwise.
    bool Create(int width, int height, QString* error);
    // Makes the context current again with the framebuffer bound.
    bool MakeCurrent();
    // The framebuffer's colours as they would show on screen: top row first, opaque.
    QImage Read() const;
    int Width() const { return Width_; }
    int Height() const { return Height_; }

private:
    std::unique_ptr<QOffscreenSurface> Surface_;
    std::unique_ptr<QOpenGLContext> Context_;
    std::unique_ptr<QOpenGLFramebufferObject> Fbo_;
    int Width_ = 0, Height_ = 0;
};
