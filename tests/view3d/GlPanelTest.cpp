// The GL panel alone: a context that cannot be had.
#include "support/TestMain.h"
#include "support/TestTable.h"
#include "view3d/GlPanel.h"

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
}  // namespace

class GlPanelTest : public QObject {
    Q_OBJECT
private slots:
    void failedContextRaisesErrorOnly_data() { QVERIFY(AddTableRows("view3d/failed-contexts.table")); }
    void failedContextRaisesErrorOnly()
    {
        QFETCH(bool, openVg);
        QFETCH(bool, coreProfile);
        TPanelWindow w;
        QSurfaceFormat bad = TOpenGLQelPanel::RequestedFormat();
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
};

TORVANE_TEST(GlPanelTest)
#include "GlPanelTest.moc"
