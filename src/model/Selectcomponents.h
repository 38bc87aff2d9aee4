#pragma once
// The dialog that confirms the components picked in the tree for a new animation.
#include <QDialog>

class QPushButton;

class TF_SelectComponents : public QDialog {
    Q_OBJECT
public:
    explicit TF_SelectComponents(QWidget* parent);
    QPushButton* B_Accept = nullptr;
    QPushButton* B_Cancel = nullptr;
};

extern TF_SelectComponents* F_SelectComponents;
