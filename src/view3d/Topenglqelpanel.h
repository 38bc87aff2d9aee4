#pragma once
// A widget that owns one OpenGL context and hands all drawing to its owner through
// events: OnInit once the context exists, OnResize, OnPaint (context current), mouse
// events, and OnError with ErrorText for every failure. The owner issues GL calls
// directly from its handlers; the panel itself draws nothing.
#include <QFont>
#include <QImage>
#include <QOpenGLWidget>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

class QOpenGLFramebufferObject;
class QPainter;

enum class TPFDPixelTypes { f_PFD_TYPE_RGBA, f_PFD_TYPE_COLORINDEX };

// The requested pixel-format flags; the numbers are the elements of the set.
enum class TPFDFlags {
    f_PFD_DRAW_TO_WINDOW,
    f_PFD_DRAW_TO_BITMAP,
    f_PFD_SUPPORT_GDI,
    f_PFD_SUPPORT_OPENGL,
    f_PFD_GENERIC_ACCELERATED,
    f_PFD_GENERIC_FORMAT,
    f_PFD_NEED_PALETTE,
    f_PFD_NEED_SYSTEM_PALETTE,
    f_PFD_DOUBLEBUFFER,
    f_PFD_STEREO,
    f_PFD_SWAP_LAYER_BUFFERS,
};

class TPFDFlagSet {
public:
    TPFDFlagSet() = default;
    TPFDFlagSet(std::initializer_list<TPFDFlags> flags)
    {
        for (TPFDFlags f : flags)
            Include(f);
    }
    bool Has(TPFDFlags f) const { return (Bits_ >> static_cast<int>(f)) & 1u; }
    TPFDFlagSet& Include(TPFDFlags f)
    {
        Bits_ |= uint16_t(1u << static_cast<int>(f));
        return *this;
    }
    TPFDFlagSet& Exclude(TPFDFlags f)
    {
        Bits_ &= uint16_t(~(1u << static_cast<int>(f)));
        return *this;
    }
    uint16_t Bits() const { return Bits_; }
    bool operator==(const TPFDFlagSet&) const = default;

private:
    uint16_t Bits_ = 0;
};

enum class TOpenGLSwapBuffers { Auto, Manual };
enum class TOpenGLPrintScale { pglNone, pglPrintToFit, pglProportional };
enum class TFont3DFormat { f_WGL_FONT_LINES, f_WGL_FONT_POLYGONS };

// Bitmap text: characters First .. First+Count-1 of a copy of Font.
struct TOpenGLQelFont2D {
    QFont Font;
    int First = 32;
    int Count = 96;
};

// Glyph metrics in em units (the font's em height is 1.0).
struct TGlyphMetrics {
    double BlackBoxX = 0, BlackBoxY = 0;
    double CellIncX = 0, CellIncY = 0;
};

// Outline text, one glyph per character First .. First+Count-1, in em units with y up.
struct TOpenGLQelFont3D {
    QFont Font;
    int First = 32;
    int Count = 96;
    TFont3DFormat Format = TFont3DFormat::f_WGL_FONT_POLYGONS;
    float Extrusion = 0.1f;
    float Deviation = 1.0f;
    std::vector<TGlyphMetrics> Metrics;
    std::vector<QList<QPolygonF>> Outlines;  // closed contours per glyph
};

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

    // Format requests; they take effect when the context is created.
    TPFDPixelTypes PixelType() const { return PixelType_; }
    void SetPixelType(TPFDPixelTypes t);
    int PixelTypeByte() const { return PixelType_ == TPFDPixelTypes::f_PFD_TYPE_COLORINDEX ? 1 : 0; }
    TPFDFlagSet PFDFlags() const { return PFDFlags_; }
    // Keeps exactly one of f_PFD_SUPPORT_GDI and f_PFD_DOUBLEBUFFER: when both or
    // neither are asked for, the one that was not set before wins.
    void SetPFDFlags(TPFDFlagSet flags);
    uint8_t cColorBits() const { return ColorBits_; }
    void SetcColorBits(uint8_t bits);
    uint8_t cDepthBits() const { return DepthBits_; }
    void SetcDepthBits(uint8_t bits);
    uint8_t cAccBits() const { return AccBits_; }
    void SetcAccBits(uint8_t bits);
    // The surface format these properties ask for.
    QSurfaceFormat RequestedFormat() const;

    // Qt composes the widget's framebuffer onto the screen after every paint, which
    // stands in for the buffer swap. Auto: what OnPaint drew is shown. Manual (double-
    // buffered only): OnPaint draws into a back buffer that reaches the screen only
    // when the owner calls SwapBuffers; until then the previous picture stays.
    TOpenGLSwapBuffers GLSwapBuffers = TOpenGLSwapBuffers::Auto;
    bool Fps_Enabled = false;
    int Fps() const { return Fps_; }  // frames per second of the last measured paint
    int PixelsPerInch = 96;
    TOpenGLPrintScale PrintScale = TOpenGLPrintScale::pglProportional;

    // Fonts built when the context is created, if enabled.
    bool Font3D_Enabled = false;
    QFont Font3D_Type;
    int Font3D_FirstGylph = 32;
    int Font3D_NumGylph = 96;
    float Font3D_MaxDeviation = 1.0f;
    float Font3D_Extrustion = 0.1f;
    TFont3DFormat Font3D_Format = TFont3DFormat::f_WGL_FONT_POLYGONS;
    bool Font2D_Enabled = false;
    QFont Font2D_Type;
    int Font2D_FirstGylph = 32;
    int Font2D_NumGylph = 96;
    const TOpenGLQelFont2D* OpenGLQelFont2D() const { return Font2D_.get(); }
    const TOpenGLQelFont3D* OpenGLQelFont3D() const { return Font3D_.get(); }

    QString ErrorText() const { return ErrorText_; }
    bool ContextCreated() const { return Created_; }
    bool DoubleBuffered() const { return DoubleBuffered_; }

    // "short|long": the short part becomes the tooltip, the long part the status-bar
    // text; without a bar both are the whole text.
    void SetHint(const QString& hint);
    QString Hint() const { return Hint_; }

    // Size of the drawing surface in device pixels, for glViewport.
    int GLWidth() const;
    int GLHeight() const;

    bool MakeOpenGLPanelCurrent();
    void MakeOpenGLPanelNotCurrent();
    void SwapBuffers();
    // Qt lets contexts share only from their creation on: panels in one top-level
    // window always share, others when the application sets AA_ShareOpenGLContexts.
    // Reports whether the two contexts share their objects.
    bool PanelShareLists(TOpenGLQelPanel* other) const;
    bool QueryOpenGLExtention(const QString& name);
    int GetDisplayBPP() const;
    bool SetDisplayBPP(int bits);  // the display depth cannot be changed here: false

    // Fonts and text. The drawing calls need the context current (inside OnPaint).
    static std::unique_ptr<TOpenGLQelFont2D> Create2DFont(const QFont& font, int first, int count);
    static std::unique_ptr<TOpenGLQelFont3D> Create3DFont(const QFont& font, int first, TFont3DFormat format,
                                                          float extrusion, float deviation, int count);
    // Draws at the current raster position in the current raster colour and moves the
    // raster position on by the text's advance, like bitmap lists do.
    void Draw2DText(const QString& text, const TOpenGLQelFont2D* font = nullptr);
    // Draws in the plane z = 0 from the current model-view origin, one em = one unit.
    void Draw3DText(const QString& text, const TOpenGLQelFont3D* font = nullptr);
    std::array<double, 3> Get3DTextSize(const QString& text, const TOpenGLQelFont3D* font = nullptr) const;

    // Rarely used facilities.
    bool PrinTOpenGLQelPanel(QPainter& painter, const QRect& page);
    bool SaveOpenGLPanelToFile(const QString& fileName);
    unsigned LoadBMPTexture(const QString& fileName);  // texture name, 0 on failure
    bool LoadTGA(const QString& fileName, QImage& image);
    // Uncompressed true-colour TGA (24 or 32 bits) to an ARGB32 image; returns the
    // error text, empty on success.
    static QString ReadTGA(const QByteArray& bytes, QImage& image);

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
    void ApplyFormat();
    void CheckContextCreated();
    void ReleaseGL();
    void RaiseMouse(const TMouseEvent& handler, QMouseEvent* e, Qt::MouseButton button);
    bool BlitBackBuffer();

    TPFDPixelTypes PixelType_ = TPFDPixelTypes::f_PFD_TYPE_RGBA;
    TPFDFlagSet PFDFlags_{TPFDFlags::f_PFD_DRAW_TO_WINDOW, TPFDFlags::f_PFD_SUPPORT_OPENGL,
                          TPFDFlags::f_PFD_DOUBLEBUFFER};
    uint8_t ColorBits_ = 32;
    uint8_t DepthBits_ = 32;
    uint8_t AccBits_ = 0;

    QString ErrorText_;
    QString Hint_;
    bool Created_ = false;
    bool CreateFailReported_ = false;
    bool DoubleBuffered_ = false;
    bool InPaint_ = false;
    bool PresentOnly_ = false;
    int Fps_ = 0;
    std::unique_ptr<QOpenGLFramebufferObject> BackBuffer_;
    std::unique_ptr<TOpenGLQelFont2D> Font2D_;
    std::unique_ptr<TOpenGLQelFont3D> Font3D_;
};
