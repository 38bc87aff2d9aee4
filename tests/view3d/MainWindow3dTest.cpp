// The 3D view inside the main window, read back from a real GL context under Xvfb: what
// only the pixels show.
#include "app/Main.h"
#include "modelforms/ComponentTree.h"
#include "filebuild/P3dBuilder.h"
#include "support/ScriptedDialogs.h"
#include "support/TestMain.h"
#include "view3d/Topenglqelpanel.h"
#include "widgets/Controls.h"

#include <QApplication>
#include <QDir>
#include <QOpenGLContext>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidgetItem>

namespace {

// The colours as stored in the framebuffer, without Qt's reading of the alpha channel.
QImage Grab(TOpenGLQelPanel& p)
{
    QImage img = p.grabFramebuffer();
    img.reinterpretAsFormat(QImage::Format_RGB32);
    return img;
}

// Distinct colours in the image other than black, with their pixel counts.
QHash<QRgb, int> Colours(const QImage& img)
{
    QHash<QRgb, int> out;
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if ((row[x] & 0xFFFFFF) != 0)
                ++out[row[x] | 0xFF000000];
    }
    return out;
}

bool Near(QRgb a, QRgb b, int tolerance = 1)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

QString Text(QRgb c) { return QStringLiteral("(%1, %2, %3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c)); }

// The main window on screen with a model of two components: "plate", a red unit square in
// the plane z = 0 around the origin (which the initial camera shows at the view's centre),
// and "cube", a blue box off to the side.
struct TWindow {
    QTemporaryDir Home;
    ScriptedDialogs Dialogs;
    TMainForm Form{TAppPaths::FromHome(Home.path())};

    bool Start(bool withModel = true)
    {
        TP3dBuilder b;
        const int p[4] = {b.AddPoint(-0.5f, -0.5f, 0), b.AddPoint(0.5f, -0.5f, 0), b.AddPoint(0.5f, 0.5f, 0),
                          b.AddPoint(-0.5f, 0.5f, 0)};
        const int quad = b.AddPolygon({uint32_t(p[0]), uint32_t(p[1]), uint32_t(p[2]), uint32_t(p[3])});
        b.AddSelection("plate", {p[0], p[1], p[2], p[3]}, {quad});
        b.AddSelection("cube", b.AddBox(-1.8f, 0, 0, -1.3f, 0.5f, 0.5f));
        const QString path = QDir(Home.path()).filePath("scene.p3d");
        if (!b.WriteTo(path))
            return false;
        Form.show();
        if (!QTest::qWaitForWindowExposed(&Form) || !Form.P_3dView)
            return false;
        if (withModel) {
            Form.LoadModel(path);
            Plate().Color = 0x000000FF;
            Cube().Color = 0x00FF0000;
        }
        // The start-up settings press "Light Mode" and "Transparent Mode"; the tests say what they want.
        Form.B_Grid->setChecked(false);
        Form.B_Light->setChecked(false);
        Form.B_Transparent3D->setChecked(false);
        return QTest::qWaitFor([this] { return Form.P_3dView->ContextCreated(); });
    }
    TSelection& Plate() { return *TMainForm::SelectionOf(Form.FindNodeByName("plate")); }
    TSelection& Cube() { return *TMainForm::SelectionOf(Form.FindNodeByName("cube")); }
    QImage Picture() { return Grab(*Form.P_3dView); }
};

}  // namespace

class MainWindow3dTest : public QObject {
    Q_OBJECT
private slots:
    void gridColour_data()
    {
        QTest::addColumn<bool>("grid");
        QTest::addColumn<bool>("light");  // "Light Mode" pressed: lighting off
        QTest::addColumn<QList<QRgb>>("colours");
        // Lit with GL's initial normal (0, 0, 1) turned by the camera: 0.8 * (0.2 + 0.5 + 0.5 * 0.183).
        QTest::newRow("lit") << true << false << QList<QRgb>{qRgb(161, 161, 0)};
        QTest::newRow("flat") << true << true << QList<QRgb>{qRgb(204, 204, 0)};
        QTest::newRow("grid off") << false << false << QList<QRgb>{};
    }
    void gridColour()
    {
        QFETCH(bool, grid);
        QFETCH(bool, light);
        QFETCH(QList<QRgb>, colours);
        TWindow w;
        QVERIFY(w.Start(false));
        w.Form.B_Grid->setChecked(grid);
        w.Form.B_Light->setChecked(light);
        const QHash<QRgb, int> c = Colours(w.Picture());
        QCOMPARE(c.keys(), colours);
        QVERIFY(c.isEmpty() || c.values().first() > 500);  // 40 lines across the view
        // Above the grid: the clear colour, alpha one half.
        const QColor corner = w.Form.P_3dView->grabFramebuffer().pixelColor(1, 1);
        QCOMPARE(corner, QColor(0, 0, 0, 128));
    }

    void centrePixel_data()
    {
        QTest::addColumn<QString>("show");  // C selected components, A all components
        QTest::addColumn<bool>("hidden");    // the plate's hidden flag
        QTest::addColumn<bool>("shell");     // "All Polygons"
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<bool>("edited");    // the plate selected in the tree
        QTest::addColumn<QRgb>("centre");
        // Lighting off throughout. Red is 255 / 256 of full.
        QTest::newRow("component in its colour") << "C" << false << false << false << false << qRgb(254, 0, 0);
        QTest::newRow("hidden, selected components") << "C" << true << false << false << false << qRgb(0, 0, 0);
        QTest::newRow("hidden, all components") << "A" << true << false << false << false << qRgb(254, 0, 0);
        QTest::newRow("shell under the component") << "C" << false << true << false << false << qRgb(254, 0, 0);
        QTest::newRow("shell alone") << "C" << true << true << false << false << qRgb(204, 204, 204);
        // Additive: 0.2 of red for a component that is not edited, 0.8 if it is, 0.8 * 0.1 grey of the shell.
        QTest::newRow("transparent component") << "C" << false << false << true << false << qRgb(51, 0, 0);
        QTest::newRow("transparent edited") << "C" << false << false << true << true << qRgb(203, 0, 0);
        QTest::newRow("transparent shell adds") << "C" << false << true << true << false << qRgb(71, 20, 20);
    }
    void centrePixel()
    {
        QFETCH(QString, show);
        QFETCH(bool, hidden);
        QFETCH(bool, shell);
        QFETCH(bool, transparent);
        QFETCH(bool, edited);
        QFETCH(QRgb, centre);
        TWindow w;
        QVERIFY(w.Start());
        w.Form.B_Light->setChecked(true);
        w.Plate().Hidden = hidden;
        (show == "A" ? w.Form.RB_AllSelections : w.Form.RB_CheckedSelections)->setChecked(true);
        w.Form.RB_AllPolygons->setChecked(shell);
        w.Form.B_Transparent3D->setChecked(transparent);
        w.Form.FindNodeByName("plate")->setSelected(edited);
        const QImage img = w.Picture();
        const QRgb got = img.pixel(img.width() / 2, img.height() / 2);
        QVERIFY2(Near(got, centre), qPrintable(Text(got)));
    }

    void lightingOffGivesFlatColours()
    {
        TWindow w;
        QVERIFY(w.Start());
        w.Plate().Hidden = true;  // the cube alone, three faces in sight
        QSet<QRgb> faces;         // lit, the faces differ by their normals
        const QHash<QRgb, int> lit = Colours(w.Picture());
        for (auto it = lit.begin(); it != lit.end(); ++it)
            if (it.value() > 20 && qRed(it.key()) == 0 && qGreen(it.key()) == 0 && qBlue(it.key()) < 254)
                faces << it.key();
        QVERIFY2(faces.size() >= 2, qPrintable(QString::number(faces.size())));
        w.Form.B_Light->setChecked(true);
        const QHash<QRgb, int> flat = Colours(w.Picture());
        QCOMPARE(flat.keys(), QList<QRgb>{qRgb(0, 0, 254)});
        QVERIFY(flat.values().first() > 100);
    }

    // A hidden component is not drawn, but its pivot cross is, in pivot mode only.
    void pivotCrossOfHiddenComponent()
    {
        TWindow w;
        QVERIFY(w.Start());
        w.Form.B_Light->setChecked(true);
        w.Plate().Hidden = w.Cube().Hidden = true;
        w.Form.FindNodeByName("plate")->setSelected(true);
        for (float& p : w.Plate().Pivot)
            p = 0;
        QCOMPARE(Colours(w.Picture()).size(), 0);
        w.Form.B_ChangePivot->setChecked(true);
        const QImage img = w.Picture();
        const QHash<QRgb, int> c = Colours(img);
        QCOMPARE(c.keys(), QList<QRgb>{qRgb(255, 255, 0)});
        QVERIFY(c.values().first() >= 20);
        QCOMPARE(Colours(img.copy(img.width() / 2 - 30, img.height() / 2 - 30, 60, 60)), c);  // around the origin
    }

    void dragTurnsTheView()
    {
        TWindow w;
        QVERIFY(w.Start());
        TOpenGLQelPanel* view = w.Form.P_3dView;
        w.Form.B_Light->setChecked(true);
        const int before = Colours(w.Picture()).value(qRgb(254, 0, 0));
        const QPoint from(view->width() / 2, view->height() / 2), to = from + QPoint(45, 15);
        QTest::mousePress(view, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), view->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(view, &move);
        QTest::mouseRelease(view, Qt::LeftButton, {}, to);
        QCOMPARE(QList<float>({w.Form.Camera3d.ViewRotX, w.Form.Camera3d.ViewRotY}), QList<float>({30, 90}));
        QVERIFY(!w.Form.Drag3d.ViewDragging);
        const int after = Colours(w.Picture()).value(qRgb(254, 0, 0));  // the plate seen edge on
        QVERIFY2(before > 200 && after < before / 10, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));
    }
};

TORVANE_TEST(MainWindow3dTest)
#include "MainWindow3dTest.moc"
