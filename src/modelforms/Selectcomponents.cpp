#include "modelforms/Selectcomponents.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

TF_SelectComponents* F_SelectComponents = nullptr;

const char* const TF_SelectComponents::Instruction =
    "Select Components from Tree View which will be used for Animation. Use CTRL and SHIFT for MultiSelect.";

namespace {
// The instruction in yellow with the window text one pixel up and to the left of it, which
// gives it a shadow.
class TShadowLabel final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect r = contentsRect().adjusted(1, 1, -1, -1);
        const int flags = Qt::AlignCenter | Qt::TextWordWrap;
        p.setPen(QColor(0xFF, 0xFF, 0x00));
        p.drawText(r.translated(1, 1), flags, text());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r, flags, text());
    }
};
}  // namespace

TF_SelectComponents::TF_SelectComponents(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("F_SelectComponents"));
    setWindowTitle(QStringLiteral("Select Components"));
    auto* l = new QVBoxLayout(this);
    auto* text = new TShadowLabel(QString::fromLatin1(Instruction), this);
    text->setObjectName(QStringLiteral("L_Instruction"));
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    text->setMinimumWidth(300);
    l->addWidget(text);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    l->addWidget(line);
    auto* buttons = new QGridLayout;
    B_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    B_Cancel->setObjectName(QStringLiteral("B_Cancel"));
    AbColBitBtn1 = new QPushButton(QStringLiteral("Accept"), this);
    AbColBitBtn1->setObjectName(QStringLiteral("AbColBitBtn1"));
    buttons->addWidget(B_Cancel, 0, 0, Qt::AlignLeft);
    buttons->addWidget(AbColBitBtn1, 0, 1, Qt::AlignRight);
    l->addLayout(buttons);
    connect(AbColBitBtn1, &QPushButton::pressed, this, [this] { AbColBitBtn1Click(); });
    connect(B_Cancel, &QPushButton::pressed, this, [this] { B_CancelClick(); });
    adjustSize();
}

void TF_SelectComponents::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (QWidget* owner = parentWidget())  // centred on the main window
        move(owner->geometry().center() - rect().center());
}

void TF_SelectComponents::AbColBitBtn1Click()
{
    emit Accepted();  // the window closes whatever came of it
    close();
}

void TF_SelectComponents::B_CancelClick() { close(); }
