#pragma once
// Small controls the windows use that Qt lacks in this form.
#include <QToolButton>

// A two-state LED/switch button: checkable, acts on every change of state.
class TLedButton : public QToolButton {
    Q_OBJECT
public:
    explicit TLedButton(const QString& caption, QWidget* parent = nullptr);
};
