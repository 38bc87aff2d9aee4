#include "app/FrameGrid.h"
#include "anim/AnimDocument.h"

#include <QLocale>
#include <QPainter>

namespace {
const QColor kGrid(0x40, 0x40, 0x40);
const QColor kText(0xFF, 0xFF, 0x00);
const QColor kOlive(0x80, 0x80, 0x00);
const QColor kRed(0xFF, 0x00, 0x00);
}  // namespace

QString FormatFrameTime(float t)
{
    QString s = QString::number(static_cast<double>(t), 'f', 5);
    while (s.endsWith(QLatin1Char('0')) && s.indexOf(QLatin1Char('.')) < s.size() - 2)
        s.chop(1);
    return s.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
}

void TFrameGridDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect r = option.rect;
    const int row = index.row();
    const int col = index.column();
    p->fillRect(r, kGrid);
    p->setPen(kText);
    if (row == index.model()->rowCount() - 1 && row > 0)
        return;  // the empty row after the last frame
    const QPoint textAt = r.topLeft() + QPoint(2, 1 + p->fontMetrics().ascent());
    if (row == 0) {
        p->drawText(textAt, index.data().toString());
        return;
    }
    const int frame = row - 1;
    if (frame >= Doc_.FrameCount())
        return;
    if (col == 0) {
        if (frame == Doc_.ActAnimStep)
            p->fillRect(r, kOlive);
        p->drawText(textAt, QString::number(frame));
        return;
    }
    const TAnimFrame& f = Doc_.AnimFrames[static_cast<size_t>(frame)];
    if (!f.TimeValid)
        p->fillRect(r, kRed);
    p->drawText(r.topLeft() + QPoint(5, 1 + p->fontMetrics().ascent()), FormatFrameTime(f.Time));
}
