#pragma once
// Small controls the windows use that Qt lacks in this form.
#include <QAbstractSpinBox>
#include <QColor>
#include <QSlider>
#include <QToolButton>
#include <functional>

class QAbstractButton;

// A two-state LED/switch button: checkable, acts on every change of state.
class TLedButton : public QToolButton {
    Q_OBJECT
public:
    explicit TLedButton(const QString& caption, QWidget* parent = nullptr);
};

// Push buttons act when they go down (mouse press, Space, or click()), not on release.
void OnPress(QAbstractButton* button, const QObject* context, std::function<void()> action);

// A spring-loaded slider: it leaves the centre (0) only while the user holds it, with the
// mouse on the handle or the track, or with a key held down. Any release, and anything
// without a hold (the wheel, losing focus or visibility), puts it back at 0. Wheel steps
// do nothing, since a turn of the wheel has no hold to measure.
class TSpringSlider : public QSlider {
    Q_OBJECT
public:
    explicit TSpringSlider(QWidget* parent = nullptr);

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void changeEvent(QEvent* e) override;
};

// A numeric edit with up/down steps that shows its value as text in a given number of
// decimals at most (trailing zeros dropped, "#0.###" style), or, with Decimals < 0, as
// the shortest text that reads back to the same float. Typed text is taken as it is, within
// the range; nothing is rounded unless the format rounds it (Decimals >= 0), so a value
// that came from a file is shown and kept exactly.
class TNumberEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TNumberEdit(QWidget* parent = nullptr);

    double value() const { return Value_; }
    // Clamps to the range and applies the format's rounding; emits valueChanged on change.
    void setValue(double v);
    void setRange(double min, double max);
    double minimum() const { return Min_; }
    double maximum() const { return Max_; }
    void setSingleStep(double step) { Step_ = step; }
    double singleStep() const { return Step_; }
    // Decimals shown at most; < 0 shows the float value exactly.
    void setDecimals(int decimals);
    int decimals() const { return Decimals_; }
    // The width that the longest value of the range needs in this format.
    void setWidthForText(const QString& longest);

    QString TextFor(double v) const;
    // The value of a text, or nothing when it is no finite number in the range.
    bool Parse(const QString& text, double& v) const;

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void valueChanged(double value);

protected:
    StepEnabled stepEnabled() const override;
    bool event(QEvent* e) override;

private:
    double Round(double v) const;
    void CommitText();
    double Value_ = 0;
    double Min_ = 0, Max_ = 99;
    double Step_ = 1;
    int Decimals_ = 2;
    int TextWidth_ = 0;
};

// The width a window needs for its whole title in the title bar, with the bar's icon and
// buttons beside it (the title bar's font, usually bold, is the desktop's: measured bold).
int TitleBarWidth(const QWidget& window);

// The editor keeps colours as Windows colour integers 0x00BBGGRR (red in the low byte).
QColor ColorFromRef(uint32_t c);
uint32_t RefFromColor(const QColor& c);
