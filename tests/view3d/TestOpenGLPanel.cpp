#include "support/TestMain.h"
#include "view3d/Topenglqelpanel.h"

#include <QBuffer>
#include <QOpenGLContext>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <GL/gl.h>

using F = TPFDFlags;
Q_DECLARE_METATYPE(TPFDFlagSet)
Q_DECLARE_METATYPE(TOpenGLPrintScale)

namespace {
// A panel alone in a shown top-level window, with its events counted.
struct TPanelWindow {
    QWidget Top;
    TOpenGLQelPanel* Panel;
    QStringList Events;
    int Errors = 0;
    bool CurrentEachTime = true;

    explicit TPanelWindow(QSize size = QSize(64, 48))
    {
        auto* layout = new QVBoxLayout(&Top);
        layout->setContentsMargins(0, 0, 0, 0);
        Panel = new TOpenGLQelPanel(&Top);
        layout->addWidget(Panel);
        Top.resize(size);
        auto note = [this](const char* what) {
            return [this, what](TOpenGLQelPanel* p) {
                Events << QString::fromLatin1(what);
                if (!p->context() || QOpenGLContext::currentContext() != p->context())
                    CurrentEachTime = false;
            };
        };
        Panel->OnInit = note("init");
        Panel->OnResize = note("resize");
        Panel->OnPaint = note("paint");
        Panel->OnError = [this](TOpenGLQelPanel*) { ++Errors; };
    }
    bool Show()
    {
        Top.show();
        return QTest::qWaitForWindowExposed(&Top);
    }
    void PaintWith(std::function<void()> draw)
    {
        Panel->OnPaint = [draw](TOpenGLQelPanel*) { draw(); };
    }
};

void Clear(float r, float g, float b, float a = 1.0f)
{
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

bool Near(QRgb c, int r, int g, int b)
{
    return std::abs(qRed(c) - r) <= 2 && std::abs(qGreen(c) - g) <= 2 && std::abs(qBlue(c) - b) <= 2;
}

int CountNot(const QImage& img, QRgb background)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += (img.pixel(x, y) & 0xFFFFFF) != (background & 0xFFFFFF);
    return n;
}

// TGA file: header, id field, optional colour map, then pixels given as 0xAARRGGBB
// in file order (BGR or BGRA bytes).
QByteArray MakeTga(int type, int bits, int width, int height, int descriptor, const QList<QRgb>& pixels,
                   int idLength = 0, int mapLength = 0)
{
    QByteArray b;
    auto u8 = [&](int v) { b.append(char(v & 0xFF)); };
    auto u16 = [&](int v) { u8(v); u8(v >> 8); };
    u8(idLength);
    u8(mapLength ? 1 : 0);
    u8(type);
    u16(0);
    u16(mapLength);
    u8(mapLength ? 24 : 0);
    u16(0);
    u16(0);
    u16(width);
    u16(height);
    u8(bits);
    u8(descriptor);
    b.append(QByteArray(idLength, 'i'));
    b.append(QByteArray(mapLength * 3, 'm'));
    for (QRgb p : pixels) {
        u8(qBlue(p));
        u8(qGreen(p));
        u8(qRed(p));
        if (bits == 32)
            u8(qAlpha(p));
    }
    return b;
}
}  // namespace

class TestOpenGLPanel : public QObject {
    Q_OBJECT
private slots:
    void lifecycleOrderAndCurrentContext()
    {
        TPanelWindow w;
        QVERIFY(w.Show());
        QTRY_VERIFY(w.Events.contains("paint"));
        QCOMPARE(w.Events.count("init"), 1);
        QCOMPARE(w.Events.first(), QString("init"));
        QVERIFY(w.Events.indexOf("resize") > 0);
        QVERIFY(w.Events.indexOf("resize") < w.Events.indexOf("paint"));
        QVERIFY(w.CurrentEachTime);
        QCOMPARE(w.Errors, 0);
        QVERIFY(w.Panel->ErrorText().isEmpty());
        QVERIFY(w.Panel->ContextCreated());
        QVERIFY(w.Panel->DoubleBuffered());
        QCOMPARE(w.Panel->context()->format().profile(), QSurfaceFormat::CompatibilityProfile);
        QVERIFY(w.Panel->context()->format().depthBufferSize() > 0);

        // A resize raises OnResize again, and no second OnInit.
        w.Events.clear();
        w.Top.resize(80, 60);
        QTRY_VERIFY(w.Events.contains("resize"));
        QVERIFY(!w.Events.contains("init"));
        QVERIFY(w.CurrentEachTime);
    }

    void paintReadsBack_data()
    {
        QTest::addColumn<float>("r");
        QTest::addColumn<float>("g");
        QTest::addColumn<float>("b");
        QTest::addColumn<float>("a");
        QTest::newRow("3d view clear colour") << 0.0f << 0.0f << 0.0f << 0.5f;
        QTest::newRow("mixed") << 0.2f << 0.4f << 0.6f << 1.0f;
        QTest::newRow("white") << 1.0f << 1.0f << 1.0f << 1.0f;
    }
    void paintReadsBack()
    {
        QFETCH(float, r);
        QFETCH(float, g);
        QFETCH(float, b);
        QFETCH(float, a);
        TPanelWindow w;
        w.PaintWith([=] { Clear(r, g, b, a); });
        QVERIFY(w.Show());
        const QImage img = w.Panel->grabFramebuffer();
        QCOMPARE(img.size(), QSize(w.Panel->GLWidth(), w.Panel->GLHeight()));
        for (QPoint p : {QPoint(0, 0), QPoint(img.width() - 1, img.height() - 1), QPoint(img.width() / 2, 7)})
            QVERIFY2(Near(img.pixel(p), qRound(r * 255), qRound(g * 255), qRound(b * 255)),
                     qPrintable(QString::number(img.pixel(p), 16)));
    }

    void failedContextRaisesErrorOnly_data()
    {
        QTest::addColumn<int>("renderable");
        QTest::addColumn<int>("profile");
        // Nothing here renders OpenVG, so no context comes about at all.
        QTest::newRow("no context") << int(QSurfaceFormat::OpenVG) << int(QSurfaceFormat::CompatibilityProfile);
        // A context without the fixed-function pipeline is of no use to the owner.
        QTest::newRow("core profile only") << int(QSurfaceFormat::OpenGL) << int(QSurfaceFormat::CoreProfile);
    }
    void failedContextRaisesErrorOnly()
    {
        QFETCH(int, renderable);
        QFETCH(int, profile);
        TPanelWindow w;
        QSurfaceFormat bad = w.Panel->RequestedFormat();
        bad.setRenderableType(QSurfaceFormat::RenderableType(renderable));
        bad.setProfile(QSurfaceFormat::OpenGLContextProfile(profile));
        bad.setVersion(3, 2);
        w.Panel->setFormat(bad);
        QVERIFY(w.Show());
        QTRY_COMPARE(w.Errors, 1);
        QCOMPARE(w.Panel->ErrorText(), QString("Open GL Context Create Failed"));
        w.Panel->update();
        QTest::qWait(50);
        QVERIFY(!w.Events.contains("init"));
        QVERIFY(!w.Events.contains("paint"));
        QCOMPARE(w.Errors, 1);
        QVERIFY(!w.Panel->ContextCreated());
        QVERIFY(!w.Panel->SaveOpenGLPanelToFile(QDir::temp().filePath("never.png")));
        QVERIFY(w.Panel->ErrorText().startsWith("SaveOpenGLPanelToFile:"));
    }

    void pfdFlagsKeepGdiOrDoubleBuffer_data()
    {
        QTest::addColumn<TPFDFlagSet>("before");
        QTest::addColumn<TPFDFlagSet>("asked");
        QTest::addColumn<TPFDFlagSet>("expected");
        const TPFDFlagSet dbl{F::f_PFD_DRAW_TO_WINDOW, F::f_PFD_SUPPORT_OPENGL, F::f_PFD_DOUBLEBUFFER};
        const TPFDFlagSet gdi{F::f_PFD_DRAW_TO_WINDOW, F::f_PFD_SUPPORT_OPENGL, F::f_PFD_SUPPORT_GDI};
        const TPFDFlagSet both = TPFDFlagSet(dbl).Include(F::f_PFD_SUPPORT_GDI);
        const TPFDFlagSet neither = TPFDFlagSet(dbl).Exclude(F::f_PFD_DOUBLEBUFFER);
        QTest::newRow("double buffer, add gdi") << dbl << both << gdi;
        QTest::newRow("gdi, add double buffer") << gdi << both << dbl;
        QTest::newRow("double buffer, clear it") << dbl << neither << gdi;
        QTest::newRow("gdi, clear it") << gdi << neither << dbl;
        QTest::newRow("switch over directly") << dbl << gdi << gdi;
        QTest::newRow("other flags kept") << dbl << TPFDFlagSet(both).Include(F::f_PFD_STEREO)
                                          << TPFDFlagSet(gdi).Include(F::f_PFD_STEREO);
        QTest::newRow("only double buffer") << gdi << TPFDFlagSet{F::f_PFD_DOUBLEBUFFER}
                                            << TPFDFlagSet{F::f_PFD_DOUBLEBUFFER};
        QTest::newRow("empty after double buffer") << dbl << TPFDFlagSet{} << TPFDFlagSet{F::f_PFD_SUPPORT_GDI};
    }
    void pfdFlagsKeepGdiOrDoubleBuffer()
    {
        QFETCH(TPFDFlagSet, before);
        QFETCH(TPFDFlagSet, asked);
        QFETCH(TPFDFlagSet, expected);
        TOpenGLQelPanel panel;
        panel.SetPFDFlags(before);
        QCOMPARE(panel.PFDFlags().Bits(), before.Bits());
        panel.SetPFDFlags(asked);
        QCOMPARE(panel.PFDFlags().Bits(), expected.Bits());
        const bool single = expected.Has(F::f_PFD_SUPPORT_GDI);
        QCOMPARE(panel.format().swapBehavior(),
                 single ? QSurfaceFormat::SingleBuffer : QSurfaceFormat::DoubleBuffer);
    }

    void queryExtensionIsExactWord()
    {
        TPanelWindow w;
        QVERIFY(w.Show());
        QTRY_VERIFY(w.Panel->ContextCreated());
        const QList<QByteArray> all = w.Panel->context()->extensions().values();
        QVERIFY(!all.isEmpty());
        // A name whose prefix is not itself an extension.
        QString name;
        for (const QByteArray& e : all)
            if (!w.Panel->context()->extensions().contains(e.chopped(1))) {
                name = QString::fromLatin1(e);
                break;
            }
        QVERIFY(!name.isEmpty());
        QVERIFY(w.Panel->QueryOpenGLExtention(name));
        QVERIFY(!w.Panel->QueryOpenGLExtention(name.chopped(1)));
        QVERIFY(!w.Panel->QueryOpenGLExtention(name + "X"));
        QVERIFY(!w.Panel->QueryOpenGLExtention(name.toLower() == name ? name.toUpper() : name.toLower()));
        QVERIFY(!w.Panel->QueryOpenGLExtention(name + " " + name));
        QVERIFY(!w.Panel->QueryOpenGLExtention(QString()));
        QVERIFY(!w.Panel->QueryOpenGLExtention("GL_"));
    }

    void draw2DTextOnlyInRange_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("printable") << 32 << 96 << "Hi there" << true;
        QTest::newRow("last of range") << 65 << 26 << "ZZZ" << true;
        QTest::newRow("one past the range") << 65 << 26 << "AB[" << false;
        QTest::newRow("one before the range") << 66 << 25 << "BA" << false;
        QTest::newRow("accented letter") << 32 << 96 << QString("Hello\u00E9") << false;
        QTest::newRow("control character") << 32 << 96 << "Hi\tthere" << false;
    }
    void draw2DTextOnlyInRange()
    {
        QFETCH(int, first);
        QFETCH(int, count);
        QFETCH(QString, text);
        QFETCH(bool, drawn);
        QFont font("DejaVu Sans");
        font.setPixelSize(14);
        const auto rec = TOpenGLQelPanel::Create2DFont(font, first, count);
        QVERIFY(rec);
        TPanelWindow w(QSize(160, 40));
        w.Panel->OnPaint = [&](TOpenGLQelPanel* p) {
            Clear(0, 0, 0);
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            glColor4f(1, 1, 0, 1);
            glRasterPos2f(-0.9f, -0.3f);
            p->Draw2DText(text, rec.get());
        };
        QVERIFY(w.Show());
        const QImage img = w.Panel->grabFramebuffer();
        const int changed = CountNot(img, qRgb(0, 0, 0));
        if (drawn)
            QVERIFY2(changed > 20, qPrintable(QString::number(changed)));
        else
            QCOMPARE(changed, 0);
    }

    void fontsAreRefusedWithoutCharacters()
    {
        QVERIFY(!TOpenGLQelPanel::Create2DFont(QFont(), 32, 0));
        QVERIFY(!TOpenGLQelPanel::Create2DFont(QFont(), -1, 10));
        QVERIFY(!TOpenGLQelPanel::Create3DFont(QFont(), 0xFFF0, TFont3DFormat::f_WGL_FONT_LINES, 0.1f, 1, 100));
    }

    void text3DSizeAndDrawing()
    {
        QFont font("DejaVu Sans");
        const auto rec = TOpenGLQelPanel::Create3DFont(font, 32, TFont3DFormat::f_WGL_FONT_POLYGONS, 0.25f, 1, 96);
        QVERIFY(rec);
        TOpenGLQelPanel panel;
        const auto a = panel.Get3DTextSize("A", rec.get());
        const auto ab = panel.Get3DTextSize("AB", rec.get());
        const auto wide = panel.Get3DTextSize("WWW", rec.get());
        const auto outside = panel.Get3DTextSize("A\u00E9", rec.get());
        // One em is one unit: a capital is a good part of it, and never more than two.
        QVERIFY(a[0] > 0.3 && a[0] < 2 && a[1] > 0.3 && a[1] < 2);
        QCOMPARE(a[2], 0.25);
        QVERIFY(ab[0] > a[0]);
        QVERIFY(wide[0] > 2 * a[0]);
        QCOMPARE(ab[2], 0.25);
        QCOMPARE(outside, (std::array<double, 3>{0, 0, 0}));
        QCOMPARE(panel.Get3DTextSize("A"), (std::array<double, 3>{0, 0, 0}));  // no own font

        for (TFont3DFormat format : {TFont3DFormat::f_WGL_FONT_POLYGONS, TFont3DFormat::f_WGL_FONT_LINES}) {
            TPanelWindow w(QSize(120, 60));
            w.Panel->Font3D_Enabled = true;
            w.Panel->Font3D_Type = font;
            w.Panel->Font3D_Format = format;
            QString text = "Ab";
            w.Panel->OnPaint = [&](TOpenGLQelPanel* p) {
                Clear(0, 0, 0);
                glMatrixMode(GL_PROJECTION);
                glLoadIdentity();
                glOrtho(-0.1, 1.9, -0.4, 1.1, -2, 2);
                glMatrixMode(GL_MODELVIEW);
                glLoadIdentity();
                glColor3f(1, 1, 1);
                p->Draw3DText(text);
            };
            QVERIFY(w.Show());
            QVERIFY(w.Panel->OpenGLQelFont3D());
            QVERIFY(CountNot(w.Panel->grabFramebuffer(), qRgb(0, 0, 0)) > 30);
            text = "A\u00E9";
            QCOMPARE(CountNot(w.Panel->grabFramebuffer(), qRgb(0, 0, 0)), 0);
        }
    }

    void fpsMeasuredOnlyWhenEnabled()
    {
        TPanelWindow w;
        w.PaintWith([] { Clear(0, 0, 1); });
        QVERIFY(w.Show());
        w.Panel->grabFramebuffer();
        QCOMPARE(w.Panel->Fps(), 0);
        w.Panel->Fps_Enabled = true;
        w.Panel->grabFramebuffer();
        QVERIFY(w.Panel->Fps() > 0);
    }

    void manualSwap_data()
    {
        QTest::addColumn<bool>("singleBuffered");
        QTest::addColumn<bool>("swapInPaint");
        QTest::addColumn<bool>("expectNew");
        QTest::newRow("no swap keeps the old picture") << false << false << false;
        QTest::newRow("swap shows the new one") << false << true << true;
        QTest::newRow("single buffered draws straight") << true << false << true;
    }
    void manualSwap()
    {
        QFETCH(bool, singleBuffered);
        QFETCH(bool, swapInPaint);
        QFETCH(bool, expectNew);
        TPanelWindow w;
        if (singleBuffered)
            w.Panel->SetPFDFlags({F::f_PFD_DRAW_TO_WINDOW, F::f_PFD_SUPPORT_OPENGL, F::f_PFD_SUPPORT_GDI});
        w.PaintWith([] { Clear(0, 1, 0); });
        QVERIFY(w.Show());
        QVERIFY(Near(w.Panel->grabFramebuffer().pixel(5, 5), 0, 255, 0));
        w.Panel->GLSwapBuffers = TOpenGLSwapBuffers::Manual;
        w.Panel->OnPaint = [&](TOpenGLQelPanel* p) {
            Clear(1, 0, 0);
            if (swapInPaint)
                p->SwapBuffers();
        };
        const QRgb c = w.Panel->grabFramebuffer().pixel(5, 5);
        QVERIFY2(expectNew ? Near(c, 255, 0, 0) : Near(c, 0, 255, 0), qPrintable(QString::number(c, 16)));
    }

    void manualSwapOutsidePaint()
    {
        TPanelWindow w;
        w.PaintWith([] { Clear(0, 1, 0); });
        QVERIFY(w.Show());
        w.Panel->GLSwapBuffers = TOpenGLSwapBuffers::Manual;
        w.PaintWith([] { Clear(0, 0, 1); });  // lands in the back buffer only
        QVERIFY(Near(w.Panel->grabFramebuffer().pixel(3, 3), 0, 255, 0));
        QVERIFY(w.Panel->MakeOpenGLPanelCurrent());
        w.Panel->SwapBuffers();
        // The swap presents without raising OnPaint again.
        int paints = 0;
        w.Panel->OnPaint = [&](TOpenGLQelPanel*) { ++paints; };
        QVERIFY(Near(w.Panel->grabFramebuffer().pixel(3, 3), 0, 0, 255));
        QCOMPARE(paints, 0);
    }

    void saveToFileWritesTheImage()
    {
        QTemporaryDir dir;
        TPanelWindow w(QSize(70, 50));
        w.PaintWith([] { Clear(1, 0, 1); });
        QVERIFY(w.Show());
        const QString png = dir.filePath("shot.png");
        QVERIFY(w.Panel->SaveOpenGLPanelToFile(png));
        const QImage img(png);
        QCOMPARE(img.size(), QSize(w.Panel->GLWidth(), w.Panel->GLHeight()));
        QVERIFY(Near(img.pixel(img.width() - 1, 0), 255, 0, 255));

        QVERIFY(!w.Panel->SaveOpenGLPanelToFile(dir.filePath("shot.nope")));
        QVERIFY(w.Panel->ErrorText().startsWith("SaveOpenGLPanelToFile:"));
        QCOMPARE(w.Errors, 1);
        QVERIFY(!w.Panel->SaveOpenGLPanelToFile(dir.filePath("missing/shot.png")));
        QCOMPARE(w.Errors, 2);
    }

    void printScales_data()
    {
        QTest::addColumn<TOpenGLPrintScale>("scale");
        QTest::addColumn<QRect>("expected");  // where the picture lands on a 300 x 100 page
        // The panel is 40 x 20 pixels; the page's device says 96 dpi.
        QTest::newRow("none, same dpi") << TOpenGLPrintScale::pglNone << QRect(0, 0, 40, 20);
        QTest::newRow("fit stretches") << TOpenGLPrintScale::pglPrintToFit << QRect(0, 0, 300, 100);
        QTest::newRow("proportional centres") << TOpenGLPrintScale::pglProportional << QRect(50, 0, 200, 100);
    }
    void printScales()
    {
        QFETCH(TOpenGLPrintScale, scale);
        QFETCH(QRect, expected);
        TPanelWindow w(QSize(40, 20));
        w.PaintWith([] { Clear(1, 0, 0); });
        QVERIFY(w.Show());
        QCOMPARE(w.Panel->size(), QSize(40, 20));
        w.Panel->PrintScale = scale;
        QImage page(300, 100, QImage::Format_RGB32);
        page.setDotsPerMeterX(3780);  // 96 dpi
        page.setDotsPerMeterY(3780);
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            QVERIFY(w.Panel->PrinTOpenGLQelPanel(painter, page.rect()));
        }
        for (int y = 1; y < page.height(); y += 7)
            for (int x = 1; x < page.width(); x += 7) {
                const QRect inner = expected.adjusted(1, 1, -1, -1), outer = expected.adjusted(-1, -1, 1, 1);
                if (inner.contains(x, y))
                    QVERIFY2(Near(page.pixel(x, y), 255, 0, 0), qPrintable(QString("%1,%2").arg(x).arg(y)));
                else if (!outer.contains(x, y))
                    QVERIFY2(Near(page.pixel(x, y), 255, 255, 255), qPrintable(QString("%1,%2").arg(x).arg(y)));
            }
    }

    void readTga_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QList<QRgb>>("topDownPixels");  // expected, row by row from the top
        const QRgb r = qRgb(255, 0, 0), g = qRgb(0, 255, 0), b = qRgb(0, 0, 255), k = qRgba(10, 20, 30, 40);
        // 2 x 2 images; file rows go bottom-up unless descriptor bit 5 is set.
        QTest::newRow("24 bit bottom-up") << MakeTga(2, 24, 2, 2, 0, {r, g, b, k}) << QString()
                                          << QList<QRgb>{b, qRgb(10, 20, 30), r, g};
        QTest::newRow("32 bit top-down with alpha") << MakeTga(2, 32, 2, 2, 0x28, {r, g, b, k}) << QString()
                                                    << QList<QRgb>{r, g, b, k};
        QTest::newRow("right to left") << MakeTga(2, 24, 2, 2, 0x30, {r, g, b, k}) << QString()
                                       << QList<QRgb>{g, r, qRgb(10, 20, 30), b};
        QTest::newRow("id field and colour map skipped") << MakeTga(2, 24, 2, 2, 0x20, {r, g, b, k}, 5, 4)
                                                         << QString() << QList<QRgb>{r, g, b, qRgb(10, 20, 30)};
        QTest::newRow("one pixel short") << MakeTga(2, 24, 2, 2, 0, {r, g, b, k}).chopped(1)
                                         << "file too short for its image" << QList<QRgb>{};
        QTest::newRow("huge size, few bytes") << MakeTga(2, 32, 65535, 65535, 0, {r})
                                              << "file too short for its image" << QList<QRgb>{};
        QByteArray bigMap = MakeTga(2, 24, 1, 1, 0, {r});
        bigMap[1] = 1;  // a colour map of 65535 entries that the file does not hold
        bigMap[5] = bigMap[6] = char(0xFF);
        bigMap[7] = 24;
        QTest::newRow("colour map past the end") << bigMap << "file too short for its image" << QList<QRgb>{};
        QTest::newRow("run-length coded")
            << MakeTga(10, 24, 2, 2, 0, {r, g, b, k})
            << "only uncompressed 24 or 32 bit true-colour TGA images are supported" << QList<QRgb>{};
        QTest::newRow("16 bit") << MakeTga(2, 16, 2, 2, 0, {})
                                << "only uncompressed 24 or 32 bit true-colour TGA images are supported"
                                << QList<QRgb>{};
        QTest::newRow("empty") << MakeTga(2, 24, 0, 2, 0, {}) << "empty image" << QList<QRgb>{};
        QTest::newRow("header cut") << QByteArray(17, '\0') << "file too short for a TGA header" << QList<QRgb>{};
    }
    void readTga()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QFETCH(QList<QRgb>, topDownPixels);
        QImage img;
        QCOMPARE(TOpenGLQelPanel::ReadTGA(bytes, img), error);
        if (!error.isEmpty()) {
            QVERIFY(img.isNull());
            return;
        }
        QCOMPARE(img.size(), QSize(2, 2));
        QList<QRgb> got;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                got << img.pixel(x, y);
        QCOMPARE(got, topDownPixels);
    }

    void loadTgaAndBmpFromFiles()
    {
        QTemporaryDir dir;
        TPanelWindow w;
        QVERIFY(w.Show());
        QTRY_VERIFY(w.Panel->ContextCreated());

        const QString tga = dir.filePath("t.tga");
        {
            QFile f(tga);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(MakeTga(2, 24, 1, 2, 0, {qRgb(1, 2, 3), qRgb(4, 5, 6)}));
        }
        QImage img;
        QVERIFY(w.Panel->LoadTGA(tga, img));
        QCOMPARE(img.pixel(0, 0), qRgb(4, 5, 6));
        QVERIFY(!w.Panel->LoadTGA(dir.filePath("none.tga"), img));
        QVERIFY(w.Panel->ErrorText().startsWith("LoadTGA: "));
        QCOMPARE(w.Errors, 1);

        // 3 x 2 picture, top row red green blue, bottom row white black grey.
        QImage bmp(3, 2, QImage::Format_RGB32);
        const QList<QRgb> colours{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                  qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(128, 128, 128)};
        for (int i = 0; i < 6; ++i)
            bmp.setPixel(i % 3, i / 3, colours[i]);
        const QString bmpFile = dir.filePath("t.bmp");
        QVERIFY(bmp.save(bmpFile, "BMP"));
        const unsigned tex = w.Panel->LoadBMPTexture(bmpFile);
        QVERIFY(tex != 0);
        QVERIFY(w.Panel->MakeOpenGLPanelCurrent());
        glBindTexture(GL_TEXTURE_2D, tex);
        GLint tw = 0, th = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &tw);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &th);
        QCOMPARE(QSize(tw, th), QSize(3, 2));
        std::vector<unsigned char> texels(3 * 2 * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        // GL's first row is the picture's bottom row.
        for (int i = 0; i < 6; ++i) {
            const int row = 1 - i / 3, col = i % 3;
            const unsigned char* t = &texels[size_t((row * 3 + col) * 4)];
            QCOMPARE(qRgb(t[0], t[1], t[2]), colours[i]);
        }
        glDeleteTextures(1, &tex);
        QCOMPARE(w.Panel->LoadBMPTexture(dir.filePath("none.bmp")), 0u);
        QVERIFY(w.Panel->ErrorText().startsWith("LoadBMPTexture: "));
    }

    void mouseEventsCarryButtonModifiersAndPosition()
    {
        TPanelWindow w;
        QList<std::pair<QString, TPanelMouse>> got;
        auto note = [&got](const char* what) {
            return [&got, what](TOpenGLQelPanel*, const TPanelMouse& m) { got.append({QString(what), m}); };
        };
        w.Panel->OnMouseDown = note("down");
        w.Panel->OnMouseMove = note("move");
        w.Panel->OnMouseUp = note("up");
        QVERIFY(w.Show());
        QTest::mousePress(w.Panel, Qt::LeftButton, Qt::ControlModifier, QPoint(10, 12));
        QTest::mouseMove(w.Panel, QPoint(20, 30));
        QTest::mouseRelease(w.Panel, Qt::LeftButton, Qt::ControlModifier, QPoint(20, 30));
        QTest::mousePress(w.Panel, Qt::RightButton, Qt::NoModifier, QPoint(3, 4));
        QTRY_COMPARE(got.size() >= 4, true);

        QCOMPARE(got.first().first, QString("down"));
        QCOMPARE(got.first().second.Button, Qt::LeftButton);
        QCOMPARE(got.first().second.Modifiers, Qt::KeyboardModifiers(Qt::ControlModifier));
        QCOMPARE(QPoint(got.first().second.X, got.first().second.Y), QPoint(10, 12));
        const auto move = std::find_if(got.begin(), got.end(), [](const auto& e) { return e.first == "move"; });
        QVERIFY(move != got.end());
        QCOMPARE(move->second.Button, Qt::NoButton);
        QVERIFY(move->second.Buttons & Qt::LeftButton);
        QCOMPARE(QPoint(move->second.X, move->second.Y), QPoint(20, 30));
        const auto up = std::find_if(got.begin(), got.end(), [](const auto& e) { return e.first == "up"; });
        QVERIFY(up != got.end());
        QCOMPARE(up->second.Button, Qt::LeftButton);
        QCOMPARE(got.last().first, QString("down"));
        QCOMPARE(got.last().second.Button, Qt::RightButton);
        QCOMPARE(got.last().second.Modifiers, Qt::KeyboardModifiers(Qt::NoModifier));
    }

    void hintSplitsShortAndLong_data()
    {
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("status");
        QTest::newRow("long only") << "|LMB = Rotate; RMB = Pan; LMB+Ctrl = Zoom" << ""
                                   << "LMB = Rotate; RMB = Pan; LMB+Ctrl = Zoom";
        QTest::newRow("both") << "View|Drag to turn" << "View" << "Drag to turn";
        QTest::newRow("no bar") << "View" << "View" << "View";
        QTest::newRow("second bar kept") << "a|b|c" << "a" << "b|c";
    }
    void hintSplitsShortAndLong()
    {
        QFETCH(QString, hint);
        QFETCH(QString, tip);
        QFETCH(QString, status);
        TOpenGLQelPanel panel;
        panel.SetHint(hint);
        QCOMPARE(panel.Hint(), hint);
        QCOMPARE(panel.toolTip(), tip);
        QCOMPARE(panel.statusTip(), status);
    }

    void displayDepth()
    {
        TPanelWindow w;
        QVERIFY(w.Show());
        QVERIFY(w.Panel->GetDisplayBPP() >= 16);
        QVERIFY(!w.Panel->SetDisplayBPP(16));
    }
};

TORVANE_TEST(TestOpenGLPanel)
#include "TestOpenGLPanel.moc"
