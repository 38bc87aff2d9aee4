#include "pose/ViewGeometry.h"
#include "support/P3dBuilder.h"
#include "support/TestMain.h"

#include <QLineF>
#include <QTest>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr uint32_t Red = 0x000000FFu;
constexpr uint32_t Blue = 0x00FF0000u;

struct TViews {
    TChartItems Front, Left, Top;
    TViewItems All() { return {&Front, &Left, &Top}; }
    TChartItems& operator[](int v) { return v == 0 ? Front : v == 1 ? Left : Top; }
};

std::unique_ptr<TP3dModell> ReadMain(const TP3dBuilder& b)
{
    auto m = std::make_unique<TP3dModell>(QString(), nullptr, nullptr, false);
    m->ReadP3dBytes(b.Build(), false);
    return m;
}

std::vector<TSelection*> Order(const TP3dModell& m)
{
    std::vector<TSelection*> v;
    for (const auto& s : m.Selections)
        v.push_back(s.get());
    return v;
}

// The segments of an item list, each with the colour it is drawn in.
QList<QLineF> Segments(const TChartItems& items, std::vector<uint32_t>* colors = nullptr)
{
    QList<QLineF> out;
    const auto& it = items.Items();
    const auto& runs = items.Runs();
    size_t run = 0;
    for (size_t i = 1; i < it.size(); ++i) {
        while (run + 1 < runs.size() && runs[run + 1].First <= i)
            ++run;
        if (it[i].Kind == TChartItemKind::Line) {
            out << QLineF(it[i - 1].X, it[i - 1].Y, it[i].X, it[i].Y);
            if (colors)
                colors->push_back(runs[run].Color);
        }
    }
    return out;
}

// Pose (no animation loaded: display points are the stored points) and draw.
void Refresh(TModelList& models, TViews& views, const TViewOptions& opt, const TPoseParams& params = {})
{
    std::vector<TSelection*> tree = Order(*models[0]);
    std::vector<TPoseNode> nodes;
    for (TSelection* s : tree)
        nodes.push_back({s, true});
    TPoseCache cache;
    cache.Rebuild(tree);
    ClearViews(views.All());
    UpdateDisplayPoints(models, nodes, cache, params);
    DrawViewOutlines(models, tree, cache, opt, params, views.All());
}

}  // namespace

class ViewGeometryTest : public QObject {
    Q_OBJECT
private slots:
    void triangleInAllViews_data();
    void triangleInAllViews();
    void outlinesAreOpen_data();
    void outlinesAreOpen();
    void showModesAndColours_data();
    void showModesAndColours();
    void proxyDrawnInPlaceOfItsComponent();
    void pivotMarkAtPosedPivot();
    void autoScaleRange_data();
    void autoScaleRange();
    void autoScaleNeedsFrontSegments();
};

void ViewGeometryTest::triangleInAllViews_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<QList<QLineF>>("segments");
    QTest::newRow("front") << 0 << QList<QLineF>{QLineF(0, 0, 1, 0), QLineF(1, 0, 0, 1)};
    QTest::newRow("left") << 1 << QList<QLineF>{QLineF(0, 0, 0, 0), QLineF(0, 0, 0, 1)};
    QTest::newRow("top") << 2 << QList<QLineF>{QLineF(0, 0, 1, 0), QLineF(1, 0, 0, 0)};
}

void ViewGeometryTest::triangleInAllViews()
{
    QFETCH(int, view);
    QFETCH(QList<QLineF>, segments);
    TP3dBuilder b;
    b.AddSelection("tri", b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0));
    TModelList models;
    models.push_back(ReadMain(b));
    TViews views;
    Refresh(models, views, {});
    QCOMPARE(Segments(views[view]), segments);
    QCOMPARE(QString(ViewAxisLetter(TViewKind(view), false)), QString(QLatin1Char("xzx"[view])));
    QCOMPARE(QString(ViewAxisLetter(TViewKind(view), true)), QString(QLatin1Char("yyz"[view])));
}

void ViewGeometryTest::outlinesAreOpen_data()
{
    QTest::addColumn<int>("corners");
    QTest::addColumn<int>("segments");
    QTest::newRow("triangle") << 3 << 2;
    QTest::newRow("quad") << 4 << 3;
}

void ViewGeometryTest::outlinesAreOpen()
{
    QFETCH(int, corners);
    QFETCH(int, segments);
    TP3dBuilder b;
    std::vector<uint32_t> pts;
    for (int i = 0; i < corners; ++i)
        pts.push_back(uint32_t(b.AddPoint(float(i), float(i * i), float(-i))));
    b.AddPolygon(pts);
    b.AddSelection("c", std::vector<int>(pts.begin(), pts.end()), {0});
    TModelList models;
    models.push_back(ReadMain(b));
    TViews views;
    Refresh(models, views, {});
    for (int v = 0; v < ViewCount; ++v) {
        QCOMPARE(views[v].LineCount(), segments);
        const QList<QLineF> s = Segments(views[v]);
        // Never back to corner 0.
        QVERIFY(s.last().p2() != s.first().p1());
    }
}

void ViewGeometryTest::showModesAndColours_data()
{
    QTest::addColumn<int>("show");
    QTest::addColumn<bool>("allPolygons");
    QTest::addColumn<int>("grey");  // segments in grey
    QTest::addColumn<int>("red");   // of the visible component A
    QTest::addColumn<int>("blue");  // of the hidden component B
    QTest::newRow("selected components") << int(TComponentShow::Checked) << false << 0 << 2 << 0;
    QTest::newRow("all components") << int(TComponentShow::All) << false << 0 << 2 << 2;
    QTest::newRow("no component") << int(TComponentShow::None) << false << 0 << 0 << 0;
    QTest::newRow("no component, all polygons") << int(TComponentShow::None) << true << 6 << 0 << 0;
    QTest::newRow("selected and all polygons") << int(TComponentShow::Checked) << true << 6 << 2 << 0;
}

void ViewGeometryTest::showModesAndColours()
{
    QFETCH(int, show);
    QFETCH(bool, allPolygons);
    QFETCH(int, grey);
    QFETCH(int, red);
    QFETCH(int, blue);
    TP3dBuilder b;
    b.AddSelection("A", b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0));
    b.AddSelection("B", b.AddTriangle(0, 0, 1, 1, 0, 1, 0, 1, 1));
    b.AddTriangle(5, 5, 5, 6, 5, 5, 5, 6, 5);  // in no component
    TModelList models;
    models.push_back(ReadMain(b));
    // A hidden polygon is never drawn, in any mode.
    models[0]->Polygons.push_back(models[0]->Polygons[0]);
    models[0]->Polygons.back().Hidden = true;
    for (const auto& s : models[0]->Selections)
        s->PolygonMembership.push_back(1);
    models[0]->Selections[0]->Color = Red;
    models[0]->Selections[1]->Color = Blue;
    models[0]->Selections[1]->Hidden = true;
    TViewOptions opt;
    opt.Show = TComponentShow(show);
    opt.AllPolygons = allPolygons;
    TViews views;
    Refresh(models, views, opt);
    for (int v = 0; v < ViewCount; ++v) {
        std::vector<uint32_t> colors;
        Segments(views[v], &colors);
        QCOMPARE(int(std::count(colors.begin(), colors.end(), ViewColor::Grey)), grey);
        QCOMPARE(int(std::count(colors.begin(), colors.end(), Red)), red);
        QCOMPARE(int(std::count(colors.begin(), colors.end(), Blue)), blue);
        QCOMPARE(int(colors.size()), grey + red + blue);
    }
}

void ViewGeometryTest::proxyDrawnInPlaceOfItsComponent()
{
    TP3dBuilder b;
    b.AddSelection("body", b.AddTriangle(0, 0, 0, 0, 0, 2, 0, 1, 0));
    b.AddSelection("proxy:box.01", b.AddTriangle(3, 0, 0, 3, 0, 2, 3, 1, 0));
    TModelList models;
    models.push_back(ReadMain(b));
    TSelection* body = models[0]->Selections[0].get();
    TSelection* proxy = models[0]->Selections[1].get();
    TP3dBuilder sb;
    sb.AddTriangle(0, 0, 0, 1, 0, 0, 0, 0, 1);
    auto sub = std::make_unique<TP3dModell>(QString(), proxy, body, true);
    sub->ReadP3dBytes(sb.Build(), false);
    sub->ProxyMatrix = TTransform::Translation(10, 0, 0);
    proxy->ProxyModel = sub.get();
    proxy->Color = Red;
    models.push_back(std::move(sub));
    body->ActTransform = TTransform::Translation(0, 5, 0);

    TViews views;
    Refresh(models, views, {});
    std::vector<uint32_t> colors;
    const QList<QLineF> front = Segments(views.Front, &colors);
    QCOMPARE(front.size(), 4);
    // The sub-model's triangle, placed at (10, 0, 0) and carried by its parent's transform;
    // the proxy's own triangle is not drawn.
    QCOMPARE(front[2], QLineF(10, 5, 11, 5));
    QCOMPARE(front[3], QLineF(11, 5, 10, 5));
    QCOMPARE(colors[2], Red);
    QCOMPARE(Segments(views.Top)[3], QLineF(11, 0, 10, 1));

    // "All Polygons" draws it in grey as well.
    TViewOptions opt;
    opt.Show = TComponentShow::None;
    opt.AllPolygons = true;
    Refresh(models, views, opt);
    QCOMPARE(views.Front.LineCount(), 6);  // two main triangles (the proxy triangle is not hidden here) + sub
    QCOMPARE(Segments(views.Front)[4], QLineF(10, 5, 11, 5));
}

void ViewGeometryTest::pivotMarkAtPosedPivot()
{
    TP3dBuilder b;
    b.AddSelection("c", b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0));
    TModelList models;
    models.push_back(ReadMain(b));
    TSelection* c = models[0]->Selections[0].get();
    c->Pivot[0] = 1;
    c->Pivot[1] = 2;
    c->Pivot[2] = 3;
    c->ActTransform = TTransform::Translation(1, 0, 0);
    TViewOptions opt;
    opt.PivotComponent = c;
    TPoseParams params;
    params.ModelOffset[2] = 0.5;
    TViews views;
    Refresh(models, views, opt, params);
    const double want[3][2] = {{2, 2}, {3.5, 2}, {2, 3.5}};
    for (int v = 0; v < ViewCount; ++v) {
        const TChartItem& last = views[v].Items().back();
        QCOMPARE(last.Kind, TChartItemKind::Mark);
        QCOMPARE(last.Aux, uint32_t(PivotMarkCode));
        QCOMPARE(last.X, want[v][0]);
        QCOMPARE(last.Y, want[v][1]);
        QCOMPARE(views[v].Runs().back().Color, ViewColor::Yellow);
    }
}

void ViewGeometryTest::autoScaleRange_data()
{
    QTest::addColumn<QRectF>("box");  // MinX, MinY, width, height
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QRectF>("range");  // X1, Y1, X2 - X1, Y2 - Y1
    QTest::newRow("model in a square view") << QRectF(-1, 0, 2, 3) << 100 << 100 << true
                                            << QRectF(-1.1575, -0.1575, 3.3075, 3.3075);
    QTest::newRow("wide view") << QRectF(0, 0, 2, 1) << 200 << 100 << true << QRectF(-0.21, -0.21, 4.41, 4.41);
    // A tall view keeps the whole extent: the square is never smaller than the drawing.
    QTest::newRow("tall view") << QRectF(-1, 0, 2, 3) << 100 << 200 << true
                               << QRectF(-1.1575, -0.1575, 3.3075, 3.3075);
    QTest::newRow("zero width box") << QRectF(0, 0, 0, 2) << 100 << 100 << true << QRectF(-0.105, -0.105, 2.205, 2.205);
    QTest::newRow("single point") << QRectF(2, 3, 0, 0) << 100 << 100 << true
                                  << QRectF(1.9475, 2.9475, 1.1025, 1.1025);
    QTest::newRow("view without height") << QRectF(-1, 0, 2, 3) << 100 << 0 << true
                                         << QRectF(-1.1575, -0.1575, 3.3075, 3.3075);
    QTest::newRow("NaN box") << QRectF(NaN, 0, 1, 1) << 100 << 100 << false << QRectF();
    QTest::newRow("overflowing box") << QRectF(-1e308, 0, 1.5e308, 1) << 200 << 100 << false << QRectF();
}

void ViewGeometryTest::autoScaleRange()
{
    QFETCH(QRectF, box);
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(bool, ok);
    QFETCH(QRectF, range);
    const TChartBox b{box.x(), box.y(), box.x() + box.width(), box.y() + box.height()};
    TChartRange r{7, 7, 8, 8};
    QCOMPARE(AutoScaleRange(b, w, h, r), ok);
    if (!ok) {
        QCOMPARE(r.X1, 7.0);  // untouched
        QCOMPARE(r.Y2, 8.0);
        return;
    }
    QCOMPARE(r.X1, range.x());
    QCOMPARE(r.Y1, range.y());
    QCOMPARE(r.X2, range.x() + range.width());
    QCOMPARE(r.Y2, range.y() + range.height());
}

void ViewGeometryTest::autoScaleNeedsFrontSegments()
{
    TP3dBuilder b;
    b.AddSelection("c", b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0));
    TModelList models;
    models.push_back(ReadMain(b));
    TViewOptions opt;
    opt.Show = TComponentShow::None;
    opt.PivotComponent = models[0]->Selections[0].get();
    TViews views;
    Refresh(models, views, opt);
    std::array<TChartRange, ViewCount> ranges{};
    std::array<bool, ViewCount> changed{};
    const std::array<int, ViewCount> w{100, 100, 100}, h{100, 100, 100};
    // Only a mark: no segment in the front view, so no view changes.
    QVERIFY(!AutoScaleViews(views.All(), w, h, ranges, changed));
    QCOMPARE(changed, (std::array<bool, ViewCount>{false, false, false}));

    opt.Show = TComponentShow::Checked;
    Refresh(models, views, opt);
    QVERIFY(AutoScaleViews(views.All(), w, h, ranges, changed));
    QCOMPARE(changed, (std::array<bool, ViewCount>{true, true, true}));
    // Left view: z is 0 everywhere, y from 0 to 1.
    QCOMPARE(ranges[1].X1, -0.0525);
    QCOMPARE(ranges[1].X2, 1.05);
    // Axes come afterwards and are not part of the fit.
    for (int v = 0; v < ViewCount; ++v)
        DrawAxes(views[v], TViewKind(v));
    QCOMPARE(views.Front.LineCount(), 4);
    QCOMPARE(views.Front.Texts()[0].Text, std::string("x"));
    QCOMPARE(views.Top.Texts()[1].Text, std::string("z"));
    QCOMPARE(views.Top.Texts()[1].Size, AxisTextSize);
}

TORVANE_TEST(ViewGeometryTest)
#include "ViewGeometryTest.moc"
