#include "model/Selectcomponents.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TF_SelectComponents* F_SelectComponents = nullptr;

TF_SelectComponents::TF_SelectComponents(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("F_SelectComponents"));
    setWindowTitle(QStringLiteral("Select Components"));
    auto* l = new QVBoxLayout(this);
    l->addWidget(new QLabel(QStringLiteral("Select the components of the new animation in the component tree."), this));
    auto* buttons = new QHBoxLayout;
    B_Accept = new QPushButton(QStringLiteral("Accept"), this);
    B_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    buttons->addWidget(B_Accept);
    buttons->addWidget(B_Cancel);
    l->addLayout(buttons);
    connect(B_Accept, &QPushButton::clicked, this, &QDialog::accept);
    connect(B_Cancel, &QPushButton::clicked, this, &QDialog::reject);
}
