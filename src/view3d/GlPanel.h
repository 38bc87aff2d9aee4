#pragma once
// A widget that owns one OpenGL context and hands all drawing to its owner through
// events: OnInit once the context exists, OnResize, OnPaint (context current), mouse
// events, and OnError with ErrorText for every failure. The owner issues GL calls
// directly from its handlers; the panel itself draws nothing.
#include <QOpenGLWidget>
#include <QString>
#include <functional>

// Mouse event as the owner sees it: the button that changed (NoButton on a move), the
// buttons held, the keyboard modifiers and the position in client pixels.
struct TPanelMouse {
    Qt::MouseButton Button = Qt::NoButton;
    Qt::MouseButtons Buttons;
    Qt::KeyboardModifiers Modifiers;
    int X = 0, Y = 0;
};

class TOpenGLQelPanel : public QOpenGLWidget {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TOpenGLQelPanel* sender)>;
    using TMouseEvent = std::function<void(TOpenGLQelPanel* sender, const TPanelMouse& m)>;

    explicit TOpenGLQelPanel(QWidget* parent = nullptr);
    ~TOpenGLQelPanel() override;

    // Events.
    TNotifyEvent OnInit, OnResize, OnPaint, OnError;
    TMouseEvent OnMouseDown, OnMouseMove, OnMouseUp;

    // What the panel asks for: an RGBA context of 8 bits a channel with depth and stencil
    // buffers, double-buffered, with the fixed-function pipeline the owner draws with.
    static QSurfaceFormat RequestedFormat();

    QString ErrorText() const { return ErrorText_; }
    bool ContextCreated() const { return Created_; }

    // "short|long": the short part becomes the tooltip, the long part the status-bar
    // text; without a bar both are the whole text.
    void SetHint(const QString& hint);

    // Size of the drawing surface in device pixels, for glViewport.
    int GLWidth() const;
    int GLHeight() const;

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    bool event(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void Fail(const QString& text);
    void CheckContextCreated();
    void RaiseMouse(const TMouseEvent& handler, QMouseEvent* e, Qt::MouseButton button);

    QString ErrorText_;
    bool Created_ = false;
    bool CreateFailReported_ = false;
};
