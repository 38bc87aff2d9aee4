#include "modelforms/ProxySelection.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TF_ProxySelect::TF_ProxySelect(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("F_ProxySelect"));
    setWindowTitle(QStringLiteral("Select Proxy"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setModal(true);
    auto* l = new QVBoxLayout(this);
    // The caption again inside the window: a title bar may be missing or easy to overlook.
    Title_ = new QLabel(windowTitle(), this);
    Title_->setObjectName(QStringLiteral("L_Title"));
    QFont f = Title_->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    Title_->setFont(f);
    l->addWidget(Title_);
    Label1 = new QLabel(QStringLiteral("Select Proxy to replace by current model:"), this);
    CB_Proxy = new QComboBox(this);
    CB_Proxy->setObjectName(QStringLiteral("CB_Proxy"));
    CB_Proxy->setMinimumWidth(260);
    AbColBitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    AbColBitBtn1->setObjectName(QStringLiteral("AbColBitBtn1"));
    AbColBitBtn1->setDefault(true);
    AbColBitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    AbColBitBtn2->setObjectName(QStringLiteral("AbColBitBtn2"));
    connect(AbColBitBtn1, &QPushButton::clicked, this, [this] { AbColBitBtn1Click(); });
    connect(AbColBitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(AbColBitBtn1);
    buttons->addWidget(AbColBitBtn2);
    l->addWidget(Label1);
    l->addWidget(CB_Proxy);
    l->addLayout(buttons);
}

void TF_ProxySelect::AbColBitBtn1Click()
{
    if (CB_Proxy->currentIndex() >= 0)
        accept();
}

void TF_ProxySelect::Fill(const QString& caption, const QString& prompt, const QStringList& items, int preselected)
{
    setWindowTitle(caption);
    Title_->setText(caption);
    Label1->setText(prompt);
    CB_Proxy->clear();
    CB_Proxy->addItems(items);
    CB_Proxy->setCurrentIndex(preselected >= 0 && preselected < items.size() ? preselected : -1);
}

int TF_ProxySelect::Choose(const QString& caption, const QString& prompt, const QStringList& items, int preselected)
{
    Fill(caption, prompt, items, preselected);
    adjustSize();
    if (QWidget* owner = parentWidget()) {
        const QRect frame = owner->window()->frameGeometry();
        move(frame.center() - rect().center());
    }
    if (exec() != QDialog::Accepted)
        return -1;
    return CB_Proxy->currentIndex();
}
