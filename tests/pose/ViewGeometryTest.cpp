#include "pose/ViewGeometry.h"
#include "filebuild/P3dBuilder.h"
#include "support/TestMain.h"

#include <QLineF>
#include <QTest>
#include <QVector3D>
#include <limits>
#include <optional>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr uint32_t Red = 0x000000FFu;
constexpr uint32_t Blue = 0x00FF0000u;

struct TViews {
    TChartItems Front, Left, Top;
    TViewItems All() { return {&Front, &Left, &Top}; }
    TChartItems& operator[](int v) { return v == 0 ? Front : v == 1 ? Left : Top; }
};

TModelList MainOnly(const TP3dBuilder& b)
{
    TModelList models;
    models.push_back(std::make_unique<TP3dModell>(QString(), nullptr, nullptr, false));
    models[0]->ReadP3dBytes(b.Build(), false);
    return models;
}

// The segments of an item list, or only those drawn in the given colour.
QList<QLineF> Segments(const TChartItems& items, std::optional<uint32_t> color = {})
{
    QList<QLineF> out;
    const auto& it = items.Items();
    const auto& runs = items.Runs();
    size_t run = 0;
    for (size_t i = 1; i < it.size(); ++i) {
        while (run + 1 < runs.size() && runs[run + 1].First <= i)
            ++run;
        if (it[i].Kind == TChartItemKind::Line && (!color || runs[run].Color == *color))
            out << QLineF(it[i - 1].X, it[i - 1].Y, it[i].X, it[i].Y);
    }
    return out;
}

// Pose with every component animated (display points are the stored points unless an
// animation is loaded) and draw.
void Refresh(TModelList& models, TViews& views, const TViewOptions& opt, const TPoseParams& params = {})
{
    std::vector<TSelection*> tree;
    TComponentNodes nodes;
    for (const auto& s : models[0]->Selections) {
        tree.push_back(s.get());
        nodes.push_back({s.get(), 0, true});
    }
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
    void outlinesAreOpen_data();
    void outlinesAreOpen();
    void showModesAndColours_data();
    void showModesAndColours();
    void proxyDrawnInPlaceOfItsComponent();
    void autoScaleRange_data();
    void autoScaleRange();
    void pivotMarkAndAutoScale();
};

void ViewGeometryTest::outlinesAreOpen_data()
{
    QTest::addColumn<QList<QVector3D>>("corners");
    QTest::addColumn<int>("view");
    QTest::addColumn<QList<QLineF>>("segments");  // never back to the first corner
    const QList<QVector3D> tri{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, quad{{0, 0, 0}, {1, 1, -1}, {2, 4, -2}, {3, 9, -3}};
    QTest::newRow("triangle front") << tri << 0 << QList<QLineF>{{0, 0, 1, 0}, {1, 0, 0, 1}};
    QTest::newRow("triangle left") << tri << 1 << QList<QLineF>{{0, 0, 0, 0}, {0, 0, 0, 1}};
    QTest::newRow("triangle top") << tri << 2 << QList<QLineF>{{0, 0, 1, 0}, {1, 0, 0, 0}};
    QTest::newRow("quad front") << quad << 0 << QList<QLineF>{{0, 0, 1, 1}, {1, 1, 2, 4}, {2, 4, 3, 9}};
    QTest::newRow("quad top") << quad << 2 << QList<QLineF>{{0, 0, 1, -1}, {1, -1, 2, -2}, {2, -2, 3, -3}};
}

void ViewGeometryTest::outlinesAreOpen()
{
    QFETCH(QList<QVector3D>, corners);
    QFETCH(int, view);
    QFETCH(QList<QLineF>, segments);
    TP3dBuilder b;
    std::vector<uint32_t> pts;
    for (const QVector3D& c : corners)
        pts.push_back(uint32_t(b.AddPoint(c.x(), c.y(), c.z())));
    b.AddPolygon(pts);
    b.AddSelection("c", std::vector<int>(pts.begin(), pts.end()), {0});
    TModelList models = MainOnly(b);
    TViews views;
    Refresh(models, views, {});
    QCOMPARE(Segments(views[view]), segments);
    QCOMPARE(views[view].LineCount(), int(segments.size()));
}

void ViewGeometryTest::showModesAndColours_data()
{
    QTest::addColumn<int>("show");
    QTest::addColumn<bool>("allPolygons");
    QTest::addColumn<QList<int>>("segments");  // in grey, in red (shown A), in blue (hidden B)
    QTest::newRow("selected components") << int(TComponentShow::Checked) << false << QList<int>{0, 2, 0};
    QTest::newRow("all components") << int(TComponentShow::All) << false << QList<int>{0, 2, 2};
    QTest::newRow("no component") << int(TComponentShow::None) << false << QList<int>{0, 0, 0};
    QTest::newRow("no component, all polygons") << int(TComponentShow::None) << true << QList<int>{6, 0, 0};
    QTest::newRow("selected and all polygons") << int(TComponentShow::Checked) << true << QList<int>{6, 2, 0};
}

void ViewGeometryTest::showModesAndColours()
{
    QFETCH(int, show);
    QFETCH(bool, allPolygons);
    QFETCH(QList<int>, segments);
    TP3dBuilder b;
    b.AddSelection("A", b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0));
    b.AddSelection("B", b.AddTriangle(0, 0, 1, 1, 0, 1, 0, 1, 1));
    b.AddTriangle(5, 5, 5, 6, 5, 5, 5, 6, 5);  // in no component
    TModelList models = MainOnly(b);
    TP3dModell& m = *models[0];
    // A hidden polygon is never drawn, in any mode.
    m.Polygons.push_back(m.Polygons[0]);
    m.Polygons.back().Hidden = true;
    for (const auto& s : m.Selections)
        s->PolygonMembership.push_back(1);
    m.Selections[0]->Color = Red;
    m.Selections[1]->Color = Blue;
    m.Selections[1]->Hidden = true;
    TViews views;
    Refresh(models, views, {TComponentShow(show), allPolygons});
    for (int v = 0; v < ViewCount; ++v) {
        const QList<int> got{int(Segments(views[v], ViewColor::Grey).size()), int(Segments(views[v], Red).size()),
                             int(Segments(views[v], Blue).size())};
        QCOMPARE(got, segments);
        QCOMPARE(views[v].LineCount(), segments[0] + segments[1] + segments[2]);
    }
}

void ViewGeometryTest::proxyDrawnInPlaceOfItsComponent()
{
    TP3dBuilder b, sb;
    b.AddSelection("body", b.AddTriangle(0, 0, 0, 0, 0, 2, 0, 1, 0));
    b.AddSelection("proxy:box.01", b.AddTriangle(3, 0, 0, 3, 0, 2, 3, 1, 0));
    sb.AddTriangle(0, 0, 0, 1, 0, 0, 0, 0, 1);
    TModelList models = MainOnly(b);
    TSelection* body = models[0]->Selections[0].get();
    TSelection* proxy = models[0]->Selections[1].get();
    models.push_back(std::make_unique<TP3dModell>(QString(), proxy, body, true));
    models[1]->ReadP3dBytes(sb.Build(), false);
    models[1]->ProxyMatrix = TTransform::Translation(10, 0, 0);
    proxy->ProxyModel = models[1].get();
    proxy->Color = Red;
    body->ActTransform = TTransform::Translation(0, 5, 0);
    TViews views;
    Refresh(models, views, {});
    // The sub-model's triangle, placed at (10, 0, 0) and carried by its parent's transform;
    // the proxy's own triangle is not drawn.
    QCOMPARE(views.Front.LineCount(), 4);
    QCOMPARE(Segments(views.Front, Red), (QList<QLineF>{{10, 5, 11, 5}, {11, 5, 10, 5}}));
    QCOMPARE(Segments(views.Top, Red), (QList<QLineF>{{10, 0, 11, 0}, {11, 0, 10, 1}}));

    // "All Polygons" draws it in grey as well, after both main triangles.
    Refresh(models, views, {TComponentShow::None, true});
    QCOMPARE(views.Front.LineCount(), 6);
    QCOMPARE(Segments(views.Front)[4], QLineF(10, 5, 11, 5));
}

void ViewGeometryTest::autoScaleRange_data()
{
    QTest::addColumn<QRectF>("box");  // MinX, MinY, width, height
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRectF>("range");  // X1, Y1, X2 - X1, Y2 - Y1; empty: refused
    const QRectF model(-1, 0, 2, 3), fitted(-1.1575, -0.1575, 3.3075, 3.3075);
    QTest::newRow("model in a square view") << model << QSize(100, 100) << fitted;
    // The range takes the view's shape; the limiting direction spans 1.1025 x the extent.
    QTest::newRow("wide view, height limits") << model << QSize(200, 100) << QRectF(-1.1575, -0.1575, 6.615, 3.3075);
    QTest::newRow("wide view, width limits") << QRectF(0, 0, 2, 1) << QSize(200, 100)
                                             << QRectF(-0.0525, -0.0525, 2.205, 1.1025);
    QTest::newRow("tall view, width limits") << model << QSize(100, 200) << QRectF(-1.105, -0.105, 2.205, 4.41);
    QTest::newRow("view without height") << model << QSize(100, 0) << fitted;
    QTest::newRow("zero width box") << QRectF(0, 0, 0, 2) << QSize(100, 100) << QRectF(-0.105, -0.105, 2.205, 2.205);
    QTest::newRow("single point") << QRectF(2, 3, 0, 0) << QSize(100, 100) << QRectF(1.9475, 2.9475, 1.1025, 1.1025);
    QTest::newRow("NaN box") << QRectF(NaN, 0, 1, 1) << QSize(100, 100) << QRectF();
    QTest::newRow("overflowing box") << QRectF(-1e308, 0, 1.5e308, 1) << QSize(200, 100) << QRectF();
}

void ViewGeometryTest::autoScaleRange()
{
    QFETCH(QRectF, box);
    QFETCH(QSize, size);
    QFETCH(QRectF, range);
    const TChartBox b{box.x(), box.y(), box.x() + box.width(), box.y() + box.height()};
    TChartRange r{7, 7, 8, 8};
    QCOMPARE(AutoScaleRange(b, size.width(), size.height(), r), !range.isNull());
    if (range.isNull())
        range = QRectF(7, 7, 1, 1);  // untouched
    QCOMPARE(QRectF(QPointF(r.X1, r.Y1), QPointF(r.X2, r.Y2)), range);
}

// The pivot mark alone (no component shown) is no segment in the front view, so auto
// scale changes no view.
void ViewGeometryTest::pivotMarkAndAutoScale()
{
    TP3dBuilder b;
    b.AddSelection("c", b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0));
    TModelList models = MainOnly(b);
    TSelection* c = models[0]->Selections[0].get();
    for (int k = 0; k < 3; ++k)
        c->Pivot[k] = float(k + 1);
    c->ActTransform = TTransform::Translation(1, 0, 0);
    TViewOptions opt{TComponentShow::None};
    opt.PivotComponent = c;
    TPoseParams params;
    params.ModelOffset[2] = 0.5;
    TViews views;
    Refresh(models, views, opt, params);
    const QPointF want[3] = {{2, 2}, {3.5, 2}, {2, 3.5}};  // pivot (1, 2, 3.5) moved by 1 in x
    for (int v = 0; v < ViewCount; ++v) {
        const TChartItem& last = views[v].Items().back();
        QCOMPARE(last.Kind, TChartItemKind::Mark);
        QCOMPARE(last.Aux, uint32_t(PivotMarkCode));
        QCOMPARE(QPointF(last.X, last.Y), want[v]);
        QCOMPARE(views[v].Runs().back().Color, ViewColor::Yellow);
    }
    std::array<TChartRange, ViewCount> ranges{};
    std::array<bool, ViewCount> changed{};
    const std::array<int, ViewCount> w{100, 100, 100}, h{100, 100, 100};
    QVERIFY(!AutoScaleViews(views.All(), w, h, ranges, changed));
    QCOMPARE(changed, (std::array<bool, ViewCount>{false, false, false}));
    QCOMPARE(ranges[1].X2, 1.0);  // as it was

    Refresh(models, views, {});
    QVERIFY(AutoScaleViews(views.All(), w, h, ranges, changed));
    QCOMPARE(changed, (std::array<bool, ViewCount>{true, true, true}));
    // Left view: z is 0 everywhere, y from 0 to 1.
    QCOMPARE(ranges[1].X1, -0.0525);
    QCOMPARE(ranges[1].X2, 1.05);
}

TORVANE_TEST(ViewGeometryTest)
#include "ViewGeometryTest.moc"
