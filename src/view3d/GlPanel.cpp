#include "view3d/GlPanel.h"

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QWindow>

TOpenGLQelPanel::TOpenGLQelPanel(QWidget* parent) : QOpenGLWidget(parent)
{
    // The owner repaints on every move over the panel, dragging or not.
    setMouseTracking(true);
    setFormat(RequestedFormat());
}

TOpenGLQelPanel::~TOpenGLQelPanel()
{
    // The context outlives this part of the object; its farewell must not reach us.
    if (context())
        disconnect(context(), nullptr, this, nullptr);
}

QSurfaceFormat TOpenGLQelPanel::RequestedFormat()
{
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    // The owner draws in immediate mode.
    f.setProfile(QSurfaceFormat::CompatibilityProfile);
    f.setRedBufferSize(8);
    f.setGreenBufferSize(8);
    f.setBlueBufferSize(8);
    f.setAlphaBufferSize(8);
    f.setDepthBufferSize(32);
    f.setStencilBufferSize(8);
    f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return f;
}

void TOpenGLQelPanel::SetHint(const QString& hint)
{
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
    // A new top-level window gives the panel a new context: until it is made, nothing draws.
    connect(ctx, &QOpenGLContext::aboutToBeDestroyed, this, [this] { Created_ = false; });
    if (OnInit)
        OnInit(this);
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
    if (Created_ && OnPaint)
        OnPaint(this);
}

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
