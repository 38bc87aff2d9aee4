// The GL panel alone: a context that cannot be had, and the TGA reader on good and broken files.
#include "support/TestMain.h"
#include "support/TestTable.h"
#include "view3d/Topenglqelpanel.h"

#include <QRegularExpression>
#include <QTest>
#include <QVBoxLayout>

namespace {
// A panel alone in a top-level window; its events and errors are noted.
struct TPanelWindow {
    QWidget Top;
    TOpenGLQelPanel* Panel = new TOpenGLQelPanel(&Top);
    QStringList Events;
    int Errors = 0;

    TPanelWindow()
    {
        (new QVBoxLayout(&Top))->setContentsMargins(0, 0, 0, 0);
        Top.layout()->addWidget(Panel);
        Top.resize(64, 48);
        using N = std::pair<TOpenGLQelPanel::TNotifyEvent*, const char*>;
        for (auto [event, name] : {N{&Panel->OnInit, "init"}, N{&Panel->OnResize, "resize"}, N{&Panel->OnPaint, "paint"}})
            *event = [this, name](TOpenGLQelPanel*) { Events << name; };
        Panel->OnError = [this](TOpenGLQelPanel*) { ++Errors; };
    }
    bool Show() { return Top.show(), QTest::qWaitForWindowExposed(&Top); }
};

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
    void failedContextRaisesErrorOnly_data() { QVERIFY(AddTableRows("view3d/failed-contexts.table")); }
    void failedContextRaisesErrorOnly()
    {
        QFETCH(bool, openVg); QFETCH(bool, coreProfile);
        TPanelWindow w;
        QSurfaceFormat bad = w.Panel->RequestedFormat();
        bad.setRenderableType(openVg ? QSurfaceFormat::OpenVG : QSurfaceFormat::OpenGL);
        bad.setProfile(coreProfile ? QSurfaceFormat::CoreProfile : QSurfaceFormat::CompatibilityProfile);
        bad.setVersion(3, 2);
        w.Panel->setFormat(bad);
        QVERIFY(w.Show());
        QTRY_COMPARE(w.Errors, 1);
        QCOMPARE(w.Panel->ErrorText(), QString("Open GL Context Create Failed"));
        w.Panel->update();
        QTest::qWait(50);
        QCOMPARE(w.Events.filter(QRegularExpression("init|paint")), QStringList());
        QCOMPARE(w.Errors, 1);  // reported once
    }

    void readTga_data() { QVERIFY(AddTableRows("view3d/tga-reads.table")); }
    void readTga()
    {
        QFETCH(QList<int>, tga); QFETCH(QList<QRgb>, pixels); QFETCH(int, cut); QFETCH(QString, error); QFETCH(QList<QRgb>, topDown);
        QByteArray bytes = MakeTga(tga[0], tga[1], tga[2], tga[3], tga[4], pixels, tga.value(5), tga.value(6));
        bytes = cut > 0 ? bytes.left(cut) : bytes.chopped(-cut);
        QImage img;
        QCOMPARE(TOpenGLQelPanel::ReadTGA(bytes, img), error);
        QCOMPARE(img.size(), error.isEmpty() ? QSize(2, 2) : QImage().size());
        for (int i = 0; i < topDown.size(); ++i)
            QCOMPARE(img.pixel(i % 2, i / 2), topDown[i]);
    }
};

TORVANE_TEST(TestOpenGLPanel)
#include "TestOpenGLPanel.moc"
