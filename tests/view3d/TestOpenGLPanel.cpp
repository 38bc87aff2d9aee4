#include "support/TestMain.h"
#include "view3d/Topenglqelpanel.h"

#include <QOpenGLContext>
#include <QRegularExpression>
#include <QTest>
#include <QVBoxLayout>

#include <GL/gl.h>

using F = TPFDFlags;
Q_DECLARE_METATYPE(TPFDFlagSet)

namespace {
// A panel alone in a top-level window; its events are noted, marked when the context was not current.
struct TPanelWindow {
    QWidget Top;
    TOpenGLQelPanel* Panel = new TOpenGLQelPanel(&Top);
    QStringList Events;
    int Errors = 0;

    explicit TPanelWindow(QSize size = QSize(64, 48), std::function<void()> draw = {})
    {
        (new QVBoxLayout(&Top))->setContentsMargins(0, 0, 0, 0);
        Top.layout()->addWidget(Panel);
        Top.resize(size);
        using N = std::pair<TOpenGLQelPanel::TNotifyEvent*, const char*>;
        for (auto [event, name] : {N{&Panel->OnInit, "init"}, N{&Panel->OnResize, "resize"}, N{&Panel->OnPaint, "paint"}})
            *event = [this, name](TOpenGLQelPanel* p) { Events << name + QString(QOpenGLContext::currentContext() == p->context() ? "" : "!"); };
        Panel->OnError = [this](TOpenGLQelPanel*) { ++Errors; };
        if (draw)
            Panel->OnPaint = [draw](TOpenGLQelPanel*) { draw(); };
    }
    bool Show() { return Top.show(), QTest::qWaitForWindowExposed(&Top); }
    QRgb Pixel(int x, int y) { return Panel->grabFramebuffer().pixel(x, y); }
    qsizetype Lit()  // pixels not black
    {
        const QImage img = Panel->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        const auto* px = reinterpret_cast<const QRgb*>(img.constBits());
        return std::count_if(px, px + img.width() * img.height(), [](QRgb c) { return (c & 0xFFFFFF) != 0; });
    }
};

void Clear(float r, float g, float b)
{
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool Near(QRgb c, QRgb want) { return std::abs(qRed(c) - qRed(want)) + std::abs(qGreen(c) - qGreen(want)) + std::abs(qBlue(c) - qBlue(want)) <= 4; }

// TGA file: header, id field, optional colour map, then pixels in file order (BGR or BGRA bytes).
QByteArray MakeTga(int type, int bits, int width, int height, int descriptor, const QList<QRgb>& pixels, int idLength = 0, int mapLength = 0)
{
    QByteArray b;
    for (int v : {idLength, mapLength ? 1 : 0, type, 0, 0, mapLength, mapLength >> 8, mapLength ? 24 : 0, 0, 0, 0, 0, width, width >> 8, height, height >> 8, bits, descriptor})
        b.append(char(v));
    b += QByteArray(idLength, 'i') + QByteArray(mapLength * 3, 'm');
    for (QRgb p : pixels)
        b += QByteArray::fromRawData(std::array<char, 4>{char(qBlue(p)), char(qGreen(p)), char(qRed(p)), char(qAlpha(p))}.data(), bits / 8);
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
        QCOMPARE(w.Events.mid(0, 2), QStringList({"init", "resize"}));
        const QSurfaceFormat got = w.Panel->context()->format();
        QVERIFY(w.Panel->DoubleBuffered() && got.profile() == QSurfaceFormat::CompatibilityProfile && got.depthBufferSize() > 0);
        const qsizetype resizes = w.Events.count("resize");
        w.Top.resize(80, 60);  // OnResize again, and no second OnInit
        QTRY_VERIFY(w.Events.count("resize") > resizes);
        QCOMPARE(w.Events.filter(QRegularExpression("init|!")), QStringList{"init"});
        QCOMPARE(w.Errors, 0);
    }

    void failedContextRaisesErrorOnly_data()
    {
        QTest::addColumn<int>("renderable");
        QTest::addColumn<int>("profile");
        // Nothing here renders OpenVG; and a context without the fixed-function pipeline is of no use.
        QTest::newRow("no context") << int(QSurfaceFormat::OpenVG) << int(QSurfaceFormat::CompatibilityProfile);
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
        QCOMPARE(w.Events.filter(QRegularExpression("init|paint")), QStringList());
        QCOMPARE(w.Errors, 1);  // reported once
        QVERIFY(!w.Panel->SaveOpenGLPanelToFile(QDir::temp().filePath("never.png")));
    }

    void pfdFlagsKeepGdiOrDoubleBuffer_data()
    {
        QTest::addColumn<TPFDFlagSet>("before");
        QTest::addColumn<TPFDFlagSet>("asked");
        QTest::addColumn<TPFDFlagSet>("expected");
        const TPFDFlagSet dbl{F::f_PFD_DRAW_TO_WINDOW, F::f_PFD_DOUBLEBUFFER}, gdi{F::f_PFD_DRAW_TO_WINDOW, F::f_PFD_SUPPORT_GDI};
        const TPFDFlagSet both = TPFDFlagSet(dbl).Include(F::f_PFD_SUPPORT_GDI), neither{F::f_PFD_DRAW_TO_WINDOW};
        QTest::newRow("double buffer, add gdi") << dbl << both << gdi;
        QTest::newRow("gdi, add double buffer") << gdi << both << dbl;
        QTest::newRow("double buffer, clear it") << dbl << neither << gdi;
        QTest::newRow("gdi, clear it") << gdi << neither << dbl;
        QTest::newRow("other flags kept") << dbl << TPFDFlagSet(both).Include(F::f_PFD_STEREO) << TPFDFlagSet(gdi).Include(F::f_PFD_STEREO);
    }
    void pfdFlagsKeepGdiOrDoubleBuffer()
    {
        QFETCH(TPFDFlagSet, before);
        QFETCH(TPFDFlagSet, asked);
        QFETCH(TPFDFlagSet, expected);
        TOpenGLQelPanel panel;
        panel.SetPFDFlags(before);
        panel.SetPFDFlags(asked);
        QCOMPARE(panel.PFDFlags().Bits(), expected.Bits());
        QCOMPARE(panel.format().swapBehavior(), expected.Has(F::f_PFD_SUPPORT_GDI) ? QSurfaceFormat::SingleBuffer : QSurfaceFormat::DoubleBuffer);
    }

    void text3DSizeAndDrawing()
    {
        QVERIFY(!TOpenGLQelPanel::Create2DFont(QFont(), 32, 0));  // fonts without characters are refused
        QVERIFY(!TOpenGLQelPanel::Create3DFont(QFont(), 0xFFF0, TFont3DFormat::f_WGL_FONT_LINES, 0.1f, 1, 100));
        const QFont font("DejaVu Sans");
        QString text;
        const auto rec3 = TOpenGLQelPanel::Create3DFont(font, 32, TFont3DFormat::f_WGL_FONT_POLYGONS, 0.25f, 1, 96);
        TOpenGLQelPanel panel;
        const auto a = panel.Get3DTextSize("A", rec3.get()), ab = panel.Get3DTextSize("AB", rec3.get());
        QVERIFY(a[0] > 0.3 && a[0] < 2 && a[1] > 0.3 && a[1] < 2 && ab[0] > a[0] && ab[2] == 0.25);  // one em is one unit
        QCOMPARE(panel.Get3DTextSize("A\u00E9", rec3.get()), (std::array<double, 3>{0, 0, 0}));
        QCOMPARE(panel.Get3DTextSize("A"), (std::array<double, 3>{0, 0, 0}));  // no font of its own
        for (TFont3DFormat format : {TFont3DFormat::f_WGL_FONT_POLYGONS, TFont3DFormat::f_WGL_FONT_LINES}) {
            TPanelWindow w3(QSize(120, 60), [&] {
                Clear(0, 0, 0);
                glOrtho(-0.1, 1.9, -0.4, 1.1, -2, 2);
                glColor3f(1, 1, 1);
                w3.Panel->Draw3DText(text);
            });
            w3.Panel->Font3D_Enabled = true;
            w3.Panel->Font3D_Type = font;
            w3.Panel->Font3D_Format = format;
            text = "Ab";
            QVERIFY(w3.Show() && w3.Lit() > 30);
            text = "A\u00E9";
            QCOMPARE(w3.Lit(), 0);
        }
    }

    void manualSwap_data()
    {
        QTest::addColumn<bool>("singleBuffered");
        QTest::addColumn<int>("swap");  // 0 never, 1 in OnPaint, 2 after it, from outside
        QTest::addColumn<bool>("expectNew");
        QTest::newRow("no swap keeps the old picture") << false << 0 << false;
        QTest::newRow("swap shows the new one") << false << 1 << true;
        QTest::newRow("swap outside paint shows it without painting again") << false << 2 << true;
        QTest::newRow("single buffered draws straight") << true << 0 << true;
    }
    void manualSwap()
    {
        QFETCH(bool, singleBuffered);
        QFETCH(int, swap);
        QFETCH(bool, expectNew);
        TPanelWindow w(QSize(64, 48), [] { Clear(0, 1, 0); });
        w.Panel->SetPFDFlags(singleBuffered ? TPFDFlagSet{F::f_PFD_DRAW_TO_WINDOW, F::f_PFD_SUPPORT_GDI} : w.Panel->PFDFlags());
        QVERIFY(w.Show() && Near(w.Pixel(5, 5), qRgb(0, 255, 0)));
        w.Panel->GLSwapBuffers = TOpenGLSwapBuffers::Manual;
        w.Panel->OnPaint = [&](TOpenGLQelPanel* p) {
            Clear(1, 0, 0);
            if (swap == 1)
                p->SwapBuffers();
        };
        QRgb c = w.Pixel(5, 5);
        if (swap == 2) {
            QVERIFY(Near(c, qRgb(0, 255, 0)) && w.Panel->MakeOpenGLPanelCurrent());
            w.Panel->SwapBuffers();
            w.Panel->OnPaint = [](TOpenGLQelPanel*) { QFAIL("painted again"); };
            c = w.Pixel(5, 5);
        }
        QVERIFY2(Near(c, expectNew ? qRgb(255, 0, 0) : qRgb(0, 255, 0)), qPrintable(QString::number(c, 16)));
    }

    void readTga_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QList<QRgb>>("topDownPixels");
        const QRgb r = qRgb(255, 0, 0), g = qRgb(0, 255, 0), b = qRgb(0, 0, 255), k = qRgba(10, 20, 30, 40), k3 = qRgb(10, 20, 30);
        const QString unsupported = "only uncompressed 24 or 32 bit true-colour TGA images are supported", cut = "file too short for its image";
        // 2 x 2 images; file rows go bottom-up unless descriptor bit 5 is set, right to left with bit 4.
        QTest::newRow("24 bit bottom-up") << MakeTga(2, 24, 2, 2, 0, {r, g, b, k}) << QString() << QList<QRgb>{b, k3, r, g};
        QTest::newRow("32 bit top-down with alpha") << MakeTga(2, 32, 2, 2, 0x28, {r, g, b, k}) << QString() << QList<QRgb>{r, g, b, k};
        QTest::newRow("right to left") << MakeTga(2, 24, 2, 2, 0x30, {r, g, b, k}) << QString() << QList<QRgb>{g, r, k3, b};
        QTest::newRow("id field and colour map skipped") << MakeTga(2, 24, 2, 2, 0x20, {r, g, b, k}, 5, 4) << QString() << QList<QRgb>{r, g, b, k3};
        QTest::newRow("one pixel short") << MakeTga(2, 24, 2, 2, 0, {r, g, b, k}).chopped(1) << cut << QList<QRgb>{};
        QTest::newRow("huge size, few bytes") << MakeTga(2, 32, 65535, 65535, 0, {r}) << cut << QList<QRgb>{};
        QTest::newRow("colour map past the end") << MakeTga(2, 24, 1, 1, 0, {}, 0, 65535).left(30) << cut << QList<QRgb>{};
        QTest::newRow("run-length coded") << MakeTga(10, 24, 2, 2, 0, {r, g, b, k}) << unsupported << QList<QRgb>{};
        QTest::newRow("16 bit") << MakeTga(2, 16, 2, 2, 0, {}) << unsupported << QList<QRgb>{};
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
        QCOMPARE(img.size(), error.isEmpty() ? QSize(2, 2) : QImage().size());
        for (int i = 0; i < topDownPixels.size(); ++i)
            QCOMPARE(img.pixel(i % 2, i / 2), topDownPixels[i]);
    }

};

TORVANE_TEST(TestOpenGLPanel)
#include "TestOpenGLPanel.moc"
