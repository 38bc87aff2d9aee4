#include "view3d/Topenglqelpanel.h"

#include "platform/AtomicFileDevice.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImageWriter>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <climits>
#include <deque>

#include <GL/gl.h>
#include <GL/glu.h>

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

// ---- fonts ----------------------------------------------------------------------------

namespace {
constexpr int MaxCharCode = 0xFFFF;

bool FontRangeValid(int first, int count)
{
    return first >= 0 && count >= 1 && first <= MaxCharCode - (count - 1);
}

template <class Font>
bool InRange(const QString& text, const Font& f)
{
    for (QChar c : text) {
        const int code = c.unicode();
        if (code < f.First || code > f.First + f.Count - 1)
            return false;
    }
    return true;
}
}  // namespace

std::unique_ptr<TOpenGLQelFont2D> TOpenGLQelPanel::Create2DFont(const QFont& font, int first, int count)
{
    if (!FontRangeValid(first, count))
        return nullptr;
    auto f = std::make_unique<TOpenGLQelFont2D>();
    f->Font = font;
    f->First = first;
    f->Count = count;
    return f;
}

std::unique_ptr<TOpenGLQelFont3D> TOpenGLQelPanel::Create3DFont(const QFont& font, int first, TFont3DFormat format,
                                                                float extrusion, float deviation, int count)
{
    if (!FontRangeValid(first, count))
        return nullptr;
    auto f = std::make_unique<TOpenGLQelFont3D>();
    f->Font = font;
    f->First = first;
    f->Count = count;
    f->Format = format;
    f->Extrusion = extrusion;
    f->Deviation = deviation;
    // Outlines are taken at a large size and scaled to one em, y up.
    constexpr double em = 256.0;
    QFont big(font);
    big.setPixelSize(int(em));
    const QFontMetricsF fm(big);
    const QTransform toEm = QTransform::fromScale(1.0 / em, -1.0 / em);
    f->Metrics.resize(size_t(count));
    f->Outlines.resize(size_t(count));
    for (int i = 0; i < count; ++i) {
        const QChar c(char16_t(first + i));
        QPainterPath path;
        path.addText(0, 0, big, QString(c));
        const QRectF box = path.boundingRect();
        TGlyphMetrics& m = f->Metrics[size_t(i)];
        m.BlackBoxX = box.width() / em;
        m.BlackBoxY = box.height() / em;
        m.CellIncX = fm.horizontalAdvance(c) / em;
        m.CellIncY = 0;
        f->Outlines[size_t(i)] = path.toSubpathPolygons(toEm);
    }
    return f;
}

void TOpenGLQelPanel::Draw2DText(const QString& text, const TOpenGLQelFont2D* font)
{
    if (!font)
        font = Font2D_.get();
    if (!font || text.isEmpty() || !InRange(text, *font) || !context())
        return;
    GLboolean valid = GL_FALSE;
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    if (!valid)
        return;
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_RASTER_COLOR, colour);

    const QFontMetrics fm(font->Font);
    const int w = std::max(1, fm.horizontalAdvance(text)), h = std::max(1, fm.height());
    QImage img(w, h, QImage::Format_RGBA8888);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setFont(font->Font);
        p.setPen(QColor::fromRgbF(colour[0], colour[1], colour[2], colour[3]));
        p.drawText(0, fm.ascent(), text);
    }
    img = img.mirrored();  // GL rows go bottom-up

    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // The raster position is on the baseline; the image starts at the descent below it.
    // A bitmap of size 0 only moves the raster position.
    glBitmap(0, 0, 0, 0, 0, GLfloat(-fm.descent()), nullptr);
    glDrawPixels(w, h, GL_RGBA, GL_UNSIGNED_BYTE, img.constBits());
    glBitmap(0, 0, 0, 0, GLfloat(w), GLfloat(fm.descent()), nullptr);
    glPopClientAttrib();
    glPopAttrib();
}

namespace {
using TessFn = _GLUfuncptr;

struct TTessStore {
    std::deque<std::array<GLdouble, 3>> Extra;  // stable addresses for combined vertices
};

void GLAPIENTRY TessCombine(const GLdouble coords[3], void*[4], const GLfloat[4], void** out, void* data)
{
    auto* store = static_cast<TTessStore*>(data);
    store->Extra.push_back({coords[0], coords[1], coords[2]});
    *out = store->Extra.back().data();
}

void GLAPIENTRY TessVertex(void* v) { glVertex3dv(static_cast<const GLdouble*>(v)); }
void GLAPIENTRY TessBegin(GLenum mode) { glBegin(mode); }
void GLAPIENTRY TessEnd() { glEnd(); }

// One face of a glyph at depth z, facing +z or -z.
void DrawGlyphFace(GLUtesselator* tess, const QList<QPolygonF>& contours, double z, double facing)
{
    std::vector<std::array<GLdouble, 3>> points;
    size_t total = 0;
    for (const QPolygonF& c : contours)
        total += size_t(c.size());
    points.reserve(total);  // gluTessVertex keeps the addresses until the polygon ends
    TTessStore store;
    glNormal3d(0, 0, facing);
    gluTessNormal(tess, 0, 0, facing);
    gluTessBeginPolygon(tess, &store);
    for (const QPolygonF& c : contours) {
        gluTessBeginContour(tess);
        for (const QPointF& p : c) {
            points.push_back({p.x(), p.y(), z});
            gluTessVertex(tess, points.back().data(), points.back().data());
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
}
}  // namespace

void TOpenGLQelPanel::Draw3DText(const QString& text, const TOpenGLQelFont3D* font)
{
    if (!font)
        font = Font3D_.get();
    if (!font || !InRange(text, *font) || !context())
        return;
    GLUtesselator* tess = nullptr;
    if (font->Format == TFont3DFormat::f_WGL_FONT_POLYGONS) {
        tess = gluNewTess();
        if (!tess)
            return;
        gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
        gluTessCallback(tess, GLU_TESS_BEGIN, reinterpret_cast<TessFn>(TessBegin));
        gluTessCallback(tess, GLU_TESS_VERTEX, reinterpret_cast<TessFn>(TessVertex));
        gluTessCallback(tess, GLU_TESS_END, reinterpret_cast<TessFn>(TessEnd));
        gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<TessFn>(TessCombine));
    }
    const double depth = font->Extrusion;
    for (QChar c : text) {
        const size_t i = size_t(c.unicode() - font->First);
        const QList<QPolygonF>& contours = font->Outlines[i];
        if (!tess) {
            for (const QPolygonF& poly : contours) {
                glBegin(GL_LINE_LOOP);
                for (const QPointF& p : poly)
                    glVertex3d(p.x(), p.y(), 0);
                glEnd();
            }
        } else {
            DrawGlyphFace(tess, contours, 0, 1);
            if (depth != 0) {
                DrawGlyphFace(tess, contours, -depth, -1);
                for (const QPolygonF& poly : contours) {
                    glBegin(GL_QUAD_STRIP);
                    for (qsizetype k = 0; k <= poly.size(); ++k) {
                        const QPointF& p = poly[k % poly.size()];
                        const QPointF& q = poly[(k + 1) % poly.size()];
                        const double dx = q.x() - p.x(), dy = q.y() - p.y();
                        const double len = std::max(std::hypot(dx, dy), 1e-12);
                        glNormal3d(dy / len, -dx / len, 0);
                        glVertex3d(p.x(), p.y(), 0);
                        glVertex3d(p.x(), p.y(), -depth);
                    }
                    glEnd();
                }
            }
        }
        // Each glyph moves the origin on by its advance, as the text is laid out.
        glTranslated(font->Metrics[i].CellIncX, font->Metrics[i].CellIncY, 0);
    }
    if (tess)
        gluDeleteTess(tess);
}

std::array<double, 3> TOpenGLQelPanel::Get3DTextSize(const QString& text, const TOpenGLQelFont3D* font) const
{
    if (!font)
        font = Font3D_.get();
    if (!font || text.isEmpty() || !InRange(text, *font))
        return {0, 0, 0};
    double x = 0, y = 0;
    for (qsizetype k = 0; k + 1 < text.size(); ++k) {
        const TGlyphMetrics& m = font->Metrics[size_t(text[k].unicode() - font->First)];
        x += m.CellIncX;
        y += m.CellIncY;
    }
    const TGlyphMetrics& last = font->Metrics[size_t(text.back().unicode() - font->First)];
    return {x + last.BlackBoxX, y + last.BlackBoxY, double(font->Extrusion)};
}

// ---- images -----------------------------------------------------------------------------

bool TOpenGLQelPanel::PrinTOpenGLQelPanel(QPainter& painter, const QRect& page)
{
    const QImage img = Created_ ? grabFramebuffer() : QImage();
    if (img.isNull()) {
        Fail(QStringLiteral("Print: Malloc Error"));
        return false;
    }
    QRectF target;
    switch (PrintScale) {
    case TOpenGLPrintScale::pglNone: {
        // Same physical size as on the screen.
        const double dpi = painter.device() ? painter.device()->logicalDpiX() : 96;
        const double k = dpi / (PixelsPerInch > 0 ? PixelsPerInch : 96);
        target = QRectF(page.topLeft(), QSizeF(img.width() * k, img.height() * k));
        break;
    }
    case TOpenGLPrintScale::pglPrintToFit:
        target = page;
        break;
    case TOpenGLPrintScale::pglProportional: {
        const QSizeF size = QSizeF(img.size()).scaled(page.size(), Qt::KeepAspectRatio);
        target = QRectF(QPointF(page.x() + (page.width() - size.width()) / 2,
                                page.y() + (page.height() - size.height()) / 2),
                        size);
        break;
    }
    }
    painter.drawImage(target, img);
    return true;
}

bool TOpenGLQelPanel::SaveOpenGLPanelToFile(const QString& fileName)
{
    const QImage img = Created_ ? grabFramebuffer() : QImage();
    if (img.isNull()) {
        Fail(QStringLiteral("SaveOpenGLPanelToFile: no picture"));
        return false;
    }
    const QByteArray format = QFileInfo(fileName).suffix().toLower().toLatin1();
    if (!QImageWriter::supportedImageFormats().contains(format)) {
        Fail(QStringLiteral("SaveOpenGLPanelToFile: unknown image format \"%1\"").arg(QString::fromLatin1(format)));
        return false;
    }
    TAtomicFileDevice file(fileName);
    const bool encoded = file.Writer().Ok() && img.save(&file, format.constData());
    if (!encoded || !file.Writer().Ok() || !file.Writer().Commit()) {
        const QString error = file.Writer().Error();
        Fail(QStringLiteral("SaveOpenGLPanelToFile: ") + (error.isEmpty() ? fileName : error));
        return false;
    }
    return true;
}

unsigned TOpenGLQelPanel::LoadBMPTexture(const QString& fileName)
{
    // Read through the regular-file check: a FIFO named here must not hang the window.
    QByteArray bytes;
    QImage img;
    if (!ReadWholeFile(fileName, bytes) || !img.loadFromData(bytes, "BMP")) {
        Fail(QStringLiteral("LoadBMPTexture: cannot read ") + fileName);
        return 0;
    }
    if (!MakeOpenGLPanelCurrent())
        return 0;
    img = img.convertToFormat(QImage::Format_RGBA8888).mirrored();  // GL rows go bottom-up
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, img.width(), img.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 img.constBits());
    glPopClientAttrib();
    return tex;
}

bool TOpenGLQelPanel::LoadTGA(const QString& fileName, QImage& image)
{
    QByteArray bytes;
    QString error;
    if (!ReadWholeFile(fileName, bytes, &error)) {
        Fail(QStringLiteral("LoadTGA: ") + error);
        return false;
    }
    error = ReadTGA(bytes, image);
    if (!error.isEmpty()) {
        Fail(QStringLiteral("LoadTGA: ") + error);
        return false;
    }
    return true;
}

QString TOpenGLQelPanel::ReadTGA(const QByteArray& bytes, QImage& image)
{
    image = QImage();
    constexpr qsizetype headerSize = 18;
    if (bytes.size() < headerSize)
        return QStringLiteral("file too short for a TGA header");
    const auto* h = reinterpret_cast<const unsigned char*>(bytes.constData());
    const int idLength = h[0], mapType = h[1], imageType = h[2];
    const int mapLength = h[5] | h[6] << 8, mapEntryBits = h[7];
    const int width = h[12] | h[13] << 8, height = h[14] | h[15] << 8;
    const int bits = h[16], descriptor = h[17];
    if (imageType != 2 || (bits != 24 && bits != 32))
        return QStringLiteral("only uncompressed 24 or 32 bit true-colour TGA images are supported");
    if (mapType > 1)
        return QStringLiteral("bad colour map type");
    if (width == 0 || height == 0)
        return QStringLiteral("empty image");
    // A colour map in a true-colour image is not used, only skipped.
    const qsizetype mapBytes = mapType == 1 ? (qsizetype(mapLength) * mapEntryBits + 7) / 8 : 0;
    const qsizetype start = headerSize + idLength + mapBytes;
    const qsizetype pixelBytes = bits / 8;
    const qsizetype need = qsizetype(width) * height * pixelBytes;
    if (start > bytes.size() || need > bytes.size() - start)
        return QStringLiteral("file too short for its image");
    QImage out(width, height, QImage::Format_ARGB32);
    if (out.isNull())
        return QStringLiteral("out of memory");
    const bool topDown = descriptor & 0x20, rightToLeft = descriptor & 0x10;
    const unsigned char* src = h + start;
    for (int row = 0; row < height; ++row) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(topDown ? row : height - 1 - row));
        for (int col = 0; col < width; ++col, src += pixelBytes) {
            const int a = pixelBytes == 4 ? src[3] : 255;
            line[rightToLeft ? width - 1 - col : col] = qRgba(src[2], src[1], src[0], a);
        }
    }
    image = out;
    return {};
}
