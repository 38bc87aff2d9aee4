#include "widgets/Controls.h"

TLedButton::TLedButton(const QString& caption, QWidget* parent) : QToolButton(parent)
{
    setText(caption);
    setCheckable(true);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
}
