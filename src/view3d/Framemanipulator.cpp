#include "view3d/Framemanipulator.h"

#include <QCloseEvent>

TF_FrameManipulator* F_FrameManipulator = nullptr;

TF_FrameManipulator::TF_FrameManipulator(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("F_FrameManipulator"));
    setWindowTitle(QStringLiteral("Frame Timer"));
    resize(600, 300);
}

void TF_FrameManipulator::closeEvent(QCloseEvent* e)
{
    QWidget::closeEvent(e);
    emit Closed();
}
