// The 3D view read back from a real GL context under Xvfb: what only the pixels show, in
// the main window, from the painter alone, and from the render command.
#include "app/CommandHome.h"
#include "app/Main.h"
#include "app/MainPanels.h"
#include "editor/Editor.h"
#include "filebuild/P3dBuilder.h"
#include "modelforms/ComponentTree.h"
#include "support/Controls.h"
#include "support/ScriptedDialogs.h"
#include "support/TestMain.h"
#include "support/TestTable.h"
#include "view3d/OffscreenGl.h"
#include "view3d/GlPanel.h"
#include "view3d/View3d.h"
#include "widgets/Controls.h"

#include <QApplication>
#include <QDir>
#include <QOpenGLContext>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <cmath>

#include <GL/gl.h>

namespace {
// The distinct colours of a picture, black included, in ascending order.
QList<QRgb> Colours(const QImage& img)
{
    QSet<QRgb> out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            out << img.pixel(x, y);
    QList<QRgb> sorted(out.begin(), out.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

bool Near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) <= 1 && qAbs(qGreen(a) - qGreen(b)) <= 1 && qAbs(qBlue(a) - qBlue(b)) <= 1;
}

// The main window on screen with a model of two components: "plate", a red unit square in
// the plane z = 0 around the origin (which the initial camera shows at the view's centre),
// and "cube", a blue box off to the side.
struct TWindow {
    QTemporaryDir Home;
    ScriptedDialogs Dialogs;
    TMainForm Form{TAppPaths::FromHome(Home.path())};

    T3dArea* Area() const { return Ctl<T3dArea>(Form, "P_3dArea"); }

    bool Start(bool withModel)
    {
        TP3dBuilder b;
        const int p[4] = {b.AddPoint(-0.5f, -0.5f, 0), b.AddPoint(0.5f, -0.5f, 0), b.AddPoint(0.5f, 0.5f, 0),
                          b.AddPoint(-0.5f, 0.5f, 0)};
        b.AddSelection("plate", {p[0], p[1], p[2], p[3]},
                       {b.AddPolygon({uint32_t(p[0]), uint32_t(p[1]), uint32_t(p[2]), uint32_t(p[3])})});
        b.AddSelection("cube", b.AddBox(-1.8f, 0, 0, -1.3f, 0.5f, 0.5f));
        const QString path = QDir(Home.path()).filePath("scene.p3d");
        Form.show();
        if (!b.WriteTo(path) || !QTest::qWaitForWindowExposed(&Form) || !Area()->View())
            return false;
        if (withModel) {
            Form.LoadModel(path);
            Form.Editor().SetColor(Node("plate"), 0x000000FF);
            Form.Editor().SetColor(Node("cube"), 0x00FF0000);
        }
        // The start-up settings press "Light Mode" and "Transparent Mode"; the tests say what they want.
        for (QToolButton* button :
             {Ctl<QToolButton>(Form, "B_Grid"), Ctl<QToolButton>(Form, "B_Light"), Ctl<QToolButton>(Form, "B_Transparent3D")})
            button->setChecked(false);
        return QTest::qWaitFor([this] { return Area()->View()->ContextCreated(); });
    }
    int Node(const char* name) const { return Form.Editor().Forest().Find(QLatin1String(name)); }
    // The colours as stored in the framebuffer, without Qt's reading of the alpha channel.
    QImage Picture()
    {
        QImage img = Area()->View()->grabFramebuffer();
        img.reinterpretAsFormat(QImage::Format_RGB32);
        return img;
    }
};
}  // namespace

class View3dTest : public QObject {
    Q_OBJECT
private slots:
    void picture_data() { QVERIFY(AddTableRows("view3d/pictures.table")); }
    void picture()
    {
        QFETCH(QString, setup);
        QFETCH(QRgb, centre);
        QFETCH(QList<QRgb>, colours);
        TWindow w;
        QVERIFY(w.Start(!setup.contains('0')));
        if (!setup.contains('0')) {
            w.Form.Editor().SetHidden(w.Node("plate"), setup.contains('h'));
            w.Form.Editor().SetHidden(w.Node("cube"), setup.contains('H'));
            w.Form.Editor().SetPivot(w.Node("plate"), {0, 0, 0});
            Ctl<TComponentTree>(w.Form, "TV_EditComponents")->SetNodeSelected(w.Node("plate"), setup.contains('e'));
            (setup.contains('A') ? Ctl<TLedButton>(w.Form, "RB_AllSelections") : Ctl<TLedButton>(w.Form, "RB_CheckedSelections"))
                ->setChecked(true);
            Ctl<TLedButton>(w.Form, "RB_AllPolygons")->setChecked(setup.contains('s'));
            Ctl<TLedButton>(w.Form, "B_ChangePivot")->setChecked(setup.contains('p'));
        }
        for (const auto& [button, letter] : {std::pair{"B_Grid", 'g'}, {"B_Light", 'l'}, {"B_Transparent3D", 't'}})
            Ctl<QToolButton>(w.Form, button)->setChecked(setup.contains(QLatin1Char(letter)));
        const QImage img = w.Picture();
        const QRgb got = img.pixel(img.width() / 2, img.height() / 2);
        QVERIFY2(Near(got, centre), qPrintable(QStringLiteral("(%1, %2, %3)").arg(qRed(got)).arg(qGreen(got)).arg(qBlue(got))));
        if (!colours.isEmpty())
            QCOMPARE(Colours(img), colours);
    }

    // Real mouse events reach the camera: a left drag turns the view, the plate is seen edge on.
    void dragTurnsTheView()
    {
        TWindow w;
        QVERIFY(w.Start(true));
        TOpenGLQelPanel* view = w.Area()->View();
        Ctl<QToolButton>(w.Form, "B_Light")->setChecked(true);
        const auto red = [&] { return Colours(w.Picture()).contains(qRgb(254, 0, 0)); };
        QVERIFY(red());
        const QPoint from(view->width() / 2, view->height() / 2), to = from + QPoint(45, 15);
        QTest::mousePress(view, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), view->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(view, &move);
        QTest::mouseRelease(view, Qt::LeftButton, {}, to);
        QVERIFY(!w.Area()->Drag().ViewDragging);
        QVERIFY(!red());
    }

    // Triangles are drawn as well as quads (the window's plate is one); a view without height
    // or width gets a finite projection; without a current context a paint draws nothing.
    void trianglesEmptyViewAndNoContext()
    {
        TOffscreenGl gl;
        QString error;
        QVERIFY2(gl.Create(160, 120, &error), qPrintable(error));
        Gl3dInit();
        Gl3dResize(160, 120);
        T3dScene scene;
        for (auto [x, y] : {std::pair{-1.f, -1.f}, {1.f, -1.f}, {0.f, 1.f}})
            scene.Components.Triangles.push_back({0, 1, 0, 1, 0, 0, 1, x, y, 0});
        Gl3dPaint(TViewCamera{}, T3dPaintOptions{false, false, false}, scene);
        QCOMPARE(gl.Read().pixel(80, 60), qRgb(0, 255, 0));
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
        Gl3dPaint(TViewCamera{}, T3dPaintOptions{true, false}, scene);
    }

    // The render command's 3D view, lit and opaque; in the picture of all four it fills the
    // bottom right quarter, and the front view the top left one.
    void threeDViewAndAllFour()
    {
        QTemporaryDir home;
        TP3dBuilder b;
        b.AddSelection("box", b.AddBox(-0.5f, 0, -0.5f, 0.5f, 1, 0.5f));
        QVERIFY(b.WriteTo(home.filePath("box.p3d")) &&
                WriteBytesFile(home.filePath("TorvaneAnim.ini"), "[Startup]\n3DLight=0\n3DTranparent=0\n"));
        // The render command run in-process into home/out.png; a null picture when it fails or complains.
        const auto render = [&](const char* view, const char* size) {
            const CommandHome::Result r = CommandHome::RunIn(
                home.path(), {"render", home.filePath("box.p3d"), "--view", view, "--size", size, "-o", "%1/out.png"});
            return r.Code == 0 && r.Err.isEmpty() ? QImage(home.filePath("out.png")).convertToFormat(QImage::Format_RGB32)
                                                  : QImage();
        };
        const QImage view3d = render("3d", "201x151"), all = render("all", "401x301");
        QCOMPARE(QList<QSize>({view3d.size(), all.size()}), QList<QSize>({QSize(201, 151), QSize(401, 301)}));
        QCOMPARE(view3d.pixel(0, 0), qRgb(0, 0, 0));  // opaque black above the grid
        const QRgb centre = view3d.pixel(100, 75);  // the box, white by default, lit
        QVERIFY(qRed(centre) > 60 && qRed(centre) == qGreen(centre) && qGreen(centre) == qBlue(centre));
        QCOMPARE(all.copy(200, 150, 201, 151), view3d);
        QVERIFY(Colours(all.copy(0, 0, 200, 150)) != QList<QRgb>{qRgb(0, 0, 0)});  // the front view drew
    }
};

TORVANE_TEST(View3dTest)
#include "View3dTest.moc"
