#include "view3d/Topenglqelpanel.h"


#include <QElapsedTimer>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include <GL/gl.h>

TOpenGLQelPanel::TOpenGLQelPanel(QWidget* parent) : QOpenGLWidget(parent)
{
    Font3D_Type = QFont(QStringLiteral("Arial"));
    Font3D_Type.setPixelSize(9);
    Font2D_Type = Font3D_Type;
    // Keeps the last picture in the framebuffer between paints, which the Manual swap
    // mode relies on.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
    // The owner repaints on every move over the panel, dragging or not.
    setMouseTracking(true);
    ApplyFormat();
}

TOpenGLQelPanel::~TOpenGLQelPanel()
{
    if (context()) {
        // The context outlives this part of the object; its farewell must not reach us.
        disconnect(context(), nullptr, this, nullptr);
        makeCurrent();
        ReleaseGL();
        doneCurrent();
    }
}

// ---- properties -------------------------------------------------------------------

void TOpenGLQelPanel::SetPixelType(TPFDPixelTypes t)
{
    PixelType_ = t;
    ApplyFormat();
}

void TOpenGLQelPanel::SetPFDFlags(TPFDFlagSet flags)
{
    using F = TPFDFlags;
    const bool gdi = flags.Has(F::f_PFD_SUPPORT_GDI), dbl = flags.Has(F::f_PFD_DOUBLEBUFFER);
    if (gdi == dbl) {
        // Both or neither: the flag that was not set before takes over.
        const bool gdiWins = !PFDFlags_.Has(F::f_PFD_SUPPORT_GDI);
        if (gdi) {
            flags.Exclude(gdiWins ? F::f_PFD_DOUBLEBUFFER : F::f_PFD_SUPPORT_GDI);
        } else {
            flags.Include(gdiWins ? F::f_PFD_SUPPORT_GDI : F::f_PFD_DOUBLEBUFFER);
        }
    }
    PFDFlags_ = flags;
    ApplyFormat();
}

void TOpenGLQelPanel::SetcColorBits(uint8_t bits)
{
    ColorBits_ = bits;
    ApplyFormat();
}

void TOpenGLQelPanel::SetcDepthBits(uint8_t bits)
{
    DepthBits_ = bits;
    ApplyFormat();
}

void TOpenGLQelPanel::SetcAccBits(uint8_t bits)
{
    AccBits_ = bits;
    ApplyFormat();
}

QSurfaceFormat TOpenGLQelPanel::RequestedFormat() const
{
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    // The owner draws in immediate mode.
    f.setProfile(QSurfaceFormat::CompatibilityProfile);
    const int channel = ColorBits_ >= 24 ? 8 : ColorBits_ >= 15 ? 5 : -1;
    f.setRedBufferSize(channel);
    f.setGreenBufferSize(channel);
    f.setBlueBufferSize(channel);
    f.setAlphaBufferSize(ColorBits_ >= 32 ? 8 : -1);
    f.setDepthBufferSize(DepthBits_);
    f.setStencilBufferSize(8);
    // Qt has no accumulation buffer; cAccBits is kept for the owner only.
    f.setSwapBehavior(PFDFlags_.Has(TPFDFlags::f_PFD_SUPPORT_GDI) ? QSurfaceFormat::SingleBuffer
                                                                  : QSurfaceFormat::DoubleBuffer);
    return f;
}

void TOpenGLQelPanel::ApplyFormat()
{
    // Qt ignores (and warns about) format changes once the context exists.
    if (!context())
        setFormat(RequestedFormat());
}

void TOpenGLQelPanel::SetHint(const QString& hint)
{
    Hint_ = hint;
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    setToolTip(bar < 0 ? hint : hint.left(bar));
    setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

int TOpenGLQelPanel::GLWidth() const { return qRound(width() * devicePixelRatioF()); }
int TOpenGLQelPanel::GLHeight() const { return qRound(height() * devicePixelRatioF()); }

// ---- life of the context ------------------------------------------------------------

void TOpenGLQelPanel::Fail(const QString& text)
{
    ErrorText_ = text;
    if (OnError)
        OnError(this);
}

void TOpenGLQelPanel::initializeGL()
{
    QOpenGLContext* ctx = context();
    if (!ctx || !ctx->isValid()) {
        CheckContextCreated();
        return;
    }
    // The owner draws with the fixed-function pipeline, which a core profile lacks.
    if (ctx->format().profile() == QSurfaceFormat::CoreProfile) {
        if (!CreateFailReported_) {
            CreateFailReported_ = true;
            Fail(QStringLiteral("Open GL Context Create Failed"));
        }
        return;
    }
    Created_ = true;
    CreateFailReported_ = false;
    DoubleBuffered_ = !PFDFlags_.Has(TPFDFlags::f_PFD_SUPPORT_GDI);
    // A new top-level window gives the panel a new context; what lives in the old one
    // goes with it.
    connect(ctx, &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        ReleaseGL();
        Created_ = false;
    });
    if (Font3D_Enabled)
        Font3D_ = Create3DFont(Font3D_Type, Font3D_FirstGylph, Font3D_Format, Font3D_Extrustion,
                               Font3D_MaxDeviation, Font3D_NumGylph);
    if (Font2D_Enabled)
        Font2D_ = Create2DFont(Font2D_Type, Font2D_FirstGylph, Font2D_NumGylph);
    if (OnInit)
        OnInit(this);
}

void TOpenGLQelPanel::ReleaseGL()
{
    BackBuffer_.reset();
}

// Qt does not call initializeGL when it cannot create the context, so the failure is
// found here: the panel is on screen with a size and still has no usable context.
void TOpenGLQelPanel::CheckContextCreated()
{
    if (Created_ || CreateFailReported_ || !isVisible() || size().isEmpty())
        return;
    const QWindow* win = window()->windowHandle();
    if (!win || !win->handle())
        return;
    if (context() && context()->isValid())
        return;
    CreateFailReported_ = true;
    Fail(QStringLiteral("Open GL Context Create Failed"));
}

bool TOpenGLQelPanel::event(QEvent* e)
{
    const bool result = QOpenGLWidget::event(e);
    switch (e->type()) {
    case QEvent::Show:
    case QEvent::Resize:
    case QEvent::Paint:
    case QEvent::UpdateRequest:
        CheckContextCreated();
        break;
    default:
        break;
    }
    return result;
}

void TOpenGLQelPanel::resizeGL(int, int)
{
    if (OnResize)
        OnResize(this);
}

void TOpenGLQelPanel::paintGL()
{
    if (!Created_)
        return;
    if (PresentOnly_) {
        // SwapBuffers outside a paint already put the picture in place.
        PresentOnly_ = false;
        return;
    }
    QElapsedTimer clock;
    if (Fps_Enabled)
        clock.start();
    if (OnPaint) {
        const bool toBack = DoubleBuffered_ && GLSwapBuffers == TOpenGLSwapBuffers::Manual;
        if (toBack) {
            const QSize size(GLWidth(), GLHeight());
            if (!BackBuffer_ || BackBuffer_->size() != size)
                BackBuffer_ = std::make_unique<QOpenGLFramebufferObject>(
                    size, QOpenGLFramebufferObject::CombinedDepthStencil);
            BackBuffer_->bind();
        }
        InPaint_ = true;
        OnPaint(this);
        InPaint_ = false;
        if (toBack)
            context()->functions()->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
    }
    if (Fps_Enabled) {
        // Wait for the GL work so the figure is the paint's, not just its submission.
        glFinish();
        const qint64 ns = std::max<qint64>(clock.nsecsElapsed(), 1);
        Fps_ = static_cast<int>(std::min<qint64>(1000000000 / ns, INT_MAX));
    }
}

bool TOpenGLQelPanel::MakeOpenGLPanelCurrent()
{
    QOpenGLContext* ctx = context();
    if (!ctx || !ctx->isValid()) {
        Fail(QStringLiteral("wglMakeCurrent: no OpenGL context"));
        return false;
    }
    // Inside a paint the context is current already; binding again would leave the
    // back buffer.
    if (InPaint_ && QOpenGLContext::currentContext() == ctx)
        return true;
    makeCurrent();
    if (QOpenGLContext::currentContext() != ctx) {
        Fail(QStringLiteral("wglMakeCurrent: the context could not be made current"));
        return false;
    }
    return true;
}

void TOpenGLQelPanel::MakeOpenGLPanelNotCurrent() { doneCurrent(); }

bool TOpenGLQelPanel::BlitBackBuffer()
{
    if (!BackBuffer_)
        return false;
    // The widget's own framebuffer is the picture Qt puts on screen.
    QOpenGLExtraFunctions* gl = context()->extraFunctions();
    const GLuint front = defaultFramebufferObject(), back = BackBuffer_->handle();
    const int w = BackBuffer_->width(), h = BackBuffer_->height();
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, back);
    gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, front);
    gl->glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, InPaint_ ? back : front);
    return true;
}

void TOpenGLQelPanel::SwapBuffers()
{
    if (!Created_ || !DoubleBuffered_ || GLSwapBuffers != TOpenGLSwapBuffers::Manual)
        return;
    if (InPaint_) {
        BlitBackBuffer();
        return;
    }
    if (!MakeOpenGLPanelCurrent())
        return;
    if (BlitBackBuffer()) {
        PresentOnly_ = true;
        update();
    }
}

bool TOpenGLQelPanel::PanelShareLists(TOpenGLQelPanel* other) const
{
    if (!other || !context() || !other->context())
        return false;
    return QOpenGLContext::areSharing(context(), other->context());
}

bool TOpenGLQelPanel::QueryOpenGLExtention(const QString& name)
{
    if (name.isEmpty() || name.contains(QLatin1Char(' ')) || !context())
        return false;
    // The context's list holds the whole words of the extension string.
    return context()->extensions().contains(name.toLatin1());
}

int TOpenGLQelPanel::GetDisplayBPP() const
{
    const QScreen* s = screen();
    return s ? s->depth() : 0;
}

bool TOpenGLQelPanel::SetDisplayBPP(int) { return false; }

// ---- mouse ----------------------------------------------------------------------------

void TOpenGLQelPanel::RaiseMouse(const TMouseEvent& handler, QMouseEvent* e, Qt::MouseButton button)
{
    if (!handler)
        return;
    TPanelMouse m;
    m.Button = button;
    m.Buttons = e->buttons();
    m.Modifiers = e->modifiers();
    const QPoint p = e->position().toPoint();
    m.X = p.x();
    m.Y = p.y();
    handler(this, m);
}

void TOpenGLQelPanel::mousePressEvent(QMouseEvent* e) { RaiseMouse(OnMouseDown, e, e->button()); }
void TOpenGLQelPanel::mouseMoveEvent(QMouseEvent* e) { RaiseMouse(OnMouseMove, e, Qt::NoButton); }
void TOpenGLQelPanel::mouseReleaseEvent(QMouseEvent* e) { RaiseMouse(OnMouseUp, e, e->button()); }
