#pragma once
// The dialog that picks which proxy of an environment model the edited model replaces:
// a label, the drop-down list CB_Proxy, "OK" and "Cancel". It stays on top and opens
// centred on the window that owns it.
#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;

class TF_ProxySelect : public QDialog {
    Q_OBJECT
public:
    explicit TF_ProxySelect(QWidget* parent);

    QLabel* Label1 = nullptr;
    QComboBox* CB_Proxy = nullptr;
    QPushButton* AbColBitBtn1 = nullptr;  // "OK"
    QPushButton* AbColBitBtn2 = nullptr;  // "Cancel"

    // Fills CB_Proxy with items, selects `preselected` and sets the caption and the label.
    void Fill(const QString& caption, const QString& prompt, const QStringList& items, int preselected);
    // Fill, then shows the dialog modally: the index chosen with "OK", or -1.
    int Choose(const QString& caption, const QString& prompt, const QStringList& items, int preselected);

    // "OK" closes the dialog with the OK result only while an entry is selected.
    void AbColBitBtn1Click();

private:
    QLabel* Title_ = nullptr;  // the caption, inside the window
};
