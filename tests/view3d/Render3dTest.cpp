// The 3D painter and the render command with a real GL context under Xvfb.
#include "app/CommandLine.h"
#include "view3d/OffscreenGl.h"
#include "view3d/View3d.h"
#include "filebuild/P3dBuilder.h"
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

// The picture drawn the plain way, a glBegin/glEnd pair per polygon, for comparison.
void ImmediatePaint(const TModelList& models, const std::vector<TSelection*>& tree, const std::vector<bool>& edited,
                    const T3dSceneOptions& o, const T3dPaintOptions& p)
{
    const TViewCamera c;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(c.ViewPanX, c.ViewPanY, c.ViewDistance);
    const GLfloat light[4] = {0, -10, 0, 0};
    glLightfv(GL_LIGHT1, GL_POSITION, light);
    glRotatef(c.ViewRotX, 1, 0, 0);
    glRotatef(c.ViewRotY, 0, 1, 0);
    p.Lighting ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
    p.Transparent ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
    p.Transparent ? glDisable(GL_DEPTH_TEST) : glEnable(GL_DEPTH_TEST);
    glColor4f(0.8f, 0.8f, 0, 1);
    glNormal3f(0, 0, 1);
    glBegin(GL_LINES);
    for (int i = -10; i < 10; ++i) {
        glVertex3f(float(i), 0, -10), glVertex3f(float(i), 0, 10);
    }
    for (int j = -10; j < 10; ++j) {
        glVertex3f(-10, 0, float(j)), glVertex3f(10, 0, float(j));
    }
    glEnd();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    const auto draw = [](const TP3dModell& m, const TP3dPolygon& poly) {
        glBegin(poly.VertexCount == 4 ? GL_QUADS : GL_TRIANGLES);
        for (int k = int(poly.VertexCount) - 1; k >= 0; --k) {
            const TP3dNormal& n = m.Normals[poly.Corners[k].NormalIndex];
            const TDisplayPoint& d = m.DisplayPoints[poly.Corners[k].PointIndex];
            glNormal3f(-n.X, n.Y, n.Z);
            glVertex3f(-d.X, d.Y, d.Z);
        }
        glEnd();
    };
    for (const auto& m : models) {
        glColor4f(0.8f, 0.8f, 0.8f, o.PolygonAlpha);
        for (const TP3dPolygon& poly : m->Polygons)
            if (o.AllPolygons && !poly.Hidden)
                draw(*m, poly);
    }
    for (size_t t = 0; t < tree.size(); ++t) {
        const TSelection& s = *tree[t];
        glColor4f((s.Color & 0xFF) / 256.f, ((s.Color >> 8) & 0xFF) / 256.f, ((s.Color >> 16) & 0xFF) / 256.f, edited[t] ? 0.8f : 0.2f);
        for (size_t i = 0; i < s.PolygonMembership.size(); ++i)
            if (s.PolygonMembership[i] && !s.Model->Polygons[i].Hidden)
                draw(*s.Model, s.Model->Polygons[i]);
    }
}

class Render3dTest : public QObject {
    Q_OBJECT
private slots:
    // The vertex arrays give the pixels the plain way gives, lit or flat, opaque or additive.
    void matchesImmediateMode_data()
    {
        QTest::addColumn<bool>("lighting");
        QTest::addColumn<bool>("transparent");
        QTest::newRow("lit, opaque") << true << false;
        QTest::newRow("flat, opaque") << false << false;
        QTest::newRow("lit, transparent") << true << true;
    }
    void matchesImmediateMode()
    {
        QFETCH(bool, lighting);
        QFETCH(bool, transparent);
        TP3dBuilder b;  // a box, a slanted quad with a normal per corner, a triangle in two components
        b.AddSelection("box", b.AddBox(-0.5f, 0, -0.5f, 0.5f, 1, 0.5f));
        const int p[4] = {b.AddPoint(0.6f, 0, 0), b.AddPoint(1.6f, 0.2f, 0), b.AddPoint(1.6f, 1.2f, 0.5f), b.AddPoint(0.6f, 1, 0.5f)};
        const int quad = b.AddPolygon({uint32_t(p[0]), uint32_t(p[1]), uint32_t(p[2]), uint32_t(p[3])});
        for (int k = 0; k < 4; ++k)
            b.Polygons[size_t(quad)].Corners[k].NormalIndex = uint32_t(b.AddNormal(0.3f * k, 1, -0.5f));
        const TP3dBuilder::Range tri = b.AddTriangle(-1.5f, 0, 0.5f, -0.7f, 0.8f, 0.2f, -1.2f, 1.5f, -0.4f);
        b.AddSelection("slant", {p[0], p[1], p[2], p[3], tri.Points[0]}, {quad, tri.Polygons[0]});
        b.AddSelection("tri", tri);
        TModelList models;
        models.push_back(std::make_unique<TP3dModell>(QString(), nullptr, nullptr, false));
        models[0]->ReadP3dBytes(b.Build(), false);
        std::vector<TSelection*> tree;
        for (const auto& s : models[0]->Selections)
            tree.push_back(s.get());
        const std::vector<bool> edited{false, true, false};
        T3dSceneOptions o;
        o.AllPolygons = true;
        o.PolygonAlpha = 0.3f;
        T3dPaintOptions po;
        po.Lighting = lighting;
        po.Transparent = transparent;

        TOffscreenGl gl;
        QString error;
        QVERIFY2(gl.Create(160, 120, &error), qPrintable(error));
        Gl3dInit();
        Gl3dResize(160, 120);
        TPoseCache cache;
        cache.Rebuild(tree);
        T3dScene scene;
        Build3dScene(models, tree, cache, edited, o, TPoseParams{}, scene);
        Gl3dPaint(TViewCamera{}, po, scene);
        const QImage arrays = gl.Read();
        ImmediatePaint(models, tree, edited, o, po);
        const QImage plain = gl.Read();
        QCOMPARE(arrays, plain);
        QVERIFY(arrays != QImage(160, 120, QImage::Format_RGB32));
    }

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
