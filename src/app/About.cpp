#include "app/About.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TF_About::TF_About(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("F_About"));
    setWindowTitle(QStringLiteral("About Torvane Anim"));
    setModal(true);
    auto* l = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("<h3>Torvane Anim v0.98</h3>"
                                           "<p>Keyframe animation editor for P3D models.</p>"
                                           "<p>Opens models (*.p3d), edits and saves animations (*.rtm).</p>"),
                            this);
    text->setAlignment(Qt::AlignCenter);
    l->addWidget(text);
    B_Ok = new QPushButton(QStringLiteral("OK"), this);
    B_Ok->setDefault(true);
    l->addWidget(B_Ok, 0, Qt::AlignCenter);
    connect(B_Ok, &QPushButton::clicked, this, &QDialog::accept);
}
