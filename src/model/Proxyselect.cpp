#include "model/Proxyselect.h"

#include <QListWidget>
#include <QVBoxLayout>

TF_ProxySelect* F_ProxySelect = nullptr;

TF_ProxySelect::TF_ProxySelect(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("F_ProxySelect"));
    setWindowTitle(QStringLiteral("Select Proxy"));
    auto* l = new QVBoxLayout(this);
    LB_Proxies = new QListWidget(this);
    l->addWidget(LB_Proxies);
}
