#pragma once
#include <QDialog>

class QPushButton;

// The about box: modal, closed by its only button.
class TF_About : public QDialog {
    Q_OBJECT
public:
    explicit TF_About(QWidget* parent);
    QPushButton* B_Ok = nullptr;
};
