#pragma once
// Draws the cells of the frame grid from the document: row 0 the header, row r frame r-1,
// one empty row after the last frame.
#include "anim/FrameOps.h"  // FormatFrameTime, shared with the command line

#include <QStyledItemDelegate>

class TFrameGridDelegate : public QStyledItemDelegate {
public:
    TFrameGridDelegate(const TAnimDocument& doc, QObject* parent) : QStyledItemDelegate(parent), Doc_(doc) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const TAnimDocument& Doc_;
};
