// The panel's facilities that the editor never calls: display-list fonts and text,
// printing, saving the picture to a file and loading BMP/TGA textures. They are kept for
// owners that want them, apart from the panel the program uses.
#include "view3d/Topenglqelpanel.h"

#include "platform/AtomicFileDevice.h"
#include "platform/FileUtil.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImageWriter>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <deque>

#include <GL/gl.h>
#include <GL/glu.h>

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
