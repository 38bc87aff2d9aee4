#include "app/FrameGrid.h"
#include "anim/AnimDocument.h"

#include <QPainter>

namespace {
const QColor kGrid(0x40, 0x40, 0x40);
const QColor kText(0xFF, 0xFF, 0x00);
const QColor kOlive(0x80, 0x80, 0x00);
const QColor kRed(0xFF, 0x00, 0x00);
}  // namespace

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
