#include "app/RenderView.h"
#include "platform/AtomicFileDevice.h"
#include "editor/Editor.h"
#include "pose/View3dGeometry.h"
#include "view3d/OffscreenGl.h"
#include "widgets/Chart.h"

#include <QPainter>
#include <algorithm>

void SetUpViewChart(TChart& view, bool grid)
{
    view.SetChartColor(0);
    view.SetGridColor(0x00008080u);  // olive
    view.SetGridSpacing(1);
    view.SetGridStyle(grid ? TChart::TGridStyle::Lines : TChart::TGridStyle::None);
    view.SetEqualScale(true);
}

QImage GrabChart(TChart& chart)
{
    QImage image(chart.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    chart.render(&image);
    return image;
}

T3dPaintOptions Paint3dOptions(const TEditorOptions& options)
{
    T3dPaintOptions paint;
    paint.Lighting = options.Lighting;
    paint.Transparent = options.Transparent3d;
    paint.Grid = options.Grid3d;
    return paint;
}

QImage Render3dPicture(const TEditor& scene, QSize size, QString* error)
{
    TOffscreenGl gl;
    if (!gl.Create(size.width(), size.height(), error))
        return {};
    Gl3dInit();
    Gl3dResize(size.width(), size.height());
    T3dScene picture;
    scene.Build3d(picture);
    Gl3dPaint(TViewCamera{}, Paint3dOptions(scene.Options()), picture);
    return gl.Read();
}

TViewPictures::TViewPictures(const TEditor& scene) : Scene_(scene)
{
    for (auto& c : Charts_) {
        c = std::make_unique<TChart>();
        SetUpViewChart(*c, scene.Options().Grid);
    }
}

TViewPictures::~TViewPictures() = default;

void TViewPictures::Draw(const std::array<QSize, ViewCount>& sizes, std::optional<TViewKind> only)
{
    std::array<int, ViewCount> w{}, h{};
    TViewItems items{};
    for (size_t v = 0; v < Charts_.size(); ++v) {
        Charts_[v]->resize(sizes[v]);
        w[v] = sizes[v].width();
        h[v] = sizes[v].height();
        // The front view is drawn whichever is shown: the auto scale looks at its drawing.
        if (!only || v == size_t(TViewKind::Front) || v == size_t(*only))
            items[v] = &Charts_[v]->Items();
        else
            Charts_[v]->ClearItems();
    }
    std::array<TChartRange, ViewCount> ranges{};
    std::array<bool, ViewCount> changed{};
    Scene_.DrawViews(items, w, h, ranges, changed);
    for (size_t v = 0; v < Charts_.size(); ++v) {
        if (changed[v] && items[v])
            Charts_[v]->SetRange(ranges[v].X1, ranges[v].Y1, ranges[v].X2, ranges[v].Y2);
        Charts_[v]->ShowGraph();
    }
}

// A picture is drawn once: the edge lists kept for the next drawing go before it is painted.
void TViewPictures::ReleaseDrawing() const
{
    Scene_.ReleaseOutlineCache();
    ReleaseOutlineScratch();
    if (Drawn)
        Drawn();
}

QImage TViewPictures::View(TViewKind view, QSize size)
{
    Draw({size, size, size}, view);
    ReleaseDrawing();
    return GrabChart(*Charts_[size_t(view)]);
}

QImage TViewPictures::All(QSize size, QString* error)
{
    const int leftW = size.width() / 2, rightW = size.width() - leftW;
    const int topH = size.height() / 2, bottomH = size.height() - topH;
    const QRect frontR(0, 0, leftW, topH), topR(0, topH, leftW, bottomH), leftR(leftW, 0, rightW, topH),
        view3dR(leftW, topH, rightW, bottomH);
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter p(&picture);
    if (!view3dR.isEmpty()) {
        const QImage view3d = Render3dPicture(Scene_, view3dR.size(), error);
        if (view3d.isNull())
            return {};
        p.drawImage(view3dR.topLeft(), view3d);
    }
    Draw({frontR.size(), leftR.size(), topR.size()});
    ReleaseDrawing();
    for (const auto& [kind, r] : {std::pair{TViewKind::Front, frontR}, {TViewKind::Top, topR}, {TViewKind::Left, leftR}})
        if (!r.isEmpty())
            p.drawImage(r.topLeft(), GrabChart(*Charts_[size_t(kind)]));
    return picture;
}

size_t TViewPictures::HeldBytes() const
{
    size_t bytes = OutlineScratchBytes() + Scene_.OutlineCacheBytes();
    for (const auto& c : Charts_)
        bytes += c->Items().HeldBytes() + c->PaintBytes();
    return bytes;
}

int TViewPictures::LineCount() const
{
    int lines = 0;
    for (const auto& c : Charts_)
        lines += c->LineCount();
    return lines;
}

bool SavePngAtomic(const QImage& image, const QString& path, QString* error)
{
    TAtomicFileDevice file(path);
    const bool encoded = file.Writer().Ok() && image.save(&file, "PNG");
    if (file.Writer().Ok() && encoded && file.Writer().Commit())
        return true;
    if (error)
        *error = file.Writer().Ok() ? QStringLiteral("cannot encode the image as PNG") : file.Writer().Error();
    return false;
}
