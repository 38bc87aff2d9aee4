// The 3D panel inside the main window: a real GL context under Xvfb.
#include "app/Main.h"
#include "support/ScriptedDialogs.h"
#include "support/TestMain.h"
#include "view3d/Topenglqelpanel.h"

#include <QOpenGLContext>
#include <QTemporaryDir>
#include <QTest>

class MainWindow3dTest : public QObject {
    Q_OBJECT
private slots:
    void panelPaintsTheClearColour()
    {
        QTemporaryDir home;
        ScriptedDialogs dialogs;
        TMainForm form(TAppPaths::FromHome(home.path()));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.P_3dView);
        QTRY_VERIFY(form.P_3dView->context() && form.P_3dView->context()->isValid());
        QVERIFY2(form.P_3dView->ErrorText().isEmpty(), qPrintable(form.P_3dView->ErrorText()));
        const QImage img = form.P_3dView->grabFramebuffer();
        QCOMPARE(img.size(), form.P_3dView->size() * form.P_3dView->devicePixelRatio());
        const QPoint middle(img.width() / 2, img.height() / 2);
        const QColor c = img.pixelColor(middle);
        QCOMPARE(qRgb(c.red(), c.green(), c.blue()), qRgb(0, 0, 0));
        if (img.hasAlphaChannel())
            QVERIFY2(qAbs(c.alpha() - 128) <= 1, qPrintable(QString::number(c.alpha())));
        QVERIFY(dialogs.Messages.isEmpty());
    }
};

TORVANE_TEST(MainWindow3dTest)
#include "MainWindow3dTest.moc"
