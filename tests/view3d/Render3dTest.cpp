// The 3D painter and the render command with a real GL context under Xvfb.
#include "app/CommandLine.h"
#include "filebuild/P3dBuilder.h"
#include "support/TestMain.h"
#include "view3d/OffscreenGl.h"
#include "view3d/View3d.h"

#include <QFile>
#include <QOpenGLContext>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <algorithm>
#include <cmath>

#include <GL/gl.h>

namespace {
// The polygons drawn the plain way, a glBegin/glEnd pair each, over a picture that the
// painter gave its camera and state, without its grid.
void ImmediatePaint(const TModelList& models, const std::vector<TSelection*>& tree, const std::vector<bool>& edited,
                    const T3dSceneOptions& o, T3dPaintOptions p)
{
    p.Grid = false;
    Gl3dPaint(TViewCamera{}, p, T3dScene{});
    glColor4f(0.8f, 0.8f, 0, 1);
    glNormal3f(0, 0, 1);
    glBegin(GL_LINES);
    for (int i = -10; i < 10; ++i)
        glVertex3f(float(i), 0, -10), glVertex3f(float(i), 0, 10), glVertex3f(-10, 0, float(i)), glVertex3f(10, 0, float(i));
    glEnd();
    const auto draw = [](const TP3dModell& m, const TP3dPolygon& poly) {
        if (poly.Hidden)
            return;
        glBegin(poly.VertexCount == 4 ? GL_QUADS : GL_TRIANGLES);
        for (int k = int(poly.VertexCount) - 1; k >= 0; --k) {
            const TP3dNormal& n = m.Normals[poly.Corners[k].NormalIndex];
            const TDisplayPoint& d = m.DisplayPoints[poly.Corners[k].PointIndex];
            glNormal3f(-n.X, n.Y, n.Z);
            glVertex3f(-d.X, d.Y, d.Z);
        }
        glEnd();
    };
    glColor4f(0.8f, 0.8f, 0.8f, o.PolygonAlpha);
    for (const TP3dPolygon& poly : models[0]->Polygons)
        draw(*models[0], poly);
    for (size_t t = 0; t < tree.size(); ++t) {
        const TSelection& s = *tree[t];
        glColor4f((s.Color & 0xFF) / 256.f, ((s.Color >> 8) & 0xFF) / 256.f, ((s.Color >> 16) & 0xFF) / 256.f, edited[t] ? 0.8f : 0.2f);
        for (size_t i = 0; i < s.PolygonMembership.size(); ++i)
            if (s.PolygonMembership[i])
                draw(*s.Model, s.Model->Polygons[i]);
    }
}
}  // namespace

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
        models[0]->Selections[1]->Color = 0x0040C0FF;
        std::vector<TSelection*> tree;
        for (const auto& s : models[0]->Selections)
            tree.push_back(s.get());
        const std::vector<bool> edited{false, true, false};
        const T3dSceneOptions o{true, false, 0.3f};
        const T3dPaintOptions po{lighting, transparent};

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
        QCOMPARE(arrays, gl.Read());
        QVERIFY(arrays.pixel(80, 60) != qRgb(0, 0, 0) && glGetError() == GL_NO_ERROR);

        // A view without height or width gets a finite projection; without a current
        // context a paint draws nothing and does not crash.
        for (const QSize size : {QSize(64, 0), QSize(0, 48)}) {
            Gl3dResize(size.width(), size.height());
            GLint viewport[4] = {};
            glGetIntegerv(GL_VIEWPORT, viewport);
            QCOMPARE(QSize(viewport[2], viewport[3]), size.expandedTo(QSize(1, 1)));
            GLfloat projection[16] = {};
            glGetFloatv(GL_PROJECTION_MATRIX, projection);
            QVERIFY(std::all_of(projection, projection + 16, [](GLfloat v) { return std::isfinite(v); }));
        }
        QOpenGLContext::currentContext()->doneCurrent();
        Gl3dPaint(TViewCamera{}, po, scene);
    }

    // The render command's 3D view, lit and opaque; in the picture of all four it fills the
    // bottom right quarter, and the front view the top left one.
    void threeDViewAndAllFour()
    {
        QTemporaryDir home;
        TP3dBuilder b;
        b.AddSelection("box", b.AddBox(-0.5f, 0, -0.5f, 0.5f, 1, 0.5f));
        QVERIFY(b.WriteTo(home.filePath("box.p3d")));
        QFile ini(home.filePath("TorvaneAnim.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write("[Startup]\n3DLight=0\n3DTranparent=0\n") > 0);
        ini.close();
        const auto render = [&](const char* view, const char* size) {
            QString out, err;
            QTextStream o(&out), e(&err);
            const QStringList args{"--home", home.path(), "render", home.filePath("box.p3d"), "--view", view, "--size", size, "-o", home.filePath("out.png")};
            const int rc = RunCommand(TCommandLine::Parse(args), o, e);
            e.flush();
            return rc == 0 && err.isEmpty() ? QImage(home.filePath("out.png")).convertToFormat(QImage::Format_RGB32) : QImage();
        };
        const QImage view3d = render("3d", "201x151"), all = render("all", "401x301");
        QCOMPARE(QList<QSize>({view3d.size(), all.size()}), QList<QSize>({QSize(201, 151), QSize(401, 301)}));
        QCOMPARE(view3d.pixel(0, 0), qRgb(0, 0, 0));  // opaque black above the grid
        const QRgb centre = view3d.pixel(100, 75);  // the box, white by default, lit
        QVERIFY(qRed(centre) > 60 && qRed(centre) == qGreen(centre) && qGreen(centre) == qBlue(centre));
        QCOMPARE(all.copy(200, 150, 201, 151), view3d);
        QImage black(200, 150, QImage::Format_RGB32);
        black.fill(Qt::black);
        QVERIFY(all.copy(0, 0, 200, 150) != black);
    }
};

TORVANE_TEST(Render3dTest)
#include "Render3dTest.moc"
