#include "app/QtDialogs.h"
#include "widgets/Controls.h"
#include "modelforms/ProxySelection.h"

#include <QApplication>
#include <QColorDialog>
#include <QDateTime>
#include <QLocale>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QInputDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QTreeView>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

namespace {
// The window a dialog belongs to: the one named by the innermost DialogOwner, else the
// active window.
QWidget* Owner()
{
    if (QWidget* w = dialogOwner())
        return w->window();
    return QApplication::activeWindow();
}

// Runs a modal dialog above every window: the frame timer and the file browser stay on top
// of the main window, and a box beneath them had its buttons covered.
int Run(QDialog& d)
{
    d.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    return d.exec();
}

QString StartPath(const FileDialogOptions& o)
{
    if (o.FileName.isEmpty())
        return o.InitialDir;
    if (QFileInfo(o.FileName).isAbsolute() || o.InitialDir.isEmpty())
        return o.FileName;
    return QDir(o.InitialDir).filePath(o.FileName);
}

// "*.rtm" -> "rtm"
QString Suffix(const QString& defaultExt)
{
    QString s = defaultExt;
    while (s.startsWith(QLatin1Char('*')) || s.startsWith(QLatin1Char('.')))
        s.remove(0, 1);
    return s;
}

QString RunFileDialog(const FileDialogOptions& o, QFileDialog::AcceptMode mode)
{
    QFileDialog d(Owner(), o.Title, StartPath(o), QtFilterFromPipes(o.Filter));
    d.setAcceptMode(mode);
    d.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    d.setDefaultSuffix(Suffix(o.DefaultExt));
    // Room for the detail columns: the default size cuts the Size and Date columns off.
    d.resize(d.sizeHint().expandedTo(QSize(820, 480)));
    if (auto* tree = d.findChild<QTreeView*>()) {
        const QFontMetrics fm = tree->fontMetrics();
        QHeaderView* h = tree->header();
        if (h->count() >= 4) {
            h->resizeSection(0, 300);
            h->resizeSection(1, fm.horizontalAdvance(QStringLiteral("1023.9 KiB")) + 24);
            h->resizeSection(2, fm.horizontalAdvance(QStringLiteral("p3d File")) + 24);
            const QDateTime sample(QDate(2026, 9, 30), QTime(22, 27, 12));
            const int date = std::max({fm.horizontalAdvance(QStringLiteral("30 Sep 2026 22:27:12")),
                                       fm.horizontalAdvance(QLocale().toString(sample, QLocale::ShortFormat)),
                                       fm.horizontalAdvance(QLocale().toString(sample, QLocale::LongFormat))});
            h->resizeSection(3, std::min(date, 320) + 24);
        }
    }
    if (mode == QFileDialog::AcceptSave && !o.OverwritePrompt)
        d.setOption(QFileDialog::DontConfirmOverwrite);
    if (Run(d) != QDialog::Accepted || d.selectedFiles().isEmpty())
        return {};
    return d.selectedFiles().first();
}
}  // namespace

namespace {
// A short message makes a narrow box whose title bar cuts the caption off; the text is
// given at least the width the caption needs.
void FitCaption(QMessageBox& box)
{
    const int need = TitleBarWidth(box);
    // A spacer row rather than a minimum on the label, which would stop the box from
    // measuring (and wrapping) a long text itself.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(need, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
}

// A report whose lines pad a name to 32 columns before " -> " lines up only in a
// fixed-pitch font.
bool IsColumnText(const QString& text)
{
    static const QRegularExpression row(QStringLiteral("(^|\\n) .{32} -> "));
    return row.match(text).hasMatch();
}
}  // namespace

void TQtDialogs::ShowMessage(const QString& text)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Torvane Anim"), text, QMessageBox::Ok, Owner());
    FitCaption(box);
    if (IsColumnText(text)) {
        box.setTextFormat(Qt::PlainText);
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    }
    Run(box);
}

bool TQtDialogs::AskYesNo(const QString& text, const QString& caption)
{
    const auto icon = caption == QLatin1String("Warning") ? QMessageBox::Warning : QMessageBox::Question;
    QMessageBox box(icon, caption, text, QMessageBox::Yes | QMessageBox::No, Owner());
    box.setDefaultButton(QMessageBox::No);
    FitCaption(box);
    return Run(box) == QMessageBox::Yes;
}

TSaveAnswer TQtDialogs::AskSaveChanges(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Torvane Anim"), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, Owner());
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    FitCaption(box);
    switch (Run(box)) {
    case QMessageBox::Save:
        return TSaveAnswer::Save;
    case QMessageBox::Discard:
        return TSaveAnswer::Discard;
    default:
        return TSaveAnswer::Cancel;
    }
}

bool TQtDialogs::AskSaveOver(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::NoButton, Owner());
    QPushButton* save = box.addButton(QStringLiteral("&Save over"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    // Writing over someone else's work takes a deliberate choice: Enter keeps it.
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    FitCaption(box);
    Run(box);
    return box.clickedButton() == save;
}

TRecoverAnswer TQtDialogs::AskRecover(const QString& text, const QString& detail)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Torvane Anim"), text, QMessageBox::NoButton, Owner());
    box.setInformativeText(detail);
    QPushButton* recover = box.addButton(QStringLiteral("Recover"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    QPushButton* later = box.addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box.setDefaultButton(recover);
    // Closing the box loses nothing: the copy waits for the next start.
    box.setEscapeButton(later);
    FitCaption(box);
    Run(box);
    const QAbstractButton* chosen = box.clickedButton();
    return chosen == recover ? TRecoverAnswer::Recover : chosen == discard ? TRecoverAnswer::Discard : TRecoverAnswer::Later;
}

QString TQtDialogs::OpenFile(const FileDialogOptions& o) { return RunFileDialog(o, QFileDialog::AcceptOpen); }

QString TQtDialogs::SaveFile(const FileDialogOptions& o) { return RunFileDialog(o, QFileDialog::AcceptSave); }

bool TQtDialogs::ChooseColor(unsigned& color)
{
    const QColor initial = ColorFromRef(color);
    QColorDialog d(initial, Owner());
    if (Run(d) != QDialog::Accepted || !d.selectedColor().isValid())
        return false;
    const QColor c = d.selectedColor();
    color = RefFromColor(c);
    return true;
}

bool TQtDialogs::InputQuery(const QString& caption, const QString& prompt, QString& value)
{
    QInputDialog d(Owner());
    d.setWindowTitle(caption);
    d.setLabelText(prompt);
    d.setTextValue(value);
    // Sized to the prompt and the text alone, the box cuts its title off. Its layout sets
    // the box's own limits, so the edit is what gets wider.
    if (auto* edit = d.findChild<QLineEdit*>()) {
        const QMargins m = d.layout() ? d.layout()->contentsMargins() : QMargins();
        edit->setMinimumWidth(TitleBarWidth(d) - m.left() - m.right());
    }
    if (Run(d) != QDialog::Accepted)
        return false;
    value = d.textValue();
    return true;
}

int TQtDialogs::ChooseItem(const QString& caption, const QString& prompt, const QStringList& items, int preselected)
{
    QWidget* owner = Owner();
    if (auto* own = owner ? owner->findChild<TF_ProxySelect*>(QString(), Qt::FindDirectChildrenOnly) : nullptr)
        return own->Choose(caption, prompt, items, preselected);
    TF_ProxySelect dialog(owner);
    return dialog.Choose(caption, prompt, items, preselected);
}
