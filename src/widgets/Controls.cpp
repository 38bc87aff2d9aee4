#include "widgets/Controls.h"
#include "platform/JsonText.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <cmath>
#include <limits>

TLedButton::TLedButton(const QString& caption, QWidget* parent) : QToolButton(parent)
{
    setText(caption);
    setCheckable(true);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
}

void OnPress(QAbstractButton* button, const QObject* context, std::function<void()> action)
{
    QObject::connect(button, &QAbstractButton::pressed, context, [button, action = std::move(action)] {
        action();
        // The action may have opened a modal box that took the release away from the
        // button; it must not stay drawn down.
        if (!(QApplication::mouseButtons() & Qt::LeftButton))
            button->setDown(false);
    });
}

// ---- TSpringSlider

TSpringSlider::TSpringSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void TSpringSlider::mouseReleaseEvent(QMouseEvent* e)
{
    QSlider::mouseReleaseEvent(e);
    setValue(0);
}

void TSpringSlider::keyReleaseEvent(QKeyEvent* e)
{
    QSlider::keyReleaseEvent(e);
    // Held keys repeat as release/press pairs; only the real release lets go.
    if (!e->isAutoRepeat())
        setValue(0);
}

void TSpringSlider::wheelEvent(QWheelEvent* e) { e->accept(); }

void TSpringSlider::focusOutEvent(QFocusEvent* e)
{
    QSlider::focusOutEvent(e);
    setValue(0);
}

void TSpringSlider::hideEvent(QHideEvent* e)
{
    QSlider::hideEvent(e);
    setSliderDown(false);
    setValue(0);
}

void TSpringSlider::changeEvent(QEvent* e)
{
    QSlider::changeEvent(e);
    if (e->type() == QEvent::EnabledChange && !isEnabled())
        setValue(0);
}

// ---- TNumberEdit

TNumberEdit::TNumberEdit(QWidget* parent) : QAbstractSpinBox(parent)
{
    setKeyboardTracking(false);
    lineEdit()->setText(TextFor(Value_));
    connect(this, &QAbstractSpinBox::editingFinished, this, [this] { CommitText(); });
}

double TNumberEdit::Round(double v) const
{
    if (Decimals_ < 0)
        return static_cast<float>(v);
    const double scale = std::pow(10.0, Decimals_);
    const double r = std::round(v * scale) / scale;
    return std::isfinite(r) ? r : v;
}

QString TNumberEdit::TextFor(double v) const
{
    QString s;
    if (Decimals_ < 0) {
        s = ShortestText(static_cast<float>(v));
    } else {
        s = QString::number(v, 'f', Decimals_);
        if (s.contains(QLatin1Char('.'))) {
            while (s.endsWith(QLatin1Char('0')))
                s.chop(1);
            if (s.endsWith(QLatin1Char('.')))
                s.chop(1);
        }
        if (s == QLatin1String("-0"))
            s = QStringLiteral("0");
    }
    return s.replace(QLatin1Char('.'), locale().decimalPoint());
}

bool TNumberEdit::Parse(const QString& text, double& v) const
{
    // A point or a comma is the decimal separator whatever the locale: modders type either,
    // and the edits never show group separators, so dropping a comma would turn 1,5 into 15.
    QString t = text.trimmed();
    t.replace(locale().decimalPoint(), QLatin1String("."));
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d) || d < Min_ || d > Max_)
        return false;
    v = d;
    return true;
}

void TNumberEdit::setValue(double v)
{
    if (!std::isfinite(v))
        return;
    v = Round(std::clamp(v, Min_, Max_));
    const bool changed = v != Value_ || std::signbit(v) != std::signbit(Value_);
    Value_ = v;
    const QString text = TextFor(v);
    if (lineEdit()->text() != text)
        lineEdit()->setText(text);
    if (changed)
        emit valueChanged(Value_);
}

void TNumberEdit::setRange(double min, double max)
{
    Min_ = min;
    Max_ = std::max(min, max);
    setValue(Value_);
}

void TNumberEdit::setDecimals(int decimals)
{
    Decimals_ = decimals;
    setValue(Value_);
}

void TNumberEdit::setWidthForText(const QString& longest)
{
    TextWidth_ = fontMetrics().horizontalAdvance(longest + QLatin1Char(' '));
    updateGeometry();
}

void TNumberEdit::CommitText()
{
    double v = 0;
    if (Parse(lineEdit()->text(), v))
        setValue(v);
    else
        lineEdit()->setText(TextFor(Value_));  // an unusable text gives the value back
}

void TNumberEdit::stepBy(int steps)
{
    CommitText();
    setValue(Value_ + steps * Step_);
    selectAll();
}

QValidator::State TNumberEdit::validate(QString& input, int&) const
{
    const QString t = input.trimmed();
    if (t.isEmpty() || t == QLatin1String("-") || t == QLatin1String("+"))
        return QValidator::Intermediate;
    double v = 0;
    if (Parse(t, v))
        return QValidator::Acceptable;
    // Partly typed numbers ("1e", "-3.") may still become valid.
    for (const QChar c : t)
        if (!c.isDigit() && c != locale().decimalPoint().front() && c != QLatin1Char('.') && c != QLatin1Char(',') &&
            c != QLatin1Char('-') && c != QLatin1Char('+') && c.toLower() != QLatin1Char('e'))
            return QValidator::Invalid;
    return QValidator::Intermediate;
}

void TNumberEdit::fixup(QString& input) const
{
    double v = 0;
    if (!Parse(input, v))
        input = TextFor(Value_);
}

// The line edit claims Ctrl+letter chords of its own (Ctrl+E: end of line, Ctrl+Z: undo of
// the typing) before the window's short-cuts see them, so a menu short-cut would do nothing
// while a number field has the focus. The field keeps select all and the clipboard keys;
// every other Ctrl+letter chord goes to the window.
bool TNumberEdit::event(QEvent* e)
{
    if (e->type() == QEvent::ShortcutOverride) {
        const auto* k = static_cast<QKeyEvent*>(e);
        const Qt::KeyboardModifiers mods = k->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
        const int key = k->key();
        if (mods == Qt::ControlModifier && key >= Qt::Key_A && key <= Qt::Key_Z && key != Qt::Key_A &&
            key != Qt::Key_C && key != Qt::Key_V && key != Qt::Key_X) {
            e->ignore();
            return false;
        }
    }
    return QAbstractSpinBox::event(e);
}

QAbstractSpinBox::StepEnabled TNumberEdit::stepEnabled() const
{
    StepEnabled e = StepNone;
    if (Value_ < Max_)
        e |= StepUpEnabled;
    if (Value_ > Min_)
        e |= StepDownEnabled;
    return e;
}

QSize TNumberEdit::sizeHint() const
{
    const QSize base = QAbstractSpinBox::sizeHint();
    if (TextWidth_ <= 0)
        return base;
    QStyleOptionSpinBox opt;
    initStyleOption(&opt);
    const QSize content(TextWidth_, base.height());
    return style()->sizeFromContents(QStyle::CT_SpinBox, &opt, content, this).expandedTo(QSize(0, base.height()));
}

QSize TNumberEdit::minimumSizeHint() const { return TextWidth_ > 0 ? sizeHint() : QAbstractSpinBox::minimumSizeHint(); }

int TitleBarWidth(const QWidget& window)
{
    QFont bold = window.font();
    bold.setBold(true);
    return QFontMetrics(bold).horizontalAdvance(window.windowTitle()) + 120;
}

QColor ColorFromRef(uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

uint32_t RefFromColor(const QColor& c) { return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16; }
