#pragma once
// A chart view drawn into an image, and the image saved as PNG without ever leaving a
// half-written file behind.
#include <QImage>
#include <QString>

class TChart;

// The chart as it shows itself at its current size (it need not be on screen).
QImage GrabChart(TChart& chart);

// Writes the image as PNG through a temporary file renamed over path. False with error set
// when it cannot be encoded or written.
bool SavePngAtomic(const QImage& image, const QString& path, QString* error);
