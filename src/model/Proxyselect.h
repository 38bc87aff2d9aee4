#pragma once
// The dialog that picks which proxy of an environment model the edited model replaces.
#include <QDialog>

class QListWidget;

class TF_ProxySelect : public QDialog {
    Q_OBJECT
public:
    explicit TF_ProxySelect(QWidget* parent);
    QListWidget* LB_Proxies = nullptr;
};

extern TF_ProxySelect* F_ProxySelect;
