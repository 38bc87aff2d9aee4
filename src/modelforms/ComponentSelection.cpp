#include "modelforms/ComponentSelection.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

const char* const TF_SelectComponents::Instruction =
    "Select Components from Tree View which will be used for Animation. Use CTRL and SHIFT for MultiSelect.";

namespace {
// A heading inside the window: a tool window's own title bar is small or, without a
// window manager, missing.
QLabel* Heading(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    l->setFont(f);
    l->setAlignment(Qt::AlignCenter);
    return l;
}
}  // namespace

TF_SelectComponents::TF_SelectComponents(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("F_SelectComponents"));
    setWindowTitle(QStringLiteral("Select Components"));
    auto* l = new QVBoxLayout(this);
    auto* heading = Heading(windowTitle(), this);
    heading->setObjectName(QStringLiteral("L_Title"));
    l->addWidget(heading);
    // In the window's own text colour: a yellow shadow on the light window face made the
    // instruction hard to read.
    auto* text = new QLabel(QString::fromLatin1(Instruction), this);
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
    // Escape cancels, as in a dialog.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] { B_CancelClick(); });
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
