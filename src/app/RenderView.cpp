#include "app/RenderView.h"
#include "platform/FileUtil.h"
#include "widgets/Chart.h"

#include <QBuffer>

QImage GrabChart(TChart& chart)
{
    QImage image(chart.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    chart.render(&image);
    return image;
}

bool SavePngAtomic(const QImage& image, const QString& path, QString* error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        if (error)
            *error = QStringLiteral("cannot encode the image as PNG");
        return false;
    }
    return WriteFileAtomic(path, bytes, error);
}
