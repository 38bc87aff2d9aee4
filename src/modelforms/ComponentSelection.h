#pragma once
// The small on-top window that asks the user to pick the components of a new animation in
// the component tree. It blocks nothing: the tree stays usable while it is open. "Accept"
// raises Accepted (the main window builds the animation from the tree's selection) and
// closes; "Cancel" only closes.
#include <QWidget>

class QPushButton;

class TF_SelectComponents : public QWidget {
    Q_OBJECT
public:
    explicit TF_SelectComponents(QWidget* parent);
    QPushButton* AbColBitBtn1 = nullptr;  // "Accept"
    QPushButton* B_Cancel = nullptr;

    static const char* const Instruction;

signals:
    void Accepted();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void AbColBitBtn1Click();
    void B_CancelClick();
};
