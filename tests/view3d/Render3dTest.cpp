// The 3D painter and the render command with a real GL context under Xvfb.
#include "app/CommandLine.h"
#include "view3d/OffscreenGl.h"
#include "view3d/View3d.h"
#include "support/P3dBuilder.h"
#include "support/TestMain.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QOpenGLContext>
#include <cmath>

#include <GL/gl.h>

namespace {
int Run(const QTemporaryDir& home, const QStringList& args, QString* errText = nullptr)
{
    QString out, err;
    QTextStream o(&out), e(&err);
    const int rc = RunCommand(TCommandLine::Parse(QStringList{"--home", home.path()} + args), o, e);
    e.flush();
    if (errText)
        *errText = err;
    return rc;
}
}  // namespace

class Render3dTest : public QObject {
    Q_OBJECT
private slots:
    // A view without height (or width) gets a finite projection; a paint without a
    // current context draws nothing and does not crash.
    void degenerateSizesAndNoContext_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("viewportW");
        QTest::addColumn<int>("viewportH");
        QTest::newRow("no height") << 64 << 0 << 64 << 1;
        QTest::newRow("no width") << 0 << 48 << 1 << 48;
        QTest::newRow("nothing") << 0 << 0 << 1 << 1;
    }
    void degenerateSizesAndNoContext()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, viewportW);
        QFETCH(int, viewportH);
        TOffscreenGl gl;
        QString error;
        QVERIFY2(gl.Create(8, 8, &error), qPrintable(error));
        Gl3dInit();
        Gl3dResize(w, h);
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        QCOMPARE(QList<int>({viewport[2], viewport[3]}), QList<int>({viewportW, viewportH}));
        GLfloat projection[16] = {};
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        for (GLfloat v : projection)
            QVERIFY(std::isfinite(v));
        T3dScene scene;
        Gl3dPaint(TViewCamera{}, T3dPaintOptions{}, scene);
        QCOMPARE(glGetError(), GLenum(GL_NO_ERROR));
        QOpenGLContext::currentContext()->doneCurrent();
        Gl3dPaint(TViewCamera{}, T3dPaintOptions{}, scene);  // no context: returns at once
        QVERIFY(!QOpenGLContext::currentContext());
    }

    // The 3D view as the window paints it, lit and opaque; in the picture of all four it
    // fills the bottom right quarter, and the front view the top left one.
    void threeDViewAndAllFour()
    {
        QTemporaryDir home;
        TP3dBuilder b;
        b.AddSelection("box", b.AddBox(-0.5f, 0, -0.5f, 0.5f, 1, 0.5f));
        QVERIFY(b.WriteTo(home.filePath("box.p3d")));
        QFile ini(home.filePath("TorvaneAnim.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write("[Startup]\n3DLight=0\n3DTranparent=0\n") > 0);
        ini.close();
        const auto render = [&](const char* view, const char* size, const char* out) {
            QString err;
            const int rc = Run(home, {"render", home.filePath("box.p3d"), "--view", view, "--size", size, "-o", home.filePath(out)}, &err);
            return rc == 0 && err.isEmpty() ? QImage(home.filePath(out)).convertToFormat(QImage::Format_RGB32) : QImage();
        };
        const QImage view3d = render("3d", "201x151", "3d.png"), all = render("all", "401x301", "all.png");
        QCOMPARE(view3d.size(), QSize(201, 151));
        QCOMPARE(all.size(), QSize(401, 301));
        QCOMPARE(view3d.pixel(0, 0), qRgb(0, 0, 0));  // opaque black above the grid
        const QRgb centre = view3d.pixel(100, 75);  // the box, white by default, lit
        QVERIFY(qRed(centre) > 60 && qRed(centre) == qGreen(centre) && qGreen(centre) == qBlue(centre));
        QCOMPARE(all.copy(200, 150, 201, 151), view3d);
        int lit = 0;
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x)
                lit += (all.pixel(x, y) & 0xFFFFFF) != 0;
        QVERIFY(lit > 50);
    }
};

TORVANE_TEST(Render3dTest)
#include "Render3dTest.moc"
