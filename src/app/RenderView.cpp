#include "app/RenderView.h"
#include "platform/AtomicFileDevice.h"
#include "widgets/Chart.h"


QImage GrabChart(TChart& chart)
{
    QImage image(chart.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    chart.render(&image);
    return image;
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
